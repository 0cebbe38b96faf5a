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
    // Whether kernel32 exports IsWow64Process2 (Windows 10 version 1511 and
    // later): the only way to learn the processor of a machine that runs
    // this program emulated, where IsWow64Process answers as on x64.
    virtual bool HasIsWow64Process2() = 0;
    // Only to be called when HasIsWow64Process2() is true. processMachine is
    // IMAGE_FILE_MACHINE_UNKNOWN when the process does not run under WOW64.
    virtual BOOL IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) = 0;
    // Whether Windows protected print mode is on, as the Windows Runtime's
    // Windows.Graphics.Printing.ProtectedPrint.WindowsProtectedPrintInfo.
    // IsProtectedPrintEnabled says (Windows 11 version 24H2 and later). The
    // one call of this seam that stands for several (combase's RoInitialize,
    // WindowsCreateString, RoGetActivationFactory, the property's getter),
    // because they mean nothing apart. S_OK with *enabled set; a failure
    // (REGDB_E_CLASSNOTREG where the class does not exist, an error of the
    // loader where combase.dll does not) leaves *enabled FALSE.
    virtual win::HRESULT QueryProtectedPrintEnabled(BOOL* enabled) = 0;
};

}  // namespace platform
