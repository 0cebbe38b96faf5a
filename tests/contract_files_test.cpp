// Contract of the Files service: the results and last errors that the
// installer relies on, written the way Wine's conformance tests are (last
// error set to 0xdeadbeef, the call, then the exact result and error). The
// suite is typed over a traits class so that the same assertions run on the
// simulated machine here and on the Win32 backend under Wine. A traits class
// gives: files() (the service), Root() (an empty scratch folder, a Windows
// path without a trailing '\'), Write(path, bytes), SetReadOnly(path, on),
// Versioned(path) (a file with a version resource: there, or the system's),
// LastError() and SetLastError(code).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sim/sim_files.h"
#include "tests/support/contract_machines.h"

// The Win32 backend's traits come from the Windows test build (run under
// Wine by scripts/e2e-wine.sh).
#if defined(_WIN32)
#include "tests/e2e/contract_support_win.h"
#define INSTALLER_HAVE_WIN32_FILES_TRAITS 1
#endif

namespace {
#ifdef _WIN32
bool UnderWine() { return e2e::RunningUnderWine(); }
#else
constexpr bool UnderWine() { return false; }
#endif
}  // namespace

namespace {

constexpr win::DWORD kUnset = 0xDEADBEEF;

template <typename Traits>
class FilesContractTest : public ::testing::Test {
protected:
    Traits m_traits;
    platform::Files& files() { return m_traits.files(); }
    std::string At(const std::string& name) { return m_traits.Root() + "\\" + name; }
    void Unset() { m_traits.SetLastError(kUnset); }
    win::DWORD Error() { return m_traits.LastError(); }
};

TYPED_TEST_SUITE_P(FilesContractTest);

TYPED_TEST_P(FilesContractTest, AttributesOfMissingNames) {
    this->Unset();
    EXPECT_EQ(this->files().GetFileAttributesA(this->At("missing.txt").c_str()), win::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);
    this->Unset();
    EXPECT_EQ(this->files().GetFileAttributesA(this->At("missing\\file.txt").c_str()), win::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(this->Error(), win::ERROR_PATH_NOT_FOUND);
    this->m_traits.Write(this->At("a.txt"), "x");
    this->Unset();
    EXPECT_EQ(this->files().GetFileAttributesA(this->At("A.TXT").c_str()) & win::FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(this->Error(), kUnset);
}

TYPED_TEST_P(FilesContractTest, CopyFileResultsAndErrors) {
    this->m_traits.Write(this->At("src.dll"), "new");
    this->m_traits.Write(this->At("dst.dll"), "old");
    this->Unset();
    EXPECT_EQ(this->files().CopyFileA(this->At("src.dll").c_str(), this->At("dst.dll").c_str(), 1), 0);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_EXISTS);
    this->Unset();
    EXPECT_EQ(this->files().CopyFileA(this->At("none.dll").c_str(), this->At("x.dll").c_str(), 0), 0);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);
    this->Unset();
    EXPECT_EQ(this->files().CopyFileA(this->At("src.dll").c_str(), this->At("none\\x.dll").c_str(), 0), 0);
    EXPECT_EQ(this->Error(), win::ERROR_PATH_NOT_FOUND);
    this->m_traits.SetReadOnly(this->At("dst.dll"), true);
    this->Unset();
    if (UnderWine()) {
        // Wine copies over a read-only file (docs/wine-differences.md).
        EXPECT_EQ(this->files().CopyFileA(this->At("src.dll").c_str(), this->At("dst.dll").c_str(), 0), 1);
    } else {
        EXPECT_EQ(this->files().CopyFileA(this->At("src.dll").c_str(), this->At("dst.dll").c_str(), 0), 0);
        EXPECT_EQ(this->Error(), win::ERROR_ACCESS_DENIED);
    }
    this->m_traits.SetReadOnly(this->At("dst.dll"), false);
    EXPECT_EQ(this->files().CopyFileA(this->At("src.dll").c_str(), this->At("dst.dll").c_str(), 0), 1);
}

TYPED_TEST_P(FilesContractTest, DeleteAndRemoveResultsAndErrors) {
    std::string folder = this->At("Ticket");
    this->Unset();
    EXPECT_EQ(this->files().CreateDirectoryA(folder.c_str(), nullptr), 1);
    EXPECT_EQ(this->files().CreateDirectoryA(folder.c_str(), nullptr), 0);
    EXPECT_EQ(this->Error(), win::ERROR_ALREADY_EXISTS);
    this->Unset();
    EXPECT_EQ(this->files().CreateDirectoryA((folder + "\\a\\b").c_str(), nullptr), 0);
    EXPECT_EQ(this->Error(), win::ERROR_PATH_NOT_FOUND);
    this->m_traits.Write(folder + "\\ro.gpd", "x");
    this->m_traits.SetReadOnly(folder + "\\ro.gpd", true);

    this->Unset();
    EXPECT_EQ(this->files().DeleteFileA(folder.c_str()), 0);
    EXPECT_EQ(this->Error(), win::ERROR_ACCESS_DENIED);
    this->Unset();
    EXPECT_EQ(this->files().DeleteFileA((folder + "//ro.gpd").c_str()), 0);
    EXPECT_EQ(this->Error(), win::ERROR_ACCESS_DENIED);
    this->Unset();
    EXPECT_EQ(this->files().DeleteFileA((folder + "//none.gpd").c_str()), 0);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);
    this->Unset();
    EXPECT_EQ(this->files().RemoveDirectoryA(folder.c_str()), 0);
    EXPECT_EQ(this->Error(), win::ERROR_DIR_NOT_EMPTY);
    this->Unset();
    EXPECT_EQ(this->files().RemoveDirectoryA(this->At("none").c_str()), 0);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);

    this->m_traits.SetReadOnly(folder + "\\ro.gpd", false);
    EXPECT_EQ(this->files().DeleteFileA((folder + "//ro.gpd").c_str()), 1);
    EXPECT_EQ(this->files().RemoveDirectoryA(folder.c_str()), 1);
}

