// The simulated service manager's configurable behaviours (slow, never
// starting, refusing to stop), its start hook, faults and the token's
// privileges. What Windows does the same way is in
// contract_services_test.cpp.
#include "platform/sim/sim_services.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::sim {
namespace {

using namespace win;

class SimServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_manager = m_services.OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, m_manager);
        m_spooler = m_services.OpenServiceA(m_manager, "Spooler", SERVICE_ALL_ACCESS);
        ASSERT_NE(nullptr, m_spooler);
    }
    void TearDown() override {
        m_services.CloseServiceHandle(m_spooler);
        m_services.CloseServiceHandle(m_manager);
        EXPECT_EQ(0u, m_services.OpenHandleCount()) << m_services.ToString();
    }

    // The states that successive status queries report.
    std::vector<DWORD> Query(int times) {
        std::vector<DWORD> states;
        for (int i = 0; i < times; ++i) {
            SERVICE_STATUS status = {};
            EXPECT_EQ(1, m_services.QueryServiceStatus(m_spooler, &status));
            states.push_back(status.dwCurrentState);
        }
        return states;
    }

    void Stop() {
        SERVICE_STATUS status = {};
        ASSERT_EQ(1, m_services.ControlService(m_spooler, SERVICE_CONTROL_STOP, &status));
        Query(1);
        ASSERT_EQ(SERVICE_STOPPED, m_services.State("Spooler"));
    }

    SimEnv m_env;
    SimServices m_services{m_env};
    SC_HANDLE m_manager = nullptr;
    SC_HANDLE m_spooler = nullptr;
};

