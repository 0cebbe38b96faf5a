// The dialog manager of the portable toolkit: what IsDialogMessage and
// DefDlgProc do with keys, clicks and the close box, and the message box's
// own procedure.
#include "ui/portable/control_procedures.h"
#include "ui/portable/message_box_layout.h"
#include "ui/portable/portable_toolkit.h"

namespace ui::portable {
namespace {

WPARAM Command(int id, UINT notifyCode) {
    return static_cast<WPARAM>((static_cast<unsigned>(id) & 0xFFFF) | ((notifyCode & 0xFFFF) << 16));
}

int CommandId(WPARAM wParam) { return static_cast<int>(wParam & 0xFFFF); }

bool IsTabStop(const PortableWindow& control) {
    return control.enabled && (control.style & win::WS_VISIBLE) != 0 && (control.style & win::WS_TABSTOP) != 0;
}

}  // namespace

std::vector<PortableWindow*> PortableToolkit::TabStopsLocked(const PortableWindow& top) const {
    std::vector<PortableWindow*> stops;
    for (WindowId child : top.children) {
        PortableWindow* control = FindLocked(child);
        if (control != nullptr && IsTabStop(*control)) stops.push_back(control);
    }
    return stops;
}

void PortableToolkit::SetFocusLocked(PortableWindow& top, WindowId control) {
    if (top.focus == control) return;
    top.focus = control;
    TouchLocked();
}

LRESULT PortableToolkit::DefDialogProcedure(WindowId dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::mutex> lock(m_mutex);
    PortableWindow* top = FindLocked(dialog);
    if (top == nullptr) return 0;
    ControlOutcome out;
    if (HandleTextMessage(top->text, message, wParam, lParam, out)) {
        if (out.changed) TouchLocked();
        return out.result;
    }
    if (message == win::WM_CLOSE) {
        // DefDlgProc turns the close box into Cancel, posted; a disabled
        // Cancel button makes the close box do nothing.
        const PortableWindow* cancel = ChildLocked(*top, win::IDCANCEL);
        if (cancel != nullptr && !cancel->enabled) return 0;
        const WindowId cancelHandle = cancel != nullptr ? cancel->handle : 0;
        lock.unlock();
        PostMessage(ToHwnd(dialog), win::WM_COMMAND, Command(win::IDCANCEL, win::BN_CLICKED),
                    static_cast<LPARAM>(cancelHandle));
    }
    return 0;
}

LRESULT PortableToolkit::MessageBoxProcedure(WindowId boxId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortableWindow* box = FindLocked(boxId);
    if (box == nullptr) return 0;
    ControlOutcome out;
    if (HandleTextMessage(box->text, message, wParam, lParam, out)) {
        if (out.changed) TouchLocked();
        return out.result;
    }
    int answer = 0;
    if (message == win::WM_COMMAND) {
        const int id = CommandId(wParam);
        for (int button : box->buttons) {
            if (button == id) answer = id;
        }
        // Esc sends IDCANCEL; a box without Cancel maps it (OK) or ignores it.
        if (answer == 0 && id == win::IDCANCEL) answer = MessageBoxEscapeResult(box->boxType);
    } else if (message == win::WM_CLOSE) {
        answer = MessageBoxEscapeResult(box->boxType);
    }
    if (answer != 0 && !box->ended) EndDialogLocked(*box, answer);
    return 0;
}

void PortableToolkit::HandleKey(WindowId topId, unsigned virtualKey, bool shift) {
    std::unique_lock<std::mutex> lock(m_mutex);
    PortableWindow* top = FindLocked(topId);
    if (top == nullptr || !top->enabled || top->ended) return;
    PortableWindow* focus = FindLocked(top->focus);
    switch (virtualKey) {
    case win::VK_TAB: {
        const std::vector<PortableWindow*> stops = TabStopsLocked(*top);
        if (stops.empty()) return;
        std::size_t at = stops.size();
        for (std::size_t i = 0; i < stops.size(); ++i) {
            if (stops[i] == focus) at = i;
        }
        std::size_t next = 0;
        if (at == stops.size()) {
            next = shift ? stops.size() - 1 : 0;
        } else {
            next = shift ? (at + stops.size() - 1) % stops.size() : (at + 1) % stops.size();
        }
        SetFocusLocked(*top, stops[next]->handle);
        return;
    }
    case win::VK_RETURN: {
        // The focused push button, else the default push button (nothing
        // if that one is disabled), else IDOK.
        const PortableWindow* target = focus != nullptr && IsPushButton(*focus) ? focus : nullptr;
        if (target == nullptr) {
            for (WindowId child : top->children) {
                const PortableWindow* control = FindLocked(child);
                if (control != nullptr && control->controlKind == ControlKind::kButton &&
                    (control->style & win::BS_TYPEMASK) == win::BS_DEFPUSHBUTTON) {
                    target = control;
                    break;
                }
            }
            if (target != nullptr && !target->enabled) return;
        }
        const int id = target != nullptr ? target->id : win::IDOK;
        const PortableWindow* sender = target != nullptr ? target : ChildLocked(*top, win::IDOK);
        const auto senderHandle = static_cast<LPARAM>(sender != nullptr ? sender->handle : 0);
        lock.unlock();
        Dispatch(topId, win::WM_COMMAND, Command(id, win::BN_CLICKED), senderHandle);
        return;
    }
    case win::VK_ESCAPE: {
        // IDCANCEL, with the Cancel button's handle or none when there is
        // no such button; a disabled Cancel button makes Esc do nothing
        // (Windows beeps). As on Windows, where Wine differs
        // (docs/wine-differences.md).
        const PortableWindow* cancel = ChildLocked(*top, win::IDCANCEL);
        if (cancel != nullptr && !cancel->enabled) return;
        const auto cancelHandle = static_cast<LPARAM>(cancel != nullptr ? cancel->handle : 0);
        lock.unlock();
        Dispatch(topId, win::WM_COMMAND, Command(win::IDCANCEL, win::BN_CLICKED), cancelHandle);
        return;
    }
    case win::VK_SPACE:
        if (focus != nullptr && IsClickableButton(*focus)) {
            const WindowId button = focus->handle;
            lock.unlock();
            Dispatch(button, win::BM_CLICK, 0, 0);
        }
        return;
    case win::VK_UP:
    case win::VK_DOWN:
    case win::VK_LEFT:
    case win::VK_RIGHT: {
        if (focus == nullptr) return;
        const int delta = virtualKey == win::VK_UP || virtualKey == win::VK_LEFT ? -1 : 1;
        if (focus->controlKind == ControlKind::kComboBox) {
            if (!MoveComboSelection(*focus, delta)) return;
            TouchLocked();
            const WPARAM notify = Command(focus->id, win::CBN_SELCHANGE);
            const auto combo = static_cast<LPARAM>(focus->handle);
            lock.unlock();
            Dispatch(topId, win::WM_COMMAND, notify, combo);
        } else if (focus->controlKind == ControlKind::kListView &&
                   (virtualKey == win::VK_UP || virtualKey == win::VK_DOWN)) {
            if (MoveListSelection(*focus, delta)) TouchLocked();
        }
        return;
    }
    default:
        return;
    }
}

void PortableToolkit::HandleClick(WindowId topId, int controlId) {
    std::unique_lock<std::mutex> lock(m_mutex);
    PortableWindow* top = FindLocked(topId);
    if (top == nullptr || !top->enabled || top->ended) return;
    PortableWindow* control = ChildLocked(*top, controlId);
    if (control == nullptr || !control->enabled) return;
    if (control->controlKind == ControlKind::kButton) {
        const WindowId button = control->handle;
        lock.unlock();
        Dispatch(button, win::BM_CLICK, 0, 0);
        return;
    }
    // Other controls only take the focus from a click, if they can have it.
    if ((control->style & win::WS_TABSTOP) != 0) SetFocusLocked(*top, control->handle);
}

void PortableToolkit::HandleComboChoice(WindowId topId, int controlId, int index) {
    std::unique_lock<std::mutex> lock(m_mutex);
    PortableWindow* top = FindLocked(topId);
    if (top == nullptr || !top->enabled || top->ended) return;
    PortableWindow* combo = ChildLocked(*top, controlId);
    if (combo == nullptr || combo->controlKind != ControlKind::kComboBox) return;
    if (!ChooseComboItem(*combo, index)) return;
    SetFocusLocked(*top, combo->handle);
    TouchLocked();
    const WPARAM notify = Command(controlId, win::CBN_SELCHANGE);
    const auto comboHandle = static_cast<LPARAM>(combo->handle);
    lock.unlock();
    Dispatch(topId, win::WM_COMMAND, notify, comboHandle);
}

void PortableToolkit::HandleListRowClick(WindowId topId, int controlId, int row) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortableWindow* top = FindLocked(topId);
    if (top == nullptr || !top->enabled || top->ended) return;
    PortableWindow* list = ChildLocked(*top, controlId);
    if (list == nullptr || list->controlKind != ControlKind::kListView || !list->enabled) return;
    ClickListRow(*list, row);
    SetFocusLocked(*top, list->handle);
    TouchLocked();
}

void PortableToolkit::HandleAnswer(WindowId topId, int buttonId) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const PortableWindow* top = FindLocked(topId);
    if (top == nullptr || !top->enabled || top->ended || top->kind == WindowKind::kControl) return;
    const PortableWindow* button = ChildLocked(*top, buttonId);
    if (button != nullptr && !button->enabled) return;
    const auto sender = static_cast<LPARAM>(button != nullptr ? button->handle : 0);
    lock.unlock();
    Dispatch(topId, win::WM_COMMAND, Command(buttonId, win::BN_CLICKED), sender);
}

void PortableToolkit::HandleCloseBox(WindowId topId) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const PortableWindow* top = FindLocked(topId);
        if (top == nullptr || !top->enabled || top->ended || top->kind == WindowKind::kControl) return;
    }
    Dispatch(topId, win::WM_CLOSE, 0, 0);
}

}  // namespace ui::portable
