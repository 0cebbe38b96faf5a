#include "ui/dialog.h"

namespace ui {

void DataExchange::Control(int controlId, Window& control) {
    // Bound once; later exchanges leave the wrapper untouched, so that other
    // threads using it meanwhile never see it written.
    HWND hwnd = m_dialog.GetDlgItem(controlId);
    if (control.GetSafeHwnd() != hwnd) control.Attach(m_dialog.GetToolkit(), hwnd);
}

void DataExchange::Check(int controlId, int& value) {
    Button box;
    box.Attach(m_dialog.GetToolkit(), m_dialog.GetDlgItem(controlId));
    if (m_saveAndValidate) {
        value = box.GetCheck();
    } else {
        box.SetCheck(value);
    }
}

void DataExchange::Text(int controlId, std::string& value) {
    Window control;
    control.Attach(m_dialog.GetToolkit(), m_dialog.GetDlgItem(controlId));
    if (m_saveAndValidate) {
        value = control.GetWindowText();
    } else {
        control.SetWindowText(value);
    }
}

Dialog::Dialog(Toolkit& toolkit, const DialogTemplate& dialogTemplate, HWND parent)
    : m_toolkit(toolkit), m_template(dialogTemplate), m_parent(parent) {}

INT_PTR Dialog::DoModal() {
    const INT_PTR result = m_toolkit.DialogBox(m_template, m_parent, *this);
    m_hwnd.store(nullptr);
    return result;
}

LRESULT Dialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    HWND hwnd = m_hwnd.load();
    return hwnd != nullptr ? m_toolkit.SendMessage(hwnd, message, wParam, lParam) : 0;
}

BOOL Dialog::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    HWND hwnd = m_hwnd.load();
    return hwnd != nullptr ? m_toolkit.PostMessage(hwnd, message, wParam, lParam) : 0;
}

void Dialog::EndDialog(INT_PTR result) {
    HWND hwnd = m_hwnd.load();
    if (hwnd != nullptr) m_toolkit.EndDialog(hwnd, result);
}

BOOL Dialog::UpdateData(BOOL saveAndValidate) {
    DataExchange dx(*this, saveAndValidate != 0);
    DoDataExchange(dx);
    return 1;
}

HWND Dialog::GetDlgItem(int controlId) const {
    HWND hwnd = m_hwnd.load();
    return hwnd != nullptr ? m_toolkit.GetDlgItem(hwnd, controlId) : nullptr;
}

UINT_PTR Dialog::SetTimer(UINT_PTR timerId, UINT elapseMs) {
    HWND hwnd = m_hwnd.load();
    return hwnd != nullptr ? m_toolkit.SetTimer(hwnd, timerId, elapseMs) : 0;
}

BOOL Dialog::KillTimer(UINT_PTR timerId) {
    HWND hwnd = m_hwnd.load();
    return hwnd != nullptr ? m_toolkit.KillTimer(hwnd, timerId) : 0;
}

int Dialog::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    return m_toolkit.MessageBox(m_hwnd.load(), text.c_str(), caption.c_str(), type);
}

BOOL Dialog::OnInitDialog() {
    UpdateData(0);
    return 1;
}

void Dialog::OnOK() {
    UpdateData(1);
    EndDialog(win::IDOK);
}

void Dialog::OnCancel() { EndDialog(win::IDCANCEL); }

bool Dialog::HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == win::WM_INITDIALOG) {
        m_hwnd.store(dialog);
        *result = OnInitDialog();
        return true;
    }
    if (OnDialogMessage(message, wParam, lParam, result)) return true;
    if (message == win::WM_COMMAND && HiWord(wParam) == win::BN_CLICKED) {
        if (LoWord(wParam) == static_cast<UINT>(win::IDOK)) {
            OnOK();
            *result = 0;
            return true;
        }
        if (LoWord(wParam) == static_cast<UINT>(win::IDCANCEL)) {
            OnCancel();
            *result = 0;
            return true;
        }
    }
    return false;
}

}  // namespace ui
