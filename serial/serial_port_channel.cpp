// The serial channel: one COM port, its worker thread and its notifications.
#include "serial/serial_port_channel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace serial {

namespace {

constexpr win::DWORD kQueueSize = 2048;
constexpr win::DWORD kTimeoutMs = 1000;
constexpr char kEventChar = 'q';
constexpr win::DWORD kPurgeAll =
    win::PURGE_TXABORT | win::PURGE_RXABORT | win::PURGE_TXCLEAR | win::PURGE_RXCLEAR;
constexpr win::DWORD kErrorIoIncomplete = 996;
// When the system cannot keep a comm-event wait pending (Wine on a
// pseudo-terminal aborts it at once with error 995), the worker looks for
// input this often instead of re-arming the wait in a busy loop.
constexpr win::DWORD kRetryMs = 20;
// Bytes taken from the input queue per read.
constexpr win::DWORD kReadBlockSize = 256;
constexpr auto kStopPollInterval = std::chrono::milliseconds(1);
constexpr char kFailureCaption[] = "Application Error";

enum WaitIndex : win::DWORD { kStopIndex = 0, kCommEventIndex = 1, kWriteIndex = 2 };

bool IsDevice(win::HANDLE handle) { return handle != nullptr && handle != win::INVALID_HANDLE_VALUE; }

}  // namespace

SerialPortChannel::SerialPortChannel(platform::Machine& machine) : m_machine(machine) {}

SerialPortChannel::~SerialPortChannel() { Close(); }

bool SerialPortChannel::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_ioLock);
    return m_portHandle != nullptr;
}

int SerialPortChannel::Open(ui::Toolkit& toolkit, ui::HWND ownerWindow, win::DWORD comNumber, int baud,
                            char parity, int dataBits, int stopBits, win::DWORD watchMask,
                            win::DWORD writeBufferSize) {
    StopWorker();
    // Events left by an Open without Close would leak: release them first.
    CloseEvent(&m_stopRequested, nullptr);
    CloseEvent(&m_ioOverlap.hEvent, nullptr);
    CloseEvent(&m_writeRequested, nullptr);
    CloseEvent(&m_transferOverlap.hEvent, nullptr);

    platform::Serial& port = serial();
    m_ioOverlap = win::OVERLAPPED{};
    m_transferOverlap = win::OVERLAPPED{};
    m_ioOverlap.hEvent = port.CreateEventA(nullptr, 1, 0, nullptr);
    m_writeRequested = port.CreateEventA(nullptr, 1, 0, nullptr);
    m_stopRequested = port.CreateEventA(nullptr, 1, 0, nullptr);
    m_transferOverlap.hEvent = port.CreateEventA(nullptr, 1, 0, nullptr);
    m_waitSet[kStopIndex] = m_stopRequested;
    m_waitSet[kCommEventIndex] = m_ioOverlap.hEvent;
    m_waitSet[kWriteIndex] = m_writeRequested;

    m_toolkit = &toolkit;
    m_ownerWindow = ownerWindow;
    m_txBuffer.assign(writeBufferSize, 0);
    m_comNumber = comNumber;
    m_txCapacity = writeBufferSize;
    m_watchMask = watchMask;

    std::lock_guard<std::mutex> lock(m_ioLock);
    if (m_portHandle != nullptr) {
        if (IsDevice(m_portHandle)) port.CloseHandle(m_portHandle);
        m_portHandle = nullptr;
    }
    if (!m_ioOverlap.hEvent || !m_writeRequested || !m_stopRequested || !m_transferOverlap.hEvent) return 0;

    char deviceName[32];
    std::snprintf(deviceName, sizeof deviceName, "\\\\.\\COM%u", static_cast<unsigned>(comNumber));
    char settings[96];
    std::snprintf(settings, sizeof settings, "baud=%d parity=%c data=%d stop=%d", baud, parity, dataBits,
                  stopBits);

    m_portHandle = port.CreateFileA(deviceName, win::GENERIC_READ | win::GENERIC_WRITE, 0, nullptr,
                                    win::OPEN_EXISTING, win::FILE_FLAG_OVERLAPPED, nullptr);
    if (m_portHandle == win::INVALID_HANDLE_VALUE) return 0;
    if (!port.SetupComm(m_portHandle, kQueueSize, kQueueSize)) return 0;
    m_timeouts = win::COMMTIMEOUTS{kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs};
    if (!port.SetCommTimeouts(m_portHandle, &m_timeouts)) return 0;
    if (!port.SetCommMask(m_portHandle, m_watchMask)) return 0;
    if (!port.GetCommState(m_portHandle, &m_lineSettings)) return 0;
    m_lineSettings.fRtsControl = win::RTS_CONTROL_ENABLE;
    m_lineSettings.EvtChar = kEventChar;
    if (!port.BuildCommDCBA(settings, &m_lineSettings)) return 0;
    if (!port.SetCommState(m_portHandle, &m_lineSettings)) return 0;
    port.PurgeComm(m_portHandle, kPurgeAll);
    return 1;
}

