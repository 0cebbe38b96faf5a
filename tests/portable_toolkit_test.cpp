// The portable toolkit's threading and window life: sent versus posted
// messages, nested modal loops, timers, message boxes, dead windows.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/portable/portable_toolkit.h"

namespace {

using namespace std::chrono_literals;
using ui::HWND;
using ui::portable::PortableToolkit;
using ui::portable::WindowState;
using win::LPARAM;
using win::LRESULT;
using win::UINT;
using win::WPARAM;

constexpr auto kWait = 5s;
constexpr UINT kPing = win::WM_USER + 1;
constexpr UINT kGo = win::WM_USER + 2;
constexpr UINT kPosted = win::WM_USER + 3;
constexpr UINT kSent = win::WM_USER + 4;

int LowWord(WPARAM value) { return static_cast<int>(value & 0xFFFF); }

// One-shot signal between test threads.
class Latch {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    bool Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, kWait, [&] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

struct Call {
    UINT message;
    WPARAM wParam;
    std::thread::id thread;
};

// A dialog procedure whose handlers a test sets before the dialog runs. By
// default it sets the focus on WM_INITDIALOG and ends on IDOK and IDCANCEL,
// as the dialog base class does.
class TestProcedure : public ui::DialogProcedure {
public:
    using Handler = std::function<bool(HWND, WPARAM, LPARAM, LRESULT*)>;

    explicit TestProcedure(PortableToolkit& toolkit) : m_toolkit(toolkit) {}

    void On(UINT message, Handler handler) { m_handlers[message] = std::move(handler); }

    bool HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_calls.push_back({message, wParam, std::this_thread::get_id()});
        }
        if (message == win::WM_INITDIALOG) m_hwnd = dialog;
        auto handler = m_handlers.find(message);
        if (handler != m_handlers.end()) return handler->second(dialog, wParam, lParam, result);
        if (message == win::WM_INITDIALOG) {
            *result = 1;
            return true;
        }
        if (message == win::WM_COMMAND && (LowWord(wParam) == win::IDOK || LowWord(wParam) == win::IDCANCEL)) {
            m_toolkit.EndDialog(dialog, LowWord(wParam));
            return true;
        }
        return false;
    }

    std::vector<Call> Calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::vector<UINT> Messages() const {
        std::vector<UINT> messages;
        for (const Call& call : Calls()) messages.push_back(call.message);
        return messages;
    }
    int Count(UINT message) const {
        int count = 0;
        for (const Call& call : Calls()) count += call.message == message ? 1 : 0;
        return count;
    }
    HWND Hwnd() const { return m_hwnd.load(); }

private:
    PortableToolkit& m_toolkit;
    std::map<UINT, Handler> m_handlers;
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::atomic<HWND> m_hwnd{nullptr};
};

// Runs one DialogBox on a thread of its own, as the installer's UI thread.
class ModalRun {
public:
    ModalRun(PortableToolkit& toolkit, ui::DialogTemplate dialogTemplate, ui::DialogProcedure& procedure)
        : m_toolkit(toolkit), m_template(std::move(dialogTemplate)), m_future(m_promise.get_future()) {
        m_thread = std::thread([this, &procedure] {
            m_threadId = std::this_thread::get_id();
            m_promise.set_value(m_toolkit.DialogBox(m_template, nullptr, procedure));
        });
    }
    ~ModalRun() {
        // A failed test must not hang the binary: end whatever is left open.
        while (m_future.valid() && m_future.wait_for(10ms) != std::future_status::ready) {
            for (const WindowState& window : m_toolkit.Snapshot()) m_toolkit.EndDialog(window.hwnd, -99);
        }
        m_thread.join();
    }
    win::INT_PTR Result() {
        if (m_future.wait_for(kWait) != std::future_status::ready) {
            ADD_FAILURE() << "the dialog did not end\n" << m_toolkit.Describe();
            return -12345;
        }
        return m_future.get();
    }
    std::thread::id ThreadId() {
        // Written before the thread's first window exists.
        return m_threadId;
    }

private:
    PortableToolkit& m_toolkit;
    const ui::DialogTemplate m_template;
    std::promise<win::INT_PTR> m_promise;
    std::future<win::INT_PTR> m_future;
    std::thread::id m_threadId;
    std::thread m_thread;
};

