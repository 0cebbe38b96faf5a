// The serial channel against a simulated machine whose COM3 is a
// pseudo-terminal: the test plays the printer on the master end and owns a
// dialog (on its own thread) that receives the channel's messages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "platform/sim/sim_machine.h"
#include "serial/serial_port_channel.h"
#include "tools/printer_sim/printer_emulator.h"
#include "tools/printer_sim/pty_pair.h"
#include "ui/portable/portable_toolkit.h"

namespace {

using namespace std::chrono_literals;
using serial::SerialPortChannel;

constexpr win::DWORD kInstallerMask = win::EV_RXCHAR | win::EV_RXFLAG;
constexpr win::UINT kRunOnOwner = win::WM_USER + 100;

struct Notification {
    win::UINT message;
    win::WPARAM wParam;
    win::LPARAM lParam;
    bool operator==(const Notification& other) const {
        return message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};

std::ostream& operator<<(std::ostream& out, const Notification& n) {
    return out << "{0x" << std::hex << n.message << std::dec << ", " << n.wParam << ", " << n.lParam << "}";
}

// A dialog running its modal loop on a thread of its own, as the
// installer's main dialog does; closures sent to it run on that thread.
class OwnerDialog : public ui::DialogProcedure {
public:
    explicit OwnerDialog(ui::portable::PortableToolkit& toolkit) : m_toolkit(toolkit) {
        m_thread = std::thread([this] {
            const ui::DialogTemplate dialog{990, "Owner", 0, 0, 100, 40, win::WS_POPUP | win::WS_CAPTION, 0,
                                            "SimSun", 9, {}, {}};
            m_toolkit.DialogBox(dialog, nullptr, *this);
        });
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_hwnd != nullptr; });
    }
    ~OwnerDialog() override {
        Run([this] { m_toolkit.EndDialog(m_hwnd, 0); });
        m_thread.join();
    }

    ui::HWND hwnd() const { return m_hwnd; }

    // Runs fn on the dialog's thread and waits for it.
    void Run(const std::function<void()>& fn) {
        m_toolkit.SendMessage(m_hwnd, kRunOnOwner, 0, reinterpret_cast<win::LPARAM>(&fn));
    }
    // The same, failing the test (and ending the run) if it hangs.
    void RunWithin(std::chrono::milliseconds limit, const std::function<void()>& fn) {
        auto done = std::async(std::launch::async, [&] { Run(fn); });
        if (done.wait_for(limit) != std::future_status::ready) {
            ADD_FAILURE() << "the owner's thread hangs";
            std::fflush(nullptr);
            std::_Exit(1);
        }
    }

    std::vector<Notification> Received() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }
    bool WaitUntil(const std::function<bool(const std::vector<Notification>&)>& done,
                   std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return done(m_received); });
    }
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout) {
        return WaitUntil([count](const std::vector<Notification>& now) { return now.size() >= count; }, timeout);
    }

    bool HandleDialogMessage(ui::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                             win::LRESULT* result) override {
        *result = 0;
        if (message == win::WM_INITDIALOG) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_hwnd = dialog;
            m_changed.notify_all();
            return true;
        }
        if (message == kRunOnOwner) {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return true;
        }
        if (message > win::WM_USER && message < win::WM_USER + 10) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.push_back(Notification{message, wParam, lParam});
            m_changed.notify_all();
            return true;
        }
        return false;
    }

private:
    ui::portable::PortableToolkit& m_toolkit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    ui::HWND m_hwnd = nullptr;
    std::vector<Notification> m_received;
    std::thread m_thread;
};

