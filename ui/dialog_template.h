// A dialog template as data: the one description of a dialog's layout.
// The portable toolkit builds its windows from it; the Windows build turns
// the same data into the resource script, so the two cannot drift apart.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ui/win_ui_types.h"

namespace ui {

// Window classes of the controls, as the resource compiler names them.
inline constexpr const char* kClassButton = "BUTTON";
inline constexpr const char* kClassStatic = "STATIC";
inline constexpr const char* kClassEdit = "EDIT";
inline constexpr const char* kClassComboBox = "COMBOBOX";
inline constexpr const char* kClassListView = "SysListView32";
inline constexpr const char* kClassProgress = "msctls_progress32";

// Controls without an id of their own carry this one (IDC_STATIC).
constexpr int kNoControlId = -1;

struct ControlTemplate {
    int id;
    const char* className;
    const char* text;  // CP936
    int x, y, cx, cy;  // dialog units
    win::DWORD style;  // WS_CHILD and WS_VISIBLE are implied
    win::DWORD exStyle;
};

struct DialogTemplate {
    int id;
    const char* caption;  // CP936
    int x, y, cx, cy;
    win::DWORD style;
    win::DWORD exStyle;
    const char* fontName;  // CP936
    int pointSize;
    std::vector<ControlTemplate> controls;
    // Dialog-init data: strings added to a combo box (control id, text) when
    // the dialog is created, before WM_INITDIALOG.
    std::vector<std::pair<int, const char*>> comboStrings;
};

}  // namespace ui