TEST_F(SimServicesTest, NormalServiceSettlesAtTheNextQuery) {
    SERVICE_STATUS status = {};
    ASSERT_EQ(1, m_services.ControlService(m_spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(SERVICE_STOP_PENDING, status.dwCurrentState);
    EXPECT_EQ((std::vector<DWORD>{SERVICE_STOPPED}), Query(1));

    ASSERT_EQ(1, m_services.StartServiceA(m_spooler, 0, nullptr));
    EXPECT_EQ(SERVICE_START_PENDING, m_services.State("Spooler"));
    EXPECT_EQ((std::vector<DWORD>{SERVICE_RUNNING, SERVICE_RUNNING}), Query(2));
    EXPECT_EQ(1, m_services.StartCount("Spooler"));
    EXPECT_EQ(1, m_services.StopCount("spooler"));
}

TEST_F(SimServicesTest, SlowServiceStaysPendingForItsQueries) {
    m_services.SetBehaviour("Spooler", SimServiceBehaviour::Slow(2));
    SERVICE_STATUS status = {};
    ASSERT_EQ(1, m_services.ControlService(m_spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ((std::vector<DWORD>{SERVICE_STOP_PENDING, SERVICE_STOP_PENDING, SERVICE_STOPPED}), Query(3));

    ASSERT_EQ(1, m_services.StartServiceA(m_spooler, 0, nullptr));
    // A second start while pending is refused like one while running.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.StartServiceA(m_spooler, 0, nullptr));
    EXPECT_EQ(ERROR_SERVICE_ALREADY_RUNNING, LastError());
    EXPECT_EQ((std::vector<DWORD>{SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_RUNNING}), Query(3));
    EXPECT_EQ(1, m_services.StartCount("Spooler"));
}

TEST_F(SimServicesTest, ServiceThatNeverStartsStaysPendingOrFallsBack) {
    Stop();
    m_services.SetBehaviour("Spooler", SimServiceBehaviour::NeverStarts());
    ASSERT_EQ(1, m_services.StartServiceA(m_spooler, 0, nullptr));
    EXPECT_EQ(std::vector<DWORD>(5, SERVICE_START_PENDING), Query(5));

    m_services.SetRunning("Spooler", false);
    SimServiceBehaviour fallsBack = SimServiceBehaviour::NeverStarts(SimServiceBehaviour::kFallsBack);
    fallsBack.startPendingQueries = 1;
    m_services.SetBehaviour("Spooler", fallsBack);
    ASSERT_EQ(1, m_services.StartServiceA(m_spooler, 0, nullptr));
    EXPECT_EQ((std::vector<DWORD>{SERVICE_START_PENDING, SERVICE_STOPPED}), Query(2));
    SERVICE_STATUS status = {};
    m_services.QueryServiceStatus(m_spooler, &status);
    EXPECT_EQ(SimServices::kErrorProcessAborted, status.dwWin32ExitCode);
}

TEST_F(SimServicesTest, RefusedStopLeavesTheServiceRunning) {
    m_services.SetBehaviour("Spooler", SimServiceBehaviour::StopRefused(SimServices::kErrorServiceCannotAcceptCtrl));
    SERVICE_STATUS status = {};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.ControlService(m_spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(SimServices::kErrorServiceCannotAcceptCtrl, LastError());
    EXPECT_EQ(SERVICE_RUNNING, status.dwCurrentState);
    EXPECT_EQ((std::vector<DWORD>{SERVICE_RUNNING}), Query(1));
    EXPECT_EQ(0, m_services.StopCount("Spooler"));
}

// "Stopping a Service": a running dependant refuses the stop with 1051;
// EnumDependentServicesA lists the dependants, those further down first, in
// the order to stop them.
TEST_F(SimServicesTest, RunningDependantsKeepTheSpoolerFromStopping) {
    m_services.AddService("Fax", true);
    m_services.AddService("FaxHelper", true);
    m_services.AddService("Idle", false);
    m_services.SetDependencies("Fax", {"spooler"});
    m_services.SetDependencies("FaxHelper", {"Fax"});
    m_services.SetDependencies("Idle", {"Spooler"});

    SERVICE_STATUS status = {};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.ControlService(m_spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(ERROR_DEPENDENT_SERVICES_RUNNING, LastError());
    EXPECT_EQ(SERVICE_RUNNING, m_services.State("Spooler"));

    const auto list = [&](DWORD state) {
        DWORD needed = 0, returned = 7;
        EXPECT_EQ(0, m_services.EnumDependentServicesA(m_spooler, state, nullptr, 0, &needed, &returned));
        EXPECT_EQ(ERROR_MORE_DATA, LastError());
        EXPECT_EQ(0u, returned);
        std::vector<std::uint64_t> buffer(needed / 8 + 1);
        auto* records = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.data());
        EXPECT_EQ(1, m_services.EnumDependentServicesA(m_spooler, state, records, needed, &needed, &returned));
        std::vector<std::string> names;
        for (DWORD i = 0; i < returned; ++i) names.push_back(records[i].lpServiceName);
        return names;
    };
    EXPECT_EQ(list(SERVICE_ACTIVE), (std::vector<std::string>{"FaxHelper", "Fax"}));
    EXPECT_EQ(list(SERVICE_INACTIVE), (std::vector<std::string>{"Idle"}));
    EXPECT_EQ(list(SERVICE_STATE_ALL), (std::vector<std::string>{"FaxHelper", "Fax", "Idle"}));

    m_services.SetRunning("FaxHelper", false);
    m_services.SetRunning("Fax", false);
    Stop();
}

TEST_F(SimServicesTest, StartHookRunsOnceEachTimeTheServiceComesUp) {
    int started = 0;
    bool runningWhenCalled = false;
    m_services.SetStartHook("Spooler", [&] {
        ++started;
        // The hook may ask for the state: no lock is held and it is running.
        runningWhenCalled = m_services.IsRunning("Spooler");
    });
    m_services.SetBehaviour("Spooler", SimServiceBehaviour::Slow(1));
    Query(3);
    EXPECT_EQ(0, started);  // running before: no start

    for (int cycle = 1; cycle <= 2; ++cycle) {
        SERVICE_STATUS status = {};
        ASSERT_EQ(1, m_services.ControlService(m_spooler, SERVICE_CONTROL_STOP, &status));
        Query(2);
        ASSERT_EQ(1, m_services.StartServiceA(m_spooler, 0, nullptr));
        Query(1);
        EXPECT_EQ(cycle - 1, started);  // still pending
        Query(3);
        EXPECT_EQ(cycle, started);
    }
    EXPECT_TRUE(runningWhenCalled);
    m_services.SetRunning("Spooler", false);
    m_services.SetRunning("Spooler", true);
    EXPECT_EQ(2, started);  // set-up changes are not starts
}

TEST_F(SimServicesTest, HandlesAreCheckedForKindAndAccess) {
    SERVICE_STATUS status = {};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.QueryServiceStatus(reinterpret_cast<SC_HANDLE>(m_manager), &status));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());

    SC_HANDLE queryOnly = m_services.OpenServiceA(m_manager, "SPOOLER", 0x0004 /* SERVICE_QUERY_STATUS */);
    ASSERT_NE(nullptr, queryOnly);
    EXPECT_EQ(1, m_services.QueryServiceStatus(queryOnly, &status));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.ControlService(queryOnly, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(ERROR_ACCESS_DENIED, LastError());
    EXPECT_EQ(1, m_services.CloseServiceHandle(queryOnly));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.QueryServiceStatus(queryOnly, &status));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());
}

class SimTokenTest : public ::testing::Test {
protected:
    BOOL Enable(const char* name, bool enable) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        EXPECT_EQ(1, m_services.LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid));
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        return m_services.AdjustTokenPrivileges(m_token, 0, &privileges, 0, nullptr, nullptr);
    }
    void SetUp() override {
        ASSERT_EQ(1, m_services.OpenProcessToken(m_services.GetCurrentProcess(),
                                                 TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &m_token));
    }
    void TearDown() override { EXPECT_EQ(1, m_services.CloseHandle(m_token)); }

    SimEnv m_env;
    SimServices m_services{m_env};
    HANDLE m_token = nullptr;
};

TEST_F(SimTokenTest, PrivilegeNotHeldIsReportedThroughTheLastError) {
    m_services.SetPrivilegeHeld("SeLoadDriverPrivilege", false);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(1, Enable("SeLoadDriverPrivilege", true));
    EXPECT_EQ(SimServices::kErrorNotAllAssigned, LastError());
    EXPECT_FALSE(m_services.IsPrivilegeEnabled("SeLoadDriverPrivilege"));
}

TEST_F(SimTokenTest, AdjustingNeedsTheAdjustAccess) {
    HANDLE queryOnly = nullptr;
    ASSERT_EQ(1, m_services.OpenProcessToken(m_services.GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.AdjustTokenPrivileges(queryOnly, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, LastError());
    EXPECT_EQ(1, m_services.CloseHandle(queryOnly));
}

TEST_F(SimTokenTest, BadProcessHandles) {
    HANDLE token = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_services.OpenProcessToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, &token));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());
    EXPECT_EQ(1, m_services.CloseHandle(m_services.GetCurrentProcess()));
}

}  // namespace
}  // namespace platform::sim
