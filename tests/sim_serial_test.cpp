// The simulated COM ports and events: what the serial channel and the
// printer search rely on, against real pseudo-terminals. The line settings
// the channel writes, and a port's exclusive use, are checked by the serial
// contract suite and the channel's own tests, and so are the queue count,
// the purge and the wake on input, which every byte the channel hands on
// goes through. The channel asks only for bytes already queued, so no read
// of its own waits out a read timeout.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/sim/sim_serial.h"
#include "tools/printer_sim/pty_pair.h"

namespace {

using namespace std::chrono_literals;
using win::BOOL;
using win::DWORD;
using win::HANDLE;

constexpr DWORD kIoIncomplete = 996;

class SimSerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        m_serial.MapPort(3, m_pty.slavePath());
    }
    void TearDown() override {
        for (HANDLE handle : m_handles) m_serial.CloseHandle(handle);
    }

    HANDLE OpenCom3(DWORD flags = win::FILE_FLAG_OVERLAPPED) {
        HANDLE port = m_serial.CreateFileA("\\\\.\\COM3", win::GENERIC_READ | win::GENERIC_WRITE, 0, nullptr,
                                           win::OPEN_EXISTING, flags, nullptr);
        if (port != win::INVALID_HANDLE_VALUE) m_handles.push_back(port);
        return port;
    }
    HANDLE NewEvent(BOOL manualReset = 1) {
        HANDLE event = m_serial.CreateEventA(nullptr, manualReset, 0, nullptr);
        m_handles.push_back(event);
        return event;
    }
    void Forget(HANDLE handle) { m_handles.erase(std::remove(m_handles.begin(), m_handles.end(), handle), m_handles.end()); }
    bool Signalled(HANDLE event) { return m_serial.WaitForMultipleObjects(1, &event, 0, 0) == win::WAIT_OBJECT_0; }

    platform::sim::SimEnv m_env;
    platform::sim::SimSerial m_serial{m_env};
    printer_sim::PtyPair m_pty;
    std::vector<HANDLE> m_handles;
};

// --- Opening ----------------------------------------------------------------

