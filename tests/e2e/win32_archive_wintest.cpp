// The cabinet unpacker of the Windows backend, run against the system's own
// cabinet.dll (under Wine in the project's runs): what it writes, what it
// refuses, and that a failure leaves no partial file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_archive.h"
#include "tests/e2e/cabinet_writer.h"

#include "platform/win32/code_page.h"

namespace {

using e2e::CabinetEntry;
using platform::win32::Wide;
using platform::win32::Win32Archive;

// Paths are the program's: code page 936, whatever the ANSI code page is.

std::string Slurp(const std::string& path) {
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buffer[4096];
    DWORD done = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &done, nullptr) && done > 0) data.append(buffer, done);
    ::CloseHandle(file);
    return data;
}

void Spill(const std::string& path, const std::string& data) {
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD done = 0;
    ::WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    ::CloseHandle(file);
}

// Every file and folder under root, relative, folders with a trailing '\'.
void ListTree(const std::string& root, const std::string& prefix, std::vector<std::string>* out) {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->push_back(prefix + name + "\\");
            ListTree(root + "\\" + name, prefix + name + "\\", out);
        } else {
            out->push_back(prefix + name);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

void RemoveTree(const std::string& root) {
    std::vector<std::string> entries;
    ListTree(root, "", &entries);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        std::string path = root + "\\" + *it;
        if (!it->empty() && it->back() == '\\') {
            ::RemoveDirectoryA(path.c_str());
        } else {
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
        }
    }
    ::RemoveDirectoryA(root.c_str());
}

class Win32ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(::GetTempPathA(MAX_PATH, temp), 0u);
        m_root = std::string(temp) + "win32-archive-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RemoveTree(m_root);
        ASSERT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr));
        m_out = m_root + "\\out";
        ASSERT_TRUE(::CreateDirectoryA(m_out.c_str(), nullptr));
        m_module = m_archive.LoadUnpacker();
        ASSERT_NE(m_module, nullptr) << "cabinet.dll, error " << ::GetLastError();
    }
    void TearDown() override {
        if (m_module != nullptr) m_archive.FreeLibrary(m_module);
        RemoveTree(m_root);
    }

    // Writes the cabinet beside the output folder and unpacks it there.
    int Unpack(const std::vector<CabinetEntry>& entries) { return UnpackBytes(e2e::MakeCabinet(entries)); }
    int UnpackBytes(const std::string& bytes) {
        std::string cab = m_root + "\\DriverData.Drv";
        Spill(cab, bytes);
        return m_archive.Extract(m_module, cab.c_str(), (m_out + "\\").c_str(), &m_unpacked);
    }
    std::vector<std::string> Output() {
        std::vector<std::string> entries;
        ListTree(m_out, "", &entries);
        return entries;
    }

    Win32Archive m_archive;
    win::HMODULE m_module = nullptr;
    std::vector<std::string> m_unpacked;  // what the last extraction reported
    std::string m_root;
    std::string m_out;
};

TEST_F(Win32ArchiveTest, LoadsTheSystemCabinetLibraryByFullPath) {
    char loaded[MAX_PATH];
    ASSERT_NE(::GetModuleFileNameA(reinterpret_cast<HMODULE>(m_module), loaded, MAX_PATH), 0u);
    char system[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA(loaded, (std::string(system) + "\\cabinet.dll").c_str())) << loaded;
    EXPECT_TRUE(m_archive.HasEntryPoints(m_module));
}

TEST_F(Win32ArchiveTest, ModuleWithoutTheFdiExportsIsRefusedBeforeAnyCall) {
    win::HMODULE kernel32 = reinterpret_cast<win::HMODULE>(::GetModuleHandleA("kernel32"));
    EXPECT_FALSE(m_archive.HasEntryPoints(kernel32));
    EXPECT_FALSE(m_archive.HasEntryPoints(nullptr));
    EXPECT_EQ(platform::win32::kExtractNoEntryPoints,
              m_archive.Extract(kernel32, (m_root + "\\none.cab").c_str(), m_out.c_str(), nullptr));
}

