// The printer-name list and the Install button: which names are listed, and
// which catalogue row and which sequence a chosen name installs.
#include <gtest/gtest.h>

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

class DispatchTest : public ::testing::Test {
protected:
    // Starts the installer with this DriverName.cfg in the sample package,
    // and a USB printer to install on.
    void StartWith(const std::string& config) {
        harness.UsePackage(testing_support::BuildPackage({{"DriverName.cfg", config}}));
        harness.Machine().sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
        harness.Machine().sim_spooler().AttachUsbPrinter("USB001");
        harness.Start();
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    }

    std::vector<std::string> Listed() { return harness.Control(1000).items; }

    // Installs `name` and returns the driver its printer was created with.
    std::string InstalledDriverOf(const std::string& name) {
        harness.ChooseModel(name);
        harness.Toolkit().WaitForInputIdle(harness.MainWindow(), 5s);
        EXPECT_EQ(harness.Control(1001).text, name) << "the printer-name field follows the choice";
        harness.Install();
        const auto printer = harness.Machine().sim_spooler().FindPrinter(name);
        return printer ? printer->driver : std::string("(no printer)");
    }

    InstallerHarness harness;
};

TEST_F(DispatchTest, NamesAreListedInFileAndKeyOrderWithGapsAndLimits) {
    std::vector<std::string> sixty;
    for (int i = 1; i <= 60; ++i) sixty.push_back("Many " + std::to_string(i));
    std::string config = ConfigFile({{"First", {"A1", "A2", "A3"}}, {"Second", {"B1"}}});
    // A gap ends the section; an empty first name gives nothing.
    config += "[Gap]\r\nPrintName1=C1\r\nPrintName3=C3\r\n[Empty]\r\nPrintName1=\r\nPrintName2=D2\r\n";
    config += ConfigFile({{"Sixty", sixty}});
    StartWith(config);

    std::vector<std::string> expected = {"A1", "A2", "A3", "B1", "C1"};
    for (int i = 1; i <= 50; ++i) expected.push_back("Many " + std::to_string(i));
    EXPECT_EQ(Listed(), expected);
}

TEST_F(DispatchTest, ReceiptRowsFollowSectionPositionsAndTheEmptySectionStillCounts) {
    Sections sections = NumberedSections(35);
    sections[3].second = {""};  // counts as row 3, lists nothing
    sections[4].second = {"Fourth"};
    StartWith(ConfigFile(sections));
    EXPECT_EQ(Listed().size(), 34u);
    EXPECT_EQ(InstalledDriverOf("Fourth"), install::ReceiptSeriesNames[4]) << harness.Describe();
}

TEST_F(DispatchTest, TheLastSectionListingANameWins) {
    Sections sections = NumberedSections(35);
    sections[2].second = {"Twice"};
    sections[31].second = {"Twice"};
    StartWith(ConfigFile(sections));
    // Row 31 is label row 1: the label sequence runs.
    EXPECT_EQ(InstalledDriverOf("Twice"), install::LabelSeriesNames[1]) << harness.Describe();
    EXPECT_EQ(harness.Machine().env().CallCount("AddMonitorA"), 1);
}

TEST_F(DispatchTest, TheThirtyFirstSectionIsTheFirstLabelRow) {
    StartWith(ConfigFile(NumberedSections(35)));
    EXPECT_EQ(InstalledDriverOf("Model 29"), install::ReceiptSeriesNames[29]);
    EXPECT_EQ(harness.Machine().env().CallCount("AddMonitorA"), 0) << "row 29 is a receipt row";
}

TEST_F(DispatchTest, TheThirtyFirstSectionInstallsWithTheLabelSequence) {
    StartWith(ConfigFile(NumberedSections(35)));
    EXPECT_EQ(InstalledDriverOf("Model 30"), install::LabelSeriesNames[0]) << harness.Describe();
    EXPECT_EQ(harness.Machine().env().CallCount("AddMonitorA"), 1);
}

