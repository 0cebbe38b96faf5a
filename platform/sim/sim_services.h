// Simulated machine: the service control manager and the process token.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "platform/sim/sim_env.h"

namespace platform::sim {

// How a service answers StartServiceA and ControlService(STOP). A pending
// state is left at a status query: with 0 pending queries the first query
// after the request already sees the new state.
struct SimServiceBehaviour {
    enum StartOutcome {
        kRuns,          // reaches SERVICE_RUNNING
        kStaysPending,  // stays SERVICE_START_PENDING for ever
        kFallsBack,     // goes back to SERVICE_STOPPED, exit code 1067
    };
    int startPendingQueries = 0;
    StartOutcome startOutcome = kRuns;
    int stopPendingQueries = 0;
    // Nonzero: ControlService(STOP) fails with this error.
    DWORD stopRefusedError = 0;

    static SimServiceBehaviour Normal() { return {}; }
    static SimServiceBehaviour Slow(int pendingQueries) {
        SimServiceBehaviour b;
        b.startPendingQueries = pendingQueries;
        b.stopPendingQueries = pendingQueries;
        return b;
    }
    static SimServiceBehaviour NeverStarts(StartOutcome outcome = kStaysPending) {
        SimServiceBehaviour b;
        b.startOutcome = outcome;
        return b;
    }
    static SimServiceBehaviour StopRefused(DWORD error) {
        SimServiceBehaviour b;
        b.stopRefusedError = error;
        return b;
    }
};

// Services are named without regard to case. The process token is an
// elevated administrator's by default: its privileges all disabled but
// SeChangeNotifyPrivilege; SetToken gives it another kind. Faults: every call consults SimEnv under its
// Win32 name. Safe to call from several threads.
class SimServices : public platform::Services {
public:
    explicit SimServices(SimEnv& env);
    ~SimServices() override;
    SimServices(const SimServices&) = delete;
    SimServices& operator=(const SimServices&) = delete;

    // platform::Services
    SC_HANDLE OpenSCManagerA(const char* machineName, const char* databaseName, DWORD desiredAccess) override;
    SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) override;
    BOOL QueryServiceStatus(SC_HANDLE service, win::SERVICE_STATUS* status) override;
    BOOL StartServiceA(SC_HANDLE service, DWORD numArgs, const char** args) override;
    BOOL ControlService(SC_HANDLE service, DWORD control, win::SERVICE_STATUS* status) override;
    BOOL CloseServiceHandle(SC_HANDLE handle) override;
    BOOL EnumDependentServicesA(SC_HANDLE service, DWORD serviceState, win::ENUM_SERVICE_STATUSA* services,
                                DWORD bufSize, DWORD* bytesNeeded, DWORD* servicesReturned) override;
    HANDLE GetCurrentProcess() override;
    BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) override;
    BOOL LookupPrivilegeValueA(const char* systemName, const char* name, win::LUID* luid) override;
    BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, win::TOKEN_PRIVILEGES* newState, DWORD bufferLength,
                               win::TOKEN_PRIVILEGES* previousState, DWORD* returnLength) override;
    BOOL GetTokenInformation(HANDLE token, DWORD infoClass, void* info, DWORD length, DWORD* returnLength) override;
    BOOL CloseHandle(HANDLE handle) override;

    // Machine configuration. AddService replaces a service of that name.
    // SetRunning puts a service straight into the state, without the start
    // hook: the machine was like this before the installer ran.
    void AddService(const std::string& name, bool running);
    void SetBehaviour(const std::string& name, const SimServiceBehaviour& behaviour);
    void SetRunning(const std::string& name, bool running);
    // The service depends on these (CreateService's lpDependencies): none of
    // them stops while it runs (ERROR_DEPENDENT_SERVICES_RUNNING), and
    // EnumDependentServicesA of each lists it.
    void SetDependencies(const std::string& name, const std::vector<std::string>& dependsOn);
    // Called every time the service enters SERVICE_RUNNING, on the thread
    // whose status query saw it, before that query returns. No lock is held.
    void SetStartHook(const std::string& name, std::function<void()> hook);
    // Whether the token holds the privilege at all (enabling one it does
    // not hold reports ERROR_NOT_ALL_ASSIGNED).
    void SetPrivilegeHeld(const std::string& name, bool held);
    // The token of that kind: its elevation and the privileges it holds.
    void SetToken(SimToken token);

    // Queries for tests.
    bool HasService(const std::string& name) const;
    DWORD State(const std::string& name) const;  // 0 for an unknown service
    bool IsRunning(const std::string& name) const;
    // Accepted StartServiceA and ControlService(STOP) requests.
    int StartCount(const std::string& name) const;
    int StopCount(const std::string& name) const;
    bool IsPrivilegeEnabled(const std::string& name) const;
    // Service manager, service and token handles not closed yet.
    std::size_t OpenHandleCount() const;
    std::string ToString() const;
    // Every service with whether it runs, in name order: what a saved
    // machine keeps (AddService loads it back).
    std::vector<std::pair<std::string, bool>> ServiceStates() const;

    static constexpr DWORD kErrorNotAllAssigned = 1300;
    static constexpr DWORD kErrorServiceCannotAcceptCtrl = 1061;
    static constexpr DWORD kErrorInvalidServiceControl = 1052;
    static constexpr DWORD kErrorProcessAborted = 1067;
    static constexpr DWORD kErrorDatabaseDoesNotExist = 1065;
    static constexpr DWORD kErrorInvalidName = 123;
    static constexpr DWORD kErrorNoAccess = 998;

private:
    struct Service {
        std::string name;
        DWORD state = win::SERVICE_STOPPED;
        DWORD exitCode = 0;
        int pendingQueries = 0;  // still to be answered with the pending state
        SimServiceBehaviour behaviour;
        int starts = 0;
        int stops = 0;
        std::function<void()> startHook;
        std::vector<std::string> dependsOn;  // folded names
    };
    struct ScHandle {
        bool isManager = false;
        std::string serviceName;  // folded; services only
        DWORD access = 0;
    };
    struct Privilege {
        const char* name;
        DWORD luid;
        bool held;
        bool enabled;
        bool administrators = false;  // held by an elevated administrator
    };

    Service* FindLocked(const std::string& name);
    const Service* FindLocked(const std::string& name) const;
    // The service behind a service handle, or null with *error set.
    Service* ServiceForLocked(SC_HANDLE handle, DWORD needAccess, DWORD* error);
    Privilege* PrivilegeByNameLocked(const std::string& name);
    Privilege* PrivilegeByLuidLocked(const win::LUID& luid);
    static void Fill(const Service& service, win::SERVICE_STATUS* status);
    // Every service that depends on this one, directly or not, each after
    // those that depend on it.
    std::vector<const Service*> DependantsLocked(const Service& service) const;

    SimEnv& m_env;
    mutable std::mutex m_mutex;
    std::map<std::string, Service> m_services;  // by folded name
    std::map<SC_HANDLE, std::unique_ptr<ScHandle>> m_scHandles;
    std::map<HANDLE, std::unique_ptr<DWORD>> m_tokens;  // token handle -> its access
    std::vector<Privilege> m_privileges;
    bool m_elevated = true;
};

}  // namespace platform::sim
