// Logging machine: the service control manager and the process token.
#include "platform/logging/logging_services.h"

#include <vector>

namespace platform::logging {

namespace {

constexpr win::DWORD kErrorNotAllAssigned = 1300;

unsigned long long LuidKey(const win::LUID& luid) {
    return (static_cast<unsigned long long>(static_cast<win::DWORD>(luid.HighPart)) << 32) | luid.LowPart;
}

}  // namespace

SC_HANDLE LoggingServices::OpenSCManagerA(const char* machineName, const char* databaseName, DWORD desiredAccess) {
    return inner().OpenSCManagerA(machineName, databaseName, desiredAccess);
}

SC_HANDLE LoggingServices::OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) {
    const SC_HANDLE result = inner().OpenServiceA(manager, serviceName, desiredAccess);
    KeptError error(m_recorder.inner());
    if (result) m_services.Remember(result, serviceName ? serviceName : "");
    return result;
}

BOOL LoggingServices::QueryServiceStatus(SC_HANDLE service, win::SERVICE_STATUS* status) {
    return inner().QueryServiceStatus(service, status);
}

BOOL LoggingServices::StartServiceA(SC_HANDLE service, DWORD numArgs, const char** args) {
    const BOOL result = inner().StartServiceA(service, numArgs, args);
    KeptError error(m_recorder.inner());
    m_recorder.Write(
        CallLine("StartServiceA").Raw("service", m_services.Quoted(service)).Returns(result, error));
    return result;
}

BOOL LoggingServices::ControlService(SC_HANDLE service, DWORD control, win::SERVICE_STATUS* status) {
    const BOOL result = inner().ControlService(service, control, status);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("ControlService")
                         .Raw("service", m_services.Quoted(service))
                         .Number("control", control)
                         .Returns(result, error));
    return result;
}

BOOL LoggingServices::CloseServiceHandle(SC_HANDLE handle) {
    const BOOL result = inner().CloseServiceHandle(handle);
    KeptError error(m_recorder.inner());
    if (result) m_services.Forget(handle);
    return result;
}

BOOL LoggingServices::EnumDependentServicesA(SC_HANDLE service, DWORD serviceState,
                                             win::ENUM_SERVICE_STATUSA* services, DWORD bufSize, DWORD* bytesNeeded,
                                             DWORD* servicesReturned) {
    const BOOL result = inner().EnumDependentServicesA(service, serviceState, services, bufSize, bytesNeeded,
                                                       servicesReturned);
    KeptError error(m_recorder.inner());
    // A size query is not worth a line; what was found is.
    if (!result && error.value() == win::ERROR_MORE_DATA && services == nullptr) return result;
    std::vector<std::string> names;
    for (DWORD i = 0; result && servicesReturned && services && i < *servicesReturned; ++i) {
        names.push_back(services[i].lpServiceName ? services[i].lpServiceName : "");
    }
    m_recorder.Write(CallLine("EnumDependentServicesA")
                         .Raw("service", m_services.Quoted(service))
                         .Number("state", serviceState)
                         .Returns(result, error) +
                     (result ? FoundNames(names) : std::string()));
    return result;
}

HANDLE LoggingServices::GetCurrentProcess() { return inner().GetCurrentProcess(); }

BOOL LoggingServices::OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
    return inner().OpenProcessToken(process, desiredAccess, token);
}

BOOL LoggingServices::LookupPrivilegeValueA(const char* systemName, const char* name, win::LUID* luid) {
    const BOOL result = inner().LookupPrivilegeValueA(systemName, name, luid);
    KeptError error(m_recorder.inner());
    if (result && name && luid) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_privilegeNames[LuidKey(*luid)] = name;
    }
    return result;
}

std::string LoggingServices::Privileges(const win::TOKEN_PRIVILEGES* state) {
    if (!state) return "null";
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string shown;
    // Privileges[] runs on past its declared single element, as in winnt.h.
    const win::LUID_AND_ATTRIBUTES* entries = state->Privileges;
    for (win::DWORD i = 0; i < state->PrivilegeCount; ++i) {
        if (i > 0) shown += ' ';
        auto it = m_privilegeNames.find(LuidKey(entries[i].Luid));
        shown += it != m_privilegeNames.end() ? Quote(it->second.c_str()) : std::to_string(entries[i].Luid.LowPart);
        shown += (entries[i].Attributes & win::SE_PRIVILEGE_ENABLED) ? ":enabled" : ":disabled";
    }
    return shown.empty() ? "<none>" : shown;
}

BOOL LoggingServices::AdjustTokenPrivileges(HANDLE token, BOOL disableAll, win::TOKEN_PRIVILEGES* newState,
                                            DWORD bufferLength, win::TOKEN_PRIVILEGES* previousState,
                                            DWORD* returnLength) {
    const BOOL result =
        inner().AdjustTokenPrivileges(token, disableAll, newState, bufferLength, previousState, returnLength);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("AdjustTokenPrivileges")
                         .Number("disableAll", disableAll ? 1 : 0)
                         .Raw("privileges", Privileges(newState))
                         // TRUE with ERROR_NOT_ALL_ASSIGNED: a privilege the token lacks.
                         .Returns(result, !result || error.value() == kErrorNotAllAssigned, error));
    return result;
}

BOOL LoggingServices::GetTokenInformation(HANDLE token, DWORD infoClass, void* info, DWORD length,
                                          DWORD* returnLength) {
    return inner().GetTokenInformation(token, infoClass, info, length, returnLength);
}

BOOL LoggingServices::CloseHandle(HANDLE handle) { return inner().CloseHandle(handle); }

}  // namespace platform::logging
