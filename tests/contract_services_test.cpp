// Service manager and process token contract: what starting and cycling
// the spooler and enabling the driver-loading privilege rely on, asserted
// the way Wine's conformance tests assert Windows. It runs against every
// machine the build can make; on a real one it needs an administrator and
// cycles the real spooler once.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/machine.h"

#include "tests/support/contract_machines.h"

namespace {

using namespace win;

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;
// Long enough for a real spooler to stop or start.
constexpr int kMaxStatusQueries = 200;
constexpr DWORD kQueryPauseMs = 50;

struct ServicesTarget {
    const char* name;
    std::function<std::unique_ptr<platform::Machine>()> make;
};

#ifndef _WIN32
std::unique_ptr<platform::Machine> MakeSimMachine() {
    return contract::MakeScratchSimMachine("services");
}
std::unique_ptr<platform::Machine> MakeLoggedSimMachine() { return contract::MakeLogged(MakeSimMachine()); }
#else
std::unique_ptr<platform::Machine> MakeLoggedWin32Machine() { return contract::MakeLogged(e2e::MakeWin32Machine()); }
#endif

class ServicesContract : public ::testing::TestWithParam<ServicesTarget> {
protected:
    void SetUp() override { m_machine = GetParam().make(); }

    platform::Services& svc() { return m_machine->services(); }
    DWORD LastError() { return m_machine->GetLastError(); }
    void SetLastError(DWORD code) { m_machine->SetLastError(code); }

    // Queries until the state is reached; the last state seen otherwise.
    DWORD WaitFor(SC_HANDLE service, DWORD state) {
        SERVICE_STATUS status = {};
        for (int i = 0; i < kMaxStatusQueries; ++i) {
            if (svc().QueryServiceStatus(service, &status) != kTrue) return 0;
            if (status.dwCurrentState == state) break;
            m_machine->Sleep(kQueryPauseMs);
        }
        return status.dwCurrentState;
    }

    std::unique_ptr<platform::Machine> m_machine;
};

TEST_P(ServicesContract, UnknownServicesAndBadHandlesAreRefused) {
    SC_HANDLE manager = svc().OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager) << LastError();

    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, svc().OpenServiceA(manager, "NoSuchServiceForTheInstaller", SERVICE_ALL_ACCESS));
    EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, LastError());

    SERVICE_STATUS status = {};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kFalse, svc().QueryServiceStatus(nullptr, &status));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());

    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, svc().OpenServiceA(nullptr, "Spooler", SERVICE_ALL_ACCESS));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());

    EXPECT_EQ(kTrue, svc().CloseServiceHandle(manager));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kFalse, svc().CloseServiceHandle(nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());
}

TEST_P(ServicesContract, SpoolerCyclesThroughStopAndStart) {
    SC_HANDLE manager = svc().OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager) << LastError();
    // Service names ignore case.
    SC_HANDLE spooler = svc().OpenServiceA(manager, "spooler", SERVICE_ALL_ACCESS);
    ASSERT_NE(nullptr, spooler) << LastError();
    // Wine starts the spooler on demand only (docs/wine-differences.md).
    if (contract::UnderWine()) svc().StartServiceA(spooler, 0, nullptr);
    ASSERT_EQ(SERVICE_RUNNING, WaitFor(spooler, SERVICE_RUNNING));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(kFalse, svc().StartServiceA(spooler, 0, nullptr));
    EXPECT_EQ(ERROR_SERVICE_ALREADY_RUNNING, LastError());

    SERVICE_STATUS status = {};
    ASSERT_EQ(kTrue, svc().ControlService(spooler, SERVICE_CONTROL_STOP, &status)) << LastError();
    EXPECT_TRUE(status.dwCurrentState == SERVICE_STOP_PENDING || status.dwCurrentState == SERVICE_STOPPED)
        << status.dwCurrentState;
    ASSERT_EQ(SERVICE_STOPPED, WaitFor(spooler, SERVICE_STOPPED));

    // Stopping a stopped service fails but still reports its state.
    status.dwCurrentState = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kFalse, svc().ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, LastError());
    EXPECT_EQ(SERVICE_STOPPED, status.dwCurrentState);

    EXPECT_EQ(kTrue, svc().StartServiceA(spooler, 0, nullptr)) << LastError();
    EXPECT_EQ(SERVICE_RUNNING, WaitFor(spooler, SERVICE_RUNNING));

    EXPECT_EQ(kTrue, svc().CloseServiceHandle(spooler));
    EXPECT_EQ(kTrue, svc().CloseServiceHandle(manager));
}