// How a loaded file is moved out of the way: renamed (onto an older file of
// that name), then marked for deletion at the next start, where it stays
// until then.
TYPED_TEST_P(FilesContractTest, MoveFileResultsAndErrors) {
    this->m_traits.Write(this->At("mon.dll"), "old");
    this->m_traits.Write(this->At("mon.dll.old-1"), "older");
    this->Unset();
    EXPECT_EQ(this->files().MoveFileExA(this->At("mon.dll").c_str(), this->At("mon.dll.old-1").c_str(), 0), 0);
    EXPECT_EQ(this->Error(), win::ERROR_ALREADY_EXISTS);
    this->Unset();
    EXPECT_EQ(this->files().MoveFileExA(this->At("none.dll").c_str(), this->At("x.dll").c_str(), 0), 0);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);
    this->Unset();
    EXPECT_EQ(this->files().MoveFileExA(this->At("mon.dll").c_str(), this->At("none\\x.dll").c_str(), 0), 0);
    EXPECT_EQ(this->Error(), win::ERROR_PATH_NOT_FOUND);

    const std::string aside = this->At("mon.dll.old-1");
    ASSERT_EQ(this->files().MoveFileExA(this->At("mon.dll").c_str(), aside.c_str(), win::MOVEFILE_REPLACE_EXISTING), 1);
    EXPECT_EQ(this->files().GetFileAttributesA(this->At("mon.dll").c_str()), win::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(this->files().MoveFileExA(aside.c_str(), nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT), 1);
    EXPECT_NE(this->files().GetFileAttributesA(aside.c_str()), win::INVALID_FILE_ATTRIBUTES);
    this->Unset();
    const win::BOOL copyAtRestart = this->files().MoveFileExA(
        aside.c_str(), nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT | win::MOVEFILE_COPY_ALLOWED);
    if (!UnderWine()) {
        // Wine records it all the same (docs/wine-differences.md).
        EXPECT_EQ(copyAtRestart, 0);
        EXPECT_EQ(this->Error(), win::ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(this->files().DeleteFileA(aside.c_str()), 1);
}

TYPED_TEST_P(FilesContractTest, FindListsDotsFirstAndEndsWithNoMoreFiles) {
    std::string folder = this->At("Pkg");
    ASSERT_EQ(this->files().CreateDirectoryA(folder.c_str(), nullptr), 1);
    this->m_traits.Write(folder + "\\one.txt", "1");
    ASSERT_EQ(this->files().CreateDirectoryA((folder + "\\Sub").c_str(), nullptr), 1);

    win::WIN32_FIND_DATAA data{};
    win::HANDLE find = this->files().FindFirstFileA((folder + "//*.*").c_str(), &data);
    ASSERT_NE(find, win::INVALID_HANDLE_VALUE);
    std::vector<std::string> names{data.cFileName};
    std::vector<win::DWORD> attributes{data.dwFileAttributes};
    while (this->files().FindNextFileA(find, &data)) {
        names.push_back(data.cFileName);
        attributes.push_back(data.dwFileAttributes);
    }
    EXPECT_EQ(this->Error(), win::ERROR_NO_MORE_FILES);
    EXPECT_EQ(this->files().FindClose(find), 1);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], ".");
    EXPECT_EQ(names[1], "..");
    // The order of the rest is the file system's own.
    std::vector<std::string> rest(names.begin() + 2, names.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string>{"Sub", "one.txt"}));
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ((attributes[i] & win::FILE_ATTRIBUTE_DIRECTORY) != 0, names[i] != "one.txt") << names[i];
    }

    this->Unset();
    EXPECT_EQ(this->files().FindFirstFileA(this->At("none\\*.*").c_str(), &data), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(this->Error(), win::ERROR_PATH_NOT_FOUND);
    this->Unset();
    EXPECT_EQ(this->files().FindFirstFileA((folder + "\\*.dll").c_str(), &data), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);
}

