#include "ui/portable/portable_toolkit.h"

#include "ui/portable/control_procedures.h"
#include "ui/portable/message_box_layout.h"
#include "ui/portable/thread_queue.h"

namespace ui::portable {
namespace {

// Handles look like USER's: small, even, and never reused within a run,
// so that a stale handle finds no window instead of a newer one.
constexpr WindowId kFirstHandle = 0x10010;
constexpr WindowId kHandleStep = 4;
constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;
// Windows' own caption for a message box given none ("Error").
constexpr const char* kDefaultBoxCaption = "错误";

std::string OrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

PortableToolkit::PortableToolkit() : m_nextHandle(kFirstHandle) {}

PortableToolkit::~PortableToolkit() = default;

PortableWindow* PortableToolkit::FindLocked(WindowId id) const {
    auto found = m_windows.find(id);
    return found != m_windows.end() ? found->second.get() : nullptr;
}

PortableWindow* PortableToolkit::ChildLocked(const PortableWindow& top, int controlId) const {
    for (WindowId child : top.children) {
        PortableWindow* control = FindLocked(child);
        if (control != nullptr && control->id == controlId) return control;
    }
    return nullptr;
}

PortableWindow& PortableToolkit::CreateWindowLocked(WindowKind kind, WindowId parent) {
    auto window = std::make_unique<PortableWindow>();
    window->handle = m_nextHandle;
    m_nextHandle += kHandleStep;
    window->kind = kind;
    window->thread = std::this_thread::get_id();
    window->parent = parent;
    PortableWindow& created = *window;
    m_windows.emplace(created.handle, std::move(window));
    return created;
}

PortableWindow* PortableToolkit::CreateControlLocked(PortableWindow& top, const ControlTemplate& control) {
    PortableWindow& child = CreateWindowLocked(WindowKind::kControl, top.handle);
    child.controlKind = ControlKindOfClass(control.className);
    child.id = control.id;
    child.className = control.className;
    child.text = OrEmpty(control.text);
    child.style = control.style | win::WS_CHILD | win::WS_VISIBLE;
    child.exStyle = control.exStyle;
    child.x = control.x;
    child.y = control.y;
    child.cx = control.cx;
    child.cy = control.cy;
    InitializeControl(child);
    top.children.push_back(child.handle);
    if (child.controlKind == ControlKind::kListView) {
        PortableWindow& header = CreateWindowLocked(WindowKind::kControl, child.handle);
        header.controlKind = ControlKind::kHeader;
        header.className = "SysHeader32";
        header.style = win::WS_CHILD | win::WS_VISIBLE;
        child.header = header.handle;
    }
    return &child;
}

void PortableToolkit::DisableOwnerLocked(PortableWindow& top) {
    PortableWindow* owner = FindLocked(top.parent);
    if (owner == nullptr || !owner->enabled) return;
    owner->enabled = false;
    top.reenableOwner = true;
}

void PortableToolkit::ReenableOwnerLocked(PortableWindow& top) {
    if (!top.reenableOwner) return;
    top.reenableOwner = false;
    PortableWindow* owner = FindLocked(top.parent);
    if (owner != nullptr) owner->enabled = true;
}

void PortableToolkit::EndDialogLocked(PortableWindow& top, INT_PTR result) {
    top.ended = true;
    top.result = result;
    // As USER does, the owner comes back before the dialog is destroyed.
    ReenableOwnerLocked(top);
    TouchLocked();
    QueueLocked(top.thread).wake.notify_all();
}

void PortableToolkit::DestroyTreeLocked(WindowId topId) {
    PortableWindow* top = FindLocked(topId);
    if (top == nullptr) return;
    ReenableOwnerLocked(*top);
    std::vector<WindowId> doomed{topId};
    for (WindowId child : top->children) {
        doomed.push_back(child);
        if (PortableWindow* control = FindLocked(child); control != nullptr && control->header != 0) {
            doomed.push_back(control->header);
        }
    }
    // Whoever still waits on a message to these windows gets 0, as when a
    // window dies before its thread reads the message.
    ThreadQueue& queue = QueueLocked(top->thread);
    for (auto it = queue.sent.begin(); it != queue.sent.end();) {
        SentMessage* sent = *it;
        bool dead = false;
        for (WindowId id : doomed) dead = dead || sent->target == id;
        if (!dead) {
            ++it;
            continue;
        }
        it = queue.sent.erase(it);
        sent->result = 0;
        sent->done = true;
        sent->sender->wake.notify_all();
    }
    for (WindowId id : doomed) m_windows.erase(id);
    TouchLocked();
}

void PortableToolkit::TouchLocked() {
    ++m_version;
    m_changed.notify_all();
}

INT_PTR PortableToolkit::DialogBox(const DialogTemplate& dialogTemplate, HWND parent, DialogProcedure& procedure) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (parent != nullptr && FindLocked(ToId(parent)) == nullptr) return -1;
    // Like CreateDialog, fail on a control class that is not registered.
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.className == nullptr || ControlKindOfClass(control.className) == ControlKind::kNone) return -1;
    }
    PortableWindow& dialog = CreateWindowLocked(WindowKind::kDialog, ToId(parent));
    dialog.className = kDialogClass;
    dialog.templateId = dialogTemplate.id;
    dialog.text = OrEmpty(dialogTemplate.caption);
    dialog.style = dialogTemplate.style;
    dialog.exStyle = dialogTemplate.exStyle;
    dialog.enabled = (dialogTemplate.style & win::WS_DISABLED) == 0;
    dialog.x = dialogTemplate.x;
    dialog.y = dialogTemplate.y;
    dialog.cx = dialogTemplate.cx;
    dialog.cy = dialogTemplate.cy;
    dialog.procedure = &procedure;
    for (const ControlTemplate& control : dialogTemplate.controls) CreateControlLocked(dialog, control);
    for (const auto& [controlId, text] : dialogTemplate.comboStrings) {
        PortableWindow* combo = ChildLocked(dialog, controlId);
        if (combo == nullptr || combo->controlKind != ControlKind::kComboBox) continue;
        HandleControlMessage(*combo, win::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    DisableOwnerLocked(dialog);
    TouchLocked();
    const WindowId id = dialog.handle;
    std::vector<PortableWindow*> stops = TabStopsLocked(dialog);
    const WindowId firstStop = stops.empty() ? 0 : stops.front()->handle;
    lock.unlock();

    LRESULT focusWanted = 0;
    const bool handled =
        procedure.HandleDialogMessage(ToHwnd(id), win::WM_INITDIALOG, firstStop, 0, &focusWanted);
    lock.lock();
    if (handled && focusWanted != 0) {
        // Taken again: the handler may have enabled or disabled controls.
        if (PortableWindow* top = FindLocked(id); top != nullptr) {
            stops = TabStopsLocked(*top);
            if (!stops.empty()) SetFocusLocked(*top, stops.front()->handle);
        }
    }
    lock.unlock();

    RunModalLoop(id);

    LRESULT ignored = 0;
    procedure.HandleDialogMessage(ToHwnd(id), win::WM_DESTROY, 0, 0, &ignored);
    lock.lock();
    const PortableWindow* ended = FindLocked(id);
    const INT_PTR result = ended != nullptr ? ended->result : 0;
    DestroyTreeLocked(id);
    return result;
}

BOOL PortableToolkit::EndDialog(HWND dialog, INT_PTR result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortableWindow* top = FindLocked(ToId(dialog));
    if (top == nullptr || top->kind == WindowKind::kControl) return 0;
    EndDialogLocked(*top, result);
    return 1;
}

int PortableToolkit::MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    const std::vector<MessageBoxButton> buttons = MessageBoxButtons(type);
    if (buttons.empty()) return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (owner != nullptr && FindLocked(ToId(owner)) == nullptr) return 0;
    PortableWindow& box = CreateWindowLocked(WindowKind::kMessageBox, ToId(owner));
    const std::string message = OrEmpty(text);
    const MessageBoxLayout layout = LayOutMessageBox(message, buttons.size());
    box.className = kDialogClass;
    box.text = caption != nullptr ? caption : kDefaultBoxCaption;
    box.style = win::WS_POPUP | win::WS_CAPTION | win::WS_SYSMENU | win::DS_MODALFRAME;
    box.boxType = type;
    box.x = layout.box.x;
    box.y = layout.box.y;
    box.cx = layout.box.cx;
    box.cy = layout.box.cy;
    CreateControlLocked(box, {kMessageBoxTextId, kClassStatic, message.c_str(), layout.text.x, layout.text.y,
                              layout.text.cx, layout.text.cy, win::SS_LEFT, 0});
    const std::size_t defaultButton = MessageBoxDefaultButton(type, buttons.size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const Rect& at = layout.buttons[i];
        const win::DWORD style = win::WS_TABSTOP | (i == defaultButton ? win::BS_DEFPUSHBUTTON : win::BS_PUSHBUTTON);
        PortableWindow* button =
            CreateControlLocked(box, {buttons[i].id, kClassButton, buttons[i].text, at.x, at.y, at.cx, at.cy, style, 0});
        box.buttons.push_back(buttons[i].id);
        if (i == defaultButton) box.focus = button->handle;
    }
    DisableOwnerLocked(box);
    TouchLocked();
    const WindowId id = box.handle;
    lock.unlock();

    RunModalLoop(id);

    lock.lock();
    const PortableWindow* ended = FindLocked(id);
    const int result = ended != nullptr ? static_cast<int>(ended->result) : 0;
    DestroyTreeLocked(id);
    return result;
}

