// The service control manager and the process token: what it takes to start
// or cycle the spooler and to enable a privilege in the installer's process.
#pragma once

#include "platform/win_types.h"

namespace platform {

using win::BOOL;
using win::DWORD;
using win::HANDLE;
using win::SC_HANDLE;

class Services {
public:
    virtual ~Services() = default;

    virtual SC_HANDLE OpenSCManagerA(const char* machineName, const char* databaseName, DWORD desiredAccess) = 0;
    virtual SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD desiredAccess) = 0;
    virtual BOOL QueryServiceStatus(SC_HANDLE service, win::SERVICE_STATUS* status) = 0;
    virtual BOOL StartServiceA(SC_HANDLE service, DWORD numArgs, const char** args) = 0;
    virtual BOOL ControlService(SC_HANDLE service, DWORD control, win::SERVICE_STATUS* status) = 0;
    virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;
    // The services that depend on this one, directly or through others, in
    // the state asked for (SERVICE_ACTIVE, SERVICE_INACTIVE or
    // SERVICE_STATE_ALL), in the reverse of their start order: the order to
    // stop them in before stopping it. The records come first in the
    // buffer, their strings after them; ERROR_MORE_DATA with the size needed
    // when they do not fit ("EnumDependentServicesA function"; the handle
    // needs SERVICE_ENUMERATE_DEPENDENTS).
    virtual BOOL EnumDependentServicesA(SC_HANDLE service, DWORD serviceState, win::ENUM_SERVICE_STATUSA* services,
                                        DWORD bufSize, DWORD* bytesNeeded, DWORD* servicesReturned) = 0;

    virtual HANDLE GetCurrentProcess() = 0;
    virtual BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) = 0;
    virtual BOOL LookupPrivilegeValueA(const char* systemName, const char* name, win::LUID* luid) = 0;
    virtual BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, win::TOKEN_PRIVILEGES* newState,
                                       DWORD bufferLength, win::TOKEN_PRIVILEGES* previousState,
                                       DWORD* returnLength) = 0;
    // As advapi32's: TokenElevation (a TOKEN_ELEVATION; Vista and later,
    // ERROR_INVALID_PARAMETER before) and TokenPrivileges (a TOKEN_PRIVILEGES
    // of every privilege the token holds; a buffer too small fails with
    // ERROR_INSUFFICIENT_BUFFER and *returnLength the size needed).
    virtual BOOL GetTokenInformation(HANDLE token, DWORD infoClass, void* info, DWORD length,
                                     DWORD* returnLength) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
};

}  // namespace platform
