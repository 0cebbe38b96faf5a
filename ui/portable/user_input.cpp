// The user's side of the portable toolkit: what a person sees, and what a
// person does, each action carried out on the window's own thread.
#include <sstream>

#include "ui/portable/portable_toolkit.h"
#include "ui/portable/thread_queue.h"

namespace ui::portable {
namespace {

ControlState StateOf(const PortableWindow& control, bool focused) {
    ControlState state;
    state.id = control.id;
    state.className = control.className;
    state.style = control.style;
    state.text = control.text;
    state.enabled = control.enabled;
    state.visible = (control.style & win::WS_VISIBLE) != 0;
    state.focused = focused;
    state.check = control.check;
    state.items = control.items;
    state.curSel = control.curSel;
    if (control.controlKind == ControlKind::kComboBox && control.curSel >= 0) {
        state.text = control.items[static_cast<std::size_t>(control.curSel)];
    }
    for (const ListColumn& column : control.columns) {
        state.columns.push_back(column.text);
        state.columnWidths.push_back(column.width);
    }
    const std::size_t cells = control.columns.empty() ? 1 : control.columns.size();
    for (const ListRow& row : control.rows) {
        std::vector<std::string> texts(cells);
        for (std::size_t i = 0; i < cells && i < row.texts.size(); ++i) texts[i] = row.texts[i];
        state.rows.push_back(std::move(texts));
        state.rowStates.push_back(row.state);
    }
    state.extendedStyle = control.extendedStyle;
    state.pos = control.pos;
    state.x = control.x;
    state.y = control.y;
    state.cx = control.cx;
    state.cy = control.cy;
    return state;
}

}  // namespace

std::vector<WindowState> PortableToolkit::SnapshotLocked() const {
    std::vector<WindowState> windows;
    for (const auto& [id, window] : m_windows) {
        if (window->kind == WindowKind::kControl || window->ended) continue;
        WindowState state;
        state.hwnd = ToHwnd(id);
        state.owner = ToHwnd(window->parent);
        state.isMessageBox = window->kind == WindowKind::kMessageBox;
        state.templateId = window->templateId;
        state.caption = window->text;
        state.boxType = window->boxType;
        state.enabled = window->enabled;
        state.buttons = window->buttons;
        state.x = window->x;
        state.y = window->y;
        state.cx = window->cx;
        state.cy = window->cy;
        for (WindowId child : window->children) {
            const PortableWindow* control = FindLocked(child);
            if (control == nullptr) continue;
            state.controls.push_back(StateOf(*control, window->focus == child));
            if (state.isMessageBox && control->id == 0xFFFF) state.text = control->text;
        }
        windows.push_back(std::move(state));
    }
    return windows;
}

std::vector<WindowState> PortableToolkit::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return SnapshotLocked();
}

std::uint64_t PortableToolkit::Version() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_version;
}

bool PortableToolkit::WaitForChange(std::uint64_t seenVersion, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_version > seenVersion; });
}

bool PortableToolkit::WaitFor(const std::function<bool(const std::vector<WindowState>&)>& predicate,
                              std::chrono::milliseconds timeout) const {
    const Clock::time_point deadline = Clock::now() + timeout;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const std::uint64_t seen = m_version;
        const std::vector<WindowState> windows = SnapshotLocked();
        // The predicate is the caller's code: never run it under our lock.
        lock.unlock();
        if (predicate(windows)) return true;
        lock.lock();
        if (!m_changed.wait_until(lock, deadline, [&] { return m_version > seen; })) return false;
    }
}

HWND PortableToolkit::FindWindowByCaption(const std::string& caption) const {
    HWND found = nullptr;
    for (const WindowState& window : Snapshot()) {
        if (window.caption == caption) found = window.hwnd;
    }
    return found;
}

HWND PortableToolkit::FindMessageBox() const {
    HWND found = nullptr;
    for (const WindowState& window : Snapshot()) {
        if (window.isMessageBox) found = window.hwnd;
    }
    return found;
}

WindowState PortableToolkit::WindowStateOf(HWND window) const {
    for (WindowState& state : Snapshot()) {
        if (state.hwnd == window) return std::move(state);
    }
    return {};
}

HWND PortableToolkit::WaitForWindowByCaption(const std::string& caption, std::chrono::milliseconds timeout) const {
    HWND found = nullptr;
    WaitFor(
        [&](const std::vector<WindowState>& windows) {
            for (const WindowState& window : windows) {
                if (window.caption == caption) found = window.hwnd;
            }
            return found != nullptr;
        },
        timeout);
    return found;
}

HWND PortableToolkit::WaitForMessageBox(std::chrono::milliseconds timeout) const {
    HWND found = nullptr;
    WaitFor(
        [&](const std::vector<WindowState>& windows) {
            for (const WindowState& window : windows) {
                if (window.isMessageBox) found = window.hwnd;
            }
            return found != nullptr;
        },
        timeout);
    return found;
}

bool PortableToolkit::WaitForInputIdle(HWND window, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    const PortableWindow* target = FindLocked(ToId(window));
    if (target == nullptr) return false;
    auto found = m_queues.find(target->thread);
    if (found == m_queues.end()) return false;
    const ThreadQueue& queue = *found->second;
    return m_changed.wait_for(lock, timeout, [&] {
        return queue.idle && queue.sent.empty() && queue.posted.empty() && queue.input.empty();
    });
}

std::string PortableToolkit::Describe() const {
    std::ostringstream out;
    for (const WindowState& window : Snapshot()) {
        out << (window.isMessageBox ? "message box " : "dialog ") << window.templateId << " \"" << window.caption
            << "\"" << (window.enabled ? "" : " (disabled)") << "\n";
        if (window.isMessageBox) out << "  text \"" << window.text << "\" type 0x" << std::hex << window.boxType
                                     << std::dec << "\n";
        for (const ControlState& control : window.controls) {
            out << "  " << control.id << " " << control.className << " \"" << control.text << "\""
                << (control.enabled ? "" : " disabled") << (control.focused ? " focused" : "");
            if (control.className == "BUTTON") out << " check=" << control.check;
            if (!control.items.empty()) out << " items=" << control.items.size() << " sel=" << control.curSel;
            for (std::size_t row = 0; row < control.rows.size(); ++row) {
                out << "\n    row " << row << " state=" << control.rowStates[row] << ":";
                for (const std::string& text : control.rows[row]) out << " \"" << text << "\"";
            }
            out << "\n";
        }
    }
    return out.str();
}

void PortableToolkit::Click(HWND window, int controlId) {
    PostInput(window, [this, top = ToId(window), controlId] { HandleClick(top, controlId); });
}

void PortableToolkit::SelectComboItem(HWND window, int controlId, int index) {
    PostInput(window, [this, top = ToId(window), controlId, index] { HandleComboChoice(top, controlId, index); });
}

void PortableToolkit::SelectListRow(HWND window, int controlId, int row) {
    PostInput(window, [this, top = ToId(window), controlId, row] { HandleListRowClick(top, controlId, row); });
}

void PortableToolkit::PressKey(HWND window, unsigned virtualKey, bool shift) {
    PostInput(window, [this, top = ToId(window), virtualKey, shift] { HandleKey(top, virtualKey, shift); });
}

void PortableToolkit::CloseWindow(HWND window) {
    PostInput(window, [this, top = ToId(window)] { HandleCloseBox(top); });
}

void PortableToolkit::AnswerMessageBox(HWND box, int buttonId) {
    PostInput(box, [this, top = ToId(box), buttonId] { HandleAnswer(top, buttonId); });
}

}  // namespace ui::portable
