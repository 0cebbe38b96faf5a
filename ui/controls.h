// Control wrappers in the shape of MFC's and 7-Zip's: a window handle and
// the standard messages. The same code drives the real controls on Windows
// and the portable toolkit's in-memory ones.
#pragma once

#include <string>

#include "ui/toolkit.h"

namespace ui {

class Window {
public:
    void Attach(Toolkit& toolkit, HWND hwnd);
    HWND GetSafeHwnd() const { return m_hwnd; }
    bool IsAttached() const { return m_toolkit != nullptr && m_hwnd != nullptr; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL EnableWindow(BOOL enable) const;
    BOOL IsWindowEnabled() const;
    void SetWindowText(const std::string& text) const;
    std::string GetWindowText() const;

protected:
    Toolkit* m_toolkit = nullptr;
    HWND m_hwnd = nullptr;
};

class Button : public Window {
public:
    int GetCheck() const;
    void SetCheck(int check) const;
};

class Edit : public Window {};

class ComboBox : public Window {
public:
    void ResetContent() const;
    int AddString(const std::string& text) const;
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index) const;
    std::string GetLBText(int index) const;
};

class ProgressBar : public Window {
public:
    int SetPos(int position) const;
    int GetPos() const;
};

class ListView : public Window {
public:
    BOOL DeleteAllItems() const;
    int GetItemCount() const;
    // The number of columns, as the list's header control counts them.
    int GetColumnCount() const;
    BOOL DeleteColumn(int column) const;
    win::DWORD GetExtendedStyle() const;
    win::DWORD SetExtendedStyle(win::DWORD mask, win::DWORD style) const;
    int InsertColumn(int column, const std::string& heading, int format) const;
    BOOL SetColumnWidth(int column, int width) const;
    int InsertItem(int item, const std::string& text) const;
    BOOL SetItemText(int item, int subItem, const std::string& text) const;
    BOOL SetItemState(int item, UINT state, UINT mask) const;
    UINT GetItemState(int item, UINT mask) const;
    std::string GetItemText(int item, int subItem) const;
};

}  // namespace ui