ui::DialogTemplate Template(int id, const char* caption) {
    ui::DialogTemplate dialogTemplate{};
    dialogTemplate.id = id;
    dialogTemplate.caption = caption;
    dialogTemplate.cx = 200;
    dialogTemplate.cy = 100;
    dialogTemplate.style = win::WS_POPUP | win::WS_CAPTION | win::WS_SYSMENU | win::DS_MODALFRAME;
    dialogTemplate.controls = {
        {1001, ui::kClassButton, "Go", 10, 10, 50, 14, win::WS_TABSTOP, 0},
        {win::IDCANCEL, ui::kClassButton, "Cancel", 70, 10, 50, 14, win::WS_TABSTOP, 0},
    };
    return dialogTemplate;
}

HWND WaitForDialog(PortableToolkit& toolkit, const char* caption) {
    HWND hwnd = toolkit.WaitForWindowByCaption(caption, kWait);
    EXPECT_NE(hwnd, nullptr) << "no window \"" << caption << "\"\n" << toolkit.Describe();
    return hwnd;
}

// Has a second UI thread send `message` to `target` and returns once the
// message is certainly queued for the target's thread: the helper serves our
// ping only while it waits in that SendMessage, so the ping's answer proves
// the message is queued.
class QueuedSender {
public:
    QueuedSender(PortableToolkit& toolkit, HWND target, UINT message)
        : m_toolkit(toolkit), m_procedure(toolkit) {
        m_procedure.On(kGo, [this, target, message](HWND, WPARAM, LPARAM, LRESULT* result) {
            m_started.Open();
            m_result = m_toolkit.SendMessage(target, message, 0, 0);
            m_returned.Open();
            *result = 0;
            return true;
        });
        m_procedure.On(kPing, [](HWND, WPARAM, LPARAM, LRESULT* result) {
            *result = 1;
            return true;
        });
        m_run = std::make_unique<ModalRun>(toolkit, Template(900, "helper"), m_procedure);
        HWND helper = WaitForDialog(toolkit, "helper");
        m_toolkit.PostMessage(helper, kGo, 0, 0);
        EXPECT_TRUE(m_started.Wait());
        EXPECT_EQ(m_toolkit.SendMessage(helper, kPing, 0, 0), 1);
        m_helper = helper;
    }
    // The helper's SendMessage result, once it has returned.
    LRESULT Finish() {
        EXPECT_TRUE(m_returned.Wait());
        m_toolkit.EndDialog(m_helper, 0);
        m_run->Result();
        return m_result;
    }

private:
    PortableToolkit& m_toolkit;
    TestProcedure m_procedure;
    std::unique_ptr<ModalRun> m_run;
    Latch m_started;
    HWND m_helper = nullptr;
    Latch m_returned;
    LRESULT m_result = -1;
};

class PortableToolkitTest : public ::testing::Test {
protected:
    PortableToolkit m_toolkit;
};

// --- Sent and posted messages ------------------------------------------------

TEST_F(PortableToolkitTest, SendOnTheOwnerThreadCallsTheProcedureAtOnce) {
    TestProcedure procedure(m_toolkit);
    std::vector<UINT> order;
    procedure.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT* result) {
        order.push_back(win::WM_INITDIALOG);
        m_toolkit.PostMessage(dialog, kPosted, 0, 0);
        EXPECT_EQ(m_toolkit.SendMessage(dialog, kSent, 0, 0), 5);
        order.push_back(0);  // after the send returned
        *result = 1;
        return true;
    });
    procedure.On(kSent, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        order.push_back(kSent);
        *result = 5;
        return true;
    });
    procedure.On(kPosted, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        order.push_back(kPosted);
        m_toolkit.EndDialog(dialog, 3);
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "direct"), procedure);
    EXPECT_EQ(run.Result(), 3);
    EXPECT_EQ(order, (std::vector<UINT>{win::WM_INITDIALOG, kSent, 0, kPosted}));
}

