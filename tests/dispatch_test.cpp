// The printer-name list and the Install button: which names are listed, and
// which catalogue row and which sequence a chosen name installs.
#include <gtest/gtest.h>

#include <functional>

#include "app/installer_dialog.h"
#include "install/driver_catalogue.h"
#include "tests/support/installer_harness.h"
#include "tests/support/package_builder.h"

namespace {

using namespace std::chrono_literals;
using testing_support::ConfigFile;
using testing_support::InstallerHarness;
using Sections = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Sections named R0, R1, ... each holding one name "Model <row>", so that
// any row can be given names of its own.
Sections NumberedSections(int count) {
    Sections sections;
    for (int row = 0; row < count; ++row) {
        sections.push_back({"R" + std::to_string(row), {"Model " + std::to_string(row)}});
    }
    return sections;
}

// Starts the installer with this DriverName.cfg in the sample package, and
// a USB printer to install on.
void StartWith(InstallerHarness& harness, const std::string& config) {
    harness.UsePackage(testing_support::BuildPackage({{"DriverName.cfg", config}}));
    harness.Machine().sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    harness.Machine().sim_spooler().AttachUsbPrinter("USB001");
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
}

// Installs `name` and returns the driver its printer was created with.
std::string InstalledDriverOf(InstallerHarness& harness, const std::string& name) {
    harness.ChooseModel(name);
    harness.Toolkit().WaitForInputIdle(harness.MainWindow(), 5s);
    EXPECT_EQ(harness.Control(1001).text, name) << "the printer-name field follows the choice";
    harness.Install();
    const auto printer = harness.Machine().sim_spooler().FindPrinter(name);
    return printer ? printer->driver : std::string("(no printer)");
}

TEST(Dispatch, NamesAreListedInFileAndKeyOrderWithGapsAndLimits) {
    std::vector<std::string> sixty;
    for (int i = 1; i <= 60; ++i) sixty.push_back("Many " + std::to_string(i));
    std::string config = ConfigFile({{"First", {"A1", "A2", "A3"}}, {"Second", {"B1"}}});
    // A gap ends the section; an empty first name gives nothing.
    config += "[Gap]\r\nPrintName1=C1\r\nPrintName3=C3\r\n[Empty]\r\nPrintName1=\r\nPrintName2=D2\r\n";
    config += ConfigFile({{"Sixty", sixty}});
    InstallerHarness harness;
    StartWith(harness, config);

    std::vector<std::string> expected = {"A1", "A2", "A3", "B1", "C1"};
    for (int i = 1; i <= 50; ++i) expected.push_back("Many " + std::to_string(i));
    EXPECT_EQ(harness.Control(1000).items, expected);
}

// The row a name installs is the position of the section that lists it;
// rows 30 on are the label rows, installed with the label sequence (each
// row of the sample package is installed by the install tests).
TEST(Dispatch, AChosenNameInstallsTheDriverOfItsSectionsRow) {
    struct Case {
        const char* why;
        std::function<void(Sections&)> change;  // to 35 sections "R<row>" listing "Model <row>"
        std::string chosen;
        std::string driver;
        int monitorsAdded;
    };
    const std::string longName(140, 'L');
    const Case cases[] = {
        {"an empty section still counts", [](Sections& s) { s[3].second = {""}; s[4].second = {"Fourth"}; },
         "Fourth", install::ReceiptSeriesNames[4], 0},
        {"the last section listing a name wins",
         [](Sections& s) { s[2].second = {"Twice"}; s[31].second = {"Twice"}; }, "Twice",
         install::LabelSeriesNames[1], 1},
        {"a long value is cut alike in the list and the match", [&](Sections& s) { s[7].second = {longName}; },
         longName.substr(0, 127), install::ReceiptSeriesNames[7], 0},
        {"a long section name keeps its row",
         [](Sections& s) { s[5] = {std::string(150, 'S'), {"Long section"}}; }, "Long section",
         install::ReceiptSeriesNames[5], 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Sections sections = NumberedSections(35);
        c.change(sections);
        InstallerHarness harness;
        StartWith(harness, ConfigFile(sections));
        const auto listed = harness.Control(1000).items;
        EXPECT_NE(std::find(listed.begin(), listed.end(), c.chosen), listed.end());
        EXPECT_EQ(InstalledDriverOf(harness, c.chosen), c.driver) << harness.Describe();
        EXPECT_EQ(harness.Machine().env().CallCount("AddMonitorA"), c.monitorsAdded);
    }
}

TEST(Dispatch, ASectionPastTheCatalogueInstallsNothing) {
    InstallerHarness harness;
    StartWith(harness, ConfigFile(NumberedSections(36)));
    harness.ChooseModel("Model 35");  // the first row past the last label row
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "所选型号没有对应的驱动程序");
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.Machine().env().CallCount("AddPrinterDriverExA"), 0);
    EXPECT_TRUE(harness.Machine().sim_spooler().PrinterNames().empty());
}