TEST_F(Win32ArchiveTest, UnpacksFilesWithTheirFolders) {
    std::string big(70000, 'b');  // spans three data blocks
    ASSERT_EQ(0, Unpack({{"DriverName.cfg", "[0]\r\nPrintName1=A\r\n"},
                         {"Ticket\\x86\\uniDRV.DLL", "x86 driver"},
                         {"Ticket/x64/uniDRV.DLL", "x64 driver"},
                         {"Barcode\\Common\\THERMAL.chm", big}}));
    EXPECT_EQ(Output(), (std::vector<std::string>{"Barcode\\", "Barcode\\Common\\", "Barcode\\Common\\THERMAL.chm",
                                                  "DriverName.cfg", "Ticket\\", "Ticket\\x64\\",
                                                  "Ticket\\x64\\uniDRV.DLL", "Ticket\\x86\\",
                                                  "Ticket\\x86\\uniDRV.DLL"}));
    EXPECT_EQ(Slurp(m_out + "\\Ticket\\x86\\uniDRV.DLL"), "x86 driver");
    EXPECT_EQ(Slurp(m_out + "\\Barcode\\Common\\THERMAL.chm"), big);
}

TEST_F(Win32ArchiveTest, OutputFolderWithoutTrailingSeparatorWorksAlike) {
    std::string cab = m_root + "\\DriverData.Drv";
    Spill(cab, e2e::MakeCabinet({{"Ticket\\b.txt", "b"}}));
    ASSERT_EQ(0, m_archive.Extract(m_module, cab.c_str(), m_out.c_str(), nullptr));
    EXPECT_EQ(Slurp(m_out + "\\Ticket\\b.txt"), "b");
}

// A copy an earlier run left is taken as the package's own; any other file
// in an entry's place is the user's: the package is refused before anything
// is written and the file kept.
TEST_F(Win32ArchiveTest, OnlyCopiesLeftFromAnEarlierRunMayStandInTheWay) {
    ASSERT_EQ(0, Unpack({{"DriverName.cfg", "same"}, {"Ticket\\a.dll", "alpha"}}));
    ASSERT_EQ(0, Unpack({{"DriverName.cfg", "same"}, {"Ticket\\a.dll", "alpha"}}));
    EXPECT_EQ(m_unpacked, (std::vector<std::string>{"DriverName.cfg", "Ticket\\a.dll"}));
    for (const char* present : {"sane", "sam", "samey"}) {
        Spill(m_out + "\\DriverName.cfg", present);
        EXPECT_EQ(platform::win32::kExtractRefusedEntry, Unpack({{"Ticket\\b.dll", "beta"}, {"DriverName.cfg", "same"}}))
            << present;
        EXPECT_EQ(Slurp(m_out + "\\DriverName.cfg"), present);
        EXPECT_EQ(Slurp(m_out + "\\Ticket\\b.dll"), "<missing>");
        EXPECT_TRUE(m_unpacked.empty());
    }
}

// Files the package does not name, among them temporary files a killed run
// left (named as the unpacker names its own), stay as they are and do not
// stop the unpacking.
TEST_F(Win32ArchiveTest, FilesThePackageDoesNotNameAreLeftAlone) {
    ASSERT_TRUE(::CreateDirectoryA((m_out + "\\Ticket").c_str(), nullptr));
    const std::vector<std::string> others = {"cab0000.tmp", "cab0001.tmp", "cab0002.tmp", "CAB0003.TMP", "a.dll.bak"};
    for (const std::string& name : others) Spill(m_out + "\\Ticket\\" + name, "user's " + name);
    ASSERT_EQ(0, Unpack({{"Ticket\\a.dll", "alpha"}, {"Ticket\\b.dll", "beta"}, {"Ticket\\x86\\c.gpd", "gamma"}}));
    EXPECT_EQ(Slurp(m_out + "\\Ticket\\a.dll"), "alpha");
    EXPECT_EQ(Slurp(m_out + "\\Ticket\\b.dll"), "beta");
    EXPECT_EQ(Slurp(m_out + "\\Ticket\\x86\\c.gpd"), "gamma");
    for (const std::string& name : others) EXPECT_EQ(Slurp(m_out + "\\Ticket\\" + name), "user's " + name);
    EXPECT_EQ(Output().size(), 1 + others.size() + 4);  // Ticket\, the others, Ticket\x86\ and the three files
}

