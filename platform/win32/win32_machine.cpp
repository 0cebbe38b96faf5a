// Windows backend: the real machine, every service a thin pass-through.
#include "platform/win32/win32_machine.h"

#include "platform/win32/windows_support.h"

namespace platform::win32 {

win::DWORD Win32Machine::GetLastError() { return ::GetLastError(); }

void Win32Machine::SetLastError(win::DWORD code) { ::SetLastError(code); }

void Win32Machine::Sleep(win::DWORD milliseconds) { ::Sleep(milliseconds); }

win::DWORD Win32Machine::GetTickCount() { return ::GetTickCount(); }
void Win32Machine::GetSystemTime(win::SYSTEMTIME* time) {
    static_assert(sizeof(win::SYSTEMTIME) == sizeof(::SYSTEMTIME), "layout of SYSTEMTIME");
    ::GetSystemTime(reinterpret_cast<::SYSTEMTIME*>(time));
}

}  // namespace platform::win32
