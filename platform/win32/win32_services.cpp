// Windows backend: the service control manager and the process token,
// through the W functions with the program's code page 936 names converted
// at the call (platform/win32/code_page.h).
#include "platform/win32/win32_services.h"

#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32/pass_through.h"
#include "platform/win32/wide_records.h"

namespace platform::win32 {

namespace {
::SC_HANDLE Service(win::SC_HANDLE handle) { return reinterpret_cast<::SC_HANDLE>(handle); }
win::SC_HANDLE Ours(::SC_HANDLE handle) { return reinterpret_cast<win::SC_HANDLE>(handle); }
::SERVICE_STATUS* Status(win::SERVICE_STATUS* status) { return reinterpret_cast<::SERVICE_STATUS*>(status); }
::TOKEN_PRIVILEGES* Privileges(win::TOKEN_PRIVILEGES* p) { return reinterpret_cast<::TOKEN_PRIVILEGES*>(p); }
}  // namespace

SC_HANDLE Win32Services::OpenSCManagerA(const char* machineName, const char* databaseName, DWORD desiredAccess) {
    return Ours(::OpenSCManagerW(WideArg(machineName).get(), WideArg(databaseName).get(), desiredAccess));
}

SC_HANDLE Win32Services::OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) {
    return Ours(::OpenServiceW(Service(manager), WideArg(serviceName).get(), desiredAccess));
}

BOOL Win32Services::QueryServiceStatus(SC_HANDLE service, win::SERVICE_STATUS* status) {
    return ::QueryServiceStatus(Service(service), Status(status));
}

BOOL Win32Services::StartServiceA(SC_HANDLE service, DWORD numArgs, const char** args) {
    if (args == nullptr) return ::StartServiceW(Service(service), numArgs, nullptr);
    std::vector<std::wstring> wide;
    std::vector<const wchar_t*> pointers;
    for (DWORD i = 0; i < numArgs; ++i) wide.push_back(Wide(args[i]));
    for (DWORD i = 0; i < numArgs; ++i) pointers.push_back(args[i] != nullptr ? wide[i].c_str() : nullptr);
    return ::StartServiceW(Service(service), numArgs, pointers.data());
}

BOOL Win32Services::ControlService(SC_HANDLE service, DWORD control, win::SERVICE_STATUS* status) {
    return ::ControlService(Service(service), control, Status(status));
}

BOOL Win32Services::CloseServiceHandle(SC_HANDLE handle) { return ::CloseServiceHandle(Service(handle)); }

BOOL Win32Services::EnumDependentServicesA(SC_HANDLE service, DWORD serviceState, win::ENUM_SERVICE_STATUSA* services,
                                           DWORD bufSize, DWORD* bytesNeeded, DWORD* servicesReturned) {
    const auto call = [&](::BYTE* buffer, ::DWORD size, ::DWORD* needed, ::DWORD* returned) {
        return ::EnumDependentServicesW(Service(service), serviceState, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer),
                                        size, needed, returned);
    };
    return EnumerateNarrow(
        call, sizeof(ENUM_SERVICE_STATUSW),
        [](NarrowRecords& records) {
            records.Strings({offsetof(ENUM_SERVICE_STATUSW, lpServiceName), offsetof(ENUM_SERVICE_STATUSW, lpDisplayName)});
        },
        reinterpret_cast<::BYTE*>(services), bufSize, Out(bytesNeeded).get(), Out(servicesReturned).get(),
        ERROR_MORE_DATA);
}

HANDLE Win32Services::GetCurrentProcess() { return ::GetCurrentProcess(); }

BOOL Win32Services::OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
    return ::OpenProcessToken(process, desiredAccess, token);
}

BOOL Win32Services::LookupPrivilegeValueA(const char* systemName, const char* name, win::LUID* luid) {
    return ::LookupPrivilegeValueW(WideArg(systemName).get(), WideArg(name).get(), reinterpret_cast<::LUID*>(luid));
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
