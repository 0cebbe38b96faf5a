#include "ui/portable/control_procedures.h"

#include <cstring>

namespace ui::portable {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

unsigned char FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// A sorted combo box orders its items without regard to case. The strings
// are CP936: the trail byte of a double-byte character is never folded.
int CompareNoCase(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        const bool pair = IsLeadByte(ca) && ca == cb && i + 1 < a.size() && i + 1 < b.size();
        if (pair) {
            const auto ta = static_cast<unsigned char>(a[i + 1]);
            const auto tb = static_cast<unsigned char>(b[i + 1]);
            if (ta != tb) return ta < tb ? -1 : 1;
            i += 2;
            continue;
        }
        const unsigned char fa = IsLeadByte(ca) ? ca : FoldAscii(ca);
        const unsigned char fb = IsLeadByte(cb) ? cb : FoldAscii(cb);
        if (fa != fb) return fa < fb ? -1 : 1;
        ++i;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool ValidIndex(const PortableWindow& combo, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < combo.items.size();
}

const std::string& SelectedText(const PortableWindow& combo) {
    static const std::string kEmpty;
    return ValidIndex(combo, combo.curSel) ? combo.items[static_cast<std::size_t>(combo.curSel)] : kEmpty;
}

int AddString(PortableWindow& combo, const char* text) {
    std::string item = text != nullptr ? text : "";
    std::size_t at = combo.items.size();
    if ((combo.style & win::CBS_SORT) != 0) {
        at = 0;
        while (at < combo.items.size() && CompareNoCase(combo.items[at], item) <= 0) ++at;
    }
    combo.items.insert(combo.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    // The selection stays on the item it was on.
    if (combo.curSel >= static_cast<int>(at)) ++combo.curSel;
    return static_cast<int>(at);
}

}  // namespace

bool HandleComboBoxMessage(PortableWindow& combo, UINT message, WPARAM wParam, LPARAM lParam, ControlOutcome& out) {
    const int index = static_cast<int>(wParam);
    switch (message) {
    case win::CB_ADDSTRING:
        out.result = AddString(combo, reinterpret_cast<const char*>(lParam));
        out.changed = true;
        return true;
    case win::CB_GETCOUNT:
        out.result = static_cast<LRESULT>(combo.items.size());
        return true;
    case win::CB_GETCURSEL:
        out.result = combo.curSel;
        return true;
    case win::CB_SETCURSEL: {
        // -1 or an index past the end clears the selection and reports CB_ERR.
        const int newSel = ValidIndex(combo, index) ? index : -1;
        out.changed = newSel != combo.curSel;
        combo.curSel = newSel;
        out.result = newSel >= 0 ? newSel : win::CB_ERR;
        return true;
    }
    case win::CB_GETLBTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!ValidIndex(combo, index) || buffer == nullptr) {
            out.result = win::CB_ERR;
            return true;
        }
        // The message carries no buffer size: the caller sized it with
        // CB_GETLBTEXTLEN, as on Windows.
        const std::string& item = combo.items[static_cast<std::size_t>(index)];
        std::memcpy(buffer, item.c_str(), item.size() + 1);
        out.result = static_cast<LRESULT>(item.size());
        return true;
    }
    case win::CB_GETLBTEXTLEN:
        out.result = ValidIndex(combo, index) ? static_cast<LRESULT>(combo.items[static_cast<std::size_t>(index)].size())
                                              : win::CB_ERR;
        return true;
    case win::CB_RESETCONTENT:
        out.changed = !combo.items.empty() || combo.curSel != -1;
        combo.items.clear();
        combo.curSel = -1;
        out.result = 0;
        return true;
    case win::WM_SETTEXT:
        // A drop-down list has no edit field to take the text.
        out.result = win::CB_ERR;
        return true;
    case win::WM_GETTEXT:
        out.result = static_cast<LRESULT>(CopyText(SelectedText(combo), reinterpret_cast<char*>(lParam), wParam));
        return true;
    case win::WM_GETTEXTLENGTH:
        out.result = static_cast<LRESULT>(SelectedText(combo).size());
        return true;
    default:
        return false;
    }
}

bool ChooseComboItem(PortableWindow& combo, int index) {
    if (!combo.enabled || !ValidIndex(combo, index)) return false;
    combo.curSel = index;
    return true;
}

bool MoveComboSelection(PortableWindow& combo, int delta) {
    if (!combo.enabled || combo.items.empty()) return false;
    int newSel = combo.curSel < 0 ? 0 : combo.curSel + delta;
    if (newSel < 0) newSel = 0;
    if (newSel >= static_cast<int>(combo.items.size())) newSel = static_cast<int>(combo.items.size()) - 1;
    if (newSel == combo.curSel) return false;
    combo.curSel = newSel;
    return true;
}

}  // namespace ui::portable
