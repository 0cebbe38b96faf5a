// Which Windows the installer runs on.
#pragma once

#include "platform/win_types.h"

namespace platform {

using win::BOOL;
using win::HANDLE;

class SystemInfo {
public:
    virtual ~SystemInfo() = default;

    // The record's dwOSVersionInfoSize says which form the caller passes
    // (148 for OSVERSIONINFOA, 156 for OSVERSIONINFOEXA).
    virtual BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) = 0;
    // Whether kernel32 exports IsWow64Process (systems before Windows XP SP2
    // do not): GetModuleHandleA("kernel32") and GetProcAddress.
    virtual bool HasIsWow64Process() = 0;
    // Only to be called when HasIsWow64Process() is true.
    virtual BOOL IsWow64Process(HANDLE process, BOOL* wow64) = 0;
};

}  // namespace platform
