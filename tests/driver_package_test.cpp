// driver-package: the sample package passes its check, each kind of defect
// is reported at the row it breaks with the exit code that says so, and a
// built package is one the installer prepares and installs from.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "install/driver_catalogue.h"
#include "tests/support/installer_harness.h"
#include "tools/driver_package/commands.h"
#include "tools/driver_package/package_check.h"
#include "tools/driver_package/package_reader.h"

namespace {

namespace fs = std::filesystem;
using driver_package::PackageContents;
using driver_package::PackageEntry;
using driver_package::Severity;

PackageContents SamplePackage() {
    PackageContents contents;
    std::string why;
    EXPECT_TRUE(driver_package::ReadPackage(testing_support::SamplePackagePath(), &contents, &why)) << why;
    return contents;
}

std::string Slashed(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// libarchive gives a cabinet's names with '/'.
PackageEntry& Entry(PackageContents& contents, const std::string& name) {
    auto it = std::find_if(contents.entries.begin(), contents.entries.end(),
                           [&](const PackageEntry& e) { return Slashed(e.name) == Slashed(name); });
    if (it == contents.entries.end()) throw std::runtime_error("no entry " + name);
    return *it;
}

void Remove(PackageContents& contents, const std::string& name) {
    contents.entries.erase(contents.entries.begin() + (&Entry(contents, name) - contents.entries.data()));
}

// The package as a folder, the form `build` takes.
std::string WriteFolder(const PackageContents& contents) {
    const std::string root = testing_support::MakeTempFolder("driver-package-test");
    for (const PackageEntry& entry : contents.entries) {
        const std::string name = Slashed(entry.name);
        fs::create_directories((fs::path(root) / name).parent_path());
        std::ofstream(fs::path(root) / name, std::ios::binary) << entry.bytes;
    }
    return root;
}

int Tool(const std::vector<std::string>& args, std::string* output = nullptr) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = driver_package::RunCommand(args, out, err);
    if (output) *output = out.str() + err.str();
    return code;
}

struct Defect {
    const char* kind;
    std::function<void(PackageContents&)> make;
    std::vector<int> errorRows;  // empty: the package as a whole
    const char* finding;
};

const char* const kLabelDrvX64 = "Barcode\\x64\\LBXDRV56.DLL";

const Defect kDefects[] = {
    {"missing GPD", [](PackageContents& p) { Remove(p, "Ticket\\x86\\SR5803.GPD"); }, {2},
     "missing Ticket\\x86\\SR5803.GPD"},
    // Only the model named like receipt row 19 takes the third family DLL.
    {"missing x64 family DLL", [](PackageContents& p) { Remove(p, "Ticket\\x64\\SMPF80X.DLL"); }, {19},
     "missing Ticket\\x64\\SMPF80X.DLL (for Sample R80-05X)"},
    {"x86 DLL in the x64 folder",
     [](PackageContents& p) { Entry(p, kLabelDrvX64).bytes = Entry(p, "Barcode\\x86\\LBXDRV50.DLL").bytes; },
     {30, 31, 32, 33, 34}, "Barcode\\x64\\LBXDRV56.DLL is built for i386, not x86-64"},
    {"monitor without its export",
     [](PackageContents& p) { Entry(p, "Barcode\\x86\\qmtNLMNT.dll").bytes = Entry(p, "Barcode\\x86\\LBXUI50.DLL").bytes; },
     {30, 31, 32, 33, 34}, "Barcode\\x86\\qmtNLMNT.dll does not export InitializePrintMonitor2"},
    // Row 0's Chinese name saved as UTF-8 (this source's literals are code page 936).
    {"UTF-8 model name",
     [](PackageContents& p) {
         std::string& config = Entry(p, "DriverName.cfg").bytes;
         const std::string name = "样例票据打印机";
         config.replace(config.find(name), name.size(),
                        "\xE6\xA0\xB7\xE4\xBE\x8B\xE7\xA5\xA8\xE6\x8D\xAE\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA");
     },
     {0}, "the name is UTF-8, not code page 936"},
    {"entry outside the roots",
     [](PackageContents& p) { p.entries.push_back({"Extras\\readme.txt", driver_package::EntryKind::kFile, "x"}); },
     {}, "Extras\\readme.txt is outside the package's roots"},
    {"name in a section past the catalogue",
     [](PackageContents& p) { Entry(p, "DriverName.cfg").bytes += "\r\n[Sample R99]\r\nPrintName1=Sample R99\r\n"; },
     {35}, "past the catalogue's 35 rows"},
    {"name listed in two sections",
     [](PackageContents& p) { Entry(p, "DriverName.cfg").bytes += "\r\n[Extra]\r\nPrintName1=Sample R58-02\r\n"; },
     {1, 35}, "also listed at row 35"},
};

TEST(DriverPackageToolTest, SamplePackagePassesAndListsEveryRow) {
    const driver_package::CheckReport report = driver_package::CheckPackage(SamplePackage());
    EXPECT_EQ(report.rows.size(), 35u);
    EXPECT_EQ(report.Count(Severity::kError) + report.Count(Severity::kWarning), 0);
    std::string output;
    EXPECT_EQ(Tool({"check", testing_support::SamplePackagePath()}, &output), driver_package::kExitInstalls) << output;
}

TEST(DriverPackageToolTest, EachDefectIsReportedAtItsRowsAndFailsTheCheck) {
    for (const Defect& defect : kDefects) {
        SCOPED_TRACE(defect.kind);
        PackageContents package = SamplePackage();
        defect.make(package);
        const driver_package::CheckReport report = driver_package::CheckPackage(package);
        std::set<int> errorRows;
        bool found = false;
        for (const auto& row : report.rows) {
            for (const auto& finding : row.findings) {
                if (finding.severity != Severity::kError) continue;
                errorRows.insert(row.row);
                found = found || finding.text.find(defect.finding) != std::string::npos;
            }
        }
        for (const auto& finding : report.package) {
            found = found || (finding.severity == Severity::kError && finding.text.find(defect.finding) != std::string::npos);
        }
        EXPECT_TRUE(found);
        EXPECT_EQ(errorRows, std::set<int>(defect.errorRows.begin(), defect.errorRows.end()));

        const std::string folder = WriteFolder(package);
        std::string output;
        EXPECT_EQ(Tool({"check", folder}, &output), driver_package::kExitDoesNotInstall);
        EXPECT_NE(output.find(defect.finding), std::string::npos) << output;
        fs::remove_all(folder);
    }
}

TEST(DriverPackageToolTest, BuildWritesOnlyAPackageThatPassesAndTheInstallerUsesIt) {
    PackageContents sample = SamplePackage();
    const std::string folder = WriteFolder(sample);
    const std::string out = testing_support::MakeTempFolder("driver-package-out");
    const std::string package = out + "/DriverData.Drv";

    // A broken folder gives nothing, unless forced.
    fs::remove(fs::path(folder) / "Barcode" / "x64" / "LBXDRV56.DLL");
    EXPECT_EQ(Tool({"build", folder, "-o", package}), driver_package::kExitDoesNotInstall);
    EXPECT_FALSE(fs::exists(package));
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(Tool({"build", folder, "--force", "-o", package}), driver_package::kExitInstalls);
    EXPECT_EQ(Tool({"check", package}), driver_package::kExitDoesNotInstall);

    std::ofstream(fs::path(folder) / "Barcode" / "x64" / "LBXDRV56.DLL", std::ios::binary)
        << Entry(sample, kLabelDrvX64).bytes;
    std::string output;
    ASSERT_EQ(Tool({"build", folder, "-o", package}, &output), driver_package::kExitInstalls) << output;
    EXPECT_EQ(Tool({"check", package}), driver_package::kExitInstalls);
    std::ofstream(out + "/not-a-package") << "MSCF and nothing more";
    EXPECT_EQ(Tool({"check", out + "/not-a-package"}), driver_package::kExitUnreadable);
    // Read whole, but the installer's unpacker refuses a name beyond MAX_PATH.
    std::ofstream(fs::path(folder) / "Ticket" / std::string(250, 'n')) << "x";
    const std::string refused = out + "/refused.Drv";
    EXPECT_EQ(Tool({"build", folder, "-o", refused}), driver_package::kExitDoesNotInstall);
    EXPECT_FALSE(fs::exists(refused));
    ASSERT_EQ(Tool({"build", folder, "--force", "-o", refused}), driver_package::kExitInstalls);
    EXPECT_EQ(Tool({"check", refused}, &output), driver_package::kExitUnreadable) << output;
    fs::remove(fs::path(folder) / "Ticket" / std::string(250, 'n'));

    testing_support::InstallerHarness harness;
    std::stringstream bytes;
    bytes << std::ifstream(package, std::ios::binary).rdbuf();
    harness.UsePackage(bytes.str());
    harness.Machine().sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    harness.Machine().sim_spooler().AttachUsbPrinter("USB001");
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    harness.ChooseModel("Sample LB-100 Plus");
    harness.Install();
    const auto printer = harness.Machine().sim_spooler().FindPrinter("Sample LB-100 Plus");
    ASSERT_TRUE(printer.has_value()) << harness.Describe();
    EXPECT_EQ(printer->driver, install::LabelSeriesNames[3]);
    fs::remove_all(folder);
    fs::remove_all(out);
}

}  // namespace
