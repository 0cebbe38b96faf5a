// Starting or cycling a Windows service and enabling the driver-loading
// privilege in the installer's own process token.
#include <algorithm>
#include <cstdio>

#include "app/installer_dialog.h"

namespace app {

namespace {
// A service that never reaches the awaited state must not hold the
// installer forever: the state is polled, at first quickly (a restart is
// often over in a few milliseconds), then every 100 ms, up to 30 s.
constexpr win::DWORD SERVICE_FIRST_POLL_MS = 10;
constexpr win::DWORD SERVICE_POLL_INTERVAL_MS = 100;
constexpr win::DWORD SERVICE_WAIT_LIMIT_MS = 30000;

const char* const kServiceDatabase = "ServicesActive";
const char* const kUnknownStateText = "无法确定服务状态";
}  // namespace

void InstallerDialog::StartOrRestartService(const char* serviceName, int mode) {
    platform::Services& services = m_machine.services();
    win::SC_HANDLE manager = services.OpenSCManagerA(nullptr, kServiceDatabase, win::SC_MANAGER_ALL_ACCESS);
    win::SC_HANDLE queried = services.OpenServiceA(manager, serviceName, win::SERVICE_ALL_ACCESS);

    win::SERVICE_STATUS status{};
    // Waits for `state`, starting from what the record holds now. False
    // when the state cannot be read or does not come in time; the user has
    // then been told.
    auto waitFor = [&](win::DWORD state, const char* waitingFor) {
        win::DWORD waited = 0;
        win::DWORD pause = SERVICE_FIRST_POLL_MS;
        while (status.dwCurrentState != state) {
            if (waited >= SERVICE_WAIT_LIMIT_MS) {
                char text[256];
                std::snprintf(text, sizeof(text), "等待服务%s%s超时", serviceName, waitingFor);
                AppMessageBox(text, win::MB_OK | win::MB_ICONINFORMATION);
                return false;
            }
            if (!services.QueryServiceStatus(queried, &status)) {
                AppMessageBox(kUnknownStateText, win::MB_OK | win::MB_ICONINFORMATION);
                return false;
            }
            if (status.dwCurrentState == state) break;
            m_machine.Sleep(pause);
            waited += pause;
            pause = std::min(pause * 2, SERVICE_POLL_INTERVAL_MS);
        }
        return true;
    };

    if (!services.QueryServiceStatus(queried, &status)) {
        // Without a state there is nothing sound to do: starting blindly
        // would fail for the same reason the query did.
        AppMessageBox(kUnknownStateText, win::MB_OK | win::MB_ICONINFORMATION);
    } else if (status.dwCurrentState == win::SERVICE_STOPPED) {
        win::SC_HANDLE controlled = services.OpenServiceA(manager, serviceName, win::SERVICE_ALL_ACCESS);
        services.StartServiceA(controlled, 0, nullptr);
        waitFor(win::SERVICE_RUNNING, "启动");
        services.CloseServiceHandle(controlled);
    } else if (mode != SVCMODE_START) {
        win::SC_HANDLE controlled = services.OpenServiceA(manager, serviceName, win::SERVICE_ALL_ACCESS);
        services.ControlService(controlled, win::SERVICE_CONTROL_STOP, &status);
        if (waitFor(win::SERVICE_STOPPED, "停止")) {
            services.StartServiceA(controlled, 0, nullptr);
            waitFor(win::SERVICE_RUNNING, "启动");
        }
        services.CloseServiceHandle(controlled);
    }

    if (queried != nullptr) services.CloseServiceHandle(queried);
    if (manager != nullptr) services.CloseServiceHandle(manager);
}

void InstallerDialog::EnableLoadDriverPrivilege() {
    platform::Services& services = m_machine.services();
    win::HANDLE token = nullptr;
    if (!services.OpenProcessToken(services.GetCurrentProcess(), win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY,
                                   &token)) {
        return;
    }
    win::TOKEN_PRIVILEGES privileges{};
    if (services.LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = win::SE_PRIVILEGE_ENABLED;
        services.AdjustTokenPrivileges(token, 0, &privileges, 0, nullptr, nullptr);
    }
    services.CloseHandle(token);
}

}  // namespace app
