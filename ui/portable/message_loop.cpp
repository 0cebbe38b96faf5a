#include <algorithm>

#include "ui/portable/control_procedures.h"
#include "ui/portable/portable_toolkit.h"
#include "ui/portable/thread_queue.h"

namespace ui::portable {
namespace {

// USER's bounds for a timer's period.
constexpr UINT kUserTimerMinimum = 10;
constexpr UINT kUserTimerMaximum = 0x7FFFFFFF;

constexpr UINT kHdmGetItemCount = win::HDM_GETITEMCOUNT;

}  // namespace

ThreadQueue& PortableToolkit::QueueLocked(std::thread::id thread) {
    std::unique_ptr<ThreadQueue>& queue = m_queues[thread];
    if (!queue) queue = std::make_unique<ThreadQueue>();
    return *queue;
}

LRESULT PortableToolkit::SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const PortableWindow* target = FindLocked(ToId(window));
    if (target == nullptr) return 0;
    if (target->thread == std::this_thread::get_id()) {
        lock.unlock();
        return Dispatch(ToId(window), message, wParam, lParam);
    }
    ThreadQueue& mine = QueueLocked(std::this_thread::get_id());
    ThreadQueue& theirs = QueueLocked(target->thread);
    SentMessage sent{ToId(window), message, wParam, lParam, &mine};
    theirs.sent.push_back(&sent);
    theirs.wake.notify_all();
    // While blocked, serve what others send to this thread's windows, or two
    // threads sending to each other would wait forever.
    while (!sent.done) {
        if (!mine.sent.empty()) {
            ServeSentLocked(lock, mine);
            continue;
        }
        mine.wake.wait(lock);
    }
    return sent.result;
}

BOOL PortableToolkit::PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortableWindow* target = FindLocked(ToId(window));
    if (target == nullptr) return 0;
    ThreadQueue& queue = QueueLocked(target->thread);
    queue.posted.push_back({ToId(window), message, wParam, lParam});
    queue.wake.notify_all();
    return 1;
}

void PortableToolkit::ServeSentMessages() {
    std::unique_lock<std::mutex> lock(m_mutex);
    ThreadQueue& queue = QueueLocked(std::this_thread::get_id());
    while (!queue.sent.empty()) ServeSentLocked(lock, queue);
}

void PortableToolkit::ServeSentLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& queue) {
    SentMessage* sent = queue.sent.front();
    queue.sent.pop_front();
    lock.unlock();
    const LRESULT result = Dispatch(sent->target, sent->message, sent->wParam, sent->lParam);
    lock.lock();
    sent->result = result;
    sent->done = true;
    sent->sender->wake.notify_all();
}

LRESULT PortableToolkit::Dispatch(WindowId window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::mutex> lock(m_mutex);
    PortableWindow* target = FindLocked(window);
    if (target == nullptr) return 0;
    switch (target->kind) {
    case WindowKind::kDialog: {
        DialogProcedure* procedure = target->procedure;
        lock.unlock();
        LRESULT result = 0;
        if (procedure->HandleDialogMessage(ToHwnd(window), message, wParam, lParam, &result)) return result;
        return DefDialogProcedure(window, message, wParam, lParam);
    }
    case WindowKind::kMessageBox:
        lock.unlock();
        return MessageBoxProcedure(window, message, wParam, lParam);
    case WindowKind::kControl:
        return ControlProcedure(lock, *target, message, wParam, lParam);
    }
    return 0;
}

LRESULT PortableToolkit::ControlProcedure(std::unique_lock<std::mutex>& lock, PortableWindow& control, UINT message,
                                          WPARAM wParam, LPARAM lParam) {
    if (control.controlKind == ControlKind::kHeader) {
        // The header's items are the list view's columns.
        const PortableWindow* list = FindLocked(control.parent);
        if (message == kHdmGetItemCount) return list != nullptr ? static_cast<LRESULT>(list->columns.size()) : 0;
        ControlOutcome out;
        HandleTextMessage(control.text, message, wParam, lParam, out);
        return out.result;
    }
    const ControlOutcome out = HandleControlMessage(control, message, wParam, lParam);
    const WindowId parent = control.parent;
    if (out.takeFocus) {
        if (PortableWindow* top = FindLocked(parent); top != nullptr) SetFocusLocked(*top, control.handle);
    }
    if (out.changed || out.takeFocus) TouchLocked();
    const WindowId self = control.handle;
    lock.unlock();
    if (out.notify) Dispatch(parent, win::WM_COMMAND, out.notifyWParam, static_cast<LPARAM>(self));
    return out.result;
}