class SerialChannelTest : public ::testing::Test {
protected:
    SerialChannelTest()
        : m_sandbox(std::filesystem::temp_directory_path() /
                    ("serial-channel-" + std::to_string(::getpid()) + "-" + std::to_string(++s_counter))),
          m_machine((std::filesystem::create_directories(m_sandbox), m_sandbox.string())),
          m_owner(m_toolkit) {}
    ~SerialChannelTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_sandbox, ignored);
    }
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        m_machine.sim_serial().MapPort(3, m_pty.slavePath());
    }

    int Open(SerialPortChannel& channel, win::DWORD comNumber = 3, win::DWORD mask = kInstallerMask,
             int baud = 9600) {
        int result = -1;
        m_owner.Run([&] {
            result = channel.Open(m_toolkit, m_owner.hwnd(), comNumber, baud, 'N', 8, 1, mask, 512);
        });
        return result;
    }
    int OpenAndStart(SerialPortChannel& channel, win::DWORD mask = kInstallerMask) {
        if (Open(channel, 3, mask) != 1) return 0;
        const int waitsBefore = m_machine.env().CallCount("WaitCommEvent");
        int started = 0;
        m_owner.Run([&] { started = channel.StartThread(); });
        // The worker's first step purges the line: the device speaks only
        // once it has gone on to its first wait.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (started == 1 && m_machine.env().CallCount("WaitCommEvent") == waitsBefore &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        return started;
    }
    int Close(SerialPortChannel& channel) {
        int result = -1;
        m_owner.RunWithin(5s, [&] { result = channel.Close(); });
        return result;
    }
    bool Queue(SerialPortChannel& channel, std::vector<win::BYTE> bytes) {
        bool queued = false;
        m_owner.Run([&] { queued = channel.QueueWrite(bytes.data(), static_cast<win::DWORD>(bytes.size())); });
        return queued;
    }

    // The worker's warning box, checked whole and answered.
    void ExpectWarning(const std::string& text) {
        ui::HWND box = m_toolkit.WaitForMessageBox(3s);
        const auto shown = m_toolkit.WindowStateOf(box);
        ASSERT_NE(nullptr, shown.hwnd) << m_toolkit.Describe();
        EXPECT_EQ(text, shown.text);
        EXPECT_EQ("Application Error", shown.caption);
        EXPECT_EQ(win::MB_OK | win::MB_ICONSTOP, shown.boxType);
        EXPECT_EQ(m_owner.hwnd(), shown.owner);
        m_toolkit.AnswerMessageBox(box, win::IDOK);
    }

    static int s_counter;
    std::filesystem::path m_sandbox;
    platform::sim::SimMachine m_machine;
    ui::portable::PortableToolkit m_toolkit;
    OwnerDialog m_owner;
    printer_sim::PtyPair m_pty;
};

int SerialChannelTest::s_counter = 0;

// --- Opening and closing ------------------------------------------------------

TEST_F(SerialChannelTest, FailedOpenReturnsZeroSilentlyAndCloseStillReleasesThePort) {
    SerialPortChannel never(m_machine);
    EXPECT_EQ(0, Close(never));  // nothing to close
    EXPECT_FALSE(never.IsOpen());
    EXPECT_EQ(0, never.StartThread());
    struct Case {
        win::DWORD comNumber;
        const char* fault;  // injected once; null for none
    };
    for (const Case& c : {Case{9, nullptr}, Case{3, "SetCommState"}}) {
        SCOPED_TRACE(c.comNumber);
        SerialPortChannel channel(m_machine);
        if (c.fault != nullptr) m_machine.env().InjectFault(c.fault, win::ERROR_INVALID_PARAMETER);
        EXPECT_EQ(0, Open(channel, c.comNumber));
        EXPECT_TRUE(channel.IsOpen());  // a handle, valid or not, that the owner still closes
        EXPECT_EQ(nullptr, m_toolkit.FindMessageBox());
        EXPECT_EQ(1, Close(channel));
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_FALSE(m_machine.sim_serial().IsPortOpen(3));
    }
    SerialPortChannel first(m_machine);
    SerialPortChannel busy(m_machine);
    ASSERT_EQ(1, Open(first));
    EXPECT_EQ(0, Open(busy));
    EXPECT_EQ(nullptr, m_toolkit.FindMessageBox());
    Close(busy);
    Close(first);
}

TEST_F(SerialChannelTest, OpenAppliesTheLineSettingsAndCloseWithoutWorkerClosesTheDevice) {
    SerialPortChannel channel(m_machine);
    ASSERT_EQ(1, Open(channel, 3, kInstallerMask, 19200));
    EXPECT_EQ(19200u, m_pty.LineSpeed());
    EXPECT_TRUE(m_machine.sim_serial().IsPortOpen(3));
    EXPECT_EQ(1, Close(channel));
    EXPECT_FALSE(m_machine.sim_serial().IsPortOpen(3));
    EXPECT_FALSE(channel.IsOpen());
}

TEST_F(SerialChannelTest, ReopenAfterCloseWorks) {
    SerialPortChannel channel(m_machine);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(1, OpenAndStart(channel)) << round;
        EXPECT_EQ(1, Close(channel)) << round;
    }
    EXPECT_FALSE(m_machine.sim_serial().IsPortOpen(3));
}

TEST_F(SerialChannelTest, DestructorAfterCloseAndWhileRunning) {
    auto closed = std::make_unique<SerialPortChannel>(m_machine);
    ASSERT_EQ(1, OpenAndStart(*closed));
    EXPECT_EQ(1, Close(*closed));
    m_owner.RunWithin(5s, [&] { closed.reset(); });

    auto running = std::make_unique<SerialPortChannel>(m_machine);
    ASSERT_EQ(1, OpenAndStart(*running));
    m_pty.Write({'r'});
    m_owner.RunWithin(5s, [&] { running.reset(); });
    EXPECT_FALSE(m_machine.sim_serial().IsPortOpen(3));
}

