// Entry name checks and the simulated unpacker: a good package, missing and
// damaged ones, and hostile entries that must leave nothing written.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/archive_paths.h"
#include "platform/sim/sim_archive.h"
#include "platform/sim/sim_files.h"
#include "tests/e2e/cabinet_writer.h"

namespace {

using e2e::MakeCabinet;
using platform::CheckArchiveEntryPath;
using platform::EntryPathProblem;
using platform::MakeSafeEntryPath;
using platform::sim::SimArchive;
using platform::sim::SimFiles;

TEST(ArchivePathsTest, SafeNamesBecomeBackslashPaths) {
    struct Case {
        const char* name;
        const char* path;
    } cases[] = {
        {"DriverName.cfg", "DriverName.cfg"},
        {"Ticket/x86/uniDRV.DLL", "Ticket\\x86\\uniDRV.DLL"},
        {"Ticket\\x64\\SR5801.GPD", "Ticket\\x64\\SR5801.GPD"},
        {"Barcode//Common/", "Barcode\\Common"},
        {"a/.hidden/..name", "a\\.hidden\\..name"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"COM10", "COM10"},
        {"\xD1\xF9\xC0\xFD/\x81\x5D.txt", "\xD1\xF9\xC0\xFD\\\x81\x5D.txt"},
    };
    for (const Case& c : cases) {
        std::string path;
        EXPECT_EQ(MakeSafeEntryPath(c.name, &path), EntryPathProblem::kNone) << c.name;
        EXPECT_EQ(path, c.path) << c.name;
    }
}

TEST(ArchivePathsTest, UnsafeNamesAreRefusedWithTheirReason) {
    struct Case {
        std::string name;
        EntryPathProblem problem;
    } cases[] = {
        {"", EntryPathProblem::kEmpty},
        {"//", EntryPathProblem::kAbsolute},
        {"/etc/passwd", EntryPathProblem::kAbsolute},
        {"\\Windows\\System32\\evil.dll", EntryPathProblem::kAbsolute},
        {"\\\\server\\share\\x", EntryPathProblem::kAbsolute},
        {"C:\\Windows\\evil.dll", EntryPathProblem::kColon},
        {"c:evil.dll", EntryPathProblem::kColon},
        {"file.txt:stream", EntryPathProblem::kColon},
        {"../evil.txt", EntryPathProblem::kDotComponent},
        {"Ticket\\..\\..\\evil.txt", EntryPathProblem::kDotComponent},
        {"Ticket/./x", EntryPathProblem::kDotComponent},
        {"Ticket/x86./a", EntryPathProblem::kTrailingDotOrSpace},
        {"name ", EntryPathProblem::kTrailingDotOrSpace},
        {"...", EntryPathProblem::kTrailingDotOrSpace},
        {"CON", EntryPathProblem::kDeviceName},
        {"a/nul.txt", EntryPathProblem::kDeviceName},
        {"Lpt1.log", EntryPathProblem::kDeviceName},
        {"com9", EntryPathProblem::kDeviceName},
        {"AUX .txt", EntryPathProblem::kDeviceName},
        {"x/CONOUT$", EntryPathProblem::kDeviceName},
        {std::string("a\x01") + "b", EntryPathProblem::kBadCharacter},
        {std::string("a\nb"), EntryPathProblem::kBadCharacter},
        {"what?.txt", EntryPathProblem::kBadCharacter},
        {"a*b", EntryPathProblem::kBadCharacter},
        {"a|b", EntryPathProblem::kBadCharacter},
        // A '\' after a lead byte is a trail byte to one reader and a
        // separator to another.
        {"\x81\\..\\evil", EntryPathProblem::kBrokenDoubleByte},
        {"name\xB0", EntryPathProblem::kBrokenDoubleByte},
        {"\xB0/x", EntryPathProblem::kBrokenDoubleByte},
    };
    for (const Case& c : cases) {
        std::vector<std::string> components{"untouched"};
        EXPECT_EQ(CheckArchiveEntryPath(c.name, &components), c.problem) << '"' << c.name << '"';
        EXPECT_EQ(components, std::vector<std::string>{"untouched"}) << c.name;
        EXPECT_STRNE(platform::DescribeEntryPathProblem(c.problem), "unknown");
    }
}

// A package is judged whole: each case is a run of entries (name, size,
// folder) and the problem the last one raises; every earlier one passes.
TEST(ArchivePathsTest, PackageEntriesAreCheckedAgainstTheWholePackage) {
    using platform::PackageProblem;
    struct Entry {
        std::string name;
        std::uint64_t size;
        bool folder;
    };
    const std::uint64_t kAll = platform::kMaxArchiveTotalBytes;
    struct Case {
        std::vector<Entry> entries;
        PackageProblem last;
    } cases[] = {
        {{{"Ticket/", 0, true}, {"ticket/X86/", 0, true}, {"TICKET\\x86\\a.dll", 5, false}}, PackageProblem::kNone},
        {{{"Barcode/Common/a.chm", kAll - 1, false}, {"DriverName.cfg", 1, false}}, PackageProblem::kNone},
        {{{"Barcode/Common/a.chm", kAll - 1, false}, {"DriverName.cfg", 2, false}}, PackageProblem::kTooLarge},
        {{{"Ticket/a", kAll, false}, {"Ticket/b", kAll, false}}, PackageProblem::kTooLarge},
        {{{"Windows\\System32\\x.dll", 1, false}}, PackageProblem::kOutsideRoots},
        {{{"DriverName.cfg/x", 1, false}}, PackageProblem::kOutsideRoots},
        {{{"Setup.exe", 1, false}}, PackageProblem::kOutsideRoots},
        {{{"../Ticket/a", 1, false}}, PackageProblem::kEntryPath},
        {{{"DriverName.cfg", 1, false}, {"DRIVERNAME.CFG", 1, false}}, PackageProblem::kCollision},
        {{{"Ticket/x86/a.dll", 1, false}, {"Ticket//X86\\A.DLL", 1, false}}, PackageProblem::kCollision},
        {{{"Ticket/x86", 1, false}, {"Ticket/x86/a.dll", 1, false}}, PackageProblem::kCollision},
        {{{"Ticket/x86/a.dll", 1, false}, {"Ticket/X86", 0, true}}, PackageProblem::kNone},
        {{{"Ticket/x86/a.dll", 1, false}, {"Ticket/x86/A.dll/", 0, true}}, PackageProblem::kCollision},
        // Full-width, Greek and Cyrillic letters of code page 936 fold as well.
        {{{"Ticket/\xA3\xC1.dll", 1, false}, {"Ticket/\xA3\xE1.dll", 1, false}}, PackageProblem::kCollision},
        {{{"Ticket/\xA6\xA1", 1, false}, {"Ticket/\xA6\xC1", 1, false}}, PackageProblem::kCollision},
        {{{"Ticket/\xA7\xA1", 1, false}, {"Ticket/\xA7\xD1", 1, false}}, PackageProblem::kCollision},
        {{{"Ticket/\xA3\xC1.dll", 1, false}, {"Ticket/\xA3\xC2.dll", 1, false}}, PackageProblem::kNone},
    };
    for (const Case& c : cases) {
        platform::PackageEntryCheck check;
        for (size_t i = 0; i < c.entries.size(); ++i) {
            const Entry& e = c.entries[i];
            const PackageProblem expected = i + 1 == c.entries.size() ? c.last : PackageProblem::kNone;
            EXPECT_EQ(check.Add(e.name, e.size, e.folder), expected) << e.name << " " << check.Describe();
        }
    }
    // The count bound, and a problem that sticks.
    platform::PackageEntryCheck check;
    for (size_t i = 0; i < platform::kMaxArchiveEntries; ++i) {
        ASSERT_EQ(check.Add("Ticket/" + std::to_string(i), 0, false), PackageProblem::kNone) << i;
    }
    EXPECT_EQ(check.Add("Ticket/one-more", 0, false), PackageProblem::kTooManyEntries);
    EXPECT_EQ(check.Add("Ticket/fine", 0, true), PackageProblem::kTooManyEntries);
    EXPECT_NE(check.Describe().find("one-more"), std::string::npos) << check.Describe();
}

struct TarEntry {
    TarEntry(std::string entryName, std::string bytes, unsigned entryType = AE_IFREG, std::string target = "",
             bool isHardlink = false)
        : name(std::move(entryName)), data(std::move(bytes)), type(entryType), link(std::move(target)),
          hardlink(isHardlink) {}
    std::string name;
    std::string data;
    unsigned type;
    std::string link;  // symlink target or hardlink source
    bool hardlink;
};

std::string MakeTar(const std::vector<TarEntry>& entries) {
    std::vector<char> buffer(1 << 20);
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const TarEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, 0644);
        if (e.hardlink) archive_entry_set_hardlink(entry, e.link.c_str());
        if (e.type == AE_IFLNK) archive_entry_set_symlink(entry, e.link.c_str());
        archive_entry_set_size(entry, e.type == AE_IFREG && !e.hardlink ? static_cast<la_int64_t>(e.data.size()) : 0);
        archive_write_header(a, entry);
        if (e.type == AE_IFREG && !e.hardlink) archive_write_data(a, e.data.data(), e.data.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return std::string(buffer.data(), used);
}

class SimArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/archive_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_files = std::make_unique<SimFiles>(m_env, m_dir);
        m_archive = std::make_unique<SimArchive>(m_env, *m_files);
        ASSERT_TRUE(m_files->CreateDirectoryA("C:\\out", nullptr));
    }
    void TearDown() override {
        m_archive.reset();
        m_files.reset();
        std::filesystem::remove_all(m_dir);
    }

    int Extract(const std::string& bytes, const char* output = "C:\\out") {
        EXPECT_TRUE(m_files->WriteFile("C:\\Setup\\DriverData.Drv", bytes));
        win::HMODULE module = m_archive->LoadUnpacker();
        EXPECT_NE(module, nullptr);
        int result = m_archive->Extract(module, "C:\\Setup\\DriverData.Drv", output, &m_unpacked);
        EXPECT_EQ(m_archive->FreeLibrary(module), 1);
        return result;
    }

    // Every host file under C:\out, with its bytes.
    std::vector<std::pair<std::string, std::string>> OutputFiles() {
        std::vector<std::pair<std::string, std::string>> files;
        std::string root = m_files->HostPath("C:\\out");
        for (auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            files.emplace_back(std::filesystem::relative(entry.path(), root).string(), bytes.str());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    static std::string BuiltPackage() {
        std::ifstream in(std::string(INSTALLER_BINARY_DIR) + "/DriverData.Drv", std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    static std::string SourceFile(const std::string& relative) {
        std::ifstream in(std::string(INSTALLER_SOURCE_DIR) + "/driver/package/" + relative, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    platform::sim::SimEnv m_env;
    std::string m_dir;
    std::unique_ptr<SimFiles> m_files;
    std::unique_ptr<SimArchive> m_archive;
    std::vector<std::string> m_unpacked;  // what the last extraction reported
};

TEST_F(SimArchiveTest, UnpacksThePackageWithItsFolders) {
    std::string package = BuiltPackage();
    ASSERT_FALSE(package.empty()) << "build the driver_package target first";
    ASSERT_EQ(Extract(package, "C:\\"), 0) << m_archive->LastFailure();
    EXPECT_EQ(m_files->ReadFile("C:\\DriverName.cfg"), SourceFile("DriverName.cfg"));
    EXPECT_EQ(m_files->ReadFile("c:\\ticket\\x86\\unidrv.hlp"), SourceFile("Ticket/x86/UNIDRV.HLP"));
    EXPECT_EQ(m_files->GetFileAttributesA("C:\\Barcode\\Common"), win::FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_NE(std::find(m_unpacked.begin(), m_unpacked.end(), "Ticket\\x86\\uniDRV.DLL"), m_unpacked.end());
    EXPECT_EQ(m_archive->LoadedCount(), 0);
}

TEST_F(SimArchiveTest, LoadingAndMissingInputsFail) {
    m_env.InjectFault("LoadUnpacker", win::ERROR_MOD_NOT_FOUND);
    platform::sim::SetLastError(0);
    EXPECT_EQ(m_archive->LoadUnpacker(), nullptr);
    EXPECT_EQ(platform::sim::LastError(), win::ERROR_MOD_NOT_FOUND);

    win::HMODULE module = m_archive->LoadUnpacker();
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(m_archive->HasEntryPoints(module));
    m_archive->SetHasEntryPoints(false);
    EXPECT_FALSE(m_archive->HasEntryPoints(module));
    EXPECT_NE(m_archive->Extract(module, "C:\\Setup\\DriverData.Drv", "C:\\out", nullptr), 0);
    EXPECT_NE(m_archive->Extract(module, "C:\\Setup", "C:\\out", nullptr), 0);
    ASSERT_TRUE(m_files->WriteFile("C:\\Setup\\DriverData.Drv", MakeCabinet({{"a.txt", "a"}})));
    EXPECT_NE(m_archive->Extract(module, "C:\\Setup\\DriverData.Drv", "C:\\Missing", nullptr), 0);
    EXPECT_EQ(m_archive->FreeLibrary(module), 1);
    EXPECT_EQ(m_archive->FreeLibrary(module), 0);
    EXPECT_EQ(platform::sim::LastError(), win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_archive->Extract(module, "C:\\Setup\\DriverData.Drv", "C:\\out", nullptr),
              platform::sim::SIMARCHIVE_NOT_LOADED);
    EXPECT_TRUE(OutputFiles().empty());
}

// One hostile entry after good ones refuses the whole archive before any
// file is written: unsafe names, entries outside the package's places, and
// names that collide with a good one once case is set aside.
class HostileEntryTest : public SimArchiveTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(HostileEntryTest, CabinetWithTheEntryWritesNothing) {
    std::string hostile = GetParam();
    EXPECT_EQ(Extract(MakeCabinet({{"DriverName.cfg", "good"}, {"Ticket\\ok.txt", "ok"}, {hostile, "evil"}})),
              platform::sim::SIMARCHIVE_REFUSED)
        << hostile << ": " << m_archive->LastFailure();
    EXPECT_TRUE(OutputFiles().empty()) << m_files->ToString();
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/evil.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/c/evil.txt"));
}

TEST_P(HostileEntryTest, TarWithTheEntryWritesNothing) {
    std::string hostile = GetParam();
    EXPECT_EQ(Extract(MakeTar({{"DriverName.cfg", "good"}, {"Ticket/ok.txt", "ok"}, {hostile, "evil"}})),
              platform::sim::SIMARCHIVE_REFUSED)
        << hostile;
    EXPECT_TRUE(OutputFiles().empty()) << m_files->ToString();
}

INSTANTIATE_TEST_SUITE_P(Names, HostileEntryTest,
                         ::testing::Values("..\\evil.txt", "../../evil.txt", "Ticket\\..\\..\\evil.txt",
                                           "\\evil.txt", "C:\\evil.txt", "evil.txt:stream", "CON", "Ticket\\nul.dll",
                                           "evil.txt.", "Ticket\\ \\evil", "Windows\\System32\\x.dll",
                                           "evil.txt", "DriverName.cfg\\x", "TICKET\\OK.TXT",
                                           "drivername.CFG", "Ticket\\ok.txt\\inner"));

TEST_F(SimArchiveTest, LinkEntriesAreRefused) {
    TarEntry symlink{"Ticket/escape", "", AE_IFLNK, "/etc"};
    EXPECT_EQ(Extract(MakeTar({{"Ticket/good.txt", "good"}, symlink})), platform::sim::SIMARCHIVE_REFUSED);
    TarEntry hardlink{"Ticket/passwd", "", AE_IFREG, "/etc/passwd", true};
    EXPECT_EQ(Extract(MakeTar({{"Ticket/good.txt", "good"}, hardlink})), platform::sim::SIMARCHIVE_REFUSED);
    TarEntry fifo{"Ticket/pipe", "", AE_IFIFO};
    EXPECT_EQ(Extract(MakeTar({{"Ticket/good.txt", "good"}, fifo})), platform::sim::SIMARCHIVE_REFUSED);
    EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(SimArchiveTest, PathsBeyondMaxPathAreRefused) {
    std::string deep = "Ticket\\";
    for (int i = 0; i < 30; ++i) deep += "folder" + std::to_string(i) + "\\";
    EXPECT_EQ(Extract(MakeCabinet({{"Ticket\\ok.txt", "x"}, {deep + "a.txt", "x"}})), platform::sim::SIMARCHIVE_REFUSED);
    EXPECT_TRUE(OutputFiles().empty());
}

// A link or junction anywhere on the way to an entry refuses the package
// before anything is written, also the entries that do not pass it.
TEST_F(SimArchiveTest, LinkInTheOutputTreeIsNotWrittenThrough) {
    for (const char* link : {"C:\\out\\Ticket", "C:\\out\\Ticket\\x86", "C:\\out\\Ticket\\x86\\a.dll"}) {
        SCOPED_TRACE(link);
        std::filesystem::remove_all(m_files->HostPath("C:\\out"));
        ASSERT_TRUE(m_files->CreateFolders("C:\\out\\Ticket\\x86").error == 0);
        std::filesystem::remove_all(m_files->HostPath(link));
        std::string outside = m_dir + "/outside";
        std::filesystem::remove_all(outside);
        std::filesystem::create_directory(outside);
        ASSERT_TRUE(m_files->MakeLink(link, outside));
        EXPECT_EQ(Extract(MakeCabinet({{"DriverName.cfg", "first"}, {"Ticket\\x86\\a.dll", "evil"}})),
                  platform::sim::SIMARCHIVE_REFUSED);
        EXPECT_TRUE(std::filesystem::is_empty(outside));
        EXPECT_TRUE(OutputFiles().empty()) << m_files->ToString();
    }
}

// Only an exact copy of an entry may already stand in its place; a folder
// or different bytes there refuse the package before anything is written,
// and the file that was there is kept.
TEST_F(SimArchiveTest, SomethingElseInAnEntrysPlaceRefusesThePackage) {
    ASSERT_TRUE(m_files->CreateDirectoryA("C:\\out\\DriverName.cfg", nullptr));
    EXPECT_EQ(Extract(MakeCabinet({{"Ticket\\a.txt", "alpha"}, {"DriverName.cfg", "beta"}})),
              platform::sim::SIMARCHIVE_REFUSED);
    EXPECT_TRUE(OutputFiles().empty());

    ASSERT_TRUE(m_files->WriteFile("C:\\out\\Ticket\\ro.txt", "old"));
    ASSERT_TRUE(m_files->SetReadOnly("C:\\out\\Ticket\\ro.txt", true));
    EXPECT_EQ(Extract(MakeCabinet({{"Ticket\\a.txt", "alpha"}, {"Ticket\\ro.txt", "new"}})),
              platform::sim::SIMARCHIVE_REFUSED);
    EXPECT_EQ(OutputFiles(), (std::vector<std::pair<std::string, std::string>>{{"Ticket/ro.txt", "old"}}));
    // A longer or shorter file with the entry's bytes at its start is not a copy either.
    ASSERT_TRUE(m_files->SetReadOnly("C:\\out\\Ticket\\ro.txt", false));
    for (const char* present : {"ol", "oldest"}) {
        ASSERT_TRUE(m_files->WriteFile("C:\\out\\Ticket\\ro.txt", present));
        EXPECT_EQ(Extract(MakeCabinet({{"Ticket\\ro.txt", "old"}})), platform::sim::SIMARCHIVE_REFUSED) << present;
        EXPECT_EQ(m_files->ReadFile("C:\\out\\Ticket\\ro.txt"), std::optional<std::string>(present));
    }
}

// Cut or damaged packages: whatever fails, no temporary file remains and
// every file present is complete. Damage in the compressed data fails the
// extraction (its blocks carry checksums); damage in the file table cannot
// be told from good data by any unpacker, but still writes only inside the
// output folder.
TEST_F(SimArchiveTest, TruncatedOrCorruptPackagesLeaveOnlyCompleteFiles) {
    std::string package = BuiltPackage();
    ASSERT_GT(package.size(), 1000u);
    // The first data block's offset, from the first folder record.
    size_t dataStart = static_cast<unsigned char>(package[36]) | static_cast<unsigned char>(package[37]) << 8 |
                       static_cast<unsigned char>(package[38]) << 16;
    ASSERT_LT(dataStart + 200, package.size());
    struct Damage {
        std::string bytes;
        bool mustFail;
        bool checkContents;
    };
    std::vector<Damage> damaged;
    for (size_t cut : {size_t{10}, size_t{200}, dataStart + 20, package.size() - 40}) {
        damaged.push_back({package.substr(0, cut), true, true});
    }
    for (size_t at : {dataStart + 20, (dataStart + package.size()) / 2, package.size() - 50}) {
        std::string corrupt = package;
        // Varying bytes: an even number of equal flips would cancel in the XOR checksum.
        for (size_t i = at; i < at + 16; ++i) corrupt[i] = static_cast<char>(corrupt[i] ^ (0x11 + 7 * (i - at)));
        damaged.push_back({corrupt, true, true});
    }
    std::string table = package;
    for (size_t i = dataStart / 2; i < dataStart / 2 + 16; ++i) table[i] = static_cast<char>(table[i] ^ 0x5A);
    damaged.push_back({table, false, false});
    damaged.push_back({std::string(4096, 'x'), true, true});
    damaged.push_back({MakeCabinet({{"a.txt", "alpha"}, {"b.txt", "beta"}}).substr(0, 95), true, false});

    for (size_t i = 0; i < damaged.size(); ++i) {
        std::filesystem::remove_all(m_files->HostPath("C:\\out"));
        ASSERT_TRUE(m_files->CreateDirectoryA("C:\\out", nullptr));
        int result = Extract(damaged[i].bytes);
        if (damaged[i].mustFail) {
            EXPECT_NE(result, 0) << "case " << i;
        }
        for (const auto& file : OutputFiles()) {
            EXPECT_EQ(file.first.find(".~extract"), std::string::npos) << "case " << i << ": " << file.first;
            if (damaged[i].checkContents && file.first.find(".~extract") == std::string::npos) {
                EXPECT_EQ(file.second, SourceFile(file.first)) << "case " << i << ": " << file.first;
            }
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), std::filesystem::directory_iterator()), 1)
            << "case " << i << ": something landed beside C:\\";
    }
}

}  // namespace