TEST(Dispatch, SectionNamesBeyondTheirLimitAreNotListed) {
    // 35 sections of 90-byte names: the list of names overflows its 3000
    // bytes after 32 of them, and what lies beyond is never reached.
    Sections sections;
    for (int row = 0; row < 35; ++row) {
        sections.push_back({std::string(88, 'a' + row % 26) + std::to_string(row + 10), {"N" + std::to_string(row)}});
    }
    InstallerHarness harness;
    StartWith(harness, ConfigFile(sections));
    const auto listed = harness.Control(1000).items;
    ASSERT_FALSE(listed.empty());
    EXPECT_LT(listed.size(), 35u);
    EXPECT_EQ(listed.front(), "N0");
}

// Row 19 takes a family of its own only when the chosen name is its own.
TEST(Dispatch, RowNineteenTakesItsOwnFamilyOnlyWithTheMatchingName) {
    for (const std::string& chosen : {std::string(install::ReceiptSeriesNames[19]), std::string("Other name")}) {
        SCOPED_TRACE(chosen);
        Sections sections = NumberedSections(35);
        sections[19].second = {chosen};
        InstallerHarness harness;
        StartWith(harness, ConfigFile(sections));
        InstalledDriverOf(harness, chosen);
        const auto driver = harness.Machine().sim_spooler().FindDriver(install::ReceiptSeriesNames[19], "Windows x64");
        ASSERT_TRUE(driver.has_value()) << harness.Describe();
        ASSERT_FALSE(driver->dependentFiles.empty());
        EXPECT_EQ(driver->dependentFiles.back(), chosen == "Other name" ? "SMPF80.DLL" : "SMPF80X.DLL");
    }
}

TEST(PortAvailability, FollowsTheChosenTypeOnEveryClick) {
    InstallerHarness harness;
    auto& spooler = harness.Machine().sim_spooler();
    for (const char* port : {"LPT1:", "LPT2:", "LPT3:"}) spooler.RemovePort(port);
    harness.Machine().AddSerialDevice("\\Device\\Serial0", "COM1");
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    const std::string model = install::ReceiptSeriesNames[0];
    harness.ChooseModel(model);

    // USB without a USB port, and no parallel port to stand in.
    harness.ChoosePortType(1);
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "PC机无可用USB端口,也没有可代替的并行端口。\r\n\r\n请选择其他端口类型。");
    EXPECT_TRUE(harness.Machine().sim_spooler().PrinterNames().empty());
    EXPECT_TRUE(harness.InstallEnabled());
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    EXPECT_EQ(harness.Outcomes()[0].end, run::RunEnd::kStoppedBeforeChange);

    // The serial row has its port: available again, and the printer on it.
    harness.ChoosePortType(0);
    harness.Install();
    EXPECT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_EQ(harness.Machine().sim_spooler().FindPrinter(model)->port, "COM1:");
}

}  // namespace
