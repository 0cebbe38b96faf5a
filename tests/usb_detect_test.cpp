// Finding the USB port a printer answers on, and binding printers to ports
// through the spooler's registry data.
#include <gtest/gtest.h>

#include "install/driver_catalogue.h"
#include "platform/sim/sim_registry.h"
#include "ports/port_bindings.h"
#include "tests/support/fake_view.h"
#include "tests/support/installer_harness.h"

namespace {

using testing_support::InstallerHarness;

const std::string kModel = install::ReceiptSeriesNames[0];

int AnswerRetryTimes(int* retries, const ui::portable::WindowState& box) {
    if (box.caption == "自动选择USB端口失败" && *retries > 0) {
        --*retries;
        return win::IDRETRY;
    }
    return win::IDCANCEL;
}

TEST(UsbDetect, NoUsbPortAtAllShowsTheFailureBoxAtOnceAndRetryShowsItAgain) {
    InstallerHarness harness;
    // No USB port and a parallel port to stand in.
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    harness.ChoosePortType(1);
    harness.ChooseModel(kModel);
    int retries = 2;
    harness.Install([&](const auto& box) { return AnswerRetryTimes(&retries, box); });

    ASSERT_EQ(harness.Boxes().size(), 3u) << harness.Describe();
    for (const auto& box : harness.Boxes()) {
        EXPECT_EQ(box.caption, "自动选择USB端口失败");
        EXPECT_EQ(box.boxType & win::MB_TYPEMASK, win::MB_RETRYCANCEL);
        EXPECT_EQ(box.owner, harness.MainWindow());
    }
    // Stood in on the first parallel port, and stays there.
    const auto printer = harness.Machine().sim_spooler().FindPrinter(kModel);
    ASSERT_TRUE(printer.has_value());
    EXPECT_EQ(printer->port, "LPT1:");
    EXPECT_EQ(harness.InstallCaption(), "完成");
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    EXPECT_EQ(harness.Outcomes()[0].end, run::RunEnd::kPortNotConfirmed);
    EXPECT_EQ(harness.Outcomes()[0].port, "LPT1:");
    // Nothing written for USB ports, and the only restart is the one that
    // looked for a USB device appearing.
    EXPECT_EQ(harness.Machine().sim_services().StopCount("Spooler"), 1);
}

TEST(UsbDetect, UsbDeviceShowingUpAfterTheRestartIsBoundTo) {
    InstallerHarness harness;
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    // The printer is plugged in after the list was made: the spooler
    // lists its port from the next restart on.
    harness.Machine().sim_spooler().AddPort("USB003", "USB Monitor", "Virtual printer port for USB");
    harness.Machine().sim_spooler().AttachUsbPrinter("USB003");
    harness.ChoosePortType(1);
    harness.ChooseModel(kModel);
    harness.Install();
    EXPECT_TRUE(harness.Boxes().empty()) << harness.Describe();
    const auto printer = harness.Machine().sim_spooler().FindPrinter(kModel);
    ASSERT_TRUE(printer.has_value());
    EXPECT_EQ(printer->port, "USB003");
}

// The two witnesses of a port with a printer behind it: the spooler's
// on-line flag, and the present USB printing interfaces (each naming its
// port). Three USB ports; the ports tried are read from the status line.
enum class Interfaces { kListed, kNone, kFail };
struct WitnessCase {
    const char* name;
    const char* printerAt;  // where the USB printer is attached
    Interfaces interfaces;
    bool flagWritten;  // whether the spooler writes the on-line flag
    bool onLineFlagUnreadable;  // the first read of it fails
    std::vector<std::string> tried;
    const char* endsOn;
    const char* box;  // how the one box shown begins; null for none
};

class UsbWitness : public ::testing::TestWithParam<WitnessCase> {};

TEST_P(UsbWitness, TriesThePortsItShouldAndEndsOnTheRightOne) {
    const WitnessCase& c = GetParam();
    InstallerHarness harness;
    auto& machine = harness.Machine();
    for (const char* port : {"USB001", "USB002", "USB003"}) {
        machine.sim_spooler().AddPort(port, "USB Monitor", "Virtual printer port for USB");
    }
    machine.sim_spooler().AttachUsbPrinter(c.printerAt);
    machine.sim_spooler().SetWritesOnLineFlags(c.flagWritten);
    machine.sim_devices().SetListsUsbPrinters(c.interfaces != Interfaces::kNone);
    // SetupAPI's ERROR_INVALID_CLASS.
    if (c.interfaces == Interfaces::kFail) machine.env().InjectFault("EnumPresentUsbPrintInterfaces", 0xE0000209, -1);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    harness.ChooseModel(kModel);
    if (c.onLineFlagUnreadable) machine.env().InjectFault("RegQueryValueExA", win::ERROR_ACCESS_DENIED, 1);
    const int stopsBefore = machine.sim_services().StopCount("Spooler");
    harness.Install([](const auto&) { return win::IDCANCEL; });

    std::vector<std::string> tried;
    for (const std::string& status : harness.Recorder().StatusHistory()) {
        if (status.rfind("正在尝试 ", 0) == 0) tried.push_back(status.substr(std::string("正在尝试 ").size(), 6));
    }
    EXPECT_EQ(tried, c.tried) << harness.Describe();
    EXPECT_EQ(machine.sim_services().StopCount("Spooler") - stopsBefore, static_cast<int>(c.tried.size()));
    EXPECT_EQ(machine.sim_spooler().FindPrinter(kModel)->port, c.endsOn);
    ASSERT_EQ(harness.Boxes().size(), c.box ? 1u : 0u);
    if (c.box) {
        EXPECT_EQ(harness.Boxes()[0].text.rfind(c.box, 0), 0u) << harness.Boxes()[0].text;
    }
    EXPECT_EQ(harness.InstallCaption(), "完成");
    EXPECT_EQ(harness.Progress(), 100);
    // Confirmed exactly when no failure box was needed, and on the port the
    // printer ends on either way.
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    const bool failureBox = c.box != nullptr && std::string(c.box) == "自动选择USB端口失败";
    EXPECT_EQ(harness.Outcomes()[0].end, failureBox ? run::RunEnd::kPortNotConfirmed : run::RunEnd::kInstalled);
    EXPECT_EQ(harness.Outcomes()[0].port, c.endsOn);
}

INSTANTIATE_TEST_SUITE_P(
    UsbDetect, UsbWitness,
    ::testing::Values(
        WitnessCase{"InterfaceFindsTheSecondPortWithoutTheFlag", "USB002", Interfaces::kListed, false, false,
                    {"USB002"}, "USB002", nullptr},
        WitnessCase{"FlagAloneFindsItWithoutInterfaces", "USB002", Interfaces::kNone, true, false,
                    {"USB001", "USB002"}, "USB002", nullptr},
        WitnessCase{"NeitherFindsIt", "USB002", Interfaces::kNone, false, false, {"USB001", "USB002", "USB003"},
                    "USB003", "自动选择USB端口失败"},
        WitnessCase{"InterfaceOfAPortTheSpoolerDoesNotListIsIgnored", "USB005", Interfaces::kListed, true, false,
                    {"USB001", "USB002", "USB003"}, "USB003", "自动选择USB端口失败"},
        WitnessCase{"FailingInterfaceListFallsBackToTheFlag", "USB002", Interfaces::kFail, true, false,
                    {"USB001", "USB002"}, "USB002", nullptr},
        WitnessCase{"FlagSearchStopsAtTheFirstPortOnLine", "USB001", Interfaces::kNone, true, false, {"USB001"},
                    "USB001", nullptr},
        WitnessCase{"UnreadableFlagIsReportedAndTheNextPortTried", "USB002", Interfaces::kNone, true, true,
                    {"USB001", "USB002"}, "USB002", "读取注册表失败"}),
    [](const auto& info) { return std::string(info.param.name); });

class SetPrinterPortTest : public ::testing::Test {
protected:
    SetPrinterPortTest() : machine(testing_support::MakeTempFolder("ports")), bindings(machine, view) {
        machine.SetTimeScale(0);
    }
    platform::sim::SimMachine machine;
    testing_support::FakeView view;
    ports::PortBindings bindings;
};

TEST_F(SetPrinterPortTest, UnknownPrinterStillGoesOffLine) {
    bindings.SetPrinterPort("Nobody", "USB001");
    auto& registry = machine.sim_registry();
    EXPECT_FALSE(registry.KeyExists(win::HKEY_LOCAL_MACHINE,
                                    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Nobody"));
    // Written through HKEY_CURRENT_CONFIG, read back where the USB search
    // reads it.
    EXPECT_EQ(registry.GetDword(win::HKEY_LOCAL_MACHINE,
                                "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\"
                                "Control\\Print\\Printers\\Nobody",
                                "PrinterOnLine"),
              std::optional<win::DWORD>(0));
}

TEST_F(SetPrinterPortTest, EveryFailingWriteIsReportedOnceAndTheRestStillRun) {
    machine.sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    machine.sim_spooler().AddPort("USB002", "USB Monitor", "Virtual printer port for USB");
    // The keys the spooler makes for a printer.
    const std::string name = "P";
    auto& registry = machine.sim_registry();
    for (const char* key : {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\P",
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\P\\DsSpooler",
                            "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\P"}) {
        registry.SetString(win::HKEY_LOCAL_MACHINE, key, "Port", "USB001");
    }
    machine.env().InjectFault("RegSetValueExA", win::ERROR_ACCESS_DENIED, 2);
    bindings.SetPrinterPort(name, "USB002");
    EXPECT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\P", "Port"),
              std::optional<std::string>("USB002"));
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE,
                                 "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\P", "Port"),
              std::optional<std::string>("USB001"))
        << "the first write was the refused one";
}

// Another program adds a printer between the size and the records: the
// records are asked for again, and the list has both.
TEST_F(SetPrinterPortTest, PrinterListGrowingBetweenItsTwoCallsIsReadAgain) {
    auto& spooler = machine.sim_spooler();
    platform::sim::SimSpooler::SavedState state = spooler.SaveState();
    platform::sim::SimSpooler::DriverRecord driver;
    driver.version = 3;
    driver.name = "Receipt 80";
    driver.environment = spooler.NativeEnvironment();
    state.drivers.push_back(driver);
    state.printers.push_back({"Receipt A", "LPT1:", "Receipt 80", "WinPrint", "RAW"});
    spooler.RestoreState(state);
    spooler.AddPrinterAfterNextEnumeration("Receipt B", {"COM1:", "Receipt 80"});

    ports::StringArray names, printerPorts;
    EXPECT_EQ(bindings.EnumeratePrinters(names, printerPorts), 1);
    EXPECT_EQ(names, (ports::StringArray{"Receipt A", "Receipt B"}));
    EXPECT_EQ(printerPorts, (ports::StringArray{"LPT1:", "COM1:"}));
}

}  // namespace
