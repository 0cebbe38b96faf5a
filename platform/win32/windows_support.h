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
