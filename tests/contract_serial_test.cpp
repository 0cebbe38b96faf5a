// Serial contract: what the channel relies on, asserted the way Wine's
// conformance tests assert Windows (set the last error, call, check the
// exact result and error). Natively it runs against the simulated machine
// with COM3 on a pseudo-terminal; a Windows test build runs it against the
// real system, with INSTALLER_CONTRACT_COM naming a port that exists (under
// Wine, one mapped to a pty), or skips the tests that need one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/serial.h"

#ifdef _WIN32
#include "platform/win32/win32_machine.h"
#else
#include "platform/sim/sim_serial.h"
#include "tools/printer_sim/pty_pair.h"
#endif

namespace {

using namespace win;

// One machine's serial service, its last error, and a COM port that exists.
class SerialTarget {
public:
    virtual ~SerialTarget() = default;
    virtual platform::Serial& serial() = 0;
    virtual DWORD LastError() = 0;
    virtual void SetLastError(DWORD code) = 0;
    // "\\.\COMn" of a present port, empty when there is none.
    virtual std::string PresentPort() = 0;
};

#ifdef _WIN32
class Win32Target : public SerialTarget {
public:
    platform::Serial& serial() override { return m_machine.serial(); }
    DWORD LastError() override { return m_machine.GetLastError(); }
    void SetLastError(DWORD code) override { m_machine.SetLastError(code); }
    std::string PresentPort() override {
        const char* name = std::getenv("INSTALLER_CONTRACT_COM");
        return name ? std::string("\\\\.\\") + name : std::string();
    }

private:
    platform::win32::Win32Machine m_machine;
};
std::unique_ptr<SerialTarget> MakeTarget() { return std::make_unique<Win32Target>(); }
#else
class SimTarget : public SerialTarget {
public:
    SimTarget() { m_serial.MapPort(3, m_pty.slavePath()); }
    platform::Serial& serial() override { return m_serial; }
    DWORD LastError() override { return platform::sim::LastError(); }
    void SetLastError(DWORD code) override { platform::sim::SetLastError(code); }
    std::string PresentPort() override { return m_pty.ok() ? "\\\\.\\COM3" : std::string(); }

private:
    platform::sim::SimEnv m_env;
    platform::sim::SimSerial m_serial{m_env};
    printer_sim::PtyPair m_pty;
};
std::unique_ptr<SerialTarget> MakeTarget() { return std::make_unique<SimTarget>(); }
#endif

class SerialContract : public ::testing::Test {
protected:
    void SetUp() override { m_target = MakeTarget(); }
    platform::Serial& serial() { return m_target->serial(); }
    HANDLE OpenPresent() {
        const std::string port = m_target->PresentPort();
        if (port.empty()) return INVALID_HANDLE_VALUE;
        return serial().CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    }

    std::unique_ptr<SerialTarget> m_target;
};

TEST_F(SerialContract, MissingPortIsFileNotFound) {
    m_target->SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, serial().CreateFileA("\\\\.\\COM249", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, m_target->LastError());
}

TEST_F(SerialContract, InstallerSettingsTextBuildsTheBlock) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    dcb.EvtChar = 'q';
    m_target->SetLastError(0xdeadbeef);
    ASSERT_EQ(1, serial().BuildCommDCBA("baud=19200 parity=N data=8 stop=1", &dcb));
    EXPECT_EQ(19200u, dcb.BaudRate);
    EXPECT_EQ(0, dcb.Parity);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(0, dcb.StopBits);
    EXPECT_EQ('q', dcb.EvtChar);
    EXPECT_EQ(0, serial().BuildCommDCBA("baud=19200 parity=N data=8 stop=1 nonsense", &dcb));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, m_target->LastError());
}

TEST_F(SerialContract, EventsWaitLowestIndexFirstAndTimeOut) {
    HANDLE events[2] = {serial().CreateEventA(nullptr, 1, 0, nullptr), serial().CreateEventA(nullptr, 1, 0, nullptr)};
    ASSERT_NE(nullptr, events[0]);
    ASSERT_NE(nullptr, events[1]);
    EXPECT_EQ(WAIT_TIMEOUT, serial().WaitForMultipleObjects(2, events, 0, 10));
    EXPECT_EQ(1, serial().SetEvent(events[1]));
    EXPECT_EQ(WAIT_OBJECT_0 + 1, serial().WaitForMultipleObjects(2, events, 0, 0));
    EXPECT_EQ(1, serial().SetEvent(events[0]));
    EXPECT_EQ(WAIT_OBJECT_0, serial().WaitForMultipleObjects(2, events, 0, 0));
    EXPECT_EQ(1, serial().ResetEvent(events[0]));
    EXPECT_EQ(WAIT_OBJECT_0 + 1, serial().WaitForMultipleObjects(2, events, 0, 0));
    EXPECT_EQ(1, serial().CloseHandle(events[0]));
    EXPECT_EQ(1, serial().CloseHandle(events[1]));
}

TEST_F(SerialContract, SystemTextHasNoLineBreakAtTheEnd) {
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_OPERATION_ABORTED}) {
        const std::string text = serial().FormatSystemMessage(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE('\n', text.back()) << code;
        EXPECT_NE('\r', text.back()) << code;
    }
}

TEST_F(SerialContract, PresentPortOpensConfiguresAndClosesAbortingItsWait) {
    HANDLE port = OpenPresent();
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "no COM port to test on (INSTALLER_CONTRACT_COM under Wine)";
    COMMTIMEOUTS timeouts = {1000, 1000, 1000, 1000, 1000};
    EXPECT_EQ(1, serial().SetupComm(port, 2048, 2048));
    EXPECT_EQ(1, serial().SetCommTimeouts(port, &timeouts));
    EXPECT_EQ(1, serial().SetCommMask(port, EV_RXCHAR | EV_RXFLAG));
    DWORD mask = 0;
    EXPECT_EQ(1, serial().GetCommMask(port, &mask));
    EXPECT_EQ(EV_RXCHAR | EV_RXFLAG, mask);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_EQ(1, serial().GetCommState(port, &dcb));
    ASSERT_EQ(1, serial().BuildCommDCBA("baud=9600 parity=N data=8 stop=1", &dcb));
    EXPECT_EQ(1, serial().SetCommState(port, &dcb));
    EXPECT_EQ(1, serial().PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));
    COMSTAT status = {};
    DWORD errors = 0;
    EXPECT_EQ(1, serial().ClearCommError(port, &errors, &status));
    EXPECT_EQ(0u, status.cbInQue);

    OVERLAPPED overlap = {};
    overlap.hEvent = serial().CreateEventA(nullptr, 1, 0, nullptr);
    DWORD events = 0;
    m_target->SetLastError(0xdeadbeef);
    const BOOL waited = serial().WaitCommEvent(port, &events, &overlap);
    EXPECT_EQ(0, waited);
    EXPECT_EQ(ERROR_IO_PENDING, m_target->LastError());
    EXPECT_EQ(1, serial().CloseHandle(port));
    // Closing the device ends the wait; it reports the abort.
    EXPECT_EQ(WAIT_OBJECT_0, serial().WaitForMultipleObjects(1, &overlap.hEvent, 0, 2000));
    serial().CloseHandle(overlap.hEvent);
}

}  // namespace
