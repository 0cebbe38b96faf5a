// Simulated machine (POSIX host): COM ports on host character devices, and
// event objects.
#include "platform/sim/sim_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/sim/sim_serial_settings.h"
#include "platform/sim/sim_system_messages.h"

namespace platform::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kMaxDword = 0xFFFFFFFF;
constexpr DWORD kErrorIoIncomplete = 996;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kMaximumWaitObjects = 64;
constexpr std::size_t kDefaultInputQueue = 4096;
constexpr int kMaxComNumber = 255;

// What the kernel leaves in OVERLAPPED::Internal. A failure is kept as
// kStatusFailed | the Windows error, which GetOverlappedResult turns back.
constexpr std::uintptr_t kStatusSuccess = 0;
constexpr std::uintptr_t kStatusPending = 0x103;
constexpr std::uintptr_t kStatusFailed = 0xE0000000u;

// "\\.\COMn" (or the DOS name "COMn"): n, or 0 when the name is no COM port.
int ParseComName(const char* fileName) {
    if (fileName == nullptr) return 0;
    std::string name(fileName);
    if (name.compare(0, 4, "\\\\.\\") == 0) name.erase(0, 4);
    if (name.size() < 4 || FoldName(name.substr(0, 3)) != "com") return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + (name[i] - '0');
        if (number > kMaxComNumber) return 0;
    }
    return number;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        return win::ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
        return win::ERROR_ACCESS_DENIED;
    case ENOMEM:
        return win::ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return win::ERROR_INVALID_PARAMETER;
    default:
        return kErrorGenFailure;
    }
}

}  // namespace

struct SimSerial::Operation {
    OpKind kind;
    win::OVERLAPPED* overlapped = nullptr;
    HANDLE event = nullptr;
    bool done = false;
    DWORD error = 0;
    DWORD transferred = 0;
    // Reads.
    win::BYTE* readBuffer = nullptr;
    DWORD toRead = 0;
    bool anyByteEnds = false;  // the "return at the first byte" time-out mode
    std::chrono::milliseconds interval{0};
    Clock::time_point lastByte;
    // Writes: the caller's bytes, copied when the write starts.
    std::vector<win::BYTE> writeData;
    // Reads and writes: when the total time-out ends the operation.
    bool hasDeadline = false;
    Clock::time_point deadline;
    // Event waits.
    DWORD* maskOut = nullptr;
    DWORD events = 0;
};

struct SimSerial::Port {
    int comNumber = 0;
    int fd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    bool overlapped = false;
    bool closing = false;
    bool lineDown = false;  // the device hung up: no more input, writes fail
    DWORD mask = 0;
    DWORD history = 0;  // watched events that occurred since the last wait
    win::DCB dcb{};
    win::COMMTIMEOUTS timeouts{};
    std::size_t inputCapacity = kDefaultInputQueue;
    std::deque<win::BYTE> input;
    std::vector<std::shared_ptr<Operation>> ops;  // pending, oldest first
    std::thread helper;
};

SimSerial::SimSerial(SimEnv& env) : m_env(env) {}

SimSerial::~SimSerial() {
    std::vector<HANDLE> open;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& entry : m_ports) open.push_back(entry.first);
    }
    // Each port's helper thread must end before the machine goes.
    for (HANDLE handle : open) CloseHandle(handle);
}

void SimSerial::MapPort(int comNumber, std::string hostPath) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_portMap[comNumber] = std::move(hostPath);
}

void SimSerial::UnmapPort(int comNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_portMap.erase(comNumber);
}

int SimSerial::InputQueueLength(int comNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_ports) {
        Port& port = *entry.second;
        if (port.comNumber != comNumber) continue;
        ServiceLocked(port);
        return static_cast<int>(port.input.size());
    }
    return -1;
}

bool SimSerial::IsPortOpen(int comNumber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_ports)
        if (entry.second->comNumber == comNumber) return true;
    return false;
}

BOOL SimSerial::Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

bool SimSerial::TakeFault(const char* operation) {
    DWORD error = 0;
    if (!m_env.TakeFault(operation, &error)) return false;
    SetLastError(error);
    return true;
}

SimSerial::Port* SimSerial::FindPortLocked(HANDLE handle) {
    auto it = m_ports.find(handle);
    return it == m_ports.end() || it->second->closing ? nullptr : it->second.get();
}

