// Unpacking the driver package at start and removing it at the end: where
// it goes, what is removed, and bad packages.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "install/driver_catalogue.h"
#include "package/delete_tree.h"
#include "tests/support/installer_harness.h"
#include "tests/support/package_builder.h"

namespace {

const char* const kUnusablePackage =
    "驱动程序包DriverData.Drv已损坏或与已有的文件冲突,无法使用,请重新获取安装程序";
const char* const kNoStagingFolder = "无法在系统临时文件夹中创建存放驱动文件的文件夹,请重新运行安装程序";

using namespace std::chrono_literals;
using testing_support::InstallerHarness;

// A file as the package holds it: packed from the build's stage, where the
// tree's placeholder DLLs are replaced by built ones.
std::string SampleFile(const std::string& relative) {
    std::ifstream in(std::string(INSTALLER_BINARY_DIR) + "/driver/stage/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The package goes into a new folder under the system's temporary folder
// and goes with it; what a user keeps at C:\ (their own C:\Ticket, a model
// list of theirs) is neither read, changed nor removed.
TEST(PackageCleanup, UnpacksIntoAFolderOfItsOwnAndLeavesTheRootAlone) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    auto cashier = files.AsUser("cashier");
    ASSERT_EQ(cashier.CreateFolder("C:\\Ticket"), 0u);
    ASSERT_EQ(cashier.WriteFile("C:\\Ticket\\uniDRV.DLL", "mine"), 0u);
    const std::string theirList = testing_support::ConfigFile({{"Old", {"Old printer"}}});
    ASSERT_EQ(cashier.WriteFile("C:\\DriverName.cfg", theirList), 0u);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();

    const std::string root = harness.PackageFolder();
    EXPECT_EQ(root.rfind("C:\\Windows\\SystemTemp\\", 0), 0u) << root;
    EXPECT_TRUE(files.Exists(root + "\\Ticket\\x86\\uniDRV.DLL"));
    EXPECT_EQ(files.OwnerOf(root), "Administrators");
    const auto models = harness.Control(1000).items;
    ASSERT_FALSE(models.empty());
    EXPECT_EQ(std::count(models.begin(), models.end(), "Old printer"), 0);
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);

    EXPECT_TRUE(harness.TempFolderEntries().empty()) << files.ToString();
    EXPECT_EQ(files.ReadFile("C:\\Ticket\\uniDRV.DLL"), std::optional<std::string>("mine"));
    EXPECT_EQ(files.ReadFile("C:\\DriverName.cfg"), std::optional<std::string>(theirList));
    EXPECT_EQ(files.OwnerOf("C:\\Ticket"), "cashier");
    EXPECT_FALSE(files.Exists("C:\\Barcode"));
}

// A standard user signed in beside the installer can neither replace,
// rename nor delete what it unpacked, nor add to it, between the
// preparation and Install: the spooler gets the package's own monitor and
// driver.
TEST(PackageCleanup, AStandardUserCannotReplaceTheStagedMonitorOrDriver) {
    InstallerHarness harness;
    auto& machine = harness.Machine();
    auto& files = machine.sim_files();
    machine.sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    machine.sim_spooler().AttachUsbPrinter("USB001");
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();

    const std::string root = harness.PackageFolder();
    const std::string x64 = root + "\\Barcode\\x64\\";
    auto cashier = files.AsUser("cashier");
    EXPECT_EQ(cashier.WriteFile(x64 + "qmtNLM64.dll", "planted monitor"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.WriteFile(x64 + "LBXDRV56.DLL", "planted driver"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.Rename(x64 + "LBXDRV56.DLL", x64 + "old.dll"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.Delete(x64 + "qmtNLM64.dll"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.CreateFolder(x64 + "mine"), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cashier.WriteFile(root + "\\DriverName.cfg", "[x]"), win::ERROR_ACCESS_DENIED);

    harness.ChooseModel(install::LabelSeriesNames[0]);
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_EQ(files.ReadFile("C:\\Windows\\System32\\qmtNLM64.dll"), SampleFile("Barcode/x64/qmtNLM64.dll"));
    const auto driver = machine.sim_spooler().FindDriver(install::LabelSeriesNames[0], "Windows x64");
    ASSERT_TRUE(driver.has_value());
    int checked = 0;
    for (const std::string& installed : driver->installedFiles) {
        if (installed.size() < 12 || installed.compare(installed.size() - 12, 12, "LBXDRV56.DLL") != 0) continue;
        EXPECT_EQ(files.ReadFile(installed), SampleFile("Barcode/x64/LBXDRV56.DLL"));
        ++checked;
    }
    EXPECT_EQ(checked, 1);
}

// Where users may make entries in the temporary folder (C:\Windows\Temp,
// which SYSTEM gets where GetTempPath2A is missing), a folder a user made
// at the name a run would choose is passed over and left as it was; a run
// that finds every name taken unpacks nothing and says why.
TEST(PackageCleanup, AFolderMadeBeforeAtTheChosenNameIsNeverUsed) {
    std::string chosen;
    {
        InstallerHarness first;
        first.Machine().sim_files().SetTempFolder("C:\\Windows\\Temp\\");
        first.Start();
        ASSERT_TRUE(first.WaitUntilReady());
        chosen = first.PackageFolder();
        first.Toolkit().CloseWindow(first.MainWindow());
        ASSERT_EQ(first.WaitForEnd(), win::IDCANCEL);
    }
    ASSERT_EQ(chosen.rfind("C:\\Windows\\Temp\\", 0), 0u) << chosen;

    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    files.SetTempFolder("C:\\Windows\\Temp\\");
    auto cashier = files.AsUser("cashier");
    const std::string planted = testing_support::ConfigFile({{"Planted", {"Planted printer"}}});
    ASSERT_EQ(cashier.CreateFolder(chosen), 0u);
    ASSERT_EQ(cashier.WriteFile(chosen + "\\DriverName.cfg", planted), 0u);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    const std::string root = harness.PackageFolder();
    EXPECT_FALSE(root.empty());
    EXPECT_NE(root, chosen);
    const auto models = harness.Control(1000).items;
    EXPECT_FALSE(models.empty());
    EXPECT_EQ(std::count(models.begin(), models.end(), "Planted printer"), 0);
    // Users may add entries anywhere below C:\Windows\Temp that passes its
    // list on: the staging folder does not.
    EXPECT_EQ(cashier.WriteFile(root + "\\Ticket\\x86\\version.dll", "planted"), win::ERROR_ACCESS_DENIED);
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);
    EXPECT_FALSE(files.Exists(root));
    EXPECT_EQ(files.ReadFile(chosen + "\\DriverName.cfg"), std::optional<std::string>(planted));
    EXPECT_EQ(files.OwnerOf(chosen), "cashier");

    InstallerHarness crowded;
    crowded.Machine().env().InjectFault("CreateDirectoryA", win::ERROR_ALREADY_EXISTS, -1);
    crowded.Start();
    ASSERT_TRUE(crowded.WaitUntilReady()) << crowded.Describe();
    EXPECT_EQ(crowded.Status(), kNoStagingFolder);
    EXPECT_TRUE(crowded.Control(1000).items.empty());
    EXPECT_GT(crowded.Machine().env().CallCount("CreateDirectoryA"), 1) << "other names were tried";
    EXPECT_EQ(crowded.Machine().env().CallCount("Extract"), 0);
}

// Started from another working folder (a deployment script, a share), the
// program takes the package that lies beside it; a package in the working
// folder that cannot be used is not replaced by that one.
TEST(PackageCleanup, ThePackageBesideTheProgramServesWhenTheWorkingFolderHasNone) {
    for (bool brokenInWorkingFolder : {false, true}) {
        SCOPED_TRACE(brokenInWorkingFolder ? "an unusable package in the working folder" : "none there");
        InstallerHarness harness;
        auto& files = harness.Machine().sim_files();
        const std::string package = *files.ReadFile("C:\\Setup\\DriverData.Drv");
        ASSERT_TRUE(files.WriteFile("C:\\Deploy\\DriverData.Drv", package));
        files.SetProgramPath("C:\\Deploy\\DriverSetup.exe");
        if (brokenInWorkingFolder) {
            ASSERT_TRUE(files.WriteFile("C:\\Setup\\DriverData.Drv", "not a cabinet"));
        } else {
            ASSERT_EQ(files.DeleteFileA("C:\\Setup\\DriverData.Drv"), 1);
        }
        harness.Start();
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
        EXPECT_EQ(harness.Control(1000).items.empty(), brokenInWorkingFolder);
        EXPECT_EQ(harness.Status() == kUnusablePackage, brokenInWorkingFolder) << harness.Status();
    }
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
        EXPECT_TRUE(harness.TempFolderEntries().empty());
        EXPECT_EQ(harness.Machine().env().CallCount("Extract"), 0);
        EXPECT_EQ(harness.Machine().sim_archive().LoadedCount(), 0);
    }
}

TEST(PackageCleanup, LinksInTheTreeAreRemovedNotFollowed) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    const std::string outside = testing_support::MakeTempFolder("outside");
    std::ofstream(outside + "/precious.txt") << "keep";
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    // A link planted in the unpacked tree while the installer runs.
    ASSERT_TRUE(files.MakeLink(harness.PackageFolder() + "\\Ticket\\x86\\escape", outside));
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);

    EXPECT_TRUE(std::filesystem::exists(outside + "/precious.txt"));
    EXPECT_TRUE(harness.TempFolderEntries().empty());
    EXPECT_EQ(files.LinkRefusals(), 0) << "neither the preparation nor the clean-up tried to go through a link";
    std::filesystem::remove_all(outside);
}

TEST(PackageCleanup, AFileThatCannotBeDeletedStaysWithItsFolders) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    const std::string root = harness.PackageFolder();
    ASSERT_TRUE(files.SetReadOnly(root + "\\Ticket\\x64\\uniDRV.DLL", true));
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);
    EXPECT_TRUE(files.Exists(root + "\\Ticket\\x64\\uniDRV.DLL"));
    EXPECT_FALSE(files.Exists(root + "\\Ticket\\x64\\UNIRES.DLL"));
    EXPECT_FALSE(files.Exists(root + "\\Ticket\\x86"));
    EXPECT_FALSE(files.Exists(root + "\\Barcode"));
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
    harness.Toolkit().CloseWindow(harness.MainWindow());
    ASSERT_EQ(harness.WaitForEnd(), win::IDCANCEL);
    EXPECT_TRUE(harness.TempFolderEntries().empty());
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
