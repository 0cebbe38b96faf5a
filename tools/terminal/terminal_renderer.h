// Draws the portable toolkit's windows in a terminal with ncursesw, modal
// windows on top of their owners, and maps a mouse position back to the
// window and control under it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/portable/window_state.h"

namespace terminal {

// Where a control landed on screen, in cells.
struct CellRect {
    int row = 0, col = 0, rows = 0, cols = 0;
    bool Contains(int r, int c) const { return r >= row && r < row + rows && c >= col && c < col + cols; }
};

// Dialog units to cells: x/4 and y/8, squeezed when the window would not
// fit the terminal. Pure arithmetic, shared by drawing and hit testing.
struct WindowLayout {
    CellRect frame;  // border included; the caption sits on its top line
    int unitsPerCol = 4;
    int unitsPerRow = 8;
    CellRect Place(const ui::portable::ControlState& control) const;
};
WindowLayout LayOutWindow(const ui::portable::WindowState& window, int screenRows, int screenCols);

// An open drop-down list of a combo box: the renderer draws it, the input
// loop moves its highlight.
struct ComboPopup {
    ui::HWND window = nullptr;
    int controlId = 0;
    int highlight = 0;
};

struct Hit {
    ui::HWND window = nullptr;
    int controlId = 0;
    int listRow = -1;     // a list view row, or a popup item
    bool popupItem = false;
    bool closeBox = false;
};

class TerminalRenderer {
public:
    // `footer`: the key help on the last line.
    void Draw(const std::vector<ui::portable::WindowState>& windows, const std::optional<ComboPopup>& popup,
              const std::wstring& footer);
    // What the last drawing put at this cell, top window first.
    std::optional<Hit> HitTest(int row, int col) const;

private:
    struct PlacedWindow {
        ui::portable::WindowState state;
        WindowLayout layout;
    };
    void DrawWindow(const PlacedWindow& placed, bool active);
    void DrawControl(const PlacedWindow& placed, const ui::portable::ControlState& control, bool active);
    void DrawListView(const ui::portable::ControlState& control, const CellRect& at, bool active, int unitsPerCol);
    void DrawPopup(const PlacedWindow& placed, const ComboPopup& popup);
    CellRect PopupRect(const PlacedWindow& placed, const ui::portable::ControlState& combo) const;

    std::vector<PlacedWindow> m_windows;
    std::optional<ComboPopup> m_popup;
};

}  // namespace terminal