SimSerial::Event* SimSerial::FindEventLocked(HANDLE handle) {
    auto it = m_events.find(handle);
    return it == m_events.end() ? nullptr : &it->second;
}

HANDLE SimSerial::NewHandleLocked() {
    // Handles are multiples of four, as the kernel's are.
    m_nextHandle += 4;
    return reinterpret_cast<HANDLE>(m_nextHandle);
}

void SimSerial::SignalLocked(HANDLE event) {
    if (Event* target = FindEventLocked(event)) target->signalled = true;
    m_changed.notify_all();
}

// --- Opening and configuring ------------------------------------------------

HANDLE SimSerial::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                              const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                              DWORD flagsAndAttributes, HANDLE templateFile) {
    if (TakeFault("CreateFileA")) return win::INVALID_HANDLE_VALUE;
    const int comNumber = ParseComName(fileName);
    std::string path;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto mapped = m_portMap.find(comNumber);
        if (comNumber == 0 || mapped == m_portMap.end()) {
            SetLastError(win::ERROR_FILE_NOT_FOUND);
            return win::INVALID_HANDLE_VALUE;
        }
        // A COM port is exclusive on Windows whatever the share mode asked.
        for (auto& entry : m_ports) {
            if (entry.second->comNumber == comNumber) {
                SetLastError(win::ERROR_ACCESS_DENIED);
                return win::INVALID_HANDLE_VALUE;
            }
        }
        path = mapped->second;
    }

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return win::INVALID_HANDLE_VALUE;
    }
    termios line{};
    if (::tcgetattr(fd, &line) != 0) {
        // Not a terminal: nothing a serial driver would own.
        ::close(fd);
        SetLastError(win::ERROR_FILE_NOT_FOUND);
        return win::INVALID_HANDLE_VALUE;
    }
    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &line);

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        ::close(fd);
        SetLastError(win::ERROR_NOT_ENOUGH_MEMORY);
        return win::INVALID_HANDLE_VALUE;
    }

    auto port = std::make_unique<Port>();
    port->comNumber = comNumber;
    port->fd = fd;
    port->wakeRead = wake[0];
    port->wakeWrite = wake[1];
    port->overlapped = (flagsAndAttributes & win::FILE_FLAG_OVERLAPPED) != 0;
    port->dcb = DefaultDcb(SpeedOfTermios(line));

    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_ports) {
        if (entry.second->comNumber == comNumber) {  // lost a race with another open
            ::close(fd);
            ::close(wake[0]);
            ::close(wake[1]);
            SetLastError(win::ERROR_ACCESS_DENIED);
            return win::INVALID_HANDLE_VALUE;
        }
    }
    HANDLE handle = NewHandleLocked();
    Port* raw = port.get();
    m_ports[handle] = std::move(port);
    raw->helper = std::thread(&SimSerial::HelperMain, this, raw);
    return handle;
}

BOOL SimSerial::SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    if (TakeFault("SetupComm")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if (inQueue > 0) port->inputCapacity = inQueue;
    return 1;
}

