// Saving a simulated machine and loading it into a new one: what the
// terminal front end relies on for a second run to see the first one's
// printers.
#include <gtest/gtest.h>

#include <filesystem>

#include "install/driver_catalogue.h"
#include "platform/sim/sim_persistence.h"
#include "tests/support/installer_harness.h"

namespace {

using namespace std::chrono_literals;
using platform::sim::LoadMachineState;
using platform::sim::SaveMachineState;
using platform::sim::SimMachine;
using platform::sim::SimPreset;
using testing_support::InstallerHarness;
using testing_support::MakeTempFolder;

class SimPersistenceTest : public ::testing::Test {
protected:
    void TearDown() override {
        std::error_code ignored;
        for (const std::string& folder : m_folders) std::filesystem::remove_all(folder, ignored);
    }

    // A fresh machine in a sandbox of its own, as a second run builds.
    std::unique_ptr<SimMachine> FreshMachine(SimPreset preset = SimPreset::kWindows10x64) {
        m_folders.push_back(MakeTempFolder("persist"));
        return std::make_unique<SimMachine>(m_folders.back(), preset);
    }

    // Everything but the C:\ tree, which lives in the sandbox folder.
    static std::string Describe(SimMachine& machine) {
        return machine.sim_system().ToString() + machine.sim_registry().ToString() + machine.sim_spooler().ToString();
    }

    std::vector<std::string> m_folders;
};

TEST_F(SimPersistenceTest, MachineAfterAUsbInstallationLoadsBackTheSame) {
    InstallerHarness harness;
    auto& spooler = harness.Machine().sim_spooler();
    spooler.AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    spooler.AttachUsbPrinter("USB001");
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    harness.ChoosePortType(1);
    const std::string model = install::ReceiptSeriesNames[0];
    harness.ChooseModel(model);
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    harness.Click(1012);
    ASSERT_TRUE(harness.WaitForEnd());

    const std::string saved = SaveMachineState(harness.Machine());
    auto loaded = FreshMachine();
    std::string error;
    ASSERT_TRUE(LoadMachineState(*loaded, saved, &error)) << error;

    // The dumps hold the printers, drivers and every registry value; handle
    // counts differ by nature, and the installer closed all of its own.
    EXPECT_EQ(Describe(*loaded), Describe(harness.Machine()));
    EXPECT_EQ(SaveMachineState(*loaded), saved) << "a loaded machine saves the same text";
    const auto driver = loaded->sim_spooler().FindDriver(model, platform::sim::kSimEnvironmentX64);
    ASSERT_TRUE(driver.has_value());
    EXPECT_FALSE(driver->installedFiles.empty());
}

TEST_F(SimPersistenceTest, LoadedSpoolerServesItsPrintersAndStillReloadsThemOnRestart) {
    auto first = FreshMachine();
    auto& spooler = first->sim_spooler();
    platform::sim::SimSpooler::SavedState state;
    state.ports = {{"USB002", "USB Monitor", "Virtual printer port for USB"}};
    state.printers = {{"P1", "USB002", "D1", "WinPrint", "RAW"}};
    platform::sim::SimSpooler::DriverRecord driver;
    driver.version = 3;
    driver.name = "D1";
    driver.environment = platform::sim::kSimEnvironmentX64;
    state.drivers = {driver};
    state.usbAttached = {"USB002"};
    spooler.RestoreState(state);
    first->sim_services().SetRunning("Spooler", false);
    const std::string saved = SaveMachineState(*first);

    auto second = FreshMachine();
    ASSERT_TRUE(LoadMachineState(*second, saved, nullptr));
    EXPECT_FALSE(second->sim_services().IsRunning("Spooler"));
    // The start hook survived the load: starting the spooler writes the
    // printer's on-line flag from the USB attachment.
    auto& services = second->services();
    const auto manager = services.OpenSCManagerA(nullptr, nullptr, win::SC_MANAGER_ALL_ACCESS);
    const auto service = services.OpenServiceA(manager, "Spooler", win::SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    ASSERT_NE(services.StartServiceA(service, 0, nullptr), 0);
    win::SERVICE_STATUS status{};
    services.QueryServiceStatus(service, &status);
    services.CloseServiceHandle(service);
    services.CloseServiceHandle(manager);
    EXPECT_EQ(second->sim_registry().GetDword(win::HKEY_CURRENT_CONFIG,
                                              "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1", "PrinterOnLine"),
              1u)
        << second->ToString();
}

TEST_F(SimPersistenceTest, AwkwardBytesAndASystemOtherThanTheDefaultRoundTrip) {
    auto first = FreshMachine(SimPreset::kWindows7x86);
    auto& registry = first->sim_registry();
    // Tabs, line breaks, backslashes, a zero byte and CP936 text whose
    // trail byte is a backslash (0x5C).
    const std::string awkward = std::string("a\tb\nc\r\\d") + '\0' + "\xD5\x5C" + "端口";
    registry.SetString(win::HKEY_CURRENT_USER, "Software\\Test\\" + std::string("\xD5\x5C"), awkward, awkward);
    registry.SetValue(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "", win::REG_BINARY, {0, 9, 10, 13, 92, 255});
    registry.SetDword(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "n", 0xDEADBEEF);
    first->sim_spooler().AddPort("IP_10.0.0.1", platform::sim::kSimTcpMonitor, "标准 TCP/IP 端口");
    const std::string saved = SaveMachineState(*first);

    auto second = FreshMachine();
    ASSERT_TRUE(LoadMachineState(*second, saved, nullptr));
    EXPECT_EQ(Describe(*second), Describe(*first));
    EXPECT_FALSE(second->sim_system().IsWow64());
    EXPECT_EQ(second->sim_spooler().NativeEnvironment(), platform::sim::kSimEnvironmentX86);
}

TEST_F(SimPersistenceTest, MalformedTextIsRefusedWithItsLineAndNothingIsApplied) {
    auto source = FreshMachine();
    source->sim_spooler().AddPort("USB009", "USB Monitor", "x");
    std::string saved = SaveMachineState(*source);
    const std::vector<std::string> broken = {
        "",
        "some other file\n",
        saved + "printer\tonly-two-fields\n",
        saved + "value\tname\t1\t0g\n",
        saved + "port\ta\\qb\tm\td\n",
        saved + "mystery\t1\n",
    };
    for (const std::string& text : broken) {
        auto target = FreshMachine();
        const std::string before = SaveMachineState(*target);
        std::string error;
        EXPECT_FALSE(LoadMachineState(*target, text, &error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(SaveMachineState(*target), before) << "nothing applied for: " << error;
    }
    std::string error;
    auto target = FreshMachine();
    EXPECT_FALSE(LoadMachineState(*target, saved + "key\tHKLM\n", &error));
    EXPECT_NE(error.find("line "), std::string::npos) << error;
}

}  // namespace