// Neither the simulated machine's spooler nor Wine's has a running
// dependant (on Windows, Fax may be one). Wine's EnumDependentServicesA is a
// stub that lists nothing and sets neither the size nor an error
// (docs/wine-differences.md).
TEST_P(ServicesContract, SpoolerWithoutRunningDependantsListsNone) {
    SC_HANDLE manager = svc().OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager) << LastError();
    SC_HANDLE spooler = svc().OpenServiceA(manager, "Spooler", SERVICE_ENUMERATE_DEPENDENTS | SERVICE_QUERY_STATUS);
    ASSERT_NE(nullptr, spooler) << LastError();

    DWORD needed = 77, returned = 77;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kTrue, svc().EnumDependentServicesA(spooler, SERVICE_ACTIVE, nullptr, 0, &needed, &returned));
    EXPECT_EQ(0u, returned);
    if (!contract::UnderWine()) {
        EXPECT_EQ(0u, needed);
        // The handle must carry SERVICE_ENUMERATE_DEPENDENTS.
        SC_HANDLE queryOnly = svc().OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
        ASSERT_NE(nullptr, queryOnly) << LastError();
        SetLastError(0xdeadbeef);
        EXPECT_EQ(kFalse, svc().EnumDependentServicesA(queryOnly, SERVICE_ACTIVE, nullptr, 0, &needed, &returned));
        EXPECT_EQ(ERROR_ACCESS_DENIED, LastError());
        EXPECT_EQ(kTrue, svc().CloseServiceHandle(queryOnly));
    }
    EXPECT_EQ(kTrue, svc().CloseServiceHandle(spooler));
    EXPECT_EQ(kTrue, svc().CloseServiceHandle(manager));
}

TEST_P(ServicesContract, LoadDriverPrivilegeCanBeEnabled) {
    HANDLE process = svc().GetCurrentProcess();
    EXPECT_EQ(reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)), process);

    HANDLE token = nullptr;
    ASSERT_EQ(kTrue, svc().OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) << LastError();

    LUID luid = {0xdeadbeef, 0};
    ASSERT_EQ(kTrue, svc().LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege", &luid)) << LastError();
    EXPECT_EQ(10u, luid.LowPart);  // SE_LOAD_DRIVER_PRIVILEGE
    EXPECT_EQ(0, luid.HighPart);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(kFalse, svc().LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(ERROR_NO_SUCH_PRIVILEGE, LastError());

    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = LUID{10, 0};
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Success is told by the last error, which the call always sets.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kTrue, svc().AdjustTokenPrivileges(token, kFalse, &privileges, 0, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, LastError());

    EXPECT_EQ(kTrue, svc().CloseHandle(token));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kFalse, svc().CloseHandle(token));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());
}

std::string TargetName(const ::testing::TestParamInfo<ServicesTarget>& info) { return info.param.name; }

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(Machines, ServicesContract,
                         ::testing::Values(ServicesTarget{"Simulated", MakeSimMachine},
                                           ServicesTarget{"Logged", MakeLoggedSimMachine}),
                         TargetName);
#else
// The real system under Wine (scripts/e2e-wine.sh).
INSTANTIATE_TEST_SUITE_P(Machines, ServicesContract,
                         ::testing::Values(ServicesTarget{"Win32", e2e::MakeWin32Machine},
                                           ServicesTarget{"Logged", MakeLoggedWin32Machine}),
                         TargetName);
#endif
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServicesContract);

}  // namespace
