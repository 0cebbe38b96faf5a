// What a person would see of the portable toolkit's windows: a copy taken
// under the toolkit's lock, for tests and the terminal renderer.
#pragma once

#include <string>
#include <vector>

#include "ui/toolkit.h"

namespace ui::portable {

struct ControlState {
    int id = 0;
    std::string className;
    win::DWORD style = 0;
    std::string text;  // CP936; a combo box's selected item
    bool enabled = true;
    bool visible = true;
    bool focused = false;
    int check = 0;                   // buttons
    std::vector<std::string> items;  // combo boxes
    int curSel = -1;
    std::vector<std::string> columns;  // list views: header texts
    std::vector<int> columnWidths;
    std::vector<std::vector<std::string>> rows;  // one text per column (at least one)
    std::vector<unsigned> rowStates;             // LVIS_ bits
    win::DWORD extendedStyle = 0;
    int pos = 0;  // progress bars
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct WindowState {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    bool isMessageBox = false;
    int templateId = 0;  // 0 for a message box
    std::string caption;
    std::string text;      // a message box's text
    unsigned boxType = 0;  // a message box's MB_ flags, icon included
    bool enabled = true;
    std::vector<ControlState> controls;  // template order
    std::vector<int> buttons;            // a message box's button ids
    int x = 0, y = 0, cx = 0, cy = 0;

    const ControlState* Control(int controlId) const {
        for (const ControlState& control : controls) {
            if (control.id == controlId) return &control;
        }
        return nullptr;
    }
};

}  // namespace ui::portable
