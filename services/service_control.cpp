// Starting or cycling a Windows service and enabling the driver-loading
// privilege in the installer's own process token.
#include "services/service_control.h"

#include <cstdio>
#include <string>
#include <vector>

#include "services/service_wait.h"

namespace services {

namespace {
const char* const kServiceDatabase = "ServicesActive";
const char* const kUnknownStateText = "无法确定服务状态";

// The running services that depend on `service`, directly or through
// others, in the order to stop them in.
std::vector<std::string> RunningDependants(platform::Machine& machine, win::SC_HANDLE service) {
    platform::Services& services = machine.services();
    win::DWORD needed = 0;
    win::DWORD count = 0;
    if (services.EnumDependentServicesA(service, win::SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return {};
    if (machine.GetLastError() != win::ERROR_MORE_DATA || needed == 0) return {};
    std::vector<win::ENUM_SERVICE_STATUSA> records(needed / sizeof(win::ENUM_SERVICE_STATUSA) + 1);
    const auto size = static_cast<win::DWORD>(records.size() * sizeof(win::ENUM_SERVICE_STATUSA));
    if (!services.EnumDependentServicesA(service, win::SERVICE_ACTIVE, records.data(), size, &needed, &count)) return {};
    std::vector<std::string> names;
    for (win::DWORD i = 0; i < count && i < records.size(); ++i) {
        if (records[i].lpServiceName != nullptr) names.push_back(records[i].lpServiceName);
    }
    return names;
}

// Stops a dependant and waits for it, within the usual bound. What fails
// here shows when the service it depends on will not stop.
void StopDependant(platform::Machine& machine, win::SC_HANDLE manager, const std::string& name,
                   const std::function<void()>& betweenPolls) {
    platform::Services& services = machine.services();
    win::SC_HANDLE service = services.OpenServiceA(manager, name.c_str(), win::SERVICE_ALL_ACCESS);
    if (service == nullptr) return;
    win::SERVICE_STATUS status{};
    if (services.ControlService(service, win::SERVICE_CONTROL_STOP, &status)) {
        WaitForServiceState(machine, service, &status, win::SERVICE_STOPPED, betweenPolls);
    }
    services.CloseServiceHandle(service);
}

// Starts a dependant again and waits for it, within the usual bound.
void StartDependant(platform::Machine& machine, win::SC_HANDLE manager, const std::string& name,
                    const std::function<void()>& betweenPolls) {
    platform::Services& services = machine.services();
    win::SC_HANDLE service = services.OpenServiceA(manager, name.c_str(), win::SERVICE_ALL_ACCESS);
    if (service == nullptr) return;
    win::SERVICE_STATUS status{};
    if (services.StartServiceA(service, 0, nullptr) && services.QueryServiceStatus(service, &status)) {
        WaitForServiceState(machine, service, &status, win::SERVICE_RUNNING, betweenPolls);
    }
    services.CloseServiceHandle(service);
}

}  // namespace

void ServiceControl::StartOrRestartService(const char* serviceName, int mode) {
    platform::Services& services = m_machine.services();
    win::SC_HANDLE manager = services.OpenSCManagerA(nullptr, kServiceDatabase, win::SC_MANAGER_ALL_ACCESS);
    win::SC_HANDLE queried = services.OpenServiceA(manager, serviceName, win::SERVICE_ALL_ACCESS);

    win::SERVICE_STATUS status{};
    const std::function<void()> keepAnswering = [this] { m_view.KeepAnswering(); };
    // Waits for `state`, starting from what the record holds now. False
    // when the state cannot be read or does not come in time; the user has
    // then been told.
    auto waitFor = [&](win::DWORD state, const char* waitingFor) {
        switch (WaitForServiceState(m_machine, queried, &status, state, keepAnswering)) {
            case ServiceWait::kReached:
                return true;
            case ServiceWait::kTimedOut: {
                char text[256];
                std::snprintf(text, sizeof(text), "等待服务%s%s超时", serviceName, waitingFor);
                m_view.AppMessageBox(text, win::MB_OK | win::MB_ICONINFORMATION);
                return false;
            }
            case ServiceWait::kStateUnknown:
                break;
        }
        m_view.AppMessageBox(kUnknownStateText, win::MB_OK | win::MB_ICONINFORMATION);
        return false;
    };

    if (!services.QueryServiceStatus(queried, &status)) {
        // Without a state there is nothing sound to do: starting blindly
        // would fail for the same reason the query did.
        m_view.AppMessageBox(kUnknownStateText, win::MB_OK | win::MB_ICONINFORMATION);
    } else if (status.dwCurrentState == win::SERVICE_STOPPED) {
        win::SC_HANDLE controlled = services.OpenServiceA(manager, serviceName, win::SERVICE_ALL_ACCESS);
        services.StartServiceA(controlled, 0, nullptr);
        waitFor(win::SERVICE_RUNNING, "启动");
        services.CloseServiceHandle(controlled);
    } else if (mode != SVCMODE_START) {
        win::SC_HANDLE controlled = services.OpenServiceA(manager, serviceName, win::SERVICE_ALL_ACCESS);
        // A running service that depends on this one (the fax service on the
        // spooler) makes the stop fail with ERROR_DEPENDENT_SERVICES_RUNNING
        // ("Stopping a Service"): those stop first, and start again once it
        // runs again, as "net stop /y" and "net start" would have them.
        const std::vector<std::string> dependants = RunningDependants(m_machine, controlled);
        for (const std::string& dependant : dependants) {
            StopDependant(m_machine, manager, dependant, keepAnswering);
        }
        services.ControlService(controlled, win::SERVICE_CONTROL_STOP, &status);
        if (waitFor(win::SERVICE_STOPPED, "停止")) {
            services.StartServiceA(controlled, 0, nullptr);
            if (waitFor(win::SERVICE_RUNNING, "启动")) {
                for (auto it = dependants.rbegin(); it != dependants.rend(); ++it) {
                    StartDependant(m_machine, manager, *it, keepAnswering);
                }
            }
        }
        services.CloseServiceHandle(controlled);
    }

    if (queried != nullptr) services.CloseServiceHandle(queried);
    if (manager != nullptr) services.CloseServiceHandle(manager);
}

void ServiceControl::EnableLoadDriverPrivilege() {
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

}  // namespace services
