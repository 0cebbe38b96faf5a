#include "tools/terminal/terminal_renderer.h"

#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include <algorithm>

#include "tools/terminal/text_display.h"
#include "ui/dialog_template.h"

namespace terminal {

namespace {

using ui::portable::ControlState;
using ui::portable::WindowState;

constexpr int kMinUnitsPerCol = 4;
constexpr int kMinUnitsPerRow = 8;
// A list view's pixel widths in cells: a dialog unit is about 1.5 pixels
// wide in the dialogs' 9-point font.
constexpr int kPixelsPerUnitTimes2 = 3;
constexpr int kPairDesktop = 1;
constexpr int kPairWindow = 2;
constexpr int kPairCaption = 3;
constexpr int kPairCaptionInactive = 4;
constexpr int kMaxPopupItems = 10;
// The height of a one-line control (a button, a closed combo box).
constexpr int kOneLineUnits = 14;
constexpr win::DWORD kButtonCheckBox = 0x2;  // BS_CHECKBOX

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

bool IsClass(const ControlState& c, const char* name) { return c.className == name; }

win::DWORD ButtonType(const ControlState& c) { return c.style & win::BS_TYPEMASK; }

// SS_LEFT, SS_CENTER and SS_RIGHT statics break their lines at the
// control's width; SS_LEFTNOWORDWRAP, SS_SIMPLE and the rest do not.
constexpr win::DWORD kStaticTypeMask = 0x1F;  // SS_TYPEMASK
constexpr win::DWORD kStaticRight = 0x2;      // SS_RIGHT
bool WrapsText(const ControlState& c) { return (c.style & kStaticTypeMask) <= kStaticRight; }

void Put(int row, int col, const std::wstring& text, int cells) {
    if (cells <= 0 || row < 0 || row >= LINES || col >= COLS) return;
    const std::wstring fitted = FitCells(text, std::min(cells, COLS - col));
    mvaddwstr(row, col, fitted.c_str());
}

void Fill(int row, int col, int cells) {
    if (row < 0 || row >= LINES) return;
    for (int i = 0; i < cells && col + i < COLS; ++i) mvaddch(row, col + i, ' ');
}

void Frame(const CellRect& r) {
    if (r.rows < 2 || r.cols < 2) return;
    mvhline(r.row, r.col + 1, ACS_HLINE, r.cols - 2);
    mvhline(r.row + r.rows - 1, r.col + 1, ACS_HLINE, r.cols - 2);
    mvvline(r.row + 1, r.col, ACS_VLINE, r.rows - 2);
    mvvline(r.row + 1, r.col + r.cols - 1, ACS_VLINE, r.rows - 2);
    mvaddch(r.row, r.col, ACS_ULCORNER);
    mvaddch(r.row, r.col + r.cols - 1, ACS_URCORNER);
    mvaddch(r.row + r.rows - 1, r.col, ACS_LLCORNER);
    mvaddch(r.row + r.rows - 1, r.col + r.cols - 1, ACS_LRCORNER);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines(1);
    for (wchar_t c : text) {
        if (c == L'\r') continue;
        if (c == L'\n') {
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

// Lines broken at line breaks and wrapped at `cells`.
std::vector<std::wstring> Wrap(const std::wstring& text, int cells) {
    std::vector<std::wstring> out;
    for (const std::wstring& line : Lines(text)) {
        std::wstring rest = line;
        do {
            std::wstring head = FitCells(rest, std::max(1, cells));
            if (head.empty() && !rest.empty()) head = rest.substr(0, 1);
            out.push_back(head);
            rest = rest.substr(head.size());
        } while (!rest.empty());
    }
    return out;
}

const wchar_t* IconWord(unsigned boxType) {
    switch (boxType & win::MB_ICONMASK) {
    case win::MB_ICONHAND: return L"(X) 错误";
    case win::MB_ICONQUESTION: return L"(?) 询问";
    case win::MB_ICONEXCLAMATION: return L"(!) 警告";
    case win::MB_ICONINFORMATION: return L"(i) 信息";
    default: return L"";
    }
}

int ListColumnCells(int pixels, int unitsPerCol) {
    return std::max(1, pixels * 2 / (kPixelsPerUnitTimes2 * unitsPerCol));
}

// The first row a list shows so that the selected one is visible.
int FirstVisibleRow(const ControlState& list, int visible) {
    int selected = 0;
    for (std::size_t i = 0; i < list.rowStates.size(); ++i) {
        if ((list.rowStates[i] & win::LVIS_SELECTED) != 0) {
            selected = static_cast<int>(i);
            break;
        }
    }
    return std::max(0, selected - visible + 1);
}

}  // namespace

CellRect WindowLayout::Place(const ControlState& c) const {
    CellRect r;
    r.row = frame.row + 1 + c.y / unitsPerRow;
    r.col = frame.col + 1 + c.x / unitsPerCol;
    r.cols = std::max(1, c.cx / unitsPerCol);
    const bool isGroup = IsClass(c, ui::kClassButton) && ButtonType(c) == win::BS_GROUPBOX;
    if (isGroup) {
        // A group box ends below what it holds; rounding up keeps its frame
        // off the frame of a list inside it.
        r.rows = std::max(2, CeilDiv(c.y + c.cy, unitsPerRow) - c.y / unitsPerRow);
    } else if (IsClass(c, ui::kClassListView)) {
        r.rows = std::max(4, (c.y + c.cy) / unitsPerRow - c.y / unitsPerRow);
    } else if (IsClass(c, ui::kClassStatic)) {
        r.rows = std::max(1, (c.y + c.cy) / unitsPerRow - c.y / unitsPerRow);
    } else {
        r.rows = 1;  // buttons, edits, combo boxes (closed), progress bars
    }
    if (r.rows == 1) {
        // One-line controls sit on the row of their middle, so that a label
        // and the field beside it (a few units apart) share a row.
        r.row = frame.row + 1 + (c.y + std::min(c.cy, kOneLineUnits) / 2) / unitsPerRow;
    }
    return r;
}

WindowLayout LayOutWindow(const WindowState& window, int screenRows, int screenCols) {
    WindowLayout layout;
    // The last line is the key help.
    const int rows = std::max(4, screenRows - 1);
    const int cols = std::max(10, screenCols);
    layout.unitsPerCol = std::max(kMinUnitsPerCol, CeilDiv(window.cx, std::max(1, cols - 2)));
    layout.unitsPerRow = std::max(kMinUnitsPerRow, CeilDiv(window.cy, std::max(1, rows - 2)));
    layout.frame.cols = CeilDiv(window.cx, layout.unitsPerCol) + 2;
    layout.frame.rows = CeilDiv(window.cy, layout.unitsPerRow) + 2;
    layout.frame.col = std::max(0, (cols - layout.frame.cols) / 2);
    layout.frame.row = std::max(0, (rows - layout.frame.rows) / 2);
    return layout;
}

void TerminalRenderer::Draw(const std::vector<WindowState>& windows, const std::optional<ComboPopup>& popup,
                            const std::wstring& footer) {
    static bool colours = false;
    static bool coloursTried = false;
    if (!coloursTried) {
        coloursTried = true;
        if (has_colors()) {
            start_color();
            init_pair(kPairDesktop, COLOR_WHITE, COLOR_BLUE);
            init_pair(kPairWindow, COLOR_BLACK, COLOR_WHITE);
            init_pair(kPairCaption, COLOR_WHITE, COLOR_BLUE);
            init_pair(kPairCaptionInactive, COLOR_BLACK, COLOR_WHITE);
            colours = true;
        }
    }
    m_windows.clear();
    for (const WindowState& window : windows) m_windows.push_back({window, LayOutWindow(window, LINES, COLS)});
    m_popup = popup;

    bkgdset(colours ? COLOR_PAIR(kPairDesktop) : A_NORMAL);
    erase();
    // The newest enabled window takes the input: the others are owners of
    // a modal window.
    int active = -1;
    for (int i = static_cast<int>(m_windows.size()) - 1; i >= 0; --i) {
        if (m_windows[static_cast<std::size_t>(i)].state.enabled) {
            active = i;
            break;
        }
    }
    for (std::size_t i = 0; i < m_windows.size(); ++i) {
        if (colours) attrset(COLOR_PAIR(kPairWindow));
        DrawWindow(m_windows[i], static_cast<int>(i) == active);
    }
    if (m_popup) {
        for (const PlacedWindow& placed : m_windows) {
            if (placed.state.hwnd == m_popup->window) DrawPopup(placed, *m_popup);
        }
    }
    attrset(colours ? COLOR_PAIR(kPairCaption) : A_REVERSE);
    Fill(LINES - 1, 0, COLS);
    Put(LINES - 1, 1, footer, COLS - 2);
    attrset(A_NORMAL);
    refresh();
}

void TerminalRenderer::DrawWindow(const PlacedWindow& placed, bool active) {
    const CellRect& f = placed.layout.frame;
    const chtype base = getattrs(stdscr);
    for (int r = 0; r < f.rows; ++r) Fill(f.row + r, f.col, f.cols);
    Frame(f);
    // Caption on the top line, with the close box at its right end.
    attrset(has_colors() ? COLOR_PAIR(active ? kPairCaption : kPairCaptionInactive) | A_BOLD : (active ? A_REVERSE : A_BOLD));
    Fill(f.row, f.col + 1, f.cols - 2);
    Put(f.row, f.col + 2, FromCp936(placed.state.caption), f.cols - 8);
    Put(f.row, f.col + f.cols - 5, L"[X]", 3);
    attrset(base);
    if (placed.state.isMessageBox) {
        Put(f.row + 2, f.col + 3, IconWord(placed.state.boxType), 10);
    }
    for (const ControlState& control : placed.state.controls) {
        if (control.visible) DrawControl(placed, control, active);
    }
    attrset(base);
}

void TerminalRenderer::DrawControl(const PlacedWindow& placed, const ControlState& c, bool active) {
    const CellRect at = placed.layout.Place(c);
    const chtype base = getattrs(stdscr);
    const std::wstring text = FromCp936(c.text);
    const bool focused = active && c.focused;
    if (!c.enabled) attron(A_DIM);
    if (IsClass(c, ui::kClassButton)) {
        const win::DWORD type = ButtonType(c);
        if (type == win::BS_GROUPBOX) {
            Frame(at);
            Put(at.row, at.col + 2, L" " + StripAccelerator(text) + L" ", at.cols - 4);
        } else if (type == kButtonCheckBox || type == win::BS_AUTOCHECKBOX) {
            if (focused) attron(A_REVERSE);
            Put(at.row, at.col, std::wstring(c.check == 1 ? L"[x] " : L"[ ] ") + StripAccelerator(text), at.cols + 4);
        } else {
            // A push button: the default one in double angle marks.
            const bool isDefault = type == win::BS_DEFPUSHBUTTON;
            const std::wstring label = StripAccelerator(text);
            const int width = std::max(at.cols, CellWidth(label) + 4);
            std::wstring shown = isDefault ? L"<" : L"[";
            const int pad = width - 2 - CellWidth(label);
            shown += std::wstring(static_cast<std::size_t>(std::max(0, pad / 2)), L' ') + label +
                     std::wstring(static_cast<std::size_t>(std::max(0, pad - pad / 2)), L' ');
            shown += isDefault ? L">" : L"]";
            if (focused) attron(A_REVERSE);
            if (isDefault && c.enabled) attron(A_BOLD);
            Put(at.row, at.col, shown, width);
        }
    } else if (IsClass(c, ui::kClassStatic)) {
        // As USER32 paints a static: the left, centred and right styles wrap
        // their text at the control's width, the others are cut there, and
        // nothing is drawn outside the control (a group box's frame beside
        // it stays whole).
        const bool wraps = WrapsText(c);
        const std::vector<std::wstring> lines = wraps ? Wrap(text, at.cols) : Lines(text);
        const int shown = wraps ? at.rows : 1;
        for (int i = 0; i < shown && i < static_cast<int>(lines.size()); ++i)
            Put(at.row + i, at.col, lines[i], at.cols);
    } else if (IsClass(c, ui::kClassEdit)) {
        attron(A_UNDERLINE);
        if (focused) attron(A_REVERSE);
        Fill(at.row, at.col, at.cols);
        Put(at.row, at.col, text, at.cols);
    } else if (IsClass(c, ui::kClassComboBox)) {
        if (focused) attron(A_REVERSE);
        attron(A_UNDERLINE);
        Fill(at.row, at.col, at.cols);
        Put(at.row, at.col, text, at.cols - 2);
        Put(at.row, at.col + at.cols - 1, L"▼", 1);
    } else if (IsClass(c, ui::kClassListView)) {
        DrawListView(c, at, active, placed.layout.unitsPerCol);
    } else if (IsClass(c, ui::kClassProgress)) {
        const int inner = std::max(1, at.cols - 7);
        const int pos = std::clamp(c.pos, 0, 100);
        const int filled = inner * pos / 100;
        std::wstring bar = L"[" + std::wstring(static_cast<std::size_t>(filled), L'#') +
                           std::wstring(static_cast<std::size_t>(inner - filled), L'.') + L"]";
        wchar_t percent[8];
        swprintf(percent, 8, L"%4d%%", pos);
        Put(at.row, at.col, bar + percent, at.cols);
    }
    attrset(base);
}

void TerminalRenderer::DrawListView(const ControlState& c, const CellRect& at, bool active, int unitsPerCol) {
    const chtype base = getattrs(stdscr);
    Frame(at);
    const int inner = at.cols - 2;
    // Column widths in cells, from the header's pixel widths.
    std::vector<int> widths;
    for (std::size_t i = 0; i < c.columns.size(); ++i) {
        widths.push_back(ListColumnCells(i < c.columnWidths.size() ? c.columnWidths[i] : 100, unitsPerCol));
    }
    if (widths.empty()) widths.push_back(inner);
    const auto cellsFrom = [&](std::size_t column) {
        int col = 0;
        for (std::size_t i = 0; i < column; ++i) col += widths[i] + 1;
        return col;
    };
    attron(A_BOLD);
    for (std::size_t i = 0; i < c.columns.size(); ++i) {
        const int start = cellsFrom(i) + 1;
        if (start >= inner) break;
        Put(at.row + 1, at.col + 1 + start, FromCp936(c.columns[i]), std::min(widths[i], inner - start));
    }
    attrset(base);
    const int visible = std::max(0, at.rows - 3);
    const int first = FirstVisibleRow(c, visible);
    const bool gridLines = (c.extendedStyle & 0x01) != 0;
    for (int line = 0; line < visible; ++line) {
        const int index = first + line;
        if (index >= static_cast<int>(c.rows.size())) break;
        const auto& row = c.rows[static_cast<std::size_t>(index)];
        const bool selected = (c.rowStates[static_cast<std::size_t>(index)] & win::LVIS_SELECTED) != 0;
        const int y = at.row + 2 + line;
        if (selected) attron(active && c.focused ? A_REVERSE : A_REVERSE | A_DIM);
        if (selected) Fill(y, at.col + 1, inner);
        // The selection also shows as a mark, for terminals without
        // attributes and for screen captures.
        Put(y, at.col + 1, selected ? L">" : L" ", 1);
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            const int start = cellsFrom(i) + 1;
            if (start >= inner) break;
            if (i > 0 && gridLines) mvaddch(y, at.col + start, ACS_VLINE);
            Put(y, at.col + 1 + start, FromCp936(row[i]), std::min(widths[i], inner - start));
        }
        attrset(base);
    }
    if (static_cast<int>(c.rows.size()) > first + visible) Put(at.row + at.rows - 1, at.col + inner - 2, L"↓", 1);
    if (first > 0) Put(at.row + 1, at.col + inner, L"↑", 1);
}

CellRect TerminalRenderer::PopupRect(const PlacedWindow& placed, const ControlState& combo) const {
    const CellRect at = placed.layout.Place(combo);
    CellRect r;
    r.row = at.row + 1;
    r.col = at.col;
    r.cols = at.cols;
    for (const std::string& item : combo.items) r.cols = std::max(r.cols, CellWidth(FromCp936(item)) + 2);
    r.rows = std::min(static_cast<int>(combo.items.size()), kMaxPopupItems) + 2;
    if (r.row + r.rows > LINES - 1) r.row = std::max(0, at.row - r.rows);
    return r;
}

void TerminalRenderer::DrawPopup(const PlacedWindow& placed, const ComboPopup& popup) {
    const ControlState* combo = placed.state.Control(popup.controlId);
    if (combo == nullptr) return;
    const CellRect r = PopupRect(placed, *combo);
    const chtype base = getattrs(stdscr);
    for (int i = 0; i < r.rows; ++i) Fill(r.row + i, r.col, r.cols);
    Frame(r);
    const int shown = r.rows - 2;
    const int first = std::max(0, popup.highlight - shown + 1);
    for (int i = 0; i < shown; ++i) {
        const int index = first + i;
        if (index >= static_cast<int>(combo->items.size())) break;
        if (index == popup.highlight) attron(A_REVERSE);
        Fill(r.row + 1 + i, r.col + 1, r.cols - 2);
        Put(r.row + 1 + i, r.col + 1, FromCp936(combo->items[static_cast<std::size_t>(index)]), r.cols - 2);
        attrset(base);
    }
}

std::optional<Hit> TerminalRenderer::HitTest(int row, int col) const {
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        const PlacedWindow& placed = *it;
        if (m_popup && placed.state.hwnd == m_popup->window) {
            if (const ControlState* combo = placed.state.Control(m_popup->controlId)) {
                const CellRect r = PopupRect(placed, *combo);
                if (r.Contains(row, col)) {
                    const int shown = r.rows - 2;
                    const int first = std::max(0, m_popup->highlight - shown + 1);
                    const int index = first + row - r.row - 1;
                    Hit hit{placed.state.hwnd, m_popup->controlId, -1, true, false};
                    if (row > r.row && row < r.row + r.rows - 1 && index < static_cast<int>(combo->items.size())) {
                        hit.listRow = index;
                    }
                    return hit;
                }
            }
        }
        const CellRect& f = placed.layout.frame;
        if (!f.Contains(row, col)) continue;
        if (row == f.row && col >= f.col + f.cols - 5 && col < f.col + f.cols - 2) {
            return Hit{placed.state.hwnd, 0, -1, false, true};
        }
        // Later controls lie on top (a list inside its group box).
        for (auto c = placed.state.controls.rbegin(); c != placed.state.controls.rend(); ++c) {
            if (!c->visible) continue;
            if (IsClass(*c, ui::kClassButton) && ButtonType(*c) == win::BS_GROUPBOX) continue;
            CellRect at = placed.layout.Place(*c);
            if (IsClass(*c, ui::kClassButton)) at.cols = std::max(at.cols, CellWidth(StripAccelerator(FromCp936(c->text))) + 4);
            if (!at.Contains(row, col)) continue;
            Hit hit{placed.state.hwnd, c->id, -1, false, false};
            if (IsClass(*c, ui::kClassListView)) {
                const int visible = std::max(0, at.rows - 3);
                const int line = row - at.row - 2;
                const int index = FirstVisibleRow(*c, visible) + line;
                if (line >= 0 && line < visible && index < static_cast<int>(c->rows.size())) hit.listRow = index;
            }
            return hit;
        }
        return Hit{placed.state.hwnd, 0, -1, false, false};
    }
    return std::nullopt;
}

}  // namespace terminal