TEST_F(PortableToolkitTest, PostedMessagesArriveInOrderAndTimersOnlyWhenNoneWait) {
    TestProcedure procedure(m_toolkit);
    procedure.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT* result) {
        m_toolkit.SetTimer(dialog, 1, 10);
        for (WPARAM i = 1; i <= 3; ++i) m_toolkit.PostMessage(dialog, kPosted, i, 0);
        *result = 1;
        return true;
    });
    procedure.On(kPosted, [&](HWND, WPARAM wParam, LPARAM, LRESULT*) {
        // Let the timer fall due while the other posted messages still wait.
        if (wParam == 1) std::this_thread::sleep_for(30ms);
        return true;
    });
    procedure.On(win::WM_TIMER, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.KillTimer(dialog, 1);
        m_toolkit.EndDialog(dialog, 0);
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "posted"), procedure);
    EXPECT_EQ(run.Result(), 0);

    std::vector<WPARAM> seen;
    for (const Call& call : procedure.Calls()) {
        if (call.message == kPosted) seen.push_back(call.wParam);
        if (call.message == win::WM_TIMER) seen.push_back(100);
    }
    EXPECT_EQ(seen, (std::vector<WPARAM>{1, 2, 3, 100}));
}

TEST_F(PortableToolkitTest, SentMessagesAreServedBeforePostedOnes) {
    TestProcedure procedure(m_toolkit);
    Latch busy;
    Latch release;
    procedure.On(kGo, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.PostMessage(dialog, kPosted, 0, 0);
        busy.Open();
        EXPECT_TRUE(release.Wait());
        return true;
    });
    procedure.On(kSent, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        *result = 9;
        return true;
    });
    procedure.On(kPosted, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.EndDialog(dialog, 0);
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "busy"), procedure);
    HWND dialog = WaitForDialog(m_toolkit, "busy");
    m_toolkit.PostMessage(dialog, kGo, 0, 0);
    ASSERT_TRUE(busy.Wait());
    QueuedSender sender(m_toolkit, dialog, kSent);  // queued behind kPosted
    release.Open();
    EXPECT_EQ(sender.Finish(), 9);
    EXPECT_EQ(run.Result(), 0);

    std::vector<UINT> order;
    for (UINT message : procedure.Messages()) {
        if (message == kSent || message == kPosted) order.push_back(message);
    }
    EXPECT_EQ(order, (std::vector<UINT>{kSent, kPosted}));
}

TEST_F(PortableToolkitTest, TwoUiThreadsSendingToEachOtherDoNotDeadlock) {
    TestProcedure first(m_toolkit);
    TestProcedure second(m_toolkit);
    std::atomic<HWND> secondHwnd{nullptr};
    first.On(kGo, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        // Blocked here, this thread must still serve second's send to it.
        *result = m_toolkit.SendMessage(secondHwnd.load(), kPing, 0, 0);
        return true;
    });
    first.On(kSent, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        *result = 20;
        return true;
    });
    second.On(kPing, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        *result = m_toolkit.SendMessage(first.Hwnd(), kSent, 0, 0) + 1;
        return true;
    });
    ModalRun firstRun(m_toolkit, Template(100, "first"), first);
    ModalRun secondRun(m_toolkit, Template(101, "second"), second);
    HWND firstHwnd = WaitForDialog(m_toolkit, "first");
    secondHwnd = WaitForDialog(m_toolkit, "second");

    EXPECT_EQ(m_toolkit.SendMessage(firstHwnd, kGo, 0, 0), 21);
    for (const Call& call : first.Calls()) EXPECT_EQ(call.thread, firstRun.ThreadId());
    for (const Call& call : second.Calls()) EXPECT_EQ(call.thread, secondRun.ThreadId());

    m_toolkit.PostMessage(firstHwnd, win::WM_COMMAND, win::IDCANCEL, 0);
    m_toolkit.PostMessage(secondHwnd, win::WM_COMMAND, win::IDCANCEL, 0);
    EXPECT_EQ(firstRun.Result(), win::IDCANCEL);
    EXPECT_EQ(secondRun.Result(), win::IDCANCEL);
}

TEST_F(PortableToolkitTest, AHandlerWaitingForAWorkerServesTheWorkersSends) {
    TestProcedure procedure(m_toolkit);
    std::thread::id pingThread;
    procedure.On(kPing, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        pingThread = std::this_thread::get_id();
        *result = 8;
        return true;
    });
    procedure.On(kGo, [&](HWND dialog, WPARAM, LPARAM, LRESULT* result) {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        LRESULT answer = 0;
        std::thread worker([&] {
            const LRESULT sent = m_toolkit.SendMessage(dialog, kPing, 0, 0);
            std::lock_guard<std::mutex> lock(mutex);
            answer = sent;
            done = true;
            finished.notify_all();
        });
        // The wait loop of a thread whose worker reports by sent messages.
        std::unique_lock<std::mutex> lock(mutex);
        while (!done) {
            lock.unlock();
            m_toolkit.ServeSentMessages();
            lock.lock();
            finished.wait_for(lock, 1ms, [&] { return done; });
        }
        lock.unlock();
        worker.join();
        *result = answer;
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "waiting"), procedure);
    HWND dialog = WaitForDialog(m_toolkit, "waiting");
    EXPECT_EQ(m_toolkit.SendMessage(dialog, kGo, 0, 0), 8);
    EXPECT_EQ(pingThread, run.ThreadId());
    m_toolkit.ServeSentMessages();  // nothing sent to this thread: returns at once
    m_toolkit.CloseWindow(dialog);
    EXPECT_EQ(run.Result(), win::IDCANCEL);
}

