// A toolkit that passes every call to another: the base of the toolkits
// that watch or answer a run, in the shape of a proxy file system.
#pragma once

#include <functional>

#include "ui/toolkit.h"

namespace unattended {

class ForwardingToolkit : public ui::Toolkit {
public:
    explicit ForwardingToolkit(ui::Toolkit& inner) : m_inner(inner) {}

    ui::INT_PTR DialogBox(const ui::DialogTemplate& t, ui::HWND parent, ui::DialogProcedure& p) override {
        return m_inner.DialogBox(t, parent, p);
    }
    ui::BOOL EndDialog(ui::HWND dialog, ui::INT_PTR result) override { return m_inner.EndDialog(dialog, result); }
    ui::LRESULT SendMessage(ui::HWND w, ui::UINT m, ui::WPARAM wp, ui::LPARAM lp) override {
        return m_inner.SendMessage(w, m, wp, lp);
    }
    ui::BOOL PostMessage(ui::HWND w, ui::UINT m, ui::WPARAM wp, ui::LPARAM lp) override {
        return m_inner.PostMessage(w, m, wp, lp);
    }
    ui::UINT RegisterWindowMessage(const char* name) override { return m_inner.RegisterWindowMessage(name); }
    ui::HWND GetDlgItem(ui::HWND dialog, int id) override { return m_inner.GetDlgItem(dialog, id); }
    ui::BOOL EnableWindow(ui::HWND w, ui::BOOL enable) override { return m_inner.EnableWindow(w, enable); }
    ui::BOOL IsWindowEnabled(ui::HWND w) override { return m_inner.IsWindowEnabled(w); }
    ui::BOOL SetWindowText(ui::HWND w, const char* text) override { return m_inner.SetWindowText(w, text); }
    int GetWindowText(ui::HWND w, char* buffer, int size) override { return m_inner.GetWindowText(w, buffer, size); }
    ui::UINT_PTR SetTimer(ui::HWND w, ui::UINT_PTR id, ui::UINT ms) override { return m_inner.SetTimer(w, id, ms); }
    ui::BOOL KillTimer(ui::HWND w, ui::UINT_PTR id) override { return m_inner.KillTimer(w, id); }
    int MessageBox(ui::HWND owner, const char* text, const char* caption, ui::UINT type) override {
        return m_inner.MessageBox(owner, text, caption, type);
    }
    void ServeSentMessages() override { m_inner.ServeSentMessages(); }
    void PumpMessages() override { m_inner.PumpMessages(); }

protected:
    ui::Toolkit& Inner() { return m_inner; }

private:
    ui::Toolkit& m_inner;
};

// A dialog procedure put in front of another, so that a toolkit sees each
// of its dialogs' messages first.
class ProcedureInFront : public ui::DialogProcedure {
public:
    // Called before the dialog's own procedure; true when it took the message.
    using Before = std::function<bool(ui::HWND, ui::UINT, ui::WPARAM, ui::LPARAM)>;
    // Called once the dialog's own WM_INITDIALOG has run.
    using AfterInit = std::function<void(ui::HWND)>;

    ProcedureInFront(ui::DialogProcedure& inner, Before before, AfterInit afterInit)
        : m_inner(inner), m_before(std::move(before)), m_afterInit(std::move(afterInit)) {}

    bool HandleDialogMessage(ui::HWND dialog, ui::UINT message, ui::WPARAM wParam, ui::LPARAM lParam,
                             ui::LRESULT* result) override {
        if (m_before && m_before(dialog, message, wParam, lParam)) {
            *result = 0;
            return true;
        }
        const bool handled = m_inner.HandleDialogMessage(dialog, message, wParam, lParam, result);
        if (message == win::WM_INITDIALOG && m_afterInit) m_afterInit(dialog);
        return handled;
    }

private:
    ui::DialogProcedure& m_inner;
    Before m_before;
    AfterInit m_afterInit;
};

}  // namespace unattended
