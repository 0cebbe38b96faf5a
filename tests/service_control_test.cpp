// Starting and cycling the spooler service, and the driver-loading
// privilege.
#include <gtest/gtest.h>

#include "platform/sim/sim_services.h"
#include "services/service_control.h"
#include "tests/support/fake_view.h"
#include "tests/support/installer_harness.h"

namespace {

using platform::sim::SimMachine;
using platform::sim::SimServiceBehaviour;
using testing_support::MakeTempFolder;

class ServiceControlTest : public ::testing::Test {
protected:
    ServiceControlTest() : machine(MakeTempFolder("services")), control(machine, view) { machine.SetTimeScale(0); }

    int Starts() { return machine.sim_services().StartCount("Spooler"); }
    int Stops() { return machine.sim_services().StopCount("Spooler"); }

    // The text of the one box the call showed (answered with OK), empty
    // when it showed none.
    std::string RunAndAnswerBox(int mode) {
        control.StartOrRestartService("Spooler", mode);
        EXPECT_LE(view.boxes.size(), 1u);
        return view.boxes.empty() ? std::string() : view.boxes.front().text;
    }

    SimMachine machine;
    testing_support::FakeView view;
    services::ServiceControl control;
};

// A running spooler is only queried in start mode and cycled in restart
// mode; a stopped one is started in either, and awaited while it is slow.
TEST_F(ServiceControlTest, EachModeStopsAndStartsOnlyWhatItMust) {
    const struct {
        bool running;
        int mode;
        int stops, starts;
    } kCases[] = {{true, services::SVCMODE_START, 0, 0},
                  {true, services::SVCMODE_RESTART, 1, 1},
                  {false, services::SVCMODE_START, 0, 1},
                  {false, services::SVCMODE_RESTART, 0, 1}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.running) + " mode " + std::to_string(c.mode));
        machine.sim_services().SetRunning("Spooler", c.running);
        machine.sim_services().SetBehaviour("Spooler", SimServiceBehaviour::Slow(2));
        const int stops = Stops(), starts = Starts();
        machine.env().ClearCalls();
        control.StartOrRestartService("Spooler", c.mode);
        EXPECT_TRUE(machine.sim_services().IsRunning("Spooler"));
        EXPECT_EQ(Stops() - stops, c.stops);
        EXPECT_EQ(Starts() - starts, c.starts);
        if (c.stops + c.starts == 0) {
            EXPECT_EQ(machine.env().CallCount("QueryServiceStatus"), 1);
        }
        EXPECT_EQ(machine.sim_services().OpenHandleCount(), 0u) << "every handle is closed again";
    }
}

TEST_F(ServiceControlTest, FailedQueryIsReportedAndNothingIsStarted) {
    machine.sim_services().SetRunning("Spooler", false);
    machine.env().InjectFault("QueryServiceStatus", win::ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(RunAndAnswerBox(services::SVCMODE_START), "无法确定服务状态");
    EXPECT_EQ(view.boxes.front().type & win::MB_ICONMASK, win::MB_ICONINFORMATION);
    EXPECT_EQ(Starts(), 0);
}

TEST_F(ServiceControlTest, SpoolerThatNeverStartsEndsTheWaitWithAMessage) {
    machine.sim_services().SetRunning("Spooler", false);
    machine.sim_services().SetBehaviour("Spooler", SimServiceBehaviour::NeverStarts());
    EXPECT_EQ(RunAndAnswerBox(services::SVCMODE_START), "等待服务Spooler启动超时");
    // Bounded: a limited number of polls, not an endless loop.
    EXPECT_LE(machine.env().CallCount("QueryServiceStatus"), 310);
}

TEST_F(ServiceControlTest, RefusedStopDoesNotStartAgain) {
    machine.sim_services().SetBehaviour("Spooler", SimServiceBehaviour::StopRefused(win::ERROR_ACCESS_DENIED));
    EXPECT_EQ(RunAndAnswerBox(services::SVCMODE_RESTART), "等待服务Spooler停止超时");
    // Not even tried: a start refused by a running service counts as none.
    EXPECT_EQ(machine.env().CallCount("StartServiceA"), 0);
    EXPECT_TRUE(machine.sim_services().IsRunning("Spooler"));
}

// A running dependant would refuse the spooler's stop (1051) and leave the
// restart to time out: it stops first and runs again afterwards.
TEST_F(ServiceControlTest, RestartStopsTheRunningDependantsFirstAndStartsThemAgain) {
    machine.sim_services().AddService("Fax", true);
    machine.sim_services().SetDependencies("Fax", {"Spooler"});
    machine.sim_services().AddService("Idle", false);
    machine.sim_services().SetDependencies("Idle", {"Spooler"});
    const int stops = Stops();
    EXPECT_EQ(RunAndAnswerBox(services::SVCMODE_RESTART), "");
    EXPECT_EQ(Stops() - stops, 1);
    EXPECT_TRUE(machine.sim_services().IsRunning("Spooler"));
    EXPECT_TRUE(machine.sim_services().IsRunning("Fax"));
    EXPECT_EQ(machine.sim_services().StopCount("Fax"), 1);
    EXPECT_FALSE(machine.sim_services().IsRunning("Idle")) << "a stopped dependant is left as it was";
    EXPECT_EQ(machine.sim_services().OpenHandleCount(), 0u);
}

TEST_F(ServiceControlTest, LoadDriverPrivilegeIsEnabled) {
    ASSERT_FALSE(machine.sim_services().IsPrivilegeEnabled("SeLoadDriverPrivilege"));
    control.EnableLoadDriverPrivilege();
    EXPECT_TRUE(machine.sim_services().IsPrivilegeEnabled("SeLoadDriverPrivilege"));
    EXPECT_EQ(machine.sim_services().OpenHandleCount(), 0u);
}

}  // namespace