TEST_F(PortableToolkitTest, RegisteredMessagesAreNumberedByName) {
    const UINT first = m_toolkit.RegisterWindowMessage("MyUpdateData");
    EXPECT_GE(first, 0xC000u);
    EXPECT_EQ(m_toolkit.RegisterWindowMessage("MyUpdateData"), first);
    EXPECT_NE(m_toolkit.RegisterWindowMessage("Other"), first);

    UINT fromThread = 0;
    std::thread([&] { fromThread = m_toolkit.RegisterWindowMessage("MyUpdateData"); }).join();
    EXPECT_EQ(fromThread, first);
}

// --- Modal dialogs -------------------------------------------------------------

TEST_F(PortableToolkitTest, EndDialogDuringInitDialogEndsWithoutALoop) {
    TestProcedure procedure(m_toolkit);
    procedure.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT* result) {
        m_toolkit.PostMessage(dialog, kPosted, 0, 0);
        EXPECT_TRUE(m_toolkit.EndDialog(dialog, 77));
        *result = 1;
        return true;
    });
    const ui::DialogTemplate dialogTemplate = Template(100, "brief");
    EXPECT_EQ(m_toolkit.DialogBox(dialogTemplate, nullptr, procedure), 77);
    // The posted message died with the window; WM_DESTROY came last.
    EXPECT_EQ(procedure.Messages(), (std::vector<UINT>{win::WM_INITDIALOG, win::WM_DESTROY}));
    EXPECT_TRUE(m_toolkit.Snapshot().empty());
}

TEST_F(PortableToolkitTest, DialogBoxWithAnUnknownControlClassAndMessageBoxOfUnknownTypeFail) {
    TestProcedure procedure(m_toolkit);
    ui::DialogTemplate dialogTemplate = Template(100, "bad");
    dialogTemplate.controls.push_back({1005, "RichEdit20A", "", 0, 0, 10, 10, 0, 0});
    EXPECT_EQ(m_toolkit.DialogBox(dialogTemplate, nullptr, procedure), -1);
    EXPECT_EQ(procedure.Count(win::WM_INITDIALOG), 0);
    EXPECT_EQ(m_toolkit.MessageBox(nullptr, "x", "y", 0x0F), 0);
    EXPECT_TRUE(m_toolkit.Snapshot().empty());
}

TEST_F(PortableToolkitTest, NestedDialogDisablesItsParentAndStillServesSentMessages) {
    TestProcedure outer(m_toolkit);
    TestProcedure inner(m_toolkit);
    const ui::DialogTemplate outerTemplate = Template(100, "outer");
    const ui::DialogTemplate innerTemplate = Template(101, "inner");
    win::INT_PTR innerResult = 0;
    outer.On(kGo, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        innerResult = m_toolkit.DialogBox(innerTemplate, dialog, inner);
        return true;
    });
    outer.On(kPing, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        *result = 11;
        return true;
    });
    ModalRun run(m_toolkit, outerTemplate, outer);
    HWND outerHwnd = WaitForDialog(m_toolkit, "outer");
    EXPECT_TRUE(m_toolkit.IsWindowEnabled(outerHwnd));
    m_toolkit.PostMessage(outerHwnd, kGo, 0, 0);
    HWND innerHwnd = WaitForDialog(m_toolkit, "inner");

    EXPECT_FALSE(m_toolkit.IsWindowEnabled(outerHwnd));
    EXPECT_EQ(m_toolkit.SendMessage(outerHwnd, kPing, 0, 0), 11);  // served by the inner loop
    const std::vector<WindowState> windows = m_toolkit.Snapshot();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[1].owner, outerHwnd);
    EXPECT_EQ(windows[1].templateId, 101);

    // A click on the disabled parent does nothing.
    m_toolkit.Click(outerHwnd, win::IDCANCEL);
    m_toolkit.Click(innerHwnd, win::IDCANCEL);
    EXPECT_TRUE(m_toolkit.WaitFor([&](const std::vector<WindowState>& now) { return now.size() == 1; }, kWait));
    EXPECT_TRUE(m_toolkit.IsWindowEnabled(outerHwnd));
    EXPECT_EQ(outer.Count(win::WM_COMMAND), 0);

    m_toolkit.Click(outerHwnd, win::IDCANCEL);
    EXPECT_EQ(run.Result(), win::IDCANCEL);
    EXPECT_EQ(innerResult, win::IDCANCEL);
}