BOOL SimSerial::SetCommTimeouts(HANDLE file, win::COMMTIMEOUTS* timeouts) {
    if (TakeFault("SetCommTimeouts")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if (!timeouts) return Fail(win::ERROR_INVALID_PARAMETER);
    // The serial driver refuses the one combination that means nothing.
    if (timeouts->ReadIntervalTimeout == kMaxDword && timeouts->ReadTotalTimeoutMultiplier == kMaxDword &&
        timeouts->ReadTotalTimeoutConstant == kMaxDword)
        return Fail(win::ERROR_INVALID_PARAMETER);
    port->timeouts = *timeouts;
    return 1;
}

BOOL SimSerial::SetCommMask(HANDLE file, DWORD eventMask) {
    if (TakeFault("SetCommMask")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    port->mask = eventMask;
    port->history = 0;
    // A new mask ends a pending wait, which reports no event.
    for (auto& op : port->ops) {
        if (op->kind != OpKind::kWaitEvent) continue;
        op->events = 0;
        CompleteLocked(*port, *op, 0);
    }
    port->ops.erase(std::remove_if(port->ops.begin(), port->ops.end(), [](auto& op) { return op->done; }),
                    port->ops.end());
    return 1;
}

BOOL SimSerial::GetCommMask(HANDLE file, DWORD* eventMask) {
    if (TakeFault("GetCommMask")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if (!eventMask) return Fail(win::ERROR_INVALID_PARAMETER);
    *eventMask = port->mask;
    return 1;
}

BOOL SimSerial::GetCommState(HANDLE file, win::DCB* dcb) {
    if (TakeFault("GetCommState")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if (!dcb) return Fail(win::ERROR_INVALID_PARAMETER);
    *dcb = port->dcb;
    dcb->DCBlength = sizeof(win::DCB);
    return 1;
}

BOOL SimSerial::BuildCommDCBA(const char* definition, win::DCB* dcb) {
    if (TakeFault("BuildCommDCBA")) return 0;
    if (!definition || !dcb) return Fail(win::ERROR_INVALID_PARAMETER);
    win::DCB built = *dcb;
    if (!ParseCommDefinition(definition, &built)) return Fail(win::ERROR_INVALID_PARAMETER);
    *dcb = built;
    return 1;
}

BOOL SimSerial::SetCommState(HANDLE file, win::DCB* dcb) {
    if (TakeFault("SetCommState")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if (!dcb) return Fail(win::ERROR_INVALID_PARAMETER);
    termios line{};
    if (::tcgetattr(port->fd, &line) != 0) return Fail(ErrorFromErrno(errno));
    if (!ApplyDcbToTermios(*dcb, &line)) return Fail(win::ERROR_INVALID_PARAMETER);
    if (::tcsetattr(port->fd, TCSANOW, &line) != 0) return Fail(ErrorFromErrno(errno));
    port->dcb = *dcb;
    return 1;
}

BOOL SimSerial::PurgeComm(HANDLE file, DWORD flags) {
    if (TakeFault("PurgeComm")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    const DWORD known = win::PURGE_TXABORT | win::PURGE_RXABORT | win::PURGE_TXCLEAR | win::PURGE_RXCLEAR;
    if (flags & ~known) return Fail(win::ERROR_INVALID_PARAMETER);
    if (flags & win::PURGE_TXABORT) AbortLocked(*port, OpKind::kWrite);
    if (flags & win::PURGE_RXABORT) AbortLocked(*port, OpKind::kRead);
    if (flags & win::PURGE_TXCLEAR) ::tcflush(port->fd, TCOFLUSH);
    if (flags & win::PURGE_RXCLEAR) {
        port->input.clear();
        ::tcflush(port->fd, TCIFLUSH);
    }
    return 1;
}

BOOL SimSerial::ClearCommError(HANDLE file, DWORD* errors, win::COMSTAT* status) {
    if (TakeFault("ClearCommError")) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    ServiceLocked(*port);
    if (errors) *errors = 0;
    if (status) {
        status->flags = 0;
        status->cbInQue = static_cast<DWORD>(port->input.size());
        DWORD pendingOut = 0;
        for (auto& op : port->ops)
            if (op->kind == OpKind::kWrite) pendingOut += static_cast<DWORD>(op->writeData.size()) - op->transferred;
        status->cbOutQue = pendingOut;
    }
    return 1;
}

// --- Overlapped operations --------------------------------------------------

std::shared_ptr<SimSerial::Operation> SimSerial::StartLocked(Port& port, OpKind kind, win::OVERLAPPED* overlapped) {
    auto op = std::make_shared<Operation>();
    op->kind = kind;
    op->overlapped = overlapped;
    if (overlapped) {
        overlapped->Internal = kStatusPending;
        overlapped->InternalHigh = 0;
        op->event = overlapped->hEvent;
        // The I/O manager resets the caller's event when an operation starts.
        if (Event* event = FindEventLocked(op->event)) event->signalled = false;
    }
    port.ops.push_back(op);
    return op;
}

BOOL SimSerial::FinishStartLocked(std::unique_lock<std::mutex>& lock, Port& port,
                                  const std::shared_ptr<Operation>& op, DWORD* transferred) {
    ServiceLocked(port);
    if (!op->done) {
        WakeHelper(port);
        if (port.overlapped) return Fail(win::ERROR_IO_PENDING);
        m_changed.wait(lock, [&] { return op->done; });
    }
    if (transferred) *transferred = op->transferred;
    if (op->error != 0) return Fail(op->error);
    return 1;
}

BOOL SimSerial::WaitCommEvent(HANDLE file, DWORD* eventMask, win::OVERLAPPED* overlapped) {
    if (TakeFault("WaitCommEvent")) return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if (!eventMask || (port->overlapped && !overlapped)) return Fail(win::ERROR_INVALID_PARAMETER);
    // The driver keeps one wait at a time, and none without a mask.
    if (port->mask == 0) return Fail(win::ERROR_INVALID_PARAMETER);
    for (auto& op : port->ops)
        if (op->kind == OpKind::kWaitEvent) return Fail(win::ERROR_INVALID_PARAMETER);
    auto op = StartLocked(*port, OpKind::kWaitEvent, port->overlapped ? overlapped : nullptr);
    op->maskOut = eventMask;
    return FinishStartLocked(lock, *port, op, nullptr);
}

BOOL SimSerial::ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, win::OVERLAPPED* overlapped) {
    if (read) *read = 0;
    if (TakeFault("ReadFile")) return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if ((!buffer && toRead > 0) || (port->overlapped && !overlapped)) return Fail(win::ERROR_INVALID_PARAMETER);
    auto op = StartLocked(*port, OpKind::kRead, port->overlapped ? overlapped : nullptr);
    op->readBuffer = static_cast<win::BYTE*>(buffer);
    op->toRead = toRead;
    const win::COMMTIMEOUTS& t = port->timeouts;
    const Clock::time_point now = Clock::now();
    if (t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        // Return at once with whatever is there.
        op->hasDeadline = true;
        op->deadline = now;
    } else if (t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == kMaxDword) {
        op->anyByteEnds = true;
        op->hasDeadline = true;
        op->deadline = now + std::chrono::milliseconds(t.ReadTotalTimeoutConstant);
    } else {
        const unsigned long long total =
            static_cast<unsigned long long>(t.ReadTotalTimeoutMultiplier) * toRead + t.ReadTotalTimeoutConstant;
        if (total > 0) {
            op->hasDeadline = true;
            op->deadline = now + std::chrono::milliseconds(total);
        }
        if (t.ReadIntervalTimeout != kMaxDword) op->interval = std::chrono::milliseconds(t.ReadIntervalTimeout);
    }
    return FinishStartLocked(lock, *port, op, read);
}

BOOL SimSerial::WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                          win::OVERLAPPED* overlapped) {
    if (written) *written = 0;
    if (TakeFault("WriteFile")) return 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    Port* port = FindPortLocked(file);
    if (!port) return Fail(win::ERROR_INVALID_HANDLE);
    if ((!buffer && toWrite > 0) || (port->overlapped && !overlapped)) return Fail(win::ERROR_INVALID_PARAMETER);
    auto op = StartLocked(*port, OpKind::kWrite, port->overlapped ? overlapped : nullptr);
    const win::BYTE* bytes = static_cast<const win::BYTE*>(buffer);
    op->writeData.assign(bytes, bytes + toWrite);
    const unsigned long long total = static_cast<unsigned long long>(port->timeouts.WriteTotalTimeoutMultiplier) *
                                         toWrite +
                                     port->timeouts.WriteTotalTimeoutConstant;
    if (total > 0) {
        op->hasDeadline = true;
        op->deadline = Clock::now() + std::chrono::milliseconds(total);
    }
    return FinishStartLocked(lock, *port, op, written);
}

BOOL SimSerial::GetOverlappedResult(HANDLE file, win::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
    if (TakeFault("GetOverlappedResult")) return 0;
    if (!overlapped) return Fail(win::ERROR_INVALID_PARAMETER);
    std::unique_lock<std::mutex> lock(m_mutex);
    // The record is written under the machine's lock only, so reading it
    // here is safe; closing the handle completes it as aborted.
    while (overlapped->Internal == kStatusPending) {
        if (!wait) return Fail(kErrorIoIncomplete);
        m_changed.wait(lock);
    }
    if (transferred) *transferred = static_cast<DWORD>(overlapped->InternalHigh);
    if (overlapped->Internal == kStatusSuccess) return 1;
    return Fail(static_cast<DWORD>(overlapped->Internal & ~kStatusFailed));
}

void SimSerial::CompleteLocked(Port& port, Operation& op, DWORD error) {
    op.done = true;
    op.error = error;
    if (op.kind == OpKind::kWaitEvent && error == 0 && op.maskOut) *op.maskOut = op.events;
    if (op.overlapped) {
        op.overlapped->Internal = error == 0 ? kStatusSuccess : (kStatusFailed | error);
        op.overlapped->InternalHigh = op.transferred;
    }
    SignalLocked(op.event);
}

void SimSerial::AbortLocked(Port& port, OpKind kind) {
    for (auto& op : port.ops)
        if (op->kind == kind) CompleteLocked(port, *op, win::ERROR_OPERATION_ABORTED);
    port.ops.erase(std::remove_if(port.ops.begin(), port.ops.end(), [](auto& op) { return op->done; }),
                   port.ops.end());
}

// --- Moving bytes -----------------------------------------------------------

bool SimSerial::PullInputLocked(Port& port) {
    bool pulled = false;
    while (!port.lineDown && port.input.size() < port.inputCapacity) {
        win::BYTE chunk[512];
        const std::size_t room = std::min(sizeof chunk, port.inputCapacity - port.input.size());
        const ssize_t got = ::read(port.fd, chunk, room);
        if (got > 0) {
            for (ssize_t i = 0; i < got; ++i) {
                port.input.push_back(chunk[i]);
                if (port.mask & win::EV_RXCHAR) port.history |= win::EV_RXCHAR;
                if ((port.mask & win::EV_RXFLAG) && chunk[i] == static_cast<win::BYTE>(port.dcb.EvtChar))
                    port.history |= win::EV_RXFLAG;
            }
            pulled = true;
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) break;
        // End of file or EIO: the other end of the line has gone.
        port.lineDown = true;
    }
    return pulled;
}

void SimSerial::PushOutputLocked(Port& port) {
    for (auto& op : port.ops) {
        if (op->kind != OpKind::kWrite) continue;
        while (op->transferred < op->writeData.size()) {
            if (port.lineDown) {
                CompleteLocked(port, *op, kErrorGenFailure);
                break;
            }
            const ssize_t put =
                ::write(port.fd, op->writeData.data() + op->transferred, op->writeData.size() - op->transferred);
            if (put > 0) {
                op->transferred += static_cast<DWORD>(put);
                continue;
            }
            if (put < 0 && errno == EINTR) continue;
            if (put < 0 && errno == EAGAIN) return;  // the device is full: later, in order
            CompleteLocked(port, *op, put < 0 ? ErrorFromErrno(errno) : kErrorGenFailure);
            break;
        }
        if (op->done) continue;
        CompleteLocked(port, *op, 0);
        if (port.mask & win::EV_TXEMPTY) port.history |= win::EV_TXEMPTY;
    }
}

void SimSerial::ServiceLocked(Port& port) {
    PullInputLocked(port);
    do {
        PushOutputLocked(port);
        ServeOperationsLocked(port);
        // Bytes that came meanwhile (or that fit now that reads made room)
        // are served too: nothing may sit in the queue with a read pending.
    } while (PullInputLocked(port));
}

void SimSerial::ServeOperationsLocked(Port& port) {
    const Clock::time_point now = Clock::now();
    for (auto& op : port.ops) {
        if (op->done) continue;
        switch (op->kind) {
        case OpKind::kRead: {
            while (op->transferred < op->toRead && !port.input.empty()) {
                op->readBuffer[op->transferred++] = port.input.front();
                port.input.pop_front();
                op->lastByte = now;
            }
            const bool full = op->transferred == op->toRead;
            const bool firstByte = op->anyByteEnds && op->transferred > 0;
            const bool totalOver = op->hasDeadline && now >= op->deadline;
            const bool intervalOver =
                op->interval.count() > 0 && op->transferred > 0 && now - op->lastByte >= op->interval;
            // A time-out is no failure: the read returns what it has.
            if (full || firstByte || totalOver || intervalOver) CompleteLocked(port, *op, 0);
            break;
        }
        case OpKind::kWrite:
            if (op->hasDeadline && now >= op->deadline) CompleteLocked(port, *op, 0);
            break;
        case OpKind::kWaitEvent:
            if (port.history & port.mask) {
                op->events = port.history & port.mask;
                port.history = 0;
                CompleteLocked(port, *op, 0);
            }
            break;
        }
    }
    port.ops.erase(std::remove_if(port.ops.begin(), port.ops.end(), [](auto& op) { return op->done; }),
                   port.ops.end());
}

void SimSerial::WakeHelper(Port& port) {
    const char poke = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] ssize_t ignored = ::write(port.wakeWrite, &poke, 1);
}

void SimSerial::HelperMain(Port* port) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!port->closing) {
        ServiceLocked(*port);
        int timeoutMs = -1;
        bool wantOutput = false;
        const Clock::time_point now = Clock::now();
        for (auto& op : port->ops) {
            if (op->kind == OpKind::kWrite) wantOutput = true;
            Clock::time_point due = Clock::time_point::max();
            if (op->hasDeadline) due = op->deadline;
            if (op->kind == OpKind::kRead && op->interval.count() > 0 && op->transferred > 0)
                due = std::min(due, op->lastByte + op->interval);
            if (due == Clock::time_point::max()) continue;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
            const int leftMs = static_cast<int>(std::clamp<long long>(left, 0, 60000));
            timeoutMs = timeoutMs < 0 ? leftMs : std::min(timeoutMs, leftMs);
        }
        pollfd fds[2] = {};
        fds[0].fd = port->lineDown ? -1 : port->fd;
        if (port->input.size() < port->inputCapacity) fds[0].events |= POLLIN;
        if (wantOutput) fds[0].events |= POLLOUT;
        fds[1].fd = port->wakeRead;
        fds[1].events = POLLIN;
        lock.unlock();
        ::poll(fds, 2, timeoutMs);
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(port->wakeRead, drain, sizeof drain) > 0) {
            }
        }
        lock.lock();
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Take what is still buffered; a dead line stops being polled.
            ServiceLocked(*port);
            if (!(fds[0].revents & POLLIN)) port->lineDown = true;
        }
    }
}

