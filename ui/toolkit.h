// The dialog toolkit seam: what the installer's dialogs need of a window
// system, with the semantics of Win32 USER.
//
//  - A window belongs to the thread that created it. SendMessage from another
//    thread runs the handler on the owner's thread and blocks the sender
//    until it returns; the owner serves sent messages whenever it waits in a
//    message loop (a modal dialog, a message box). PostMessage queues.
//  - DialogBox runs a modal loop until EndDialog; dialogs nest, and the owner
//    window is disabled while its modal child runs.
//  - Timers deliver WM_TIMER through the loop of the window's thread.
//  - MessageBox is modal too; its owner may be null.
//
// Two implementations: ui/win32 (the real USER32 and comctl32) and
// ui/portable (in-memory windows that tests and the terminal front end
// drive).
#pragma once

#include "ui/dialog_template.h"
#include "ui/win_ui_types.h"

namespace ui {

struct WindowHandle;
using HWND = WindowHandle*;

using win::BOOL;
using win::INT_PTR;
using win::LPARAM;
using win::LRESULT;
using win::UINT;
using win::UINT_PTR;
using win::WPARAM;

// Receives a dialog's messages on the dialog's thread. Returns true when it
// handled the message (then *result is the message's result).
class DialogProcedure {
public:
    virtual ~DialogProcedure() = default;
    virtual bool HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT* result) = 0;
};

class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Creates the dialog from its template, owned by parent (which is
    // disabled meanwhile), sends WM_INITDIALOG, and runs its modal loop until
    // EndDialog. The window receives WM_DESTROY before this returns. Returns
    // EndDialog's result, or -1 when the dialog could not be created.
    virtual INT_PTR DialogBox(const DialogTemplate& dialogTemplate, HWND parent, DialogProcedure& procedure) = 0;
    virtual BOOL EndDialog(HWND dialog, INT_PTR result) = 0;

    virtual LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual UINT RegisterWindowMessage(const char* name) = 0;

    virtual HWND GetDlgItem(HWND dialog, int controlId) = 0;
    virtual BOOL EnableWindow(HWND window, BOOL enable) = 0;
    virtual BOOL IsWindowEnabled(HWND window) = 0;
    virtual BOOL SetWindowText(HWND window, const char* text) = 0;
    virtual int GetWindowText(HWND window, char* buffer, int bufferSize) = 0;

    virtual UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs) = 0;
    virtual BOOL KillTimer(HWND window, UINT_PTR timerId) = 0;

    // Shows a modal message box. owner may be null.
    virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;

    // Handles the messages that other threads have sent to the calling
    // thread's windows, without waiting for new ones: a thread that waits
    // for a worker which may itself be blocked sending to it calls this in
    // its wait loop.
    virtual void ServeSentMessages() = 0;

    // Handles everything waiting for the calling thread's windows (sent and
    // posted messages, input, painting, due timers) as its modal loop would,
    // then returns without waiting for more. A long step on a window's
    // thread calls it between its polls: a window that has not read its
    // messages for 5 seconds is shown as not responding ("Preventing Hangs
    // in Windows Applications").
    virtual void PumpMessages() = 0;
};

}  // namespace ui