TEST_F(PortableToolkitTest, AParentDisabledBeforehandStaysDisabledAfterItsChild) {
    TestProcedure outer(m_toolkit);
    TestProcedure inner(m_toolkit);
    const ui::DialogTemplate outerTemplate = Template(100, "outer");
    const ui::DialogTemplate innerTemplate = Template(101, "inner");
    bool enabledAfter = true;
    outer.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.EnableWindow(dialog, 0);
        inner.On(win::WM_INITDIALOG, [&](HWND child, WPARAM, LPARAM, LRESULT*) {
            m_toolkit.EndDialog(child, 1);
            return true;
        });
        m_toolkit.DialogBox(innerTemplate, dialog, inner);
        enabledAfter = m_toolkit.IsWindowEnabled(dialog) != 0;
        m_toolkit.EndDialog(dialog, 0);
        return true;
    });
    EXPECT_EQ(m_toolkit.DialogBox(outerTemplate, nullptr, outer), 0);
    EXPECT_FALSE(enabledAfter);
}

TEST_F(PortableToolkitTest, ADeadWindowAnswersNothing) {
    TestProcedure procedure(m_toolkit);
    HWND dialog = nullptr;
    HWND button = nullptr;
    procedure.On(win::WM_INITDIALOG, [&](HWND hwnd, WPARAM, LPARAM, LRESULT*) {
        dialog = hwnd;
        button = m_toolkit.GetDlgItem(hwnd, 1001);
        m_toolkit.EndDialog(hwnd, 0);
        return true;
    });
    const ui::DialogTemplate dialogTemplate = Template(100, "gone");
    ASSERT_EQ(m_toolkit.DialogBox(dialogTemplate, nullptr, procedure), 0);
    ASSERT_NE(button, nullptr);

    // From another thread too: nothing may block on a window that is gone.
    std::thread([&] {
        EXPECT_EQ(m_toolkit.SendMessage(dialog, kPing, 0, 0), 0);
        EXPECT_EQ(m_toolkit.SendMessage(button, win::WM_GETTEXTLENGTH, 0, 0), 0);
    }).join();
    EXPECT_EQ(m_toolkit.SendMessage(dialog, kPing, 0, 0), 0);
    EXPECT_EQ(m_toolkit.PostMessage(dialog, kPing, 0, 0), 0);
    EXPECT_EQ(m_toolkit.GetDlgItem(dialog, 1001), nullptr);
    EXPECT_EQ(m_toolkit.EnableWindow(button, 1), 0);
    EXPECT_EQ(m_toolkit.IsWindowEnabled(button), 0);
    EXPECT_EQ(m_toolkit.EndDialog(dialog, 1), 0);
    char text[8] = "x";
    EXPECT_EQ(m_toolkit.GetWindowText(button, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "");
    // Nor can it own a dialog or a message box.
    EXPECT_EQ(m_toolkit.DialogBox(dialogTemplate, dialog, procedure), -1);
    EXPECT_EQ(m_toolkit.MessageBox(dialog, "x", "y", win::MB_OK), 0);
    EXPECT_EQ(procedure.Count(win::WM_INITDIALOG), 1);
    EXPECT_TRUE(m_toolkit.Snapshot().empty());
}

TEST_F(PortableToolkitTest, ASenderWaitingOnAWindowThatDiesGetsZero) {
    TestProcedure procedure(m_toolkit);
    Latch busy;
    Latch release;
    procedure.On(kGo, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        busy.Open();
        EXPECT_TRUE(release.Wait());
        m_toolkit.EndDialog(dialog, 5);
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "dying"), procedure);
    HWND dialog = WaitForDialog(m_toolkit, "dying");
    m_toolkit.PostMessage(dialog, kGo, 0, 0);
    ASSERT_TRUE(busy.Wait());
    QueuedSender sender(m_toolkit, dialog, kPing);
    release.Open();
    EXPECT_EQ(run.Result(), 5);
    EXPECT_EQ(sender.Finish(), 0);
    EXPECT_EQ(procedure.Count(kPing), 0);
}