int SerialPortChannel::StartThread() {
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        if (!IsDevice(m_portHandle) || !m_stopRequested) return 0;
    }
    if (m_threadRunning.load() || m_commThread.joinable()) return 0;
    // Running from now on, not from the worker's first step: a Close right
    // after StartThread must wait for the worker too.
    m_threadRunning = true;
    try {
        m_commThread = std::thread(&SerialPortChannel::ThreadMain, this);
    } catch (const std::system_error&) {
        m_threadRunning = false;
        return 0;
    }
    return 1;
}

bool SerialPortChannel::QueueWrite(const win::BYTE* data, win::DWORD length) {
    if (!m_writeRequested || length > m_txCapacity || (length > 0 && data == nullptr)) return false;
    {
        // The worker reads the buffer under the same lock, so a request
        // queued during a write waits for it instead of tearing it.
        std::lock_guard<std::mutex> lock(m_ioLock);
        std::copy(data, data + length, m_txBuffer.begin());
        m_txLength = static_cast<std::int32_t>(length);
    }
    serial().SetEvent(m_writeRequested);
    return true;
}

int SerialPortChannel::Close() {
    StopWorker();
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        if (m_portHandle != nullptr) {
            if (IsDevice(m_portHandle)) serial().CloseHandle(m_portHandle);
            m_portHandle = nullptr;
        }
    }
    win::BOOL result = 0;
    CloseEvent(&m_stopRequested, nullptr);
    CloseEvent(&m_ioOverlap.hEvent, nullptr);
    CloseEvent(&m_writeRequested, &result);
    CloseEvent(&m_transferOverlap.hEvent, nullptr);
    for (win::HANDLE& handle : m_waitSet) handle = nullptr;
    return result;
}

void SerialPortChannel::CloseEvent(win::HANDLE* event, win::BOOL* result) {
    if (*event == nullptr) return;
    const win::BOOL closed = serial().CloseHandle(*event);
    if (result) *result = closed;
    *event = nullptr;
}

void SerialPortChannel::StopWorker() {
    if (!m_threadRunning.load() && !m_commThread.joinable()) return;
    // The worker may be waiting in SendMessage for this very thread: serve
    // what it sends until it has seen the stop request and ended.
    do {
        if (m_stopRequested) serial().SetEvent(m_stopRequested);
        if (m_toolkit) m_toolkit->ServeSentMessages();
        if (!m_threadRunning.load()) break;
        std::this_thread::sleep_for(kStopPollInterval);
    } while (m_threadRunning.load());
    if (m_commThread.joinable()) m_commThread.join();
}

