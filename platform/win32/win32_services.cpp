// Windows backend: the service control manager and the process token.
#include "platform/win32/win32_services.h"

#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {
::SC_HANDLE Service(win::SC_HANDLE handle) { return reinterpret_cast<::SC_HANDLE>(handle); }
win::SC_HANDLE Ours(::SC_HANDLE handle) { return reinterpret_cast<win::SC_HANDLE>(handle); }
::SERVICE_STATUS* Status(win::SERVICE_STATUS* status) { return reinterpret_cast<::SERVICE_STATUS*>(status); }
::TOKEN_PRIVILEGES* Privileges(win::TOKEN_PRIVILEGES* p) { return reinterpret_cast<::TOKEN_PRIVILEGES*>(p); }
}  // namespace

SC_HANDLE Win32Services::OpenSCManagerA(const char* machineName, const char* databaseName, DWORD desiredAccess) {
    return Ours(::OpenSCManagerA(machineName, databaseName, desiredAccess));
}

SC_HANDLE Win32Services::OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) {
    return Ours(::OpenServiceA(Service(manager), serviceName, desiredAccess));
}

BOOL Win32Services::QueryServiceStatus(SC_HANDLE service, win::SERVICE_STATUS* status) {
    return ::QueryServiceStatus(Service(service), Status(status));
}

BOOL Win32Services::StartServiceA(SC_HANDLE service, DWORD numArgs, const char** args) {
    return ::StartServiceA(Service(service), numArgs, args);
}

BOOL Win32Services::ControlService(SC_HANDLE service, DWORD control, win::SERVICE_STATUS* status) {
    return ::ControlService(Service(service), control, Status(status));
}

BOOL Win32Services::CloseServiceHandle(SC_HANDLE handle) { return ::CloseServiceHandle(Service(handle)); }

HANDLE Win32Services::GetCurrentProcess() { return ::GetCurrentProcess(); }

BOOL Win32Services::OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
    return ::OpenProcessToken(process, desiredAccess, token);
}

BOOL Win32Services::LookupPrivilegeValueA(const char* systemName, const char* name, win::LUID* luid) {
    return ::LookupPrivilegeValueA(systemName, name, reinterpret_cast<::LUID*>(luid));
}

BOOL Win32Services::AdjustTokenPrivileges(HANDLE token, BOOL disableAll, win::TOKEN_PRIVILEGES* newState,
                                          DWORD bufferLength, win::TOKEN_PRIVILEGES* previousState,
                                          DWORD* returnLength) {
    return ::AdjustTokenPrivileges(token, disableAll, Privileges(newState), bufferLength, Privileges(previousState),
                                   Out(returnLength).get());
}

BOOL Win32Services::GetTokenInformation(HANDLE token, DWORD infoClass, void* info, DWORD length, DWORD* returnLength) {
    ::DWORD needed = 0;
    const BOOL result =
        ::GetTokenInformation(token, static_cast<::TOKEN_INFORMATION_CLASS>(infoClass), info, length, &needed);
    if (returnLength != nullptr) *returnLength = needed;
    return result;
}

BOOL Win32Services::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

}  // namespace platform::win32