// --- Receiving ----------------------------------------------------------------

TEST_F(SerialChannelTest, InstallerMaskSendsEventCharMessageAfterTheCharacters) {
    SerialPortChannel channel(m_machine);
    ASSERT_EQ(1, OpenAndStart(channel));
    m_pty.Write({'a', 'b', 'c'});
    ASSERT_TRUE(m_owner.WaitUntil(
        [](const std::vector<Notification>& now) {
            return now.size() >= 4 && now.back().message == serial::SERIALMSG_EVENT_CHAR;
        },
        3s))
        << m_owner.Received().size();
    Close(channel);  // nothing more can come
    // The bytes may come in more than one wake, each ended by the event
    // character message; never does one come before the bytes of its wake.
    std::vector<Notification> characters;
    for (const Notification& n : m_owner.Received()) {
        if (n.message == serial::SERIALMSG_CHAR) characters.push_back(n);
    }
    const std::vector<Notification> expected = {
        {serial::SERIALMSG_CHAR, 'a', 3}, {serial::SERIALMSG_CHAR, 'b', 3}, {serial::SERIALMSG_CHAR, 'c', 3}};
    EXPECT_EQ(expected, characters);
    EXPECT_EQ(expected[0], m_owner.Received().front());
    EXPECT_EQ((Notification{serial::SERIALMSG_EVENT_CHAR, 0, 3}), m_owner.Received().back());
}

TEST_F(SerialChannelTest, FloodOfBytesIsDeliveredWholeAndInOrder) {
    SerialPortChannel channel(m_machine);
    ASSERT_EQ(1, OpenAndStart(channel, win::EV_RXCHAR));
    std::vector<win::BYTE> bytes(600);  // every value from 0x00 to 0xFF among them
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<win::BYTE>(i * 7);
    m_pty.Write(bytes);
    ASSERT_TRUE(m_owner.WaitForCount(bytes.size(), 10s)) << m_owner.Received().size();
    const std::vector<Notification> received = m_owner.Received();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ((Notification{serial::SERIALMSG_CHAR, bytes[i], 3}), received[i]) << i;
    }
    Close(channel);
}

