// Windows backend: the dialog toolkit on USER32 and comctl32.
#pragma once

#include "ui/toolkit.h"

namespace ui::win32 {

// Dialogs come from the program's own resources (the resource script is
// generated from the same templates the portable toolkit uses), so
// DialogBox needs only the template's id.
class Win32Toolkit : public Toolkit {
public:
    Win32Toolkit();

    INT_PTR DialogBox(const DialogTemplate& dialogTemplate, HWND parent, DialogProcedure& procedure) override;
    BOOL EndDialog(HWND dialog, INT_PTR result) override;

    LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT RegisterWindowMessage(const char* name) override;

    HWND GetDlgItem(HWND dialog, int controlId) override;
    BOOL EnableWindow(HWND window, BOOL enable) override;
    BOOL IsWindowEnabled(HWND window) override;
    BOOL SetWindowText(HWND window, const char* text) override;
    int GetWindowText(HWND window, char* buffer, int bufferSize) override;

    UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs) override;
    BOOL KillTimer(HWND window, UINT_PTR timerId) override;

    int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    void ServeSentMessages() override;
    void PumpMessages() override;
};

}  // namespace ui::win32