TEST_F(SimSerialTest, OpensOnlyMappedComPorts) {
    m_serial.MapPort(7, "/nonexistent/tty");  // mapped, but the device is gone
    for (const char* missing : {"\\\\.\\COM4", "\\\\.\\COM7"}) {
        platform::sim::SetLastError(0);
        EXPECT_EQ(win::INVALID_HANDLE_VALUE,
                  m_serial.CreateFileA(missing, win::GENERIC_READ, 0, nullptr, win::OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(win::ERROR_FILE_NOT_FOUND, platform::sim::LastError()) << missing;
    }
    for (const char* name : {"\\\\.\\LPT1", "\\\\.\\COM", "\\\\.\\COM3x", "C:\\COM3", ""}) {
        EXPECT_EQ(win::INVALID_HANDLE_VALUE,
                  m_serial.CreateFileA(name, win::GENERIC_READ, 0, nullptr, win::OPEN_EXISTING, 0, nullptr))
            << name;
    }
    HANDLE port = m_serial.CreateFileA("com3", win::GENERIC_READ, 0, nullptr, win::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(win::INVALID_HANDLE_VALUE, port);
    EXPECT_TRUE(m_serial.IsPortOpen(3));
    EXPECT_EQ(1, m_serial.CloseHandle(port));
    EXPECT_FALSE(m_serial.IsPortOpen(3));
}

// --- Reading and writing ----------------------------------------------------

TEST_F(SimSerialTest, WriteCompletesAtOnceAndReachesTheDevice) {
    HANDLE port = OpenCom3();
    win::OVERLAPPED overlap{};
    overlap.hEvent = NewEvent();
    const win::BYTE probe[] = {0x10, 0x04, 0x01};
    DWORD written = 0;
    ASSERT_EQ(1, m_serial.WriteFile(port, probe, 3, &written, &overlap));
    EXPECT_EQ(3u, written);
    EXPECT_TRUE(Signalled(overlap.hEvent));  // also on completion within the call
    EXPECT_EQ((std::vector<std::uint8_t>{0x10, 0x04, 0x01}), m_pty.Read(3, 2s));
}

TEST_F(SimSerialTest, ReadIsPendingUntilInputArrives) {
    HANDLE port = OpenCom3();
    win::OVERLAPPED overlap{};
    overlap.hEvent = NewEvent();
    win::BYTE buffer[2] = {};
    DWORD read = 99;
    ASSERT_EQ(0, m_serial.ReadFile(port, buffer, 2, &read, &overlap));
    EXPECT_EQ(win::ERROR_IO_PENDING, platform::sim::LastError());
    EXPECT_EQ(0u, read);
    DWORD transferred = 0;
    EXPECT_EQ(0, m_serial.GetOverlappedResult(port, &overlap, &transferred, 0));
    EXPECT_EQ(kIoIncomplete, platform::sim::LastError());

    m_pty.Write({'O', 'K'});
    ASSERT_EQ(1, m_serial.GetOverlappedResult(port, &overlap, &transferred, 1));
    EXPECT_EQ(2u, transferred);
    EXPECT_EQ('O', buffer[0]);
    EXPECT_EQ('K', buffer[1]);
    EXPECT_TRUE(Signalled(overlap.hEvent));
}

// --- Comm events ------------------------------------------------------------

TEST_F(SimSerialTest, EventCharacterSetsRxFlag) {
    HANDLE port = OpenCom3();
    win::DCB dcb{};
    ASSERT_EQ(1, m_serial.GetCommState(port, &dcb));
    dcb.EvtChar = 'q';
    ASSERT_EQ(1, m_serial.SetCommState(port, &dcb));
    ASSERT_EQ(1, m_serial.SetCommMask(port, win::EV_RXFLAG));
    win::OVERLAPPED overlap{};
    overlap.hEvent = NewEvent();
    DWORD events = 0;
    ASSERT_EQ(0, m_serial.WaitCommEvent(port, &events, &overlap));
    m_pty.Write({'a', 'b'});
    EXPECT_EQ(win::WAIT_TIMEOUT, m_serial.WaitForMultipleObjects(1, &overlap.hEvent, 0, 100));
    m_pty.Write({'q'});
    ASSERT_EQ(win::WAIT_OBJECT_0, m_serial.WaitForMultipleObjects(1, &overlap.hEvent, 0, 2000));
    DWORD unused = 0;
    ASSERT_EQ(1, m_serial.GetOverlappedResult(port, &overlap, &unused, 0));
    EXPECT_EQ(win::EV_RXFLAG, events);
}

TEST_F(SimSerialTest, ClosingThePortAbortsWhatIsPending) {
    HANDLE port = OpenCom3();
    ASSERT_EQ(1, m_serial.SetCommMask(port, win::EV_RXCHAR));
    win::OVERLAPPED wait{};
    wait.hEvent = NewEvent();
    win::OVERLAPPED read{};
    read.hEvent = NewEvent();
    DWORD events = 0;
    win::BYTE byte = 0;
    ASSERT_EQ(0, m_serial.WaitCommEvent(port, &events, &wait));
    ASSERT_EQ(0, m_serial.ReadFile(port, &byte, 1, nullptr, &read));
    // A thread waiting for the result wakes up too (and one that comes to
    // wait only after the close finds the read aborted all the same).
    auto blocked = std::async(std::launch::async, [&] {
        DWORD transferred = 0;
        const BOOL ok = m_serial.GetOverlappedResult(port, &read, &transferred, 1);
        return std::make_pair(ok, platform::sim::LastError());
    });
    while (m_env.CallCount("GetOverlappedResult") == 0) std::this_thread::yield();
    ASSERT_EQ(1, m_serial.CloseHandle(port));
    Forget(port);
    ASSERT_EQ(std::future_status::ready, blocked.wait_for(2s));
    EXPECT_EQ(std::make_pair(BOOL{0}, win::ERROR_OPERATION_ABORTED), blocked.get());
    EXPECT_TRUE(Signalled(wait.hEvent));
    DWORD unused = 0;
    EXPECT_EQ(0, m_serial.GetOverlappedResult(port, &wait, &unused, 0));
    EXPECT_EQ(win::ERROR_OPERATION_ABORTED, platform::sim::LastError());
    EXPECT_EQ(0, m_serial.CloseHandle(port));
    EXPECT_EQ(win::ERROR_INVALID_HANDLE, platform::sim::LastError());
}

// --- Texts ------------------------------------------------------------------

TEST_F(SimSerialTest, UnknownSystemMessageNamesItsCode) {
    EXPECT_EQ("Unknown error 48879.", m_serial.FormatSystemMessage(0xBEEF));
}

}  // namespace