// --- Timers ----------------------------------------------------------------------

TEST_F(PortableToolkitTest, ATimerRepeatsOnTheWindowThreadUntilKilledAndTheSameIdReplacesIt) {
    TestProcedure procedure(m_toolkit);
    int ticks = 0;
    procedure.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.SetTimer(dialog, 7, 60000);  // replaced at once: no test waits a minute
        EXPECT_EQ(m_toolkit.SetTimer(dialog, 7, 1), 7u);
        m_toolkit.SetTimer(dialog, 2, 1);
        EXPECT_TRUE(m_toolkit.KillTimer(dialog, 2));
        EXPECT_FALSE(m_toolkit.KillTimer(dialog, 2));
        EXPECT_FALSE(m_toolkit.KillTimer(dialog, 99));
        return true;
    });
    procedure.On(win::WM_TIMER, [&](HWND dialog, WPARAM wParam, LPARAM, LRESULT*) {
        if (wParam == 8) {
            m_toolkit.EndDialog(dialog, win::IDOK);
            return true;
        }
        EXPECT_EQ(wParam, 7u);
        if (++ticks == 3) {
            EXPECT_TRUE(m_toolkit.KillTimer(dialog, 7));
            // Two periods of the old timer pass before the new one is due:
            // a live timer 7 would tick again first.
            std::this_thread::sleep_for(20ms);
            m_toolkit.SetTimer(dialog, 8, 10);
        }
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "ticking"), procedure);
    EXPECT_EQ(run.Result(), win::IDOK);
    EXPECT_EQ(ticks, 3);
    for (const Call& call : procedure.Calls()) EXPECT_EQ(call.thread, run.ThreadId());
}

TEST_F(PortableToolkitTest, TimersDieWithTheirWindowAndBelongToItsThread) {
    TestProcedure outer(m_toolkit);
    TestProcedure inner(m_toolkit);
    const ui::DialogTemplate outerTemplate = Template(100, "outer");
    const ui::DialogTemplate innerTemplate = Template(101, "inner");
    HWND innerHwnd = nullptr;
    int outerTicks = 0;
    inner.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        innerHwnd = dialog;
        m_toolkit.SetTimer(dialog, 1, 10);
        return true;
    });
    inner.On(win::WM_TIMER, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.EndDialog(dialog, 0);
        return true;
    });
    outer.On(win::WM_INITDIALOG, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        m_toolkit.DialogBox(innerTemplate, dialog, inner);
        EXPECT_EQ(m_toolkit.SetTimer(innerHwnd, 1, 10), 0u);
        EXPECT_EQ(m_toolkit.KillTimer(innerHwnd, 1), 0);
        m_toolkit.SetTimer(dialog, 2, 10);
        return true;
    });
    outer.On(win::WM_TIMER, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        if (++outerTicks == 3) m_toolkit.EndDialog(dialog, 0);
        return true;
    });
    ModalRun run(m_toolkit, outerTemplate, outer);
    HWND outerHwnd = WaitForDialog(m_toolkit, "outer");
    // Only the window's own thread may set or kill its timers.
    EXPECT_EQ(m_toolkit.SetTimer(outerHwnd, 5, 10), 0u);
    EXPECT_EQ(m_toolkit.KillTimer(outerHwnd, 2), 0);
    EXPECT_EQ(run.Result(), 0);
    EXPECT_EQ(inner.Count(win::WM_TIMER), 1);
    EXPECT_EQ(inner.Messages().back(), static_cast<UINT>(win::WM_DESTROY));
    EXPECT_EQ(outer.Count(win::WM_TIMER), 3);
}

// --- Message boxes -----------------------------------------------------------