// --- Events and handles -----------------------------------------------------

HANDLE SimSerial::CreateEventA(const win::SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                               const char* name) {
    if (TakeFault("CreateEventA")) return nullptr;
    if (name != nullptr) {
        // Named events would be shared between processes; nothing here needs them.
        SetLastError(win::ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    HANDLE handle = NewHandleLocked();
    m_events[handle] = Event{manualReset != 0, initialState != 0};
    SetLastError(win::ERROR_SUCCESS);
    return handle;
}

BOOL SimSerial::SetEvent(HANDLE event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Event* target = FindEventLocked(event);
    if (!target) return Fail(win::ERROR_INVALID_HANDLE);
    target->signalled = true;
    m_changed.notify_all();
    return 1;
}

BOOL SimSerial::ResetEvent(HANDLE event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Event* target = FindEventLocked(event);
    if (!target) return Fail(win::ERROR_INVALID_HANDLE);
    target->signalled = false;
    return 1;
}

DWORD SimSerial::WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > kMaximumWaitObjects || !handles) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return win::WAIT_FAILED;
    }
    const bool forever = milliseconds == win::INFINITE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    std::unique_lock<std::mutex> lock(m_mutex);
    bool timedOut = false;
    for (;;) {
        std::vector<Event*> events;
        for (DWORD i = 0; i < count; ++i) {
            Event* event = FindEventLocked(handles[i]);
            if (!event) {
                SetLastError(win::ERROR_INVALID_HANDLE);
                return win::WAIT_FAILED;
            }
            events.push_back(event);
        }
        if (waitAll) {
            if (std::all_of(events.begin(), events.end(), [](Event* e) { return e->signalled; })) {
                for (Event* e : events)
                    if (!e->manualReset) e->signalled = false;
                return win::WAIT_OBJECT_0;
            }
        } else {
            // The lowest signalled index wins.
            for (DWORD i = 0; i < count; ++i) {
                if (!events[i]->signalled) continue;
                if (!events[i]->manualReset) events[i]->signalled = false;
                return win::WAIT_OBJECT_0 + i;
            }
        }
        if (timedOut) return win::WAIT_TIMEOUT;
        if (forever) {
            m_changed.wait(lock);
        } else if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            timedOut = true;  // one last look at the events first
        }
    }
}

BOOL SimSerial::CloseHandle(HANDLE handle) {
    std::unique_ptr<Port> closing;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_events.erase(handle) > 0) {
            m_changed.notify_all();
            return 1;
        }
        auto it = m_ports.find(handle);
        if (it == m_ports.end() || it->second->closing) return Fail(win::ERROR_INVALID_HANDLE);
        Port& port = *it->second;
        port.closing = true;
        // Whatever is pending ends now, as aborted.
        for (auto& op : port.ops) CompleteLocked(port, *op, win::ERROR_OPERATION_ABORTED);
        port.ops.clear();
        WakeHelper(port);
        closing = std::move(it->second);
        m_ports.erase(it);
    }
    closing->helper.join();
    ::close(closing->fd);
    ::close(closing->wakeRead);
    ::close(closing->wakeWrite);
    return 1;
}

std::string SimSerial::FormatSystemMessage(DWORD code) { return SystemMessageText(code); }

}  // namespace platform::sim
