// Naming the running system and its bitness.
#include <gtest/gtest.h>

#include "install/system_identity.h"
#include "tests/support/fake_view.h"
#include "tests/support/installer_harness.h"

namespace {

using platform::sim::SimMachine;
using testing_support::InstallerHarness;
using testing_support::MakeTempFolder;

struct VersionCase {
    win::DWORD platformId;
    win::DWORD major;
    win::DWORD minor;
    int code;
};

class VersionCodeTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionCodeTest, ClassifiesWhatGetVersionExReports) {
    const VersionCase& c = GetParam();
    SimMachine machine(MakeTempFolder("version"));
    machine.SetWindowsVersion(c.platformId, c.major, c.minor);
    testing_support::FakeView view;
    install::SystemIdentity system(machine, view);
    EXPECT_EQ(system.GetWindowsVersionCode(), c.code)
        << "platform " << c.platformId << " version " << c.major << "." << c.minor;
}

INSTANTIATE_TEST_SUITE_P(
    EveryRowAndEdge, VersionCodeTest,
    ::testing::Values(VersionCase{1, 4, 0, 1}, VersionCase{1, 4, 10, 2}, VersionCase{1, 4, 90, 3},
                      VersionCase{1, 4, 3, -1}, VersionCase{1, 5, 0, -1}, VersionCase{2, 3, 51, 4},
                      VersionCase{2, 4, 0, 4}, VersionCase{2, 5, 0, 5}, VersionCase{2, 5, 1, 6},
                      VersionCase{2, 5, 2, 7}, VersionCase{2, 5, 3, -1}, VersionCase{2, 6, 0, 8},
                      VersionCase{2, 6, 1, 9}, VersionCase{2, 6, 2, 10}, VersionCase{2, 6, 3, 10},
                      VersionCase{2, 7, 0, -1}, VersionCase{2, 9, 0, -1}, VersionCase{2, 10, 0, 11},
                      VersionCase{2, 10, 5, 11}, VersionCase{2, 11, 0, -1}, VersionCase{0, 3, 1, 5},
                      VersionCase{3, 10, 0, 5}));

TEST(VersionCode, FallsBackToThePlainRecordAndGivesUpWhenBothFail) {
    SimMachine machine(MakeTempFolder("version"));
    machine.SetWindowsVersion(2, 5, 1);
    testing_support::FakeView view;
    install::SystemIdentity system(machine, view);

    // The extended record refused once: the plain one still tells XP.
    machine.env().InjectFault("GetVersionExA", win::ERROR_INSUFFICIENT_BUFFER, 1);
    EXPECT_EQ(system.GetWindowsVersionCode(), 6);
    EXPECT_EQ(machine.env().CallCount("GetVersionExA"), 2);

    machine.env().InjectFault("GetVersionExA", win::ERROR_INVALID_PARAMETER, 2);
    EXPECT_EQ(system.GetWindowsVersionCode(), -1);
}

struct StatusCase {
    win::DWORD major;
    win::DWORD minor;
    bool wow64;
    bool hasIsWow64Process;
    const char* status;
    win::DWORD platformId = 2;
};

class SystemStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(SystemStatusTest, StatusLineNamesSystemAndBitness) {
    const StatusCase& c = GetParam();
    InstallerHarness harness;
    harness.Machine().SetWindowsVersion(c.platformId, c.major, c.minor);
    harness.Machine().SetWow64(c.wow64);
    harness.Machine().SetHasIsWow64Process(c.hasIsWow64Process);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    EXPECT_EQ(harness.Status(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, SystemStatusTest,
    ::testing::Values(
        // Two spaces before the bitness: one ends the name, one is the format's.
        StatusCase{6, 1, true, true, "当前系统为Microsoft Windows 7  64位"},
        StatusCase{5, 1, false, true, "当前系统为Microsoft Windows XP  32位"},
        StatusCase{6, 0, false, true, "当前系统为Microsoft Windows vista  32位"},
        // Not in the table: no name, one space.
        StatusCase{5, 3, true, true, "当前系统为 64位"}, StatusCase{7, 0, false, true, "当前系统为 32位"},
        // Without IsWow64Process the program cannot know, and says 32-bit.
        StatusCase{5, 0, true, false, "当前系统为Microsoft Windows 2000  32位"},
        StatusCase{10, 0, true, true, "当前系统为Microsoft Windows 10  64位"}));

// An x86 program on ARM64 Windows runs emulated and IsWow64Process answers
// as on x64; the x64 drivers would be refused there, so Install says so
// before anything is staged, and stays usable.
TEST(ProcessorTest, ArmMachineIsToldApartAndNothingIsStaged) {
    using namespace std::chrono_literals;
    InstallerHarness harness(platform::sim::SimPreset::kWindows11Arm64);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    harness.Machine().env().ClearCalls();
    harness.Click(1012);
    const std::string refusal = "本驱动程序不支持此系统的处理器(ARM64)";
    ASSERT_TRUE(harness.Toolkit().WaitFor(
        [&](const auto&) { return harness.Status() == refusal && harness.InstallEnabled(); }, 5s))
        << harness.Describe();
    EXPECT_EQ(harness.InstallCaption(), "安装(&I)");
    EXPECT_TRUE(harness.Boxes().empty());
    for (const char* call : {"CopyFileA", "AddMonitorA", "AddPrinterDriverExA", "AddPrinterA"}) {
        EXPECT_EQ(harness.Machine().env().CallCount(call), 0) << call;
    }
}

// With the cases above, every version code's name.
INSTANTIATE_TEST_SUITE_P(
    EveryName, SystemStatusTest,
    ::testing::Values(StatusCase{4, 0, false, true, "当前系统为Microsoft Windows 95  32位", 1},
                      StatusCase{4, 10, false, true, "当前系统为Microsoft Windows 98  32位", 1},
                      StatusCase{4, 90, false, true, "当前系统为Microsoft Windows Me  32位", 1},
                      StatusCase{4, 0, false, true, "当前系统为Microsoft Windows NT  32位"},
                      StatusCase{5, 2, true, true, "当前系统为Microsoft Windows 2003  64位"},
                      StatusCase{6, 3, true, true, "当前系统为Microsoft Windows 8  64位"}));

}  // namespace
