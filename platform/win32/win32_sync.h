// Windows backend: named mutexes, through kernel32.
#pragma once

#include "platform/sync.h"

namespace platform::win32 {

class Win32Sync : public Sync {
public:
    HANDLE CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) override;
    HANDLE CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                       HANDLE* privateNamespace) override;
    BOOL ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD flags) override;
    BOOL ReleaseMutex(HANDLE mutex) override;
    BOOL CloseHandle(HANDLE handle) override;
};

}  // namespace platform::win32
