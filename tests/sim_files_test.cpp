// The simulated C:\ tree: path resolution, the file calls' results and
// errors, folder listings, and links that nothing may follow.
#include "platform/sim/sim_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {


using platform::sim::LastError;
using platform::sim::SetLastError;
using platform::sim::SimEnv;
using platform::sim::SimFiles;

constexpr win::DWORD kUntouched = 0xDEADBEEF;

class SimFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sim_files_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_files = std::make_unique<SimFiles>(m_env, m_dir);
        SetLastError(kUntouched);
    }
    void TearDown() override {
        m_files.reset();
        // Read-only folders would stop the removal.
        for (auto& entry : std::filesystem::recursive_directory_iterator(m_dir)) {
            if (!entry.is_symlink()) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add);
            }
        }
        std::filesystem::remove_all(m_dir);
    }

    std::vector<std::string> List(const std::string& pattern, std::vector<win::DWORD>* attributes = nullptr) {
        std::vector<std::string> names;
        win::WIN32_FIND_DATAA data{};
        win::HANDLE find = m_files->FindFirstFileA(pattern.c_str(), &data);
        if (find == win::INVALID_HANDLE_VALUE) return names;
        do {
            names.push_back(data.cFileName);
            if (attributes) attributes->push_back(data.dwFileAttributes);
        } while (m_files->FindNextFileA(find, &data));
        EXPECT_EQ(LastError(), win::ERROR_NO_MORE_FILES);
        EXPECT_EQ(m_files->FindClose(find), 1);
        return names;
    }

    SimEnv m_env;
    std::string m_dir;
    std::unique_ptr<SimFiles> m_files;
};

