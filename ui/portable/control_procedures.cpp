#include "ui/portable/control_procedures.h"

#include <cstring>

#include "ui/dialog_template.h"

namespace ui::portable {

ControlKind ControlKindOfClass(const std::string& className) {
    if (className == kClassButton) return ControlKind::kButton;
    if (className == kClassStatic) return ControlKind::kStatic;
    if (className == kClassEdit) return ControlKind::kEdit;
    if (className == kClassComboBox) return ControlKind::kComboBox;
    if (className == kClassListView) return ControlKind::kListView;
    if (className == kClassProgress) return ControlKind::kProgress;
    return ControlKind::kNone;
}

void InitializeControl(PortableWindow& control) {
    control.enabled = (control.style & win::WS_DISABLED) == 0;
    switch (control.controlKind) {
    case ControlKind::kComboBox:
        // A drop-down list shows its selected item, never text of its own.
        control.text.clear();
        control.curSel = -1;
        break;
    case ControlKind::kProgress:
        control.rangeMin = 0;
        control.rangeMax = 100;
        control.pos = 0;
        break;
    default:
        break;
    }
}

std::size_t CopyText(const std::string& text, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    // Cut at a character boundary: half a CP936 character is garbage.
    std::size_t count = 0;
    while (count < text.size()) {
        const auto c = static_cast<unsigned char>(text[count]);
        const std::size_t width = c >= 0x81 && c <= 0xFE && count + 1 < text.size() ? 2 : 1;
        if (count + width > capacity - 1) break;
        count += width;
    }
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

bool HandleTextMessage(std::string& text, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out) {
    switch (message) {
    case win::WM_SETTEXT: {
        const char* newText = reinterpret_cast<const char*>(lParam);
        text = newText != nullptr ? newText : "";
        out.changed = true;
        out.result = 1;
        return true;
    }
    case win::WM_GETTEXT:
        out.result = static_cast<LRESULT>(CopyText(text, reinterpret_cast<char*>(lParam), wParam));
        return true;
    case win::WM_GETTEXTLENGTH:
        out.result = static_cast<LRESULT>(text.size());
        return true;
    default:
        return false;
    }
}

ControlOutcome HandleControlMessage(PortableWindow& control, UINT message, WPARAM wParam, LPARAM lParam) {
    ControlOutcome out;
    bool known = false;
    switch (control.controlKind) {
    case ControlKind::kButton:
        known = HandleButtonMessage(control, message, wParam, lParam, out);
        break;
    case ControlKind::kComboBox:
        known = HandleComboBoxMessage(control, message, wParam, lParam, out);
        break;
    case ControlKind::kListView:
        known = HandleListViewMessage(control, message, wParam, lParam, out);
        break;
    case ControlKind::kProgress:
        known = HandleProgressMessage(control, message, wParam, lParam, out);
        break;
    default:
        break;
    }
    // What the class leaves alone, the default window procedure answers.
    if (!known) HandleTextMessage(control.text, message, wParam, lParam, out);
    return out;
}

}  // namespace ui::portable
