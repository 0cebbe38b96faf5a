// Windows backend: the version and WOW64 queries.
#include "platform/win32/win32_system_info.h"

#include "platform/win32/windows_support.h"

namespace platform::win32 {

namespace {

using GetVersionExAFunction = ::BOOL(WINAPI*)(::OSVERSIONINFOA*);
using IsWow64ProcessFunction = ::BOOL(WINAPI*)(::HANDLE, ::BOOL*);
using IsWow64Process2Function = ::BOOL(WINAPI*)(::HANDLE, ::USHORT*, ::USHORT*);

FARPROC Kernel32Export(const char* name) {
    HMODULE kernel32 = ::GetModuleHandleA("kernel32");
    return kernel32 != nullptr ? ::GetProcAddress(kernel32, name) : nullptr;
}

template <typename Function>
Function Kernel32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(Kernel32Export(name)));
}

}  // namespace

BOOL Win32SystemInfo::GetVersionExA(win::OSVERSIONINFOEXA* info) {
    auto getVersionEx = Kernel32Function<GetVersionExAFunction>("GetVersionExA");
    if (getVersionEx == nullptr) return FALSE;  // GetProcAddress has set the last error
    return getVersionEx(reinterpret_cast<::OSVERSIONINFOA*>(info));
}

bool Win32SystemInfo::HasIsWow64Process() { return Kernel32Export("IsWow64Process") != nullptr; }

BOOL Win32SystemInfo::IsWow64Process(HANDLE process, BOOL* wow64) {
    auto isWow64Process = Kernel32Function<IsWow64ProcessFunction>("IsWow64Process");
    if (isWow64Process == nullptr) return FALSE;
    return isWow64Process(process, wow64);
}

bool Win32SystemInfo::HasIsWow64Process2() { return Kernel32Export("IsWow64Process2") != nullptr; }

BOOL Win32SystemInfo::IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) {
    auto isWow64Process2 = Kernel32Function<IsWow64Process2Function>("IsWow64Process2");
    if (isWow64Process2 == nullptr) return FALSE;
    return isWow64Process2(process, processMachine, nativeMachine);
}

}  // namespace platform::win32
