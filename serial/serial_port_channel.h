// The serial channel: one COM port opened for overlapped I/O, and a worker
// thread that hands every received byte to an owner window and writes what
// the owner queues.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine.h"
#include "ui/toolkit.h"

namespace serial {

// Messages sent (never posted) to the owner window; lParam is the COM
// number.
constexpr win::UINT SERIALMSG_BREAK = win::WM_USER + 1;
constexpr win::UINT SERIALMSG_CTS = win::WM_USER + 2;
constexpr win::UINT SERIALMSG_LINE_ERROR = win::WM_USER + 4;
constexpr win::UINT SERIALMSG_RING = win::WM_USER + 5;
constexpr win::UINT SERIALMSG_CHAR = win::WM_USER + 7;  // wParam: the byte
constexpr win::UINT SERIALMSG_EVENT_CHAR = win::WM_USER + 8;

// The owner's thread calls everything but the worker's own operations.
// For each port: Close if open, Open, StartThread, at most one QueueWrite,
// then Close before the next port.
class SerialPortChannel {
public:
    explicit SerialPortChannel(platform::Machine& machine);
    virtual ~SerialPortChannel();
    SerialPortChannel(const SerialPortChannel&) = delete;
    SerialPortChannel& operator=(const SerialPortChannel&) = delete;

    // Opens \\.\COMn and applies the line settings (parity as BuildCommDCB
    // reads it: N, E, O, M or S). 1 when the port is open and configured,
    // else 0, silently; what was created is released by the next Close.
    int Open(ui::Toolkit& toolkit, ui::HWND ownerWindow, win::DWORD comNumber, int baud, char parity, int dataBits,
             int stopBits, win::DWORD watchMask, win::DWORD writeBufferSize);
    // 1 when the worker was started.
    int StartThread();
    // Copies the bytes and wakes the worker to write them. Refuses (false)
    // a request longer than the write buffer, or one before any Open.
    bool QueueWrite(const win::BYTE* data, win::DWORD length);
    // Stops the worker, serving the messages it sends meanwhile, and
    // releases the port and the events. The result of closing the write
    // event: 0 when the channel was not open.
    int Close();
    // The port handle is set, also to the invalid-handle value after a
    // failed device open: the owner then still has to Close.
    bool IsOpen() const;

private:
    enum class WaitOutcome { kPending, kFired, kFailed };

    void ThreadMain();
    WaitOutcome PollCommWait();
    void HandleCommEvent();
    void ReceivePending();
    // The owner has asked the worker to end (a look at the stop event that
    // does not wait).
    bool StopRequested();
    void TransmitPending();
    // The warning for a failed call, composed right after it (the last
    // error is the thread's) and shown by ShowIoFailure without the lock.
    std::string ComposeIoFailure(const char* label);
    void ShowIoFailure(const std::string& text);
    void Notify(win::UINT message, win::WPARAM wParam);
    void StopWorker();
    void CloseEvent(win::HANDLE* event, win::BOOL* result);
    platform::Serial& serial() { return m_machine.serial(); }

    platform::Machine& m_machine;
    ui::Toolkit* m_toolkit = nullptr;

    std::int32_t m_txLength = 1;
    win::HANDLE m_portHandle = nullptr;
    std::thread m_commThread;
    mutable std::mutex m_ioLock;
    std::atomic<bool> m_threadRunning{false};
    win::HANDLE m_writeRequested = nullptr;
    win::HANDLE m_stopRequested = nullptr;
    win::HANDLE m_waitSet[3] = {};
    win::OVERLAPPED m_ioOverlap{};  // the comm-event wait only; hEvent is the comm event
    win::COMMTIMEOUTS m_timeouts{};
    win::DCB m_lineSettings{};
    ui::HWND m_ownerWindow = nullptr;
    win::DWORD m_comNumber = 0;
    std::vector<win::BYTE> m_txBuffer;
    win::DWORD m_watchMask = 0;
    win::DWORD m_txCapacity = 0;

    // Reads and writes have their own record and event, so that the comm
    // event signals a comm event and nothing else, and a pending wait is
    // never overwritten by a transfer.
    win::OVERLAPPED m_transferOverlap{};
    win::DWORD m_eventWord = 0;  // written by the system when the wait completes
};

}  // namespace serial
