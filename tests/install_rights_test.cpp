// What the system forbids is found before anything changes: the token kinds,
// Windows protected print mode, the driver validation level, on the systems
// that have each. A person sees why and can close the window; a silent run
// ends with the documented code; an elevated administrator on an ordinary
// machine sees what they always saw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/driver_catalogue.h"
#include "install/install_rights.h"
#include "platform/sim/sim_machine.h"
#include "tests/support/installer_harness.h"
#include "ui/portable/portable_toolkit.h"
#include "unattended/exit_codes.h"
#include "unattended/program.h"

namespace {

using namespace std::chrono_literals;
using platform::sim::SimPreset;
using platform::sim::SimToken;
using ProtectedPrint = platform::sim::SimSystemInfo::ProtectedPrint;
using testing_support::InstallerHarness;

const std::string kReceiptModel = install::ReceiptSeriesNames[1];
const char* const kLogPath = "C:\\Windows\\Temp\\DriverSetup.log";

class QuietHost : public unattended::ProgramHost {
public:
    explicit QuietHost(platform::Machine& machine) : m_machine(machine) {}
    platform::Machine& Machine() override { return m_machine; }
    ui::Toolkit& ScreenToolkit() override {
        ADD_FAILURE() << "a silent run asked for the screen";
        return m_screen;
    }
    void WriteConsole(const std::string&) override {}
    std::string DefaultLogPath() override { return kLogPath; }
    std::string ToUtf8(const std::string& text) override { return text; }

private:
    platform::Machine& m_machine;
    ui::portable::PortableToolkit m_screen;
};

struct RightsCase {
    const char* name;
    SimPreset system;
    SimToken token;
    int protectedPrintPolicy;  // -1: not set
    bool protectedPrintRuntime;  // the Windows Runtime says it is on (24H2 only)
    int validationLevel;         // -1: not configured
    // The refusal's status line; null where the preparation goes on.
    const char* refusedWith;
    // A word of the one box the preparation shows; null for none.
    const char* boxSays;
    run::Refusal refusal;
    int silentCode;
};

class InstallRightsTest : public ::testing::TestWithParam<RightsCase> {};

TEST_P(InstallRightsTest, RefusesBeforeAnyChangeOrLeavesTheUsualPath) {
    const RightsCase& c = GetParam();
    InstallerHarness harness(c.system);
    platform::sim::SimMachine& machine = harness.Machine();
    machine.SetToken(c.token);
    if (c.protectedPrintPolicy >= 0) {
        machine.sim_registry().SetDword(win::HKEY_LOCAL_MACHINE, install::PROTECTED_PRINT_POLICY_KEY,
                                        install::PROTECTED_PRINT_POLICY_VALUE, c.protectedPrintPolicy);
    }
    if (c.protectedPrintRuntime) machine.sim_system().SetProtectedPrint(ProtectedPrint::kOn);
    if (c.validationLevel >= 0) {
        machine.sim_registry().SetDword(win::HKEY_LOCAL_MACHINE, install::VALIDATION_POLICY_KEY,
                                        install::VALIDATION_POLICY_VALUE, c.validationLevel);
    }
    machine.env().ClearCalls();

    harness.Start();
    if (c.boxSays != nullptr) {
        ASSERT_TRUE(harness.Toolkit().WaitFor([&](const auto&) { return harness.Toolkit().FindMessageBox(); }, 5s))
            << harness.Describe();
        const ui::HWND box = harness.Toolkit().FindMessageBox();
        for (const auto& window : harness.Toolkit().Snapshot()) {
            if (window.hwnd == box) {
                EXPECT_NE(window.text.find(c.boxSays), std::string::npos) << window.text;
            }
        }
        harness.Toolkit().AnswerMessageBox(box, win::IDOK);
        ASSERT_TRUE(harness.Toolkit().WaitFor(
            [&](const auto&) { return harness.Toolkit().FindMessageBox() == nullptr && harness.MainState().enabled; },
            5s));
    }
    if (c.refusedWith != nullptr) {
        ASSERT_TRUE(harness.Toolkit().WaitFor([&](const auto&) { return harness.Status() == c.refusedWith; }, 5s))
            << harness.Describe();
        EXPECT_FALSE(harness.InstallEnabled());
        // The window closes once the preparation is over.
        harness.Click(win::IDCANCEL);
        ASSERT_TRUE(harness.WaitForEnd().has_value()) << harness.Describe();
        // Nothing was started, listed or unpacked.
        for (const char* call : {"OpenSCManagerA", "StartServiceA", "EnumPortsA", "CreateDirectoryA"}) {
            EXPECT_EQ(machine.env().CallCount(call), 0) << call;
        }
        EXPECT_TRUE(harness.TempFolderEntries().empty());
        const auto outcomes = harness.Outcomes();
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].end, run::RunEnd::kStoppedBeforeChange);
        EXPECT_EQ(outcomes[0].refusal, c.refusal);
    } else {
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
        EXPECT_EQ(harness.Status().rfind("当前系统为", 0), 0u) << harness.Status();
        EXPECT_TRUE(machine.sim_files().Exists(harness.PackageFolder() + "\\DriverName.cfg"));
        EXPECT_TRUE(harness.Outcomes().empty());
        harness.Click(win::IDCANCEL);
        EXPECT_TRUE(harness.WaitForEnd().has_value()) << harness.Describe();
    }

    QuietHost host(machine);
    EXPECT_EQ(unattended::RunProgram({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}, host), c.silentCode)
        << machine.sim_files().ReadFile(kLogPath).value_or("");
    EXPECT_EQ(machine.sim_spooler().FindPrinter(kReceiptModel).has_value(), c.silentCode == unattended::EXIT_INSTALLED);
}

