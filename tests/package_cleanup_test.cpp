// Unpacking the driver package at start and removing it at the end: what
// is removed, what is spared, and bad packages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "package/delete_tree.h"
#include "tests/support/installer_harness.h"
#include "tests/support/package_builder.h"

namespace {

const char* const kUnusablePackage =
    "驱动程序包DriverData.Drv已损坏或与已有的文件冲突,无法使用,请重新获取安装程序";

using namespace std::chrono_literals;
using testing_support::InstallerHarness;

// Opens the installer, lets it prepare, closes it by the close box.
void OpenAndClose(InstallerHarness& harness) {
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);
}

// A file as the package holds it: packed from the build's stage, where the
// tree's placeholder DLLs are replaced by built ones.
std::string SampleFile(const std::string& relative) {
    std::ifstream in(std::string(INSTALLER_BINARY_DIR) + "/driver/stage/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The user's files and folders stay; the package's files go, also the
// copies that a run killed before its clean-up left behind.
TEST(PackageCleanup, FilesThatWereThereBeforeAreSpared) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    files.WriteFile("C:\\Ticket\\notes.txt", "mine");
    files.WriteFile("C:\\Barcode\\x86\\custom.ini", "mine too");
    ASSERT_TRUE(files.CreateFolders("C:\\Barcode\\Empty").error == 0);
    const std::string leftover = SampleFile("Ticket/x64/uniDRV.DLL");
    ASSERT_FALSE(leftover.empty());
    files.WriteFile("C:\\Ticket\\x64\\uniDRV.DLL", leftover);
    OpenAndClose(harness);

    EXPECT_EQ(files.ReadFile("C:\\Ticket\\notes.txt"), std::optional<std::string>("mine"));
    EXPECT_EQ(files.ReadFile("C:\\Barcode\\x86\\custom.ini"), std::optional<std::string>("mine too"));
    EXPECT_EQ(files.GetFileAttributesA("C:\\Barcode\\Empty"), win::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(files.Exists("C:\\Ticket\\x64\\uniDRV.DLL")) << files.ToString();
    // What the package brought is gone around them.
    EXPECT_FALSE(files.Exists("C:\\Ticket\\x64\\UNIRES.DLL"));
    EXPECT_FALSE(files.Exists("C:\\Ticket\\x86"));
    EXPECT_FALSE(files.Exists("C:\\Barcode\\x64"));
    EXPECT_FALSE(files.Exists("C:\\Barcode\\x86\\LBXDRV50.DLL"));
    EXPECT_FALSE(files.Exists("C:\\DriverName.cfg"));
}

// A list of the user's own in the package's place is neither overwritten
// nor removed: the package is refused, and the list shown is the user's.
// A model list the package did not bring (an older package's, the user's)
// refuses the package, is never read, and stays as it was; the person is
// told why nothing can be installed.
TEST(PackageCleanup, APreviousConfigurationFileIsLeftAsItWas) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    const std::string mine = testing_support::ConfigFile({{"Old", {"Old printer"}}});
    files.WriteFile("C:\\DriverName.cfg", mine);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    EXPECT_TRUE(harness.Control(1000).items.empty());
    EXPECT_EQ(harness.Status(), kUnusablePackage);
    EXPECT_FALSE(files.Exists("C:\\Ticket"));
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);
    EXPECT_EQ(files.ReadFile("C:\\DriverName.cfg"), std::optional<std::string>(mine));
}