void SerialPortChannel::ThreadMain() {
    platform::Serial& port = serial();
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        if (IsDevice(m_portHandle)) port.PurgeComm(m_portHandle, kPurgeAll);
    }
    bool waitArmed = false;     // a comm-event wait is pending on m_ioOverlap
    bool completedNow = false;  // the last wait completed within the call
    bool backOff = false;       // the system refused or aborted the last wait
    for (;;) {
        if (!waitArmed && !completedNow && !backOff) {
            m_eventWord = 0;
            if (port.WaitCommEvent(m_portHandle, &m_eventWord, &m_ioOverlap)) {
                win::DWORD errors = 0;
                win::COMSTAT status{};
                {
                    std::lock_guard<std::mutex> lock(m_ioLock);
                    port.ClearCommError(m_portHandle, &errors, &status);
                }
                if (status.cbInQue == 0) continue;
                completedNow = true;
                // The system signals the event of a wait that completes at
                // once; make sure of it, the wait below depends on it.
                port.SetEvent(m_ioOverlap.hEvent);
            } else if (m_machine.GetLastError() == win::ERROR_IO_PENDING) {
                waitArmed = true;
            } else {
                backOff = true;
            }
        }
        const win::DWORD timeout = (waitArmed || completedNow) ? win::INFINITE : kRetryMs;
        const win::DWORD signalled = port.WaitForMultipleObjects(3, m_waitSet, 0, timeout);

        if (signalled == win::WAIT_OBJECT_0 + kStopIndex) {
            std::lock_guard<std::mutex> lock(m_ioLock);
            // Closing the device also ends a wait still pending on it.
            if (IsDevice(m_portHandle)) port.CloseHandle(m_portHandle);
            m_portHandle = nullptr;
            m_threadRunning = false;
            return;
        }
        if (signalled == win::WAIT_OBJECT_0 + kCommEventIndex) {
            bool fired = completedNow;
            completedNow = false;
            if (waitArmed) {
                WaitOutcome outcome = PollCommWait();
                if (outcome == WaitOutcome::kPending) {
                    // Signalled by something else: clear it, then look again
                    // so that a completion in between is not lost.
                    port.ResetEvent(m_ioOverlap.hEvent);
                    outcome = PollCommWait();
                }
                if (outcome == WaitOutcome::kFired) {
                    fired = true;
                    waitArmed = false;
                } else if (outcome == WaitOutcome::kFailed) {
                    // Aborted (995) or failed: no event occurred. Not fatal;
                    // look for input now and re-arm after a pause.
                    waitArmed = false;
                    backOff = true;
                }
            }
            if (!waitArmed) port.ResetEvent(m_ioOverlap.hEvent);
            if (fired) {
                HandleCommEvent();
            } else if (backOff && (m_watchMask & win::EV_RXCHAR)) {
                ReceivePending();
            }
        } else if (signalled == win::WAIT_OBJECT_0 + kWriteIndex) {
            TransmitPending();
        } else if (signalled == win::WAIT_TIMEOUT) {
            // Without a working comm-event wait, input is polled.
            if (m_watchMask & win::EV_RXCHAR) ReceivePending();
            backOff = false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
        }
    }
}

SerialPortChannel::WaitOutcome SerialPortChannel::PollCommWait() {
    win::DWORD unused = 0;
    if (serial().GetOverlappedResult(m_portHandle, &m_ioOverlap, &unused, 0)) return WaitOutcome::kFired;
    return m_machine.GetLastError() == kErrorIoIncomplete ? WaitOutcome::kPending : WaitOutcome::kFailed;
}

void SerialPortChannel::HandleCommEvent() {
    // The port's configured mask, not the events that occurred: every
    // watched event is acted on at each wake.
    win::DWORD mask = m_watchMask;
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        win::DWORD configured = 0;
        if (serial().GetCommMask(m_portHandle, &configured)) mask = configured;
    }
    if (mask & win::EV_RXCHAR) ReceivePending();
    if (mask & win::EV_CTS) Notify(SERIALMSG_CTS, 0);
    if (mask & win::EV_BREAK) Notify(SERIALMSG_BREAK, 0);
    if (mask & win::EV_ERR) Notify(SERIALMSG_LINE_ERROR, 0);
    if (mask & win::EV_RING) Notify(SERIALMSG_RING, 0);
    if (mask & win::EV_RXFLAG) Notify(SERIALMSG_EVENT_CHAR, 0);
}

