// Simulated machine: the service control manager and the process token.
#include "platform/sim/sim_services.h"

#include <cstring>
#include <set>

namespace platform::sim {

namespace {

using win::ERROR_ACCESS_DENIED;
using win::ERROR_INSUFFICIENT_BUFFER;
using win::ERROR_INVALID_HANDLE;
using win::ERROR_INVALID_PARAMETER;
using win::ERROR_SUCCESS;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr DWORD kServiceQueryStatus = 0x0004;
constexpr DWORD kServiceStart = 0x0010;
constexpr DWORD kServiceStop = 0x0020;
constexpr DWORD kServiceInterrogate = 0x0080;
// What the service manager's RPC stubs answer for a null out-pointer.
constexpr DWORD kErrorNullRefPointer = 1780;  // RPC_X_NULL_REF_POINTER
constexpr DWORD kServiceControlInterrogate = 4;
constexpr DWORD kServiceWin32OwnProcess = 0x10;
constexpr DWORD kServiceAcceptStop = 0x1;

// The pseudo handle that GetCurrentProcess returns on Windows.
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

const char* StateName(DWORD state) {
    switch (state) {
    case win::SERVICE_STOPPED: return "stopped";
    case win::SERVICE_START_PENDING: return "start pending";
    case win::SERVICE_STOP_PENDING: return "stop pending";
    case win::SERVICE_RUNNING: return "running";
    default: return "?";
    }
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

SimServices::SimServices(SimEnv& env) : m_env(env) {
    // The well-known privilege identifiers; an elevated administrator's
    // token holds these, with only SeChangeNotifyPrivilege enabled.
    m_privileges = {
        {"SeCreateTokenPrivilege", 2, false, false},
        {"SeAssignPrimaryTokenPrivilege", 3, false, false},
        {"SeLockMemoryPrivilege", 4, false, false},
        {"SeIncreaseQuotaPrivilege", 5, true, false},
        {"SeMachineAccountPrivilege", 6, false, false},
        {"SeTcbPrivilege", 7, false, false},
        {"SeSecurityPrivilege", 8, true, false},
        {"SeTakeOwnershipPrivilege", 9, true, false},
        {"SeLoadDriverPrivilege", 10, true, false},
        {"SeSystemProfilePrivilege", 11, true, false},
        {"SeSystemtimePrivilege", 12, true, false},
        {"SeProfileSingleProcessPrivilege", 13, true, false},
        {"SeIncreaseBasePriorityPrivilege", 14, true, false},
        {"SeCreatePagefilePrivilege", 15, true, false},
        {"SeCreatePermanentPrivilege", 16, false, false},
        {"SeBackupPrivilege", 17, true, false},
        {"SeRestorePrivilege", 18, true, false},
        {"SeShutdownPrivilege", 19, true, false},
        {"SeDebugPrivilege", 20, true, false},
        {"SeAuditPrivilege", 21, false, false},
        {"SeSystemEnvironmentPrivilege", 22, true, false},
        {"SeChangeNotifyPrivilege", 23, true, true},
        {"SeRemoteShutdownPrivilege", 24, true, false},
        {"SeUndockPrivilege", 25, true, false},
    };
    for (Privilege& privilege : m_privileges) privilege.administrators = privilege.held;
    AddService("Spooler", true);
}

SimServices::~SimServices() = default;

// ---------------------------------------------------------------------------
// Lookups

SimServices::Service* SimServices::FindLocked(const std::string& name) {
    auto it = m_services.find(FoldName(name));
    return it == m_services.end() ? nullptr : &it->second;
}

const SimServices::Service* SimServices::FindLocked(const std::string& name) const {
    auto it = m_services.find(FoldName(name));
    return it == m_services.end() ? nullptr : &it->second;
}

SimServices::Service* SimServices::ServiceForLocked(SC_HANDLE handle, DWORD needAccess, DWORD* error) {
    auto it = m_scHandles.find(handle);
    if (it == m_scHandles.end() || it->second->isManager) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if ((it->second->access & needAccess) != needAccess) {
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    Service* service = FindLocked(it->second->serviceName);
    if (!service) *error = ERROR_INVALID_HANDLE;  // deleted under the handle
    return service;
}

void SimServices::Fill(const Service& service, win::SERVICE_STATUS* status) {
    std::memset(status, 0, sizeof *status);
    status->dwServiceType = kServiceWin32OwnProcess;
    status->dwCurrentState = service.state;
    status->dwControlsAccepted = service.state == win::SERVICE_RUNNING ? kServiceAcceptStop : 0;
    status->dwWin32ExitCode = service.exitCode;
    if (service.state == win::SERVICE_START_PENDING || service.state == win::SERVICE_STOP_PENDING) {
        status->dwCheckPoint = 1;
        status->dwWaitHint = 2000;
    }
}

SimServices::Privilege* SimServices::PrivilegeByNameLocked(const std::string& name) {
    for (Privilege& privilege : m_privileges) {
        if (SameName(privilege.name, name)) return &privilege;
    }
    return nullptr;
}

SimServices::Privilege* SimServices::PrivilegeByLuidLocked(const win::LUID& luid) {
    for (Privilege& privilege : m_privileges) {
        if (luid.HighPart == 0 && privilege.luid == luid.LowPart) return &privilege;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Service control manager

SC_HANDLE SimServices::OpenSCManagerA(const char* machineName, const char* databaseName, DWORD desiredAccess) {
    DWORD fault = 0;
    if (m_env.TakeFault("OpenSCManagerA", &fault)) {
        SetLastError(fault);
        return nullptr;
    }
    if (databaseName && std::strcmp(databaseName, "ServicesActive") != 0) {
        SetLastError(kErrorDatabaseDoesNotExist);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    auto handle = std::make_unique<ScHandle>();
    handle->isManager = true;
    handle->access = desiredAccess;
    SC_HANDLE result = reinterpret_cast<SC_HANDLE>(handle.get());
    m_scHandles[result] = std::move(handle);
    return result;
}

SC_HANDLE SimServices::OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) {
    DWORD fault = 0;
    if (m_env.TakeFault("OpenServiceA", &fault)) {
        SetLastError(fault);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_scHandles.find(manager);
    if (it == m_scHandles.end() || !it->second->isManager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!serviceName) {
        SetLastError(kErrorInvalidName);
        return nullptr;
    }
    if (!FindLocked(serviceName)) {
        SetLastError(win::ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    auto handle = std::make_unique<ScHandle>();
    handle->serviceName = FoldName(serviceName);
    handle->access = desiredAccess;
    SC_HANDLE result = reinterpret_cast<SC_HANDLE>(handle.get());
    m_scHandles[result] = std::move(handle);
    return result;
}

BOOL SimServices::QueryServiceStatus(SC_HANDLE handle, win::SERVICE_STATUS* status) {
    DWORD fault = 0;
    if (m_env.TakeFault("QueryServiceStatus", &fault)) return Fail(fault);
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        DWORD error = 0;
        Service* service = ServiceForLocked(handle, kServiceQueryStatus, &error);
        if (!service) return Fail(error);
        if (!status) return Fail(kErrorNoAccess);
        if (service->state == win::SERVICE_START_PENDING) {
            if (service->pendingQueries > 0) {
                --service->pendingQueries;
            } else if (service->behaviour.startOutcome == SimServiceBehaviour::kRuns) {
                service->state = win::SERVICE_RUNNING;
                hook = service->startHook;
            } else if (service->behaviour.startOutcome == SimServiceBehaviour::kFallsBack) {
                service->state = win::SERVICE_STOPPED;
                service->exitCode = kErrorProcessAborted;
            }
        } else if (service->state == win::SERVICE_STOP_PENDING) {
            if (service->pendingQueries > 0) {
                --service->pendingQueries;
            } else {
                service->state = win::SERVICE_STOPPED;
            }
        }
        Fill(*service, status);
    }
    // Outside the lock: the spooler's start-up work may ask for our state.
    if (hook) hook();
    return TRUE;
}

BOOL SimServices::StartServiceA(SC_HANDLE handle, DWORD numArgs, const char** args) {
    DWORD fault = 0;
    if (m_env.TakeFault("StartServiceA", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD error = 0;
    Service* service = ServiceForLocked(handle, kServiceStart, &error);
    if (!service) return Fail(error);
    if (service->state != win::SERVICE_STOPPED) return Fail(win::ERROR_SERVICE_ALREADY_RUNNING);
    service->state = win::SERVICE_START_PENDING;
    service->exitCode = 0;
    service->pendingQueries = service->behaviour.startPendingQueries;
    ++service->starts;
    return TRUE;
}

BOOL SimServices::ControlService(SC_HANDLE handle, DWORD control, win::SERVICE_STATUS* status) {
    DWORD fault = 0;
    if (m_env.TakeFault("ControlService", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    const DWORD needAccess = control == win::SERVICE_CONTROL_STOP         ? kServiceStop
                             : control == kServiceControlInterrogate ? kServiceInterrogate
                                                                      : 0;
    DWORD error = 0;
    Service* service = ServiceForLocked(handle, needAccess, &error);
    if (!service) return Fail(error);
    if (!status) return Fail(kErrorNoAccess);
    if (control != win::SERVICE_CONTROL_STOP && control != kServiceControlInterrogate) {
        return Fail(kErrorInvalidServiceControl);
    }
    // Windows fills the status on these failures too.
    Fill(*service, status);
    if (service->state == win::SERVICE_STOPPED) return Fail(win::ERROR_SERVICE_NOT_ACTIVE);
    if (control == kServiceControlInterrogate) return TRUE;
    if (service->state != win::SERVICE_RUNNING) return Fail(kErrorServiceCannotAcceptCtrl);
    // "Stopping a Service": a running dependant (Fax, on the spooler) makes
    // the stop fail until it has been stopped first.
    for (const Service* dependant : DependantsLocked(*service)) {
        if (dependant->state != win::SERVICE_STOPPED) return Fail(win::ERROR_DEPENDENT_SERVICES_RUNNING);
    }
    if (service->behaviour.stopRefusedError) return Fail(service->behaviour.stopRefusedError);
    service->state = win::SERVICE_STOP_PENDING;
    service->pendingQueries = service->behaviour.stopPendingQueries;
    ++service->stops;
    Fill(*service, status);
    return TRUE;
}

BOOL SimServices::CloseServiceHandle(SC_HANDLE handle) {
    DWORD fault = 0;
    if (m_env.TakeFault("CloseServiceHandle", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_scHandles.erase(handle) == 0) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL SimServices::EnumDependentServicesA(SC_HANDLE handle, DWORD serviceState, win::ENUM_SERVICE_STATUSA* services,
                                         DWORD bufSize, DWORD* bytesNeeded, DWORD* servicesReturned) {
    DWORD fault = 0;
    if (m_env.TakeFault("EnumDependentServicesA", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD error = 0;
    const Service* service = ServiceForLocked(handle, win::SERVICE_ENUMERATE_DEPENDENTS, &error);
    if (!service) return Fail(error);
    if (!bytesNeeded || !servicesReturned) return Fail(kErrorNullRefPointer);
    if (serviceState < win::SERVICE_ACTIVE || serviceState > win::SERVICE_STATE_ALL) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::vector<const Service*> listed;
    for (const Service* dependant : DependantsLocked(*service)) {
        const bool active = dependant->state != win::SERVICE_STOPPED;
        if ((serviceState & (active ? win::SERVICE_ACTIVE : win::SERVICE_INACTIVE)) != 0) listed.push_back(dependant);
    }
    // The records, then each one's name and display name (the sim's
    // services are displayed by their names).
    std::size_t needed = listed.size() * sizeof(win::ENUM_SERVICE_STATUSA);
    for (const Service* dependant : listed) needed += 2 * (dependant->name.size() + 1);
    *servicesReturned = 0;
    *bytesNeeded = static_cast<DWORD>(needed);
    if (bufSize < needed || (needed > 0 && !services)) return Fail(win::ERROR_MORE_DATA);
    char* strings = reinterpret_cast<char*>(services + listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string& name = listed[i]->name;
        services[i].lpServiceName = strings;
        std::memcpy(strings, name.c_str(), name.size() + 1);
        strings += name.size() + 1;
        services[i].lpDisplayName = strings;
        std::memcpy(strings, name.c_str(), name.size() + 1);
        strings += name.size() + 1;
        Fill(*listed[i], &services[i].ServiceStatus);
    }
    *servicesReturned = static_cast<DWORD>(listed.size());
    return TRUE;
}

std::vector<const SimServices::Service*> SimServices::DependantsLocked(const Service& service) const {
    std::vector<const Service*> found;
    std::set<const Service*> visited{&service};  // a circle of dependencies ends
    std::function<void(const std::string&)> visit = [&](const std::string& folded) {
        for (const auto& entry : m_services) {
            const Service& candidate = entry.second;
            bool depends = false;
            for (const std::string& name : candidate.dependsOn) depends = depends || name == folded;
            if (!depends || !visited.insert(&candidate).second) continue;
            visit(entry.first);  // those that depend on it come first: they stop first
            found.push_back(&candidate);
        }
    };
    visit(FoldName(service.name));
    return found;
}

// ---------------------------------------------------------------------------
// Process token

HANDLE SimServices::GetCurrentProcess() {
    m_env.Record("GetCurrentProcess");
    return kCurrentProcess;
}

BOOL SimServices::OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
    DWORD fault = 0;
    if (m_env.TakeFault("OpenProcessToken", &fault)) return Fail(fault);
    if (process != kCurrentProcess) return Fail(ERROR_INVALID_HANDLE);
    if (!token) return Fail(kErrorNoAccess);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto access = std::make_unique<DWORD>(desiredAccess);
    HANDLE handle = access.get();
    m_tokens[handle] = std::move(access);
    *token = handle;
    return TRUE;
}

BOOL SimServices::LookupPrivilegeValueA(const char* systemName, const char* name, win::LUID* luid) {
    DWORD fault = 0;
    if (m_env.TakeFault("LookupPrivilegeValueA", &fault)) return Fail(fault);
    if (!name || !luid) return Fail(kErrorNoAccess);
    std::lock_guard<std::mutex> lock(m_mutex);
    const Privilege* privilege = PrivilegeByNameLocked(name);
    if (!privilege) return Fail(win::ERROR_NO_SUCH_PRIVILEGE);
    luid->LowPart = privilege->luid;
    luid->HighPart = 0;
    return TRUE;
}

BOOL SimServices::AdjustTokenPrivileges(HANDLE token, BOOL disableAll, win::TOKEN_PRIVILEGES* newState,
                                        DWORD bufferLength, win::TOKEN_PRIVILEGES* previousState,
                                        DWORD* returnLength) {
    DWORD fault = 0;
    if (m_env.TakeFault("AdjustTokenPrivileges", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_tokens.find(token);
    if (it == m_tokens.end()) return Fail(ERROR_INVALID_HANDLE);
    const DWORD access = *it->second;
    if (!(access & win::TOKEN_ADJUST_PRIVILEGES)) return Fail(ERROR_ACCESS_DENIED);
    if (previousState && !(access & win::TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
    if (!disableAll && !newState) return Fail(ERROR_INVALID_PARAMETER);

    // Resolve every entry before changing any, for the previous state.
    std::vector<std::pair<Privilege*, bool>> changes;
    bool allAssigned = true;
    if (disableAll) {
        for (Privilege& privilege : m_privileges) {
            if (privilege.enabled) changes.push_back({&privilege, false});
        }
    } else {
        // The record declares one entry; callers allocate room for the rest.
        const win::LUID_AND_ATTRIBUTES* entries = newState->Privileges;
        for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
            Privilege* privilege = PrivilegeByLuidLocked(entries[i].Luid);
            if (!privilege || !privilege->held) {
                allAssigned = false;
                continue;
            }
            const bool enable = (entries[i].Attributes & win::SE_PRIVILEGE_ENABLED) != 0;
            if (enable != privilege->enabled) changes.push_back({privilege, enable});
        }
    }
    if (previousState) {
        const DWORD needed = static_cast<DWORD>(sizeof(DWORD) + changes.size() * sizeof(win::LUID_AND_ATTRIBUTES));
        if (returnLength) *returnLength = needed;
        if (bufferLength < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
        previousState->PrivilegeCount = static_cast<DWORD>(changes.size());
        win::LUID_AND_ATTRIBUTES* out = previousState->Privileges;
        for (std::size_t i = 0; i < changes.size(); ++i) {
            out[i].Luid = win::LUID{changes[i].first->luid, 0};
            out[i].Attributes = changes[i].first->enabled ? win::SE_PRIVILEGE_ENABLED : 0;
        }
    }
    for (auto& change : changes) change.first->enabled = change.second;
    // Success is told apart from partial success by the last error only.
    SetLastError(allAssigned ? ERROR_SUCCESS : kErrorNotAllAssigned);
    return TRUE;
}

BOOL SimServices::GetTokenInformation(HANDLE token, DWORD infoClass, void* info, DWORD length,
                                      DWORD* returnLength) {
    DWORD fault = 0;
    if (m_env.TakeFault("GetTokenInformation", &fault)) return Fail(fault);
    if (!returnLength) return Fail(kErrorNoAccess);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_tokens.find(token);
    if (it == m_tokens.end()) return Fail(ERROR_INVALID_HANDLE);
    if (!(*it->second & win::TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
    if (infoClass == win::TokenElevation) {
        *returnLength = sizeof(win::TOKEN_ELEVATION);
        if (length < sizeof(win::TOKEN_ELEVATION) || !info) return Fail(ERROR_INSUFFICIENT_BUFFER);
        win::TOKEN_ELEVATION elevation{m_elevated ? 1u : 0u};
        std::memcpy(info, &elevation, sizeof elevation);
        return TRUE;
    }
    if (infoClass != win::TokenPrivileges) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<win::LUID_AND_ATTRIBUTES> held;
    for (const Privilege& privilege : m_privileges) {
        if (privilege.held) {
            held.push_back({win::LUID{privilege.luid, 0}, privilege.enabled ? win::SE_PRIVILEGE_ENABLED : 0});
        }
    }
    const DWORD needed = static_cast<DWORD>(sizeof(DWORD) + held.size() * sizeof(win::LUID_AND_ATTRIBUTES));
    *returnLength = needed;
    if (length < needed || !info) return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto* out = static_cast<unsigned char*>(info);
    const DWORD count = static_cast<DWORD>(held.size());
    std::memcpy(out, &count, sizeof count);
    if (!held.empty()) std::memcpy(out + sizeof count, held.data(), held.size() * sizeof(win::LUID_AND_ATTRIBUTES));
    return TRUE;
}

BOOL SimServices::CloseHandle(HANDLE handle) {
    DWORD fault = 0;
    if (m_env.TakeFault("CloseHandle", &fault)) return Fail(fault);
    if (handle == kCurrentProcess) return TRUE;  // closing the pseudo handle does nothing
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_tokens.erase(handle) == 0) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Configuration and queries

void SimServices::AddService(const std::string& name, bool running) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Service service;
    service.name = name;
    service.state = running ? win::SERVICE_RUNNING : win::SERVICE_STOPPED;
    m_services[FoldName(name)] = std::move(service);
}

void SimServices::SetBehaviour(const std::string& name, const SimServiceBehaviour& behaviour) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Service* service = FindLocked(name)) service->behaviour = behaviour;
}

void SimServices::SetRunning(const std::string& name, bool running) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Service* service = FindLocked(name)) {
        service->state = running ? win::SERVICE_RUNNING : win::SERVICE_STOPPED;
        service->pendingQueries = 0;
        service->exitCode = 0;
    }
}

void SimServices::SetDependencies(const std::string& name, const std::vector<std::string>& dependsOn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Service* service = FindLocked(name);
    if (!service) return;
    service->dependsOn.clear();
    for (const std::string& other : dependsOn) service->dependsOn.push_back(FoldName(other));
}

void SimServices::SetStartHook(const std::string& name, std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Service* service = FindLocked(name)) service->startHook = std::move(hook);
}

void SimServices::SetPrivilegeHeld(const std::string& name, bool held) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Privilege* privilege = PrivilegeByNameLocked(name)) {
        privilege->held = held;
        if (!held) privilege->enabled = false;
    }
}

void SimServices::SetToken(SimToken token) {
    // The privileges "whoami /priv" lists for each: an ordinary user's (also
    // UAC's filtered administrator token) lack SeLoadDriverPrivilege; SYSTEM
    // holds an administrator's and the few of the trusted computing base.
    static const char* const kUserPrivileges[] = {"SeShutdownPrivilege", "SeChangeNotifyPrivilege",
                                                  "SeUndockPrivilege"};
    static const char* const kSystemOnly[] = {"SeTcbPrivilege", "SeAssignPrimaryTokenPrivilege",
                                              "SeLockMemoryPrivilege", "SeCreatePermanentPrivilege",
                                              "SeAuditPrivilege"};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_elevated = IsElevated(token);
    for (Privilege& privilege : m_privileges) {
        bool held = m_elevated && privilege.administrators;
        for (const char* name : kSystemOnly) held = held || (token == SimToken::kSystem && SameName(name, privilege.name));
        for (const char* name : kUserPrivileges) held = held || SameName(name, privilege.name);
        privilege.held = held;
        privilege.enabled = held && SameName(privilege.name, "SeChangeNotifyPrivilege");
    }
}

bool SimServices::HasService(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return FindLocked(name) != nullptr;
}

DWORD SimServices::State(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Service* service = FindLocked(name);
    return service ? service->state : 0;
}

bool SimServices::IsRunning(const std::string& name) const { return State(name) == win::SERVICE_RUNNING; }

int SimServices::StartCount(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Service* service = FindLocked(name);
    return service ? service->starts : 0;
}

int SimServices::StopCount(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Service* service = FindLocked(name);
    return service ? service->stops : 0;
}

bool SimServices::IsPrivilegeEnabled(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Privilege& privilege : m_privileges) {
        if (SameName(privilege.name, name)) return privilege.enabled;
    }
    return false;
}

std::size_t SimServices::OpenHandleCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_scHandles.size() + m_tokens.size();
}

std::vector<std::pair<std::string, bool>> SimServices::ServiceStates() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::pair<std::string, bool>> states;
    for (const auto& entry : m_services) states.emplace_back(entry.second.name, entry.second.state == win::SERVICE_RUNNING);
    return states;
}

std::string SimServices::ToString() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string out = "Services (" + std::to_string(m_scHandles.size()) + " open service handles, " +
                      std::to_string(m_tokens.size()) + " open token handles):\n";
    for (const auto& entry : m_services) {
        const Service& s = entry.second;
        out += "  " + s.name + ": " + StateName(s.state) + ", " + std::to_string(s.starts) + " starts, " +
               std::to_string(s.stops) + " stops";
        if (s.exitCode) out += ", exit code " + std::to_string(s.exitCode);
        out += "\n";
    }
    out += "  Enabled privileges:";
    for (const Privilege& privilege : m_privileges) {
        if (privilege.enabled) out += std::string(" ") + privilege.name;
    }
    return out + "\n";
}

}  // namespace platform::sim