TEST_F(SerialChannelTest, CloseReturnsWhileWorkerIsBlockedSendingToOwner) {
    SerialPortChannel channel(m_machine);
    ASSERT_EQ(1, OpenAndStart(channel));
    m_owner.RunWithin(5s, [&] {
        // The owner's thread is busy here, so the worker's first
        // notification cannot be delivered: once it has read, it is bound
        // to wait in SendMessage for this thread.
        const int reads = m_machine.env().CallCount("ReadFile");
        m_pty.Write({'x', 'y'});
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (m_machine.env().CallCount("ReadFile") == reads && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        ASSERT_GT(m_machine.env().CallCount("ReadFile"), reads);
        EXPECT_EQ(1, channel.Close());
        EXPECT_FALSE(channel.IsOpen());
    });
    EXPECT_FALSE(m_machine.sim_serial().IsPortOpen(3));
    // Whatever was delivered was real input, in order.
    const std::vector<Notification> received = m_owner.Received();
    ASSERT_GE(received.size(), 1u);
    EXPECT_EQ((Notification{serial::SERIALMSG_CHAR, 'x', 3}), received[0]);
}

TEST_F(SerialChannelTest, CloseReturnsWithinAReadTimeoutWhileTheDeviceKeepsSending) {
    printer_sim::PrinterOptions flood;
    flood.floodBytes = 24000;  // 8 kB/s for 3 s, as fast as the line takes it
    printer_sim::PrinterEmulator printer(m_pty.master(), flood);
    printer.Start();
    SerialPortChannel channel(m_machine);
    ASSERT_EQ(1, OpenAndStart(channel, win::EV_RXCHAR));
    ASSERT_TRUE(Queue(channel, {0x10, 0x04, 0x01}));
    ASSERT_TRUE(m_owner.WaitForCount(1, 3s));
    std::chrono::steady_clock::duration took{};
    m_owner.RunWithin(60s, [&] {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(1, channel.Close());
        took = std::chrono::steady_clock::now() - start;
    });
    EXPECT_LT(took, 1000ms) << "one read timeout";
    EXPECT_FALSE(m_machine.sim_serial().IsPortOpen(3));
    printer.Stop();
}

TEST_F(SerialChannelTest, FailedReadShowsWarningAndReportsNoByte) {
    SerialPortChannel channel(m_machine);
    ASSERT_EQ(1, OpenAndStart(channel, win::EV_RXCHAR));
    m_machine.env().InjectFault("ReadFile", win::ERROR_INVALID_HANDLE);
    m_pty.Write({'z'});
    ExpectWarning("WARNING:  ReadFile() Failed with the following error: \nThe handle is invalid.\nPort: 3\n");
    // The byte is still queued; the next wake reads it for real.
    m_pty.Write({'w'});
    ASSERT_TRUE(m_owner.WaitForCount(2, 3s));
    const std::vector<Notification> received = m_owner.Received();
    EXPECT_EQ((Notification{serial::SERIALMSG_CHAR, 'z', 3}), received[0]);
    EXPECT_EQ((Notification{serial::SERIALMSG_CHAR, 'w', 3}), received[1]);
    Close(channel);
}

// --- Writing ------------------------------------------------------------------

TEST_F(SerialChannelTest, WriteDiscardsUnreadInput) {
    SerialPortChannel channel(m_machine);
    // Without EV_RXCHAR the input is not read; 'q' is the event character
    // and wakes the worker when the device sends it.
    ASSERT_EQ(1, OpenAndStart(channel, win::EV_RXFLAG));
    m_pty.Write({'o', 'l', 'd'});
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (m_machine.sim_serial().InputQueueLength(3) < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(3, m_machine.sim_serial().InputQueueLength(3));
    ASSERT_TRUE(Queue(channel, {0x1B, 0x21, 0x3F}));
    ASSERT_EQ(3u, m_pty.Read(3, 3s).size());
    EXPECT_EQ(0, m_machine.sim_serial().InputQueueLength(3));
    m_pty.Write({'q'});
    ASSERT_TRUE(m_owner.WaitForCount(1, 3s));
    EXPECT_EQ((std::vector<Notification>{{serial::SERIALMSG_EVENT_CHAR, 0, 3}}), m_owner.Received());
    Close(channel);
}

TEST_F(SerialChannelTest, RequestLongerThanTheBufferIsRefusedAndAFullOneReachesTheDevice) {
    SerialPortChannel channel(m_machine);
    std::vector<win::BYTE> bytes(513);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<win::BYTE>(i);
    EXPECT_FALSE(Queue(channel, bytes));  // not open yet
    ASSERT_EQ(1, OpenAndStart(channel));
    EXPECT_FALSE(Queue(channel, bytes));
    EXPECT_TRUE(m_pty.Read(1, 200ms).empty());
    bytes.resize(512);
    EXPECT_TRUE(Queue(channel, bytes));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), m_pty.Read(512, 3s));
    Close(channel);
}

TEST_F(SerialChannelTest, FailedWriteShowsTheWholeWarningAndDropsTheRequest) {
    struct Case {
        win::DWORD error;
        const char* systemText;  // 995's text alone nearly fills the 200 bytes the warning once had
    };
    for (const Case& c : {Case{win::ERROR_ACCESS_DENIED, "Access is denied."},
                          Case{win::ERROR_OPERATION_ABORTED, "The I/O operation has been aborted because of either a "
                                                            "thread exit or an application request."}}) {
        SCOPED_TRACE(c.error);
        SerialPortChannel channel(m_machine);
        ASSERT_EQ(1, OpenAndStart(channel));
        m_machine.env().InjectFault("WriteFile", c.error);
        ASSERT_TRUE(Queue(channel, {0x10, 0x04, 0x01}));
        ExpectWarning(std::string("WARNING:  WriteFile() Failed with the following error: \n") + c.systemText +
                      "\nPort: 3\n");
        EXPECT_TRUE(m_pty.Read(1, 100ms).empty());  // the request was dropped
        Close(channel);
    }
}

// --- The printer emulator's requests (its speed is met in the serial search tests)

TEST(PrinterProtocolTest, CountsRequestsSplitAcrossReadsAndIgnoresNoise) {
    printer_sim::PrinterProtocol receipt(printer_sim::PrinterKind::kReceipt);
    const std::uint8_t first[] = {0x10, 0x10, 0x04};
    const std::uint8_t second[] = {0x01, 0x00, 0x10, 0x04, 0x01, 0x04, 0x01};
    EXPECT_EQ(0, receipt.Feed(first, sizeof first));
    EXPECT_EQ(2, receipt.Feed(second, sizeof second));
    printer_sim::PrinterProtocol label(printer_sim::PrinterKind::kLabel);
    EXPECT_EQ(0, label.Feed(second, sizeof second));
    const std::uint8_t request[] = {0x1B, 0x21, 0x3F};
    EXPECT_EQ(1, label.Feed(request, sizeof request));
}

}  // namespace
