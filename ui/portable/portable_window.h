// The in-memory record of one window of the portable toolkit: a dialog, a
// message box, or one of their controls. The toolkit guards every record
// with its one mutex; the control procedures work on a record under it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ui/toolkit.h"

namespace ui::portable {

using WindowId = std::uintptr_t;
using Clock = std::chrono::steady_clock;

// The window class of dialogs and message boxes.
inline constexpr const char* kDialogClass = "#32770";

enum class WindowKind { kDialog, kMessageBox, kControl };

enum class ControlKind { kNone, kButton, kStatic, kEdit, kComboBox, kListView, kHeader, kProgress };

// A list view column; it shows the subitem of its own index.
struct ListColumn {
    std::string text;
    int width = 0;
    int format = 0;
};

struct ListRow {
    std::vector<std::string> texts;  // by subitem; missing ones are empty
    win::UINT state = 0;
};

struct WindowTimer {
    win::UINT intervalMs = 0;
    Clock::time_point due;
};

struct PortableWindow {
    WindowId handle = 0;
    WindowKind kind = WindowKind::kControl;
    ControlKind controlKind = ControlKind::kNone;
    std::thread::id thread;
    // A control's dialog, a header's list view, a top-level window's owner.
    WindowId parent = 0;
    int id = 0;
    std::string className;
    win::DWORD style = 0;
    win::DWORD exStyle = 0;
    std::string text;
    bool enabled = true;
    int x = 0, y = 0, cx = 0, cy = 0;

    // Top-level windows.
    DialogProcedure* procedure = nullptr;
    int templateId = 0;
    std::vector<WindowId> children;  // in template order
    WindowId focus = 0;
    bool ended = false;
    INT_PTR result = 0;
    bool reenableOwner = false;  // the owner was enabled before we disabled it
    unsigned boxType = 0;
    std::vector<int> buttons;  // a message box's button ids
    std::map<UINT_PTR, WindowTimer> timers;

    // Buttons.
    int check = win::BST_UNCHECKED;
    // Combo boxes.
    std::vector<std::string> items;
    int curSel = -1;
    // List views.
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;
    win::DWORD extendedStyle = 0;
    WindowId header = 0;
    // Progress bars.
    int rangeMin = 0;
    int rangeMax = 100;
    int pos = 0;
};

inline HWND ToHwnd(WindowId id) { return reinterpret_cast<HWND>(id); }
inline WindowId ToId(HWND hwnd) { return reinterpret_cast<WindowId>(hwnd); }

}  // namespace ui::portable