TEST_F(DispatchTest, ASectionPastTheCatalogueInstallsNothing) {
    StartWith(ConfigFile(NumberedSections(40)));
    harness.ChooseModel("Model 37");
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "所选型号没有对应的驱动程序");
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.Machine().env().CallCount("AddPrinterDriverExA"), 0);
    EXPECT_TRUE(harness.Machine().sim_spooler().PrinterNames().empty());
}

TEST_F(DispatchTest, LongValuesAreCutTheSameWayInTheListAndInTheMatch) {
    Sections sections = NumberedSections(35);
    const std::string longName(140, 'L');
    sections[7].second = {longName};
    StartWith(ConfigFile(sections));

    const std::string cut = longName.substr(0, 127);
    const auto listed = Listed();
    ASSERT_NE(std::find(listed.begin(), listed.end(), cut), listed.end());
    EXPECT_EQ(InstalledDriverOf(cut), install::ReceiptSeriesNames[7]);
}

TEST_F(DispatchTest, LongSectionNameKeepsItsRow) {
    Sections sections = NumberedSections(35);
    sections[5].first = std::string(150, 'S');
    sections[5].second = {"Long section"};
    StartWith(ConfigFile(sections));
    EXPECT_EQ(InstalledDriverOf("Long section"), install::ReceiptSeriesNames[5]);
}

TEST_F(DispatchTest, SectionNamesBeyondTheirLimitAreNotListed) {
    // 35 sections of 90-byte names: the list of names overflows its 3000
    // bytes after 32 of them, and what lies beyond is never reached.
    Sections sections;
    for (int row = 0; row < 35; ++row) {
        sections.push_back({std::string(88, 'a' + row % 26) + std::to_string(row + 10), {"N" + std::to_string(row)}});
    }
    StartWith(ConfigFile(sections));
    const auto listed = Listed();
    ASSERT_FALSE(listed.empty());
    EXPECT_LT(listed.size(), 35u);
    EXPECT_EQ(listed.front(), "N0");
}

TEST_F(DispatchTest, RowNineteenTakesItsOwnFamilyOnlyWithTheMatchingName) {
    Sections sections = NumberedSections(35);
    sections[19].second = {install::ReceiptSeriesNames[19], "Other name"};
    StartWith(ConfigFile(sections));
    InstalledDriverOf(install::ReceiptSeriesNames[19]);
    const auto exact = harness.Machine().sim_spooler().FindDriver(install::ReceiptSeriesNames[19], "Windows x64");
    ASSERT_TRUE(exact.has_value()) << harness.Describe();
    ASSERT_FALSE(exact->dependentFiles.empty());
    EXPECT_EQ(exact->dependentFiles.back(), "SMPF80X.DLL");
}

TEST_F(DispatchTest, RowNineteenWithAnotherNameTakesTheGroupFamily) {
    Sections sections = NumberedSections(35);
    sections[19].second = {"Other name"};
    StartWith(ConfigFile(sections));
    InstalledDriverOf("Other name");
    const auto driver = harness.Machine().sim_spooler().FindDriver(install::ReceiptSeriesNames[19], "Windows x64");
    ASSERT_TRUE(driver.has_value()) << harness.Describe();
    ASSERT_FALSE(driver->dependentFiles.empty());
    EXPECT_EQ(driver->dependentFiles.back(), "SMPF80.DLL");
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
    EXPECT_EQ(app::g_portAvailable, 0);
    EXPECT_TRUE(harness.Machine().sim_spooler().PrinterNames().empty());
    EXPECT_TRUE(harness.InstallEnabled());

    // The serial row has its port: available again, and the printer on it.
    harness.ChoosePortType(0);
    harness.Install();
    EXPECT_EQ(app::g_portAvailable, 1);
    EXPECT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_EQ(harness.Machine().sim_spooler().FindPrinter(model)->port, "COM1:");
}

}  // namespace
