// Windows backend: the service control manager and the process token.
#pragma once

#include "platform/services.h"

namespace platform::win32 {

class Win32Services : public Services {
public:
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
};

}  // namespace platform::win32
