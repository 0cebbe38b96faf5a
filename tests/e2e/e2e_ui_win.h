// Windows (the end-to-end driver under Wine): finding, reading and working
// another process's windows the way a person would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

std::string Utf8(const std::wstring& text);

// Prints "ok ..." or "FAIL ..." and counts the failures.
bool Check(bool passed, const std::string& what);
int Failures();

// Polls until the condition holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, DWORD milliseconds) {
    for (DWORD waited = 0;; waited += 50) {
        if (condition()) return true;
        if (waited >= milliseconds) return false;
        ::Sleep(50);
    }
}

// A top-level window's caption.
std::wstring WindowText(HWND window);
// A control's text, asked of the control itself (edits included).
std::wstring ItemText(HWND dialog, int id);

// A visible dialog window of the process with this caption, or null.
HWND FindDialog(DWORD processId, const std::wstring& caption);
// A visible message box of the process (a dialog with the static 0xFFFF).
HWND FindMessageBox(DWORD processId);
std::wstring MessageBoxText(HWND box);

// Clicks that may open a modal box are posted, never sent.
void PostCommand(HWND dialog, int id);
void PostClick(HWND dialog, int id);

// The combo box's item texts, read with the W messages (the A form hands
// back raw UTF-16 across processes under Wine 8).
std::vector<std::wstring> ComboItems(HWND combo);
// Selects the entry and tells the dialog, as a pick with the mouse does.
bool PickComboItem(HWND dialog, int comboId, const std::wstring& text);

// Selects a row of a report list view in another process.
bool SelectListRow(HWND list, int row);
int ListRowCount(HWND list);
// The text of a cell of a report list view in another process.
std::wstring ListItemText(HWND list, int row, int column);

// Asks the calling script for a screenshot of the window and waits for it.
void Screenshot(HWND window, const char* name);

}  // namespace e2e
