// Windows backend: the one header that includes windows.h.
//
// The project's own Windows names (namespace win) are declared first: once
// windows.h has defined its macros of the same names (MAX_PATH, IDOK,
// WM_COMMAND, ...), the seam headers could no longer be parsed. Files that
// include this header must include every seam header before it, and speak
// the Windows names (not win::...) after it.
#pragma once

#include "platform/serial.h"
#include "platform/win_types.h"
#include "ui/win_ui_types.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <commctrl.h>
#include <fdi.h>
#include <winspool.h>

// The system's ANSI/wide selector macros would rename the toolkit's and the
// program host's methods of the same names.
#undef DialogBox
#undef SendMessage
#undef PostMessage
#undef RegisterWindowMessage
#undef SetWindowText
#undef GetWindowText
#undef MessageBox
#undef WriteConsole

#include <string>

namespace platform::win32 {

// Loads a DLL of the system by its full path in the system folder, never by
// bare name: one planted in the working folder, where the package is, must
// never be loaded. Null with the last error when it cannot be loaded.
inline ::HMODULE LoadSystemLibrary(const char* fileName) {
    char systemFolder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0) return nullptr;
    if (length >= MAX_PATH) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    const std::string path = std::string(systemFolder, length) + "\\" + fileName;
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// An export of kernel32, which every process has loaded, looked up at run
// time: the calls that older systems lack are never imported. Null, with
// GetProcAddress's last error, where the system lacks it.
inline FARPROC Kernel32Export(const char* name) {
    ::HMODULE kernel32 = ::GetModuleHandleA("kernel32");
    return kernel32 != nullptr ? ::GetProcAddress(kernel32, name) : nullptr;
}

template <typename Function>
Function Kernel32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(Kernel32Export(name)));
}

}  // namespace platform::win32