UINT PortableToolkit::RegisterWindowMessage(const char* name) {
    if (name == nullptr || *name == '\0') return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_registeredMessages.find(name);
    if (found != m_registeredMessages.end()) return found->second;
    const auto next = static_cast<UINT>(kFirstRegisteredMessage + m_registeredMessages.size());
    if (next > kLastRegisteredMessage) return 0;
    m_registeredMessages.emplace(name, next);
    return next;
}

HWND PortableToolkit::GetDlgItem(HWND dialog, int controlId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortableWindow* top = FindLocked(ToId(dialog));
    if (top == nullptr) return nullptr;
    const PortableWindow* control = ChildLocked(*top, controlId);
    return control != nullptr ? ToHwnd(control->handle) : nullptr;
}

BOOL PortableToolkit::EnableWindow(HWND window, BOOL enable) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortableWindow* target = FindLocked(ToId(window));
    if (target == nullptr) return 0;
    const bool wasDisabled = !target->enabled;
    if (target->enabled != (enable != 0)) {
        target->enabled = enable != 0;
        // A disabled window cannot keep the focus.
        if (!target->enabled && target->kind == WindowKind::kControl) {
            PortableWindow* top = FindLocked(target->parent);
            if (top != nullptr && top->focus == target->handle) top->focus = 0;
        }
        TouchLocked();
    }
    return wasDisabled ? 1 : 0;
}

BOOL PortableToolkit::IsWindowEnabled(HWND window) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortableWindow* target = FindLocked(ToId(window));
    return target != nullptr && target->enabled ? 1 : 0;
}

BOOL PortableToolkit::SetWindowText(HWND window, const char* text) {
    return SendMessage(window, win::WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? 1 : 0;
}

int PortableToolkit::GetWindowText(HWND window, char* buffer, int bufferSize) {
    if (buffer == nullptr || bufferSize <= 0) return 0;
    buffer[0] = '\0';
    return static_cast<int>(
        SendMessage(window, win::WM_GETTEXT, static_cast<WPARAM>(bufferSize), reinterpret_cast<LPARAM>(buffer)));
}

}  // namespace ui::portable
