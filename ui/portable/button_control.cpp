#include "ui/portable/control_procedures.h"

namespace ui::portable {
namespace {

win::DWORD ButtonType(const PortableWindow& button) { return button.style & win::BS_TYPEMASK; }

// BS_CHECKBOX, BS_AUTOCHECKBOX, BS_RADIOBUTTON, BS_3STATE, BS_AUTO3STATE,
// BS_AUTORADIOBUTTON: the types that keep a check state.
bool HasCheckState(const PortableWindow& button) {
    const win::DWORD type = ButtonType(button);
    return (type >= 0x2 && type <= 0x6) || type == 0x9;
}

}  // namespace

bool IsPushButton(const PortableWindow& window) {
    if (window.controlKind != ControlKind::kButton) return false;
    const win::DWORD type = ButtonType(window);
    return type == win::BS_PUSHBUTTON || type == win::BS_DEFPUSHBUTTON;
}

bool IsClickableButton(const PortableWindow& window) {
    return window.controlKind == ControlKind::kButton && ButtonType(window) != win::BS_GROUPBOX;
}

ControlOutcome ClickButton(PortableWindow& button) {
    ControlOutcome out;
    if (!button.enabled || !IsClickableButton(button)) return out;
    if (ButtonType(button) == win::BS_AUTOCHECKBOX) {
        button.check = button.check == win::BST_CHECKED ? win::BST_UNCHECKED : win::BST_CHECKED;
        out.changed = true;
    }
    out.takeFocus = true;
    out.notify = true;
    out.notifyWParam = static_cast<WPARAM>((button.id & 0xFFFF) | (win::BN_CLICKED << 16));
    return out;
}

bool HandleButtonMessage(PortableWindow& button, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out) {
    switch (message) {
    case win::BM_GETCHECK:
        out.result = HasCheckState(button) ? button.check : win::BST_UNCHECKED;
        return true;
    case win::BM_SETCHECK:
        if (HasCheckState(button) && button.check != static_cast<int>(wParam)) {
            button.check = static_cast<int>(wParam);
            out.changed = true;
        }
        out.result = 0;
        return true;
    case win::BM_CLICK:
        out = ClickButton(button);
        out.result = 0;
        return true;
    default:
        return false;
    }
}

}  // namespace ui::portable
