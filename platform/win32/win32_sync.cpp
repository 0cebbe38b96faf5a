// Windows backend: named mutexes, through kernel32.
#include "platform/win32/win32_sync.h"

#include "platform/win32/code_page.h"
#include "platform/win32/pass_through.h"

namespace platform::win32 {

HANDLE Win32Sync::CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) {
    return ::CreateMutexW(reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security)),
                          initialOwner, WideArg(name).get());
}

BOOL Win32Sync::ReleaseMutex(HANDLE mutex) { return ::ReleaseMutex(mutex); }

BOOL Win32Sync::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

}  // namespace platform::win32