TEST_F(PortableToolkitTest, AMessageBoxIsAnOwnedWindowAnsweredFromAnotherThread) {
    TestProcedure procedure(m_toolkit);
    int answer = 0;
    procedure.On(kGo, [&](HWND dialog, WPARAM, LPARAM, LRESULT*) {
        answer = m_toolkit.MessageBox(dialog, "Port busy", "Serial", win::MB_RETRYCANCEL | win::MB_ICONWARNING);
        m_toolkit.EndDialog(dialog, 0);
        return true;
    });
    procedure.On(kPing, [&](HWND, WPARAM, LPARAM, LRESULT* result) {
        *result = 3;
        return true;
    });
    ModalRun run(m_toolkit, Template(100, "owner"), procedure);
    HWND dialog = WaitForDialog(m_toolkit, "owner");
    m_toolkit.PostMessage(dialog, kGo, 0, 0);
    HWND box = m_toolkit.WaitForMessageBox(kWait);
    ASSERT_NE(box, nullptr);

    const std::vector<WindowState> windows = m_toolkit.Snapshot();
    ASSERT_EQ(windows.size(), 2u);
    const WindowState& state = windows[1];
    EXPECT_TRUE(state.isMessageBox);
    EXPECT_EQ(state.owner, dialog);
    EXPECT_EQ(state.caption, "Serial");
    EXPECT_EQ(state.text, "Port busy");
    EXPECT_EQ(state.boxType, win::MB_RETRYCANCEL | win::MB_ICONWARNING);
    EXPECT_EQ(state.buttons, (std::vector<int>{win::IDRETRY, win::IDCANCEL}));
    EXPECT_FALSE(windows[0].enabled);
    char text[32] = {};
    EXPECT_EQ(m_toolkit.GetWindowText(m_toolkit.GetDlgItem(box, 0xFFFF), text, sizeof(text)), 9);
    EXPECT_STREQ(text, "Port busy");

    // The box's loop serves what is sent to its owner's thread.
    EXPECT_EQ(m_toolkit.SendMessage(dialog, kPing, 0, 0), 3);
    m_toolkit.AnswerMessageBox(box, win::IDRETRY);
    EXPECT_EQ(run.Result(), 0);
    EXPECT_EQ(answer, win::IDRETRY);
    EXPECT_TRUE(m_toolkit.Snapshot().empty());
}

TEST_F(PortableToolkitTest, MessageBoxKeysCloseBoxAndAnswersFollowItsButtons) {
    constexpr unsigned kCloseBox = 0;
    constexpr unsigned kAnswer = 0x10000;  // plus the button a test driver answers with
    struct Case {
        UINT type;
        std::vector<unsigned> actions;
        int expected;
    };
    const Case cases[] = {
        {win::MB_OK, {win::VK_ESCAPE}, win::IDOK},
        {win::MB_OK, {kCloseBox}, win::IDOK},
        {win::MB_OK, {kAnswer + win::IDCANCEL}, win::IDOK},
        {win::MB_OKCANCEL, {win::VK_ESCAPE}, win::IDCANCEL},
        {win::MB_RETRYCANCEL, {kCloseBox}, win::IDCANCEL},
        {win::MB_RETRYCANCEL, {win::VK_RETURN}, win::IDRETRY},
        {win::MB_YESNO | 0x100 /*MB_DEFBUTTON2*/, {win::VK_RETURN}, win::IDNO},
        {win::MB_YESNOCANCEL, {win::VK_TAB, win::VK_SPACE}, win::IDNO},
        // Without a Cancel button, Escape, the close box and IDCANCEL do nothing.
        {win::MB_YESNO, {win::VK_ESCAPE, kCloseBox, kAnswer + win::IDCANCEL, kAnswer + win::IDNO}, win::IDNO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " first action " << c.actions[0]);
        std::promise<int> answer;
        std::thread ui([&] { answer.set_value(m_toolkit.MessageBox(nullptr, "text", nullptr, c.type)); });
        HWND box = m_toolkit.WaitForMessageBox(kWait);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(m_toolkit.Snapshot()[0].caption, "错误");
        for (unsigned action : c.actions) {
            if (action == kCloseBox) {
                m_toolkit.CloseWindow(box);
            } else if (action >= kAnswer) {
                m_toolkit.AnswerMessageBox(box, static_cast<int>(action - kAnswer));
            } else {
                m_toolkit.PressKey(box, action);
            }
        }
        std::future<int> result = answer.get_future();
        if (result.wait_for(kWait) != std::future_status::ready) {
            ADD_FAILURE() << m_toolkit.Describe();
            m_toolkit.EndDialog(box, 0);
        }
        ui.join();
        EXPECT_EQ(result.get(), c.expected);
    }
}

}  // namespace