const char* const kAdministrator = "以管理员身份运行";
const char* const kProtectedPrintOff = "关闭该模式";
const char* const kValidation = "配置驱动程序验证级别\"为2级";

INSTANTIATE_TEST_SUITE_P(
    TokenPolicySystem, InstallRightsTest,
    ::testing::Values(
        RightsCase{"ElevatedAdministratorOnWindows10", SimPreset::kWindows10x64, SimToken::kElevatedAdministrator, -1,
                   false, -1, nullptr, nullptr, run::Refusal::kNone, unattended::EXIT_INSTALLED},
        RightsCase{"SystemOnWindows7", SimPreset::kWindows7x86, SimToken::kSystem, -1, false, -1, nullptr, nullptr,
                   run::Refusal::kNone, unattended::EXIT_INSTALLED},
        RightsCase{"ElevatedOn24H2WithProtectedPrintOff", SimPreset::kWindows11x64,
                   SimToken::kElevatedAdministrator, 0, false, 4, nullptr, nullptr, run::Refusal::kNone,
                   unattended::EXIT_INSTALLED},
        RightsCase{"StandardUserOnWindows10", SimPreset::kWindows10x64, SimToken::kStandardUser, -1, false, -1,
                   install::TEXT_NOT_ELEVATED, kAdministrator, run::Refusal::kNotElevated,
                   unattended::EXIT_NOT_ELEVATED},
        RightsCase{"UnelevatedAdministratorOn24H2", SimPreset::kWindows11x64, SimToken::kAdministrator, -1, false, -1,
                   install::TEXT_NOT_ELEVATED, kAdministrator, run::Refusal::kNotElevated,
                   unattended::EXIT_NOT_ELEVATED},
        // Rights first: a standard user could not change the policy either.
        RightsCase{"StandardUserUnderProtectedPrint", SimPreset::kWindows7x86, SimToken::kStandardUser, 1, false, -1,
                   install::TEXT_NOT_ELEVATED, kAdministrator, run::Refusal::kNotElevated,
                   unattended::EXIT_NOT_ELEVATED},
        RightsCase{"ProtectedPrintPolicyOnWindows10", SimPreset::kWindows10x64, SimToken::kElevatedAdministrator, 1,
                   false, -1, install::TEXT_PROTECTED_PRINT, kProtectedPrintOff, run::Refusal::kPolicy,
                   unattended::EXIT_POLICY_FORBIDS},
        RightsCase{"ProtectedPrintByTheRuntimeAsSystemOn24H2", SimPreset::kWindows11x64, SimToken::kSystem, -1, true,
                   -1, install::TEXT_PROTECTED_PRINT, kProtectedPrintOff, run::Refusal::kPolicy,
                   unattended::EXIT_POLICY_FORBIDS},
        // A level that may refuse the drivers is said, and the run goes on.
        RightsCase{"ValidationLevelTwoWarns", SimPreset::kWindows10x64, SimToken::kElevatedAdministrator, -1, false,
                   2, nullptr, kValidation, run::Refusal::kNone, unattended::EXIT_INSTALLED},
        // The refusal at Install on ARM64 has its own code.
        RightsCase{"ElevatedOnArm64", SimPreset::kWindows11Arm64, SimToken::kElevatedAdministrator, -1, false, -1,
                   nullptr, nullptr, run::Refusal::kNone, unattended::EXIT_UNSUPPORTED_SYSTEM}),
    [](const ::testing::TestParamInfo<RightsCase>& info) { return std::string(info.param.name); });

// The spooler's two refusals of a driver by policy say what they mean and
// end a silent run as a policy refusal; any other error stays a failure.
TEST(DriverRefusalTest, BlockedAndWarnedDriversAreNamedAndEndInThePolicyCode) {
    const struct {
        win::DWORD error;
        const char* says;
        int code;
    } kCases[] = {
        {win::ERROR_PRINTER_DRIVER_BLOCKED, "系统策略阻止了此驱动程序", unattended::EXIT_POLICY_FORBIDS},
        {win::ERROR_PRINTER_DRIVER_WARNED, "不可靠的驱动程序", unattended::EXIT_POLICY_FORBIDS},
        {win::ERROR_ACCESS_DENIED, nullptr, unattended::EXIT_FAILED},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.error);
        InstallerHarness harness;
        harness.Machine().env().InjectFault("AddPrinterDriverExA", c.error, 1);
        QuietHost host(harness.Machine());
        EXPECT_EQ(unattended::RunProgram({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}, host), c.code);
        const std::string log = harness.Machine().sim_files().ReadFile(kLogPath).value_or("");
        EXPECT_NE(log.find("添加驱动失败 " + std::to_string(c.error)), std::string::npos) << log;
        if (c.says != nullptr) {
            EXPECT_NE(log.find(c.says), std::string::npos) << log;
        }
    }
}

}  // namespace