// Without a working folder that fits its buffer there is no package to
// look for: never one at the root of the drive.
TEST(PackageCleanup, NoWorkingFolderMeansNoPackage) {
    for (bool longFolder : {false, true}) {
        SCOPED_TRACE(longFolder ? "working folder of 260 bytes or more" : "GetCurrentDirectoryA failed");
        InstallerHarness harness;
        auto& files = harness.Machine().sim_files();
        files.WriteFile("C:\\DriverData.Drv", *files.ReadFile("C:\\Setup\\DriverData.Drv"));
        if (longFolder) {
            const std::string folder = "C:\\" + std::string(120, 'a') + "\\" + std::string(140, 'b');
            ASSERT_EQ(files.CreateFolders(folder).error, 0u);
            ASSERT_TRUE(files.SetCurrentDirectory(folder));
        } else {
            harness.Machine().env().InjectFault("GetCurrentDirectoryA", win::ERROR_ACCESS_DENIED);
        }
        harness.Start();
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
        EXPECT_TRUE(harness.Control(1000).items.empty());
        EXPECT_FALSE(files.Exists("C:\\DriverName.cfg"));
        EXPECT_EQ(harness.Machine().env().CallCount("Extract"), 0);
        EXPECT_EQ(harness.Machine().sim_archive().LoadedCount(), 0);
    }
}

TEST(PackageCleanup, LinksInTheTreeAreRemovedNotFollowed) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    const std::string outside = testing_support::MakeTempFolder("outside");
    std::ofstream(outside + "/precious.txt") << "keep";
    // The user's link, there before: looked at, never listed, and kept.
    ASSERT_EQ(files.CreateFolders("C:\\Barcode").error, 0u);
    ASSERT_TRUE(files.MakeLink("C:\\Barcode\\mine", outside));
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    // A link planted in the unpacked tree while the installer runs.
    ASSERT_TRUE(files.MakeLink("C:\\Ticket\\x86\\escape", outside));
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);

    EXPECT_TRUE(std::filesystem::exists(outside + "/precious.txt"));
    EXPECT_FALSE(files.Exists("C:\\Ticket"));
    EXPECT_NE(files.GetFileAttributesA("C:\\Barcode\\mine") & win::FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(files.LinkRefusals(), 0) << "neither the preparation nor the clean-up tried to go through a link";
    std::filesystem::remove_all(outside);
}

TEST(PackageCleanup, AFileThatCannotBeDeletedStaysWithItsFolders) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    ASSERT_TRUE(files.SetReadOnly("C:\\Ticket\\x64\\uniDRV.DLL", true));
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);
    EXPECT_TRUE(files.Exists("C:\\Ticket\\x64\\uniDRV.DLL"));
    EXPECT_FALSE(files.Exists("C:\\Ticket\\x64\\UNIRES.DLL"));
    EXPECT_FALSE(files.Exists("C:\\Ticket\\x86"));
    EXPECT_FALSE(files.Exists("C:\\Barcode"));
}

TEST(PackageCleanup, DeepTreeIsRemovedBottomUp) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    files.WriteFile("C:\\Deep\\a\\b\\c\\file.txt", "x");
    files.WriteFile("C:\\Deep\\a\\top.txt", "x");
    EXPECT_TRUE(package::DeleteTree(harness.Machine().files(), "c:\\Deep"));
    EXPECT_FALSE(files.Exists("C:\\Deep"));
}

TEST(PackageCleanup, TraversalEntryRefusesTheWholePackage) {
    InstallerHarness harness;
    harness.UsePackage(testing_support::BuildPackage({{"../evil.txt", std::string("x")}}));
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    EXPECT_TRUE(harness.Control(1000).items.empty()) << "nothing unpacked, so no models";
    EXPECT_EQ(harness.Status(), kUnusablePackage);
    EXPECT_FALSE(harness.Machine().sim_files().Exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(harness.Machine().sim_files().Exists("C:\\Ticket"));
    EXPECT_FALSE(std::filesystem::exists(harness.Machine().sim_files().HostRoot() + "/../evil.txt"));
}

TEST(PackageCleanup, UnpackerWithoutItsEntryPointsIsNotCalled) {
    InstallerHarness harness;
    harness.Machine().sim_archive().SetHasEntryPoints(false);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    EXPECT_EQ(harness.Machine().env().CallCount("Extract"), 0);
    EXPECT_TRUE(harness.Control(1000).items.empty());
}

}  // namespace