bool SerialPortChannel::StopRequested() {
    return m_stopRequested != nullptr &&
           serial().WaitForMultipleObjects(1, &m_stopRequested, 0, 0) == win::WAIT_OBJECT_0 + kStopIndex;
}

void SerialPortChannel::ReceivePending() {
    platform::Serial& port = serial();
    // A device that keeps sending keeps the queue from ever running dry:
    // the stop request is looked at before every byte handed on, so that
    // Close never waits for the device to fall silent.
    while (!StopRequested()) {
        win::DWORD errors = 0;
        win::COMSTAT status{};
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            if (!port.ClearCommError(m_portHandle, &errors, &status)) return;
        }
        if (status.cbInQue == 0) return;

        // Only what is already queued is asked for, so the read completes
        // at once instead of waiting out the read timeout.
        win::BYTE block[kReadBlockSize];
        const win::DWORD wanted = std::min<win::DWORD>(status.cbInQue, kReadBlockSize);
        win::DWORD received = 0;
        std::string failure;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            if (!port.ReadFile(m_portHandle, block, wanted, &received, &m_transferOverlap)) {
                if (m_machine.GetLastError() != win::ERROR_IO_PENDING) {
                    failure = ComposeIoFailure("ReadFile()");
                } else if (!port.GetOverlappedResult(m_portHandle, &m_transferOverlap, &received, 1)) {
                    failure = ComposeIoFailure("GetOverlappedResults() in ReadFile()");
                }
            }
        }
        if (!failure.empty()) {
            // No byte was read, so none is reported; and a read that keeps
            // failing must not raise one box after another: the next comm
            // event tries again.
            ShowIoFailure(failure);
            return;
        }
        if (received == 0 || received > wanted) return;
        for (win::DWORD i = 0; i < received; ++i) {
            // Bytes read but not handed on once the owner wants the channel
            // closed are dropped with the port.
            if (i > 0 && StopRequested()) return;
            Notify(SERIALMSG_CHAR, block[i]);
        }
    }
}

void SerialPortChannel::TransmitPending() {
    platform::Serial& port = serial();
    std::string failure;
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        port.ResetEvent(m_writeRequested);
        m_transferOverlap.Offset = 0;
        m_transferOverlap.OffsetHigh = 0;
        // Input not yet read belongs to an earlier request: discard it.
        port.PurgeComm(m_portHandle, kPurgeAll);
        win::DWORD written = 0;
        if (!port.WriteFile(m_portHandle, m_txBuffer.data(), static_cast<win::DWORD>(m_txLength), &written,
                            &m_transferOverlap)) {
            if (m_machine.GetLastError() == win::ERROR_IO_PENDING)
                port.GetOverlappedResult(m_portHandle, &m_transferOverlap, &written, 1);
            else
                failure = ComposeIoFailure("WriteFile()");
        }
    }
    if (!failure.empty()) ShowIoFailure(failure);
}

std::string SerialPortChannel::ComposeIoFailure(const char* label) {
    const win::DWORD code = m_machine.GetLastError();
    const std::string systemText = serial().FormatSystemMessage(code);
    return std::string("WARNING:  ") + label + " Failed with the following error: \n" + systemText +
           "\nPort: " + std::to_string(m_comNumber) + "\n";
}

void SerialPortChannel::ShowIoFailure(const std::string& text) {
    // Owned by the window the channel serves, so that it opens above the
    // installer and keeps it disabled meanwhile; without an owner it can
    // open behind it ("MessageBox function": hWnd is the owner window).
    if (m_toolkit) {
        m_toolkit->MessageBox(m_ownerWindow, text.c_str(), kFailureCaption, win::MB_OK | win::MB_ICONSTOP);
    }
}

void SerialPortChannel::Notify(win::UINT message, win::WPARAM wParam) {
    m_toolkit->SendMessage(m_ownerWindow, message, wParam, static_cast<win::LPARAM>(m_comNumber));
}

}  // namespace serial