TEST_F(SimFilesTest, ResolvesPathsWithoutCaseAndWithEitherSeparator) {
    ASSERT_TRUE(m_files->WriteFile("C:\\Ticket\\x86\\uniDRV.DLL", "driver"));
    for (const char* spelling : {"c:\\ticket\\X86\\UNIDRV.dll", "C:/Ticket/x86/uniDRV.DLL", "c:\\Ticket//x86//uniDRV.DLL",
                                 "C:\\Ticket\\.\\x86\\..\\x86\\uniDRV.DLL", "\\Ticket\\x86\\uniDRV.DLL",
                                 "C:\\..\\..\\Ticket\\x86\\uniDRV.DLL"}) {
        SetLastError(kUntouched);
        EXPECT_EQ(m_files->GetFileAttributesA(spelling), win::FILE_ATTRIBUTE_ARCHIVE) << spelling;
        EXPECT_EQ(LastError(), kUntouched) << spelling;
    }
    EXPECT_EQ(m_files->ReadFile("c:/TICKET/x86/unidrv.dll").value_or(""), "driver");
    // Relative paths start at the current folder.
    ASSERT_TRUE(m_files->SetCurrentDirectory("c:\\ticket"));
    EXPECT_EQ(m_files->GetFileAttributesA("X86\\uniDRV.DLL"), win::FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(m_files->GetFileAttributesA("C:x86\\uniDRV.DLL"), win::FILE_ATTRIBUTE_ARCHIVE);
    // Only one host file exists whatever the spelling.
    ASSERT_TRUE(m_files->WriteFile("C:\\TICKET\\X86\\UNIDRV.DLL", "new"));
    EXPECT_EQ(List("C:\\Ticket\\x86\\*.*"), (std::vector<std::string>{".", "..", "uniDRV.DLL"}));
    // Names known to the folder's index that went on the host are gone by
    // any spelling; one that came is found at least as it is spelled there.
    const std::string host = m_files->HostPath("C:\\Ticket\\x86");
    std::filesystem::rename(host + "/uniDRV.DLL", host + "/Moved.DLL");
    EXPECT_FALSE(m_files->Exists("c:\\ticket\\x86\\unidrv.dll"));
    EXPECT_TRUE(m_files->Exists("C:\\Ticket\\x86\\Moved.DLL"));
}

TEST_F(SimFilesTest, DoubleByteCharactersAreComparedAsTheyAre) {
    // B0 61 and B0 41 are two different characters whose trail bytes happen
    // to be 'a' and 'A': no case folding applies to them.
    ASSERT_TRUE(m_files->WriteFile("C:\\\xB0\x61.txt", "one"));
    ASSERT_TRUE(m_files->WriteFile("C:\\\xB0\x41.txt", "two"));
    EXPECT_EQ(m_files->ReadFile("C:\\\xB0\x61.TXT").value_or(""), "one");
    EXPECT_EQ(m_files->ReadFile("C:\\\xB0\x41.txt").value_or(""), "two");
    EXPECT_TRUE(platform::sim::NamesEqualNoCase("ab\xB0\x61", "AB\xB0\x61"));
    EXPECT_FALSE(platform::sim::NamesEqualNoCase("\xB0\x61", "\xB0\x41"));
}

TEST_F(SimFilesTest, MissingFoldersAndOtherDrivesAreNotFound) {
    struct Case {
        const char* path;
        win::DWORD error;
    } cases[] = {
        {"D:\\Windows", win::ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\file", win::ERROR_PATH_NOT_FOUND},
        {"", win::ERROR_PATH_NOT_FOUND},
        {"C:\\file.txt\\below", win::ERROR_PATH_NOT_FOUND},
    };
    ASSERT_TRUE(m_files->WriteFile("C:\\file.txt", "x"));
    for (const Case& c : cases) {
        SetLastError(kUntouched);
        EXPECT_EQ(m_files->GetFileAttributesA(c.path), win::INVALID_FILE_ATTRIBUTES) << c.path;
        EXPECT_EQ(LastError(), c.error) << c.path;
    }
}

TEST_F(SimFilesTest, FolderQueriesFollowTheBufferRules) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(m_files->GetWindowsDirectoryA(buffer, 10), 11u);  // "C:\Windows" needs 11 with its zero
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(m_files->GetWindowsDirectoryA(buffer, 11), 10u);
    EXPECT_STREQ(buffer, "C:\\Windows");
    EXPECT_EQ(m_files->GetSystemDirectoryA(buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "C:\\Windows\\System32");
    EXPECT_EQ(m_files->GetCurrentDirectoryA(0, nullptr), 9u);
    EXPECT_EQ(m_files->GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
    EXPECT_STREQ(buffer, "C:\\Setup");
    EXPECT_EQ(m_files->GetFileAttributesA("C:\\Windows\\SysWOW64"), win::FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_FALSE(m_files->SetCurrentDirectory("C:\\Nowhere"));
    ASSERT_TRUE(m_files->CreateDirectoryA("C:\\Users", nullptr));
    ASSERT_TRUE(m_files->SetCurrentDirectory("c:\\users\\"));
    EXPECT_EQ(m_files->GetCurrentDirectoryA(sizeof buffer, buffer), 8u);
    EXPECT_STREQ(buffer, "C:\\Users");
    m_files->SetSystemDirectory("C:\\Windows\\SysWOW64");
    EXPECT_EQ(m_files->GetSystemDirectoryA(buffer, sizeof buffer), 19u);
    EXPECT_STREQ(buffer, "C:\\Windows\\SysWOW64");
}

TEST_F(SimFilesTest, CopyFileReportsEachFailureWithItsError) {
    ASSERT_TRUE(m_files->WriteFile("C:\\src\\a.dll", "new"));
    ASSERT_TRUE(m_files->WriteFile("C:\\dst\\a.dll", "old"));
    EXPECT_EQ(m_files->CopyFileA("C:\\src\\a.dll", "C:\\dst\\a.dll", 1), 0);
    EXPECT_EQ(m_files->ReadFile("C:\\dst\\a.dll").value_or(""), "old");
    EXPECT_EQ(m_files->CopyFileA("C:\\src\\a.dll", "C:\\src\\A.DLL", 0), 0);
    EXPECT_EQ(LastError(), win::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(m_files->CopyFileA("C:\\src", "C:\\dst\\folder", 0), 0);
    EXPECT_EQ(LastError(), win::ERROR_ACCESS_DENIED);

    SetLastError(kUntouched);
    EXPECT_EQ(m_files->CopyFileA("C:\\src\\a.dll", "C:\\dst\\a.dll", 0), 1);
    EXPECT_EQ(LastError(), kUntouched);
    EXPECT_EQ(m_files->ReadFile("C:\\dst\\a.dll").value_or(""), "new");

    // The copy takes the read-only attribute along.
    ASSERT_TRUE(m_files->SetReadOnly("C:\\src\\a.dll", true));
    EXPECT_EQ(m_files->CopyFileA("C:\\src\\a.dll", "C:\\dst\\c.dll", 1), 1);
    EXPECT_EQ(m_files->GetFileAttributesA("C:\\dst\\c.dll"), win::FILE_ATTRIBUTE_ARCHIVE | win::FILE_ATTRIBUTE_READONLY);
}

// What the files contract does not reach: the missing folder, a file
// named as a folder, the current folder, spellings of one name.
TEST_F(SimFilesTest, DeletionsTheContractDoesNotCover) {
    ASSERT_TRUE(m_files->WriteFile("C:\\Barcode\\x86\\a.dll", "x"));
    EXPECT_EQ(m_files->DeleteFileA("C:\\Missing\\a.gpd"), 0);
    EXPECT_EQ(LastError(), win::ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(m_files->RemoveDirectoryA("C:\\Barcode\\x86\\a.dll"), 0);
    EXPECT_EQ(LastError(), 267u);  // ERROR_DIRECTORY
    EXPECT_EQ(m_files->RemoveDirectoryA("C:\\Setup"), 0);  // the current folder is held open
    EXPECT_EQ(LastError(), win::ERROR_SHARING_VIOLATION);
    ASSERT_EQ(m_files->DeleteFileA("c:\\BARCODE//x86//A.DLL"), 1);
    EXPECT_EQ(m_files->RemoveDirectoryA("c:\\Barcode//x86"), 1);
    EXPECT_FALSE(m_files->Exists("C:\\Barcode\\x86"));
}

// What Windows keeps in PendingFileRenameOperations, which only an
// administrator may write.
TEST_F(SimFilesTest, RenamesAtTheNextStartNeedAnAdministrator) {
    ASSERT_TRUE(m_files->WriteFile("C:\\Windows\\System32\\a.dll.old-1", "x"));
    m_files->SetCaller(platform::sim::SimToken::kAdministrator);
    EXPECT_EQ(m_files->MoveFileExA("C:\\Windows\\System32\\a.dll.old-1", nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT), 0);
    EXPECT_EQ(LastError(), win::ERROR_ACCESS_DENIED);
    m_files->SetCaller(platform::sim::SimToken::kElevatedAdministrator);
    ASSERT_EQ(m_files->MoveFileExA("C:\\Windows\\System32\\a.dll.old-1", nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT), 1);
    using Renames = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(m_files->PendingRenames(), (Renames{{"C:\\Windows\\System32\\a.dll.old-1", ""}}));
    EXPECT_TRUE(m_files->Exists("C:\\Windows\\System32\\a.dll.old-1"));
}

TEST_F(SimFilesTest, FindListsDotsFirstThenNamesInNtfsOrder) {
    ASSERT_TRUE(m_files->WriteFile("C:\\Pkg\\b.txt", "12345"));
    ASSERT_TRUE(m_files->WriteFile("C:\\Pkg\\A.txt", ""));
    ASSERT_TRUE(m_files->CreateDirectoryA("C:\\Pkg\\Common", nullptr));
    ASSERT_TRUE(m_files->SetReadOnly("C:\\Pkg\\A.txt", true));

    std::vector<win::DWORD> attributes;
    EXPECT_EQ(List("C:\\Pkg\\*.*", &attributes), (std::vector<std::string>{".", "..", "A.txt", "b.txt", "Common"}));
    EXPECT_EQ(attributes, (std::vector<win::DWORD>{win::FILE_ATTRIBUTE_DIRECTORY, win::FILE_ATTRIBUTE_DIRECTORY,
                                                   win::FILE_ATTRIBUTE_ARCHIVE | win::FILE_ATTRIBUTE_READONLY,
                                                   win::FILE_ATTRIBUTE_ARCHIVE, win::FILE_ATTRIBUTE_DIRECTORY}));
    EXPECT_EQ(List("c:\\pkg//*"), List("C:\\Pkg\\*.*"));
    EXPECT_EQ(List("C:\\Pkg\\*.TXT"), (std::vector<std::string>{"A.txt", "b.txt"}));
    EXPECT_EQ(List("C:\\Pkg\\b.txt"), (std::vector<std::string>{"b.txt"}));

    win::WIN32_FIND_DATAA data{};
    win::HANDLE find = m_files->FindFirstFileA("C:\\Pkg\\b*", &data);
    ASSERT_NE(find, win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(m_files->FindClose(find), 1);
    EXPECT_EQ(m_files->FindClose(find), 0);
    EXPECT_EQ(LastError(), win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_files->FindNextFileA(find, &data), 0);
    EXPECT_EQ(LastError(), win::ERROR_INVALID_HANDLE);

    // A drive's root has no "." and "..".
    std::vector<std::string> root = List("C:\\*.*");
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.front(), "Pkg");
    ASSERT_TRUE(m_files->CreateDirectoryA("C:\\Empty", nullptr));
    EXPECT_EQ(List("C:\\Empty\\*.*"), (std::vector<std::string>{".", ".."}));
}

// A link in the tree to a host folder outside the sandbox: listed as a
// reparse point, removable, and never a way out.
TEST_F(SimFilesTest, LinksAreNeverFollowed) {
    std::string outside = m_dir + "/outside";
    std::filesystem::create_directory(outside);
    std::ofstream(outside + "/secret.txt") << "keep me";
    ASSERT_TRUE(m_files->CreateDirectoryA("C:\\Ticket", nullptr));
    ASSERT_TRUE(m_files->MakeLink("C:\\Ticket\\Escape", outside));
    ASSERT_TRUE(m_files->MakeLink("C:\\Ticket\\FileLink", outside + "/secret.txt"));

    EXPECT_EQ(m_files->GetFileAttributesA("C:\\Ticket\\Escape"),
              win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT);
    std::vector<win::DWORD> attributes;
    EXPECT_EQ(List("C:\\Ticket\\*.*", &attributes), (std::vector<std::string>{".", "..", "Escape", "FileLink"}));
    EXPECT_EQ(attributes[2], win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(attributes[3] & win::FILE_ATTRIBUTE_REPARSE_POINT, win::FILE_ATTRIBUTE_REPARSE_POINT);

    int refusals = m_files->LinkRefusals();
    win::WIN32_FIND_DATAA data{};
    EXPECT_EQ(m_files->FindFirstFileA("C:\\Ticket\\Escape\\*.*", &data), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(m_files->DeleteFileA("C:\\Ticket\\Escape\\secret.txt"), 0);
    EXPECT_EQ(LastError(), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(m_files->CopyFileA("C:\\Ticket\\FileLink", "C:\\copy.txt", 0), 0);
    ASSERT_TRUE(m_files->WriteFile("C:\\new.txt", "overwrite"));
    EXPECT_EQ(m_files->CopyFileA("C:\\new.txt", "C:\\Ticket\\FileLink", 0), 0);
    EXPECT_FALSE(m_files->WriteFile("C:\\Ticket\\Escape\\planted.txt", "x"));
    EXPECT_FALSE(m_files->ReadFile("C:\\Ticket\\FileLink").has_value());
    EXPECT_EQ(m_files->CreateFolders("C:\\Ticket\\Escape\\x86").error, win::ERROR_ACCESS_DENIED);
    EXPECT_GE(m_files->LinkRefusals(), refusals + 5);

    // Removing the links removes the links only.
    EXPECT_EQ(m_files->DeleteFileA("C:\\Ticket\\FileLink"), 1);
    EXPECT_EQ(m_files->DeleteFileA("C:\\Ticket\\Escape"), 0);
    EXPECT_EQ(m_files->RemoveDirectoryA("C:\\Ticket\\Escape"), 1);
    EXPECT_EQ(m_files->RemoveDirectoryA("C:\\Ticket"), 1);
    std::ifstream kept(outside + "/secret.txt");
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "keep me");
    EXPECT_FALSE(std::filesystem::exists(outside + "/planted.txt"));
}

}  // namespace

namespace {

// Access as on Windows 10 ("How DACLs Control Access to an Object"): what
// the installer makes under C:\ any signed-in user may replace, whoever
// made it; C:\Windows\SystemTemp is the administrators'; in
// C:\Windows\Temp users may add entries and own them, not change others';
// a protected list given at creation holds below the folder too.
TEST_F(SimFilesTest, WhoMayChangeWhatTheInstallerMade) {
    auto cashier = m_files->AsUser("cashier");
    ASSERT_TRUE(m_files->WriteFile("C:\\Setup\\a.dll", "package"));
    for (const char* folder : {"C:\\Ticket", "C:\\Windows\\SystemTemp\\x", "C:\\Windows\\Temp\\x"}) {
        ASSERT_EQ(m_files->CreateDirectoryA(folder, nullptr), 1) << folder;
        ASSERT_EQ(m_files->CreateDirectoryA((std::string(folder) + "\\x86").c_str(), nullptr), 1) << folder;
        ASSERT_EQ(m_files->CopyFileA("C:\\Setup\\a.dll", (std::string(folder) + "\\x86\\a.dll").c_str(), 0), 1);
    }
    EXPECT_EQ(m_files->OwnerOf("C:\\Ticket"), "Administrators");
    EXPECT_EQ(cashier.WriteFile("C:\\Ticket\\x86\\a.dll", "planted"), 0u);
    EXPECT_EQ(cashier.Rename("C:\\Ticket\\x86", "C:\\Ticket\\old"), 0u);
    EXPECT_EQ(cashier.WriteFile("C:\\Windows\\SystemTemp\\x\\x86\\a.dll", "planted"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.CreateFolder("C:\\Windows\\SystemTemp\\mine"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.WriteFile("C:\\Windows\\Temp\\x\\x86\\a.dll", "planted"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.Delete("C:\\Windows\\Temp\\x\\x86\\a.dll"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.WriteFile("C:\\Windows\\Temp\\x\\x86\\b.dll", "added"), 0u);
    EXPECT_EQ(cashier.WriteFile("C:\\Windows\\Temp\\x\\x86\\b.dll", "changed"), 0u) << "the user owns what they add";
    EXPECT_EQ(cashier.WriteFile("C:\\Windows\\System32\\a.dll", "planted"), win::ERROR_ACCESS_DENIED);

    void* descriptor = nullptr;
    ASSERT_EQ(m_files->ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", 1,
                                                                             &descriptor, nullptr),
              1);
    win::SECURITY_ATTRIBUTES security{sizeof(win::SECURITY_ATTRIBUTES), descriptor, 0};
    ASSERT_EQ(m_files->CreateDirectoryA("C:\\Windows\\Temp\\private", &security), 1);
    m_files->LocalFree(descriptor);
    ASSERT_EQ(m_files->CreateDirectoryA("C:\\Windows\\Temp\\private\\x86", nullptr), 1);
    EXPECT_EQ(cashier.WriteFile("C:\\Windows\\Temp\\private\\x86\\b.dll", "added"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(m_files->CopyFileA("C:\\Setup\\a.dll", "C:\\Windows\\Temp\\private\\x86\\a.dll", 0), 1);
    EXPECT_EQ(m_files->CreateDirectoryA("C:\\Windows\\Temp\\other", &security), 0) << "a descriptor freed is gone";
}

}  // namespace
