#include "ui/controls.h"

#include <vector>

namespace ui {

void Window::Attach(Toolkit& toolkit, HWND hwnd) {
    m_toolkit = &toolkit;
    m_hwnd = hwnd;
}

LRESULT Window::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (!IsAttached()) return 0;
    return m_toolkit->SendMessage(m_hwnd, message, wParam, lParam);
}

BOOL Window::EnableWindow(BOOL enable) const {
    return IsAttached() ? m_toolkit->EnableWindow(m_hwnd, enable) : 0;
}

BOOL Window::IsWindowEnabled() const { return IsAttached() ? m_toolkit->IsWindowEnabled(m_hwnd) : 0; }

void Window::SetWindowText(const std::string& text) const {
    if (IsAttached()) m_toolkit->SetWindowText(m_hwnd, text.c_str());
}

std::string Window::GetWindowText() const {
    const auto length = static_cast<int>(SendMessage(win::WM_GETTEXTLENGTH));
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    const int copied = m_toolkit->GetWindowText(m_hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

int Button::GetCheck() const { return static_cast<int>(SendMessage(win::BM_GETCHECK)); }

void Button::SetCheck(int check) const { SendMessage(win::BM_SETCHECK, static_cast<WPARAM>(check)); }

void ComboBox::ResetContent() const { SendMessage(win::CB_RESETCONTENT); }

int ComboBox::AddString(const std::string& text) const {
    return static_cast<int>(SendMessage(win::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::GetCount() const { return static_cast<int>(SendMessage(win::CB_GETCOUNT)); }

int ComboBox::GetCurSel() const { return static_cast<int>(SendMessage(win::CB_GETCURSEL)); }

int ComboBox::SetCurSel(int index) const {
    return static_cast<int>(SendMessage(win::CB_SETCURSEL, static_cast<WPARAM>(index)));
}

std::string ComboBox::GetLBText(int index) const {
    const auto length = SendMessage(win::CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length == win::CB_ERR || length < 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    const auto copied =
        SendMessage(win::CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    if (copied == win::CB_ERR || copied < 0) return std::string();
    return std::string(buffer.data(), static_cast<size_t>(copied));
}

int ProgressBar::SetPos(int position) const {
    return static_cast<int>(SendMessage(win::PBM_SETPOS, static_cast<WPARAM>(position)));
}

int ProgressBar::GetPos() const { return static_cast<int>(SendMessage(win::PBM_GETPOS)); }

BOOL ListView::DeleteAllItems() const { return static_cast<BOOL>(SendMessage(win::LVM_DELETEALLITEMS)); }

int ListView::GetItemCount() const { return static_cast<int>(SendMessage(win::LVM_GETITEMCOUNT)); }

int ListView::GetColumnCount() const {
    auto header = reinterpret_cast<HWND>(SendMessage(win::LVM_GETHEADER));
    if (header == nullptr) return 0;
    return static_cast<int>(m_toolkit->SendMessage(header, win::HDM_GETITEMCOUNT, 0, 0));
}

BOOL ListView::DeleteColumn(int column) const {
    return static_cast<BOOL>(SendMessage(win::LVM_DELETECOLUMN, static_cast<WPARAM>(column)));
}

win::DWORD ListView::GetExtendedStyle() const {
    return static_cast<win::DWORD>(SendMessage(win::LVM_GETEXTENDEDLISTVIEWSTYLE));
}

win::DWORD ListView::SetExtendedStyle(win::DWORD mask, win::DWORD style) const {
    return static_cast<win::DWORD>(SendMessage(win::LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style));
}

int ListView::InsertColumn(int column, const std::string& heading, int format) const {
    win::LVCOLUMNA col{};
    col.mask = win::LVCF_FMT | win::LVCF_TEXT | win::LVCF_SUBITEM;
    col.fmt = format;
    col.pszText = const_cast<char*>(heading.c_str());
    col.iSubItem = column;
    return static_cast<int>(
        SendMessage(win::LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

BOOL ListView::SetColumnWidth(int column, int width) const {
    return static_cast<BOOL>(SendMessage(win::LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width));
}

int ListView::InsertItem(int item, const std::string& text) const {
    win::LVITEMA lvi{};
    lvi.mask = win::LVIF_TEXT;
    lvi.iItem = item;
    lvi.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessage(win::LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
}

BOOL ListView::SetItemText(int item, int subItem, const std::string& text) const {
    win::LVITEMA lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = const_cast<char*>(text.c_str());
    return static_cast<BOOL>(
        SendMessage(win::LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
}

BOOL ListView::SetItemState(int item, UINT state, UINT mask) const {
    win::LVITEMA lvi{};
    lvi.state = state;
    lvi.stateMask = mask;
    return static_cast<BOOL>(
        SendMessage(win::LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
}

UINT ListView::GetItemState(int item, UINT mask) const {
    return static_cast<UINT>(SendMessage(win::LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
}

std::string ListView::GetItemText(int item, int subItem) const {
    char buffer[512] = {};
    win::LVITEMA lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = buffer;
    lvi.cchTextMax = static_cast<int>(sizeof(buffer));
    const auto copied =
        SendMessage(win::LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
    return std::string(buffer, copied > 0 ? static_cast<size_t>(copied) : 0);
}

}  // namespace ui
