// The portable toolkit: in-memory windows with the semantics of Win32 USER,
// for the native build's tests and the terminal front end.
//
// Windows belong to the thread that runs their DialogBox or MessageBox.
// SendMessage from that thread calls the window procedure at once; from any
// other thread it queues the message for the owner and blocks until the
// owner has handled it, serving meanwhile what is sent to the sender's own
// windows. The owner serves sent messages, then posted ones, then user
// input, then due timers, in whatever modal loop it waits in (a dialog, a
// nested dialog, a message box).
//
// The user's side (Click, PressKey, ...) may be called from any thread: each
// action is queued as input for the window's thread and carried out there,
// like a person's, only on enabled windows. Snapshot, Version and WaitFor
// let a test or a renderer watch the windows without touching them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/portable/portable_window.h"
#include "ui/portable/window_state.h"
#include "ui/toolkit.h"

namespace ui::portable {

struct ThreadQueue;

class PortableToolkit : public Toolkit {
public:
    PortableToolkit();
    ~PortableToolkit() override;
    PortableToolkit(const PortableToolkit&) = delete;
    PortableToolkit& operator=(const PortableToolkit&) = delete;

    // Toolkit.
    INT_PTR DialogBox(const DialogTemplate& dialogTemplate, HWND parent, DialogProcedure& procedure) override;
    BOOL EndDialog(HWND dialog, INT_PTR result) override;
    LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT RegisterWindowMessage(const char* name) override;
    HWND GetDlgItem(HWND dialog, int controlId) override;
    BOOL EnableWindow(HWND window, BOOL enable) override;
    BOOL IsWindowEnabled(HWND window) override;
    BOOL SetWindowText(HWND window, const char* text) override;
    int GetWindowText(HWND window, char* buffer, int bufferSize) override;
    UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs) override;
    BOOL KillTimer(HWND window, UINT_PTR timerId) override;
    int MessageBox(HWND owner, const char* text, const char* caption, UINT type) override;
    void ServeSentMessages() override;
    void PumpMessages() override;

    // Watching. Snapshot lists the top-level windows on screen, oldest
    // first (a dialog that has ended is already hidden). Version grows on
    // every visible change.
    std::vector<WindowState> Snapshot() const;
    std::uint64_t Version() const;
    bool WaitForChange(std::uint64_t seenVersion, std::chrono::milliseconds timeout) const;
    bool WaitFor(const std::function<bool(const std::vector<WindowState>&)>& predicate,
                 std::chrono::milliseconds timeout) const;
    // The newest window on screen with this caption / the newest message
    // box; null when there is none.
    HWND FindWindowByCaption(const std::string& caption) const;
    HWND FindMessageBox() const;
    // The window's state while it is on screen; an empty state (null hwnd)
    // when it is not, so that a check of a window that never showed fails.
    WindowState WindowStateOf(HWND window) const;
    // The same, waiting up to `timeout` for it to appear.
    HWND WaitForWindowByCaption(const std::string& caption, std::chrono::milliseconds timeout) const;
    HWND WaitForMessageBox(std::chrono::milliseconds timeout) const;
    // Like WaitForInputIdle: true once the window's thread waits in a modal
    // loop with no message or input left, so that the input queued before
    // the call has been carried out (an action that opened a modal window
    // counts as done once that window's loop waits). False on timeout, for
    // instance while the thread is busy in a handler.
    bool WaitForInputIdle(HWND window, std::chrono::milliseconds timeout) const;
    // A readable dump of every window, for test failure messages.
    std::string Describe() const;

    // The user's side.
    void Click(HWND window, int controlId);
    void SelectComboItem(HWND window, int controlId, int index);
    void SelectListRow(HWND window, int controlId, int row);
    void PressKey(HWND window, unsigned virtualKey, bool shift = false);
    void CloseWindow(HWND window);
    // WM_COMMAND(buttonId) to the box, as a test driver answers a real one:
    // a button's id is that button's click; IDCANCEL is what Esc gives (OK
    // in a lone OK box, nothing in a Yes/No box).
    void AnswerMessageBox(HWND box, int buttonId);

private:
    // Windows (portable_toolkit.cpp).
    PortableWindow* FindLocked(WindowId id) const;
    PortableWindow* ChildLocked(const PortableWindow& top, int controlId) const;
    PortableWindow& CreateWindowLocked(WindowKind kind, WindowId parent);
    PortableWindow* CreateControlLocked(PortableWindow& top, const ControlTemplate& control);
    void DisableOwnerLocked(PortableWindow& top);
    void ReenableOwnerLocked(PortableWindow& top);
    void EndDialogLocked(PortableWindow& top, INT_PTR result);
    void DestroyTreeLocked(WindowId top);
    void TouchLocked();

    // Messages and loops (message_loop.cpp).
    ThreadQueue& QueueLocked(std::thread::id thread);
    LRESULT Dispatch(WindowId window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ControlProcedure(std::unique_lock<std::mutex>& lock, PortableWindow& control, UINT message,
                             WPARAM wParam, LPARAM lParam);
    void ServeSentLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& queue);
    void RunModalLoop(WindowId top);
    // Handles one thing waiting for the calling thread, in the loop's order;
    // false (with *nextDue the next timer's time) when nothing was.
    bool DispatchOneLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& queue, Clock::time_point* nextDue);
    bool DispatchDueTimerLocked(std::unique_lock<std::mutex>& lock, Clock::time_point* nextDue);
    void PostInput(HWND window, std::function<void()> action);

    // The dialog manager and the default procedures (dialog_manager.cpp).
    LRESULT DefDialogProcedure(WindowId dialog, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT MessageBoxProcedure(WindowId box, UINT message, WPARAM wParam, LPARAM lParam);
    std::vector<PortableWindow*> TabStopsLocked(const PortableWindow& top) const;
    void SetFocusLocked(PortableWindow& top, WindowId control);
    void HandleKey(WindowId top, unsigned virtualKey, bool shift);
    void HandleClick(WindowId top, int controlId);
    void HandleComboChoice(WindowId top, int controlId, int index);
    void HandleListRowClick(WindowId top, int controlId, int row);
    void HandleCloseBox(WindowId top);
    void HandleAnswer(WindowId top, int buttonId);

    // Watching (user_input.cpp).
    std::vector<WindowState> SnapshotLocked() const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::uint64_t m_version = 0;
    WindowId m_nextHandle;
    // Ordered by handle, which is creation order.
    std::map<WindowId, std::unique_ptr<PortableWindow>> m_windows;
    std::map<std::thread::id, std::unique_ptr<ThreadQueue>> m_queues;
    std::map<std::string, UINT> m_registeredMessages;
};

}  // namespace ui::portable