TYPED_TEST_P(FilesContractTest, DirectoryQueriesReportTheSizeNeeded) {
    char buffer[260];
    std::memset(buffer, 'x', sizeof buffer);
    win::UINT length = this->files().GetWindowsDirectoryA(buffer, sizeof buffer);
    ASSERT_GT(length, 2u);
    EXPECT_EQ(std::strlen(buffer), length);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(this->files().GetWindowsDirectoryA(buffer, length), length + 1);
    EXPECT_EQ(this->files().GetSystemDirectoryA(buffer, 3) > 3, true);
    win::DWORD current = this->files().GetCurrentDirectoryA(0, nullptr);
    EXPECT_EQ(this->files().GetCurrentDirectoryA(sizeof buffer, buffer) + 1, current);
}

TYPED_TEST_P(FilesContractTest, ProfileStringsAndSectionNames) {
    std::string ini = this->At("DriverName.cfg");
    this->m_traits.Write(ini, "[section1]\r\n name1 = val1 \r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n");
    char buffer[64];
    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(this->files().GetPrivateProfileSectionNamesA(buffer, sizeof buffer, ini.c_str()), 18u);
    EXPECT_EQ(std::memcmp(buffer, "section1\0section2\0\0", 19), 0);
    EXPECT_EQ(this->files().GetPrivateProfileSectionNamesA(buffer, 18, ini.c_str()), 16u);
    EXPECT_EQ(this->files().GetPrivateProfileStringA("SECTION1", "NAME1", "default", buffer, sizeof buffer, ini.c_str()), 4u);
    EXPECT_STREQ(buffer, "val1");
    EXPECT_EQ(this->files().GetPrivateProfileStringA("section1", "name2", "default", buffer, sizeof buffer, ini.c_str()), 4u);
    EXPECT_STREQ(buffer, "val2");
    EXPECT_EQ(this->files().GetPrivateProfileStringA("section1", "name3", nullptr, buffer, sizeof buffer, ini.c_str()), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(this->files().GetPrivateProfileStringA("section1", "name1", "default", buffer, 4, ini.c_str()), 3u);
    EXPECT_STREQ(buffer, "val");
    EXPECT_EQ(this->files().GetPrivateProfileStringA("section2", "name1", "def  ", buffer, sizeof buffer, ini.c_str()), 3u);
    EXPECT_STREQ(buffer, "def");
    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(this->files().GetPrivateProfileSectionNamesA(buffer, sizeof buffer, this->At("none.cfg").c_str()), 0u);
    EXPECT_EQ(buffer[0], 0);
}

// What the package's private folder is made with: the temporary folder
// and the program's own name (both cut or sized as their A functions do),
// and a folder made with an access list from SDDL, which the process that
// made it can fill and remove; a name that is taken stays refused.
TYPED_TEST_P(FilesContractTest, PrivateFolderCalls) {
    platform::Files& files = this->files();
    char small[4] = {};
    const win::DWORD needed = files.GetTempPath2A(sizeof small, small);
    ASSERT_GT(needed, static_cast<win::DWORD>(sizeof small));
    std::string temp(needed, '\0');
    const win::DWORD length = files.GetTempPath2A(needed, &temp[0]);
    ASSERT_EQ(length + 1, needed);
    temp.resize(length);
    EXPECT_EQ(temp.back(), '\\');

    this->Unset();
    EXPECT_EQ(files.GetModuleFileNameA(nullptr, small, sizeof small), static_cast<win::DWORD>(sizeof small));
    EXPECT_EQ(this->Error(), 122u);  // ERROR_INSUFFICIENT_BUFFER
    EXPECT_EQ(small[sizeof small - 1], '\0');
    char program[win::MAX_PATH] = {};
    const win::DWORD programLength = files.GetModuleFileNameA(nullptr, program, sizeof program);
    ASSERT_GT(programLength, 3u);
    EXPECT_EQ(std::strlen(program), programLength);
    EXPECT_EQ(program[1], ':');

    void* descriptor = nullptr;
    EXPECT_EQ(files.ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(Z;;;)", 1, &descriptor, nullptr), 0);
    ASSERT_EQ(files.ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", 1,
                                                                          &descriptor, nullptr),
              1);
    ASSERT_NE(descriptor, nullptr);
    win::SECURITY_ATTRIBUTES security{sizeof(win::SECURITY_ATTRIBUTES), descriptor, 0};
    const std::string folder = this->At("private");
    ASSERT_EQ(files.CreateDirectoryA(folder.c_str(), &security), 1);
    this->Unset();
    EXPECT_EQ(files.CreateDirectoryA(folder.c_str(), &security), 0);
    EXPECT_EQ(this->Error(), win::ERROR_ALREADY_EXISTS);
    EXPECT_EQ(files.LocalFree(descriptor), nullptr);
    this->m_traits.Write(this->At("driver.dll"), "driver");
    EXPECT_EQ(files.CopyFileA(this->At("driver.dll").c_str(), (folder + "\\driver.dll").c_str(), 0), 1);
    EXPECT_EQ(files.DeleteFileA((folder + "\\driver.dll").c_str()), 1);
    EXPECT_EQ(files.RemoveDirectoryA(folder.c_str()), 1);
}

// The package is read to its end for its fingerprint; a driver DLL's
// version is its resource's root block.
TYPED_TEST_P(FilesContractTest, ReadingAFileAndItsVersionResource) {
    this->m_traits.Write(this->At("package.bin"), "hello");
    this->Unset();
    EXPECT_EQ(this->files().CreateFileA(this->At("none.bin").c_str(), win::GENERIC_READ, win::FILE_SHARE_READ,
                                        nullptr, win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, nullptr),
              win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(this->Error(), win::ERROR_FILE_NOT_FOUND);
    win::HANDLE file = this->files().CreateFileA(this->At("package.bin").c_str(), win::GENERIC_READ,
                                                 win::FILE_SHARE_READ, nullptr, win::OPEN_EXISTING,
                                                 win::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, win::INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    win::DWORD read = 99;
    EXPECT_EQ(this->files().ReadFile(file, buffer, 3, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "hel");
    EXPECT_EQ(this->files().ReadFile(file, buffer, sizeof buffer, &read), 1);
    EXPECT_EQ(std::string(buffer, read), "lo");
    EXPECT_EQ(this->files().ReadFile(file, buffer, sizeof buffer, &read), 1) << "the end is no failure";
    EXPECT_EQ(read, 0u);
    this->Unset();
    EXPECT_EQ(this->files().WriteFile(file, "x", 1, &read), 0) << "opened to read only";
    EXPECT_EQ(this->Error(), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(this->files().CloseHandle(file), 1);

    win::DWORD handle = 99;
    this->Unset();
    EXPECT_EQ(this->files().GetFileVersionInfoSizeA(this->At("package.bin").c_str(), &handle), 0u);
    EXPECT_NE(this->Error(), kUnset);
    const std::string versioned = this->m_traits.Versioned(this->At("driver.dll"));
    const win::DWORD size = this->files().GetFileVersionInfoSizeA(versioned.c_str(), &handle);
    ASSERT_GT(size, sizeof(win::VS_FIXEDFILEINFO)) << versioned;
    std::vector<char> block(size);
    ASSERT_EQ(this->files().GetFileVersionInfoA(versioned.c_str(), handle, size, block.data()), 1);
    void* fixed = nullptr;
    win::UINT length = 0;
    ASSERT_EQ(this->files().VerQueryValueA(block.data(), "\\", &fixed, &length), 1);
    ASSERT_EQ(length, sizeof(win::VS_FIXEDFILEINFO));
    EXPECT_EQ(static_cast<const win::VS_FIXEDFILEINFO*>(fixed)->dwSignature, win::VS_FFI_SIGNATURE);
    EXPECT_NE(static_cast<const win::VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS, 0u);
}

REGISTER_TYPED_TEST_SUITE_P(FilesContractTest, AttributesOfMissingNames, CopyFileResultsAndErrors,
                            DeleteAndRemoveResultsAndErrors, MoveFileResultsAndErrors,
                            FindListsDotsFirstAndEndsWithNoMoreFiles,
                            DirectoryQueriesReportTheSizeNeeded, ProfileStringsAndSectionNames,
                            PrivateFolderCalls, ReadingAFileAndItsVersionResource);

#if !defined(_WIN32)
class SimFilesTraits {
public:
    SimFilesTraits() {
        char pattern[] = "/tmp/contract_files_XXXXXX";
        m_dir = ::mkdtemp(pattern) ? pattern : "";
        m_files = std::make_unique<platform::sim::SimFiles>(m_env, m_dir);
        m_files->CreateDirectoryA("C:\\contract", nullptr);
    }
    ~SimFilesTraits() {
        m_files.reset();
        std::filesystem::remove_all(m_dir);
    }
    platform::Files& files() { return *m_files; }
    std::string Root() { return "C:\\contract"; }
    void Write(const std::string& path, const std::string& bytes) { ASSERT_TRUE(m_files->WriteFile(path, bytes)); }
    void SetReadOnly(const std::string& path, bool on) { ASSERT_TRUE(m_files->SetReadOnly(path, on)); }
    // A file with version 1.2.3.4 at `path`.
    std::string Versioned(const std::string& path) {
        EXPECT_TRUE(m_files->WriteFile(path, "MZ driver code"));
        EXPECT_TRUE(m_files->SetFileVersion(path, 1, 2, 3, 4));
        return path;
    }
    win::DWORD LastError() { return platform::sim::LastError(); }
    void SetLastError(win::DWORD code) { platform::sim::SetLastError(code); }

private:
    platform::sim::SimEnv m_env;
    std::string m_dir;
    std::unique_ptr<platform::sim::SimFiles> m_files;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, FilesContractTest, SimFilesTraits);
#endif

#if defined(INSTALLER_HAVE_WIN32_FILES_TRAITS)
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FilesContractTest, e2e::Win32FilesTraits);
#endif

// What WOW64's file-system redirection does to this 32-bit program on 64-bit
// Windows (the "File System Redirector" page): run only on such a machine,
// the simulated one by default and Wine's 64-bit prefix.
class Wow64FilesContract : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        m_machine = e2e::MakeWin32Machine();
#else
        m_machine = contract::MakeScratchSimMachine("wow64-files");
#endif
        platform::SystemInfo& system = m_machine->system();
        win::BOOL wow64 = 0;
        if (!system.HasIsWow64Process() || !system.IsWow64Process(m_machine->services().GetCurrentProcess(), &wow64) ||
            !wow64) {
            GTEST_SKIP() << "not a 32-bit program on 64-bit Windows";
        }
        char buffer[260] = {};
        ASSERT_GT(files().GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
        m_windows = buffer;
        ASSERT_GT(files().GetSystemDirectoryA(buffer, sizeof buffer), 0u);
        m_system = buffer;
        m_name = "contract-wow64-" + std::to_string(++s_counter);
        m_source = m_windows + "\\" + m_name + ".src";
#ifdef _WIN32
        ASSERT_TRUE(e2e::PlaceWin32File(*m_machine, m_source, "monitor"));
#else
        ASSERT_TRUE(static_cast<platform::sim::SimMachine&>(*m_machine).sim_files().WriteFile(m_source, "monitor"));
#endif
    }
    void TearDown() override {
        if (!m_source.empty()) files().DeleteFileA(m_source.c_str());
    }
    platform::Files& files() { return m_machine->files(); }
    std::string Native() { return m_windows + "\\Sysnative"; }
    std::string Wow64() { return m_windows + "\\SysWOW64"; }
    // GetFileAttributesA's answer and, when it fails, its error.
    std::pair<win::DWORD, win::DWORD> Attributes(const std::string& path) {
        m_machine->SetLastError(kUnset);
        const win::DWORD attributes = files().GetFileAttributesA(path.c_str());
        return {attributes, attributes == win::INVALID_FILE_ATTRIBUTES ? m_machine->GetLastError() : 0};
    }

    static inline int s_counter = 0;
    std::unique_ptr<platform::Machine> m_machine;
    std::string m_windows, m_system, m_name, m_source;
};

TEST_F(Wow64FilesContract, SystemFolderIsSysWOW64AndSysnativeTheRealOne) {
    const std::pair<win::DWORD, win::DWORD> missing{win::INVALID_FILE_ATTRIBUTES, win::ERROR_FILE_NOT_FOUND};
    const std::pair<win::DWORD, win::DWORD> file{win::FILE_ATTRIBUTE_ARCHIVE, 0};
    // What GetSystemDirectoryA names is SysWOW64 to this program.
    const std::string viaSystem = m_system + "\\" + m_name + ".dll";
    ASSERT_EQ(files().CopyFileA(m_source.c_str(), viaSystem.c_str(), 0), 1);
    EXPECT_EQ(Attributes(Wow64() + "\\" + m_name + ".dll"), file);
    EXPECT_EQ(Attributes(Native() + "\\" + m_name + ".dll"), missing);
    EXPECT_EQ(files().DeleteFileA(viaSystem.c_str()), 1);
    // Sysnative reaches the System32 that 64-bit programs see.
    const std::string viaNative = Native() + "\\" + m_name + ".dll";
    ASSERT_EQ(files().CopyFileA(m_source.c_str(), viaNative.c_str(), 0), 1);
    EXPECT_EQ(Attributes(viaNative), file);
    EXPECT_EQ(Attributes(viaSystem), missing);
    EXPECT_EQ(Attributes(Wow64() + "\\" + m_name + ".dll"), missing);
    EXPECT_EQ(files().DeleteFileA(viaNative.c_str()), 1);
}

TEST_F(Wow64FilesContract, ExemptFoldersAreTheRealSystemFolders) {
    for (const char* exempt : {"spool", "catroot", "catroot2", "driverstore", "drivers\\etc", "logfiles"}) {
        SCOPED_TRACE(exempt);
        // Made where it belongs when the machine lacks it.
        files().CreateDirectoryA((Native() + "\\drivers").c_str(), nullptr);
        files().CreateDirectoryA((Native() + "\\" + exempt).c_str(), nullptr);
        const std::string folder = m_system + "\\" + exempt + "\\" + m_name;
        if (UnderWine() && std::strcmp(exempt, "driverstore") == 0) {
            // Wine's list spells it "driversstore", so driverstore is
            // redirected there (docs/wine-differences.md).
            files().CreateDirectoryA(folder.c_str(), nullptr);
            EXPECT_EQ(Attributes(Native() + "\\driverstore\\" + m_name).first, win::INVALID_FILE_ATTRIBUTES);
            files().RemoveDirectoryA(folder.c_str());
            continue;
        }
        ASSERT_EQ(files().CreateDirectoryA(folder.c_str(), nullptr), 1);
        EXPECT_EQ(Attributes(Native() + "\\" + exempt + "\\" + m_name).first & win::FILE_ATTRIBUTE_DIRECTORY,
                  win::FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(Attributes(Wow64() + "\\" + exempt + "\\" + m_name).first, win::INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(files().RemoveDirectoryA(folder.c_str()), 1);
    }
}

}  // namespace