bool PortableToolkit::DispatchDueTimerLocked(std::unique_lock<std::mutex>& lock, Clock::time_point* nextDue) {
    const std::thread::id self = std::this_thread::get_id();
    PortableWindow* dueWindow = nullptr;
    UINT_PTR dueTimer = 0;
    Clock::time_point earliest = Clock::time_point::max();
    for (const auto& [id, window] : m_windows) {
        if (window->thread != self) continue;
        for (const auto& [timerId, timer] : window->timers) {
            if (timer.due < earliest) {
                earliest = timer.due;
                dueWindow = window.get();
                dueTimer = timerId;
            }
        }
    }
    *nextDue = earliest;
    const Clock::time_point now = Clock::now();
    if (dueWindow == nullptr || earliest > now) return false;
    // One WM_TIMER per period at most: a slow handler gets no backlog.
    WindowTimer& timer = dueWindow->timers[dueTimer];
    timer.due = now + std::chrono::milliseconds(timer.intervalMs);
    const WindowId target = dueWindow->handle;
    lock.unlock();
    Dispatch(target, win::WM_TIMER, dueTimer, 0);
    lock.lock();
    return true;
}

bool PortableToolkit::DispatchOneLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& queue,
                                        Clock::time_point* nextDue) {
    if (!queue.sent.empty()) {
        ServeSentLocked(lock, queue);
        return true;
    }
    if (!queue.posted.empty()) {
        const PostedMessage posted = queue.posted.front();
        queue.posted.pop_front();
        lock.unlock();
        Dispatch(posted.target, posted.message, posted.wParam, posted.lParam);
        lock.lock();
        return true;
    }
    if (!queue.input.empty()) {
        std::function<void()> action = std::move(queue.input.front());
        queue.input.pop_front();
        lock.unlock();
        action();
        lock.lock();
        return true;
    }
    return DispatchDueTimerLocked(lock, nextDue);
}

void PortableToolkit::PumpMessages() {
    std::unique_lock<std::mutex> lock(m_mutex);
    ThreadQueue& queue = QueueLocked(std::this_thread::get_id());
    Clock::time_point nextDue;
    while (DispatchOneLocked(lock, queue, &nextDue)) {
    }
}

void PortableToolkit::RunModalLoop(WindowId top) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ThreadQueue& queue = QueueLocked(std::this_thread::get_id());
    for (;;) {
        const PortableWindow* window = FindLocked(top);
        if (window == nullptr || window->ended) return;
        Clock::time_point nextDue;
        if (DispatchOneLocked(lock, queue, &nextDue)) continue;
        queue.idle = true;
        m_changed.notify_all();
        if (nextDue == Clock::time_point::max()) {
            queue.wake.wait(lock);
        } else {
            queue.wake.wait_until(lock, nextDue);
        }
        queue.idle = false;
    }
}

void PortableToolkit::PostInput(HWND window, std::function<void()> action) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const PortableWindow* target = FindLocked(ToId(window));
    if (target == nullptr) return;
    ThreadQueue& queue = QueueLocked(target->thread);
    queue.input.push_back(std::move(action));
    queue.wake.notify_all();
}

UINT_PTR PortableToolkit::SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortableWindow* target = FindLocked(ToId(window));
    // As in USER, a window's timers are set by the window's own thread.
    if (target == nullptr || target->thread != std::this_thread::get_id()) return 0;
    const UINT interval = std::clamp(elapseMs, kUserTimerMinimum, kUserTimerMaximum);
    target->timers[timerId] = {interval, Clock::now() + std::chrono::milliseconds(interval)};
    QueueLocked(target->thread).wake.notify_all();
    return timerId != 0 ? timerId : 1;
}

BOOL PortableToolkit::KillTimer(HWND window, UINT_PTR timerId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    PortableWindow* target = FindLocked(ToId(window));
    if (target == nullptr || target->thread != std::this_thread::get_id()) return 0;
    return target->timers.erase(timerId) > 0 ? 1 : 0;
}

}  // namespace ui::portable