TEST_F(Win32ArchiveTest, ReadOnlyFlagOfAnEntryIsNotCarriedOver) {
    // The clean-up must be able to delete what was unpacked.
    ASSERT_EQ(0, Unpack({{"Ticket\\locked.gpd", "x", 0x21}}));
    std::string path = m_out + "\\Ticket\\locked.gpd";
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(::DeleteFileA(path.c_str()));
}

// Each unsafe name fails the whole cabinet, and the safe entry stored before
// it is not written either: names are checked before anything lands.
TEST_F(Win32ArchiveTest, UnsafeEntryNamesRefuseTheWholeCabinet) {
    const char* unsafe[] = {"..\\escape.txt", "Ticket\\..\\..\\escape.txt", "../escape.txt", "\\rooted.txt",
                            "C:\\drive.txt", "c:relative.txt", "\\\\server\\share\\x.txt", "Ticket\\CON",
                            "nul.txt", "Ticket\\stream.txt:hidden", "trailing.", "Ticket\\x86 \\a.dll", "",
                            "Windows\\System32\\x.dll", "escape.txt", "DRIVERNAME.CFG", "Ticket\\A.DLL"};
    for (const char* name : unsafe) {
        SCOPED_TRACE(std::string("entry name \"") + name + "\"");
        EXPECT_EQ(platform::win32::kExtractRefusedEntry,
                  Unpack({{"DriverName.cfg", "safe"}, {"Ticket\\a.dll", "safe"}, {name, "evil"}}));
        EXPECT_TRUE(Output().empty()) << Output().front();
        EXPECT_EQ(::GetFileAttributesA((m_root + "\\escape.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(Win32ArchiveTest, TruncatedDataLeavesNoPartialFile) {
    std::string cab =
        e2e::MakeCabinet({{"Ticket\\first.txt", "complete"}, {"Ticket\\second.bin", std::string(60000, 's')}});
    ASSERT_NE(0, UnpackBytes(cab.substr(0, cab.size() - 20000)));
    // A failed extraction keeps what it finished, never a piece of a file
    // and never a temporary file.
    for (const std::string& entry : Output()) {
        EXPECT_TRUE(entry == "Ticket\\" || entry == "Ticket\\first.txt") << entry;
    }
}

TEST_F(Win32ArchiveTest, NotACabinetOrMissingFails) {
    EXPECT_EQ(platform::win32::kExtractFailed, UnpackBytes("this is not a cabinet at all"));
    EXPECT_EQ(platform::win32::kExtractNoArchive,
              m_archive.Extract(m_module, (m_root + "\\missing.Drv").c_str(), m_out.c_str(), nullptr));
    EXPECT_TRUE(Output().empty());
}

TEST_F(Win32ArchiveTest, ArchivePathWithDoubleByteFolderName) {
    // "驱动" in code page 936; its second character's trail byte is not a
    // separator, but a byte scan that ignored lead bytes could split there.
    std::string folder = m_root + "\\\xC7\xFD\xB6\xAF";
    ASSERT_TRUE(::CreateDirectoryW(Wide(folder).c_str(), nullptr));
    std::string cab = folder + "\\DriverData.Drv";
    Spill(cab, e2e::MakeCabinet({{"DriverName.cfg", "x"}}));
    EXPECT_EQ(0, m_archive.Extract(m_module, cab.c_str(), m_out.c_str(), nullptr));
    EXPECT_EQ(Slurp(m_out + "\\DriverName.cfg"), "x");
}

}  // namespace
