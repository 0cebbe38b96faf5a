// Windows backend: the version and WOW64 queries.
#pragma once

#include "platform/system_info.h"

namespace platform::win32 {

// The functions are looked up at run time, so that the program still
// starts on a system whose kernel32 lacks one of them (IsWow64Process came
// with Windows XP SP2, IsWow64Process2 with Windows 10 version 1511).
class Win32SystemInfo : public SystemInfo {
public:
    BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) override;
    bool HasIsWow64Process() override;
    BOOL IsWow64Process(HANDLE process, BOOL* wow64) override;
    bool HasIsWow64Process2() override;
    BOOL IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) override;
    // combase.dll is loaded from the system folder when asked, and its
    // functions looked up: it exists from Windows 8 on, and the class only
    // from Windows 11 version 24H2.
    win::HRESULT QueryProtectedPrintEnabled(BOOL* enabled) override;
};

}  // namespace platform::win32
