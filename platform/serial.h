// Serial communications: COM devices opened for overlapped I/O, and the
// event objects and waits that go with them, in the forms of the kernel32
// calls. The simulated machine backs its COM ports with pseudo-terminals,
// so that the same channel code does real I/O with real timing.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace win {

constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

constexpr DWORD RTS_CONTROL_ENABLE = 1;

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD flags;  // fCtsHold .. fTxim as bits
    DWORD cbInQue;
    DWORD cbOutQue;
};

// The device control block, with its bit fields as Windows declares them.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
    BYTE StopBits;  // 0 one, 1 one and a half, 2 two
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

}  // namespace win

namespace platform {

using win::BOOL;
using win::DWORD;
using win::HANDLE;

class Serial {
public:
    virtual ~Serial() = default;

    // Only COM devices ("\\.\COMn") are opened through this service.
    virtual HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                               const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                               DWORD flagsAndAttributes, HANDLE templateFile) = 0;
    virtual BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL SetCommTimeouts(HANDLE file, win::COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommMask(HANDLE file, DWORD eventMask) = 0;
    virtual BOOL GetCommMask(HANDLE file, DWORD* eventMask) = 0;
    virtual BOOL GetCommState(HANDLE file, win::DCB* dcb) = 0;
    virtual BOOL BuildCommDCBA(const char* definition, win::DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE file, win::DCB* dcb) = 0;
    virtual BOOL PurgeComm(HANDLE file, DWORD flags) = 0;
    virtual BOOL WaitCommEvent(HANDLE file, DWORD* eventMask, win::OVERLAPPED* overlapped) = 0;
    virtual BOOL ClearCommError(HANDLE file, DWORD* errors, win::COMSTAT* status) = 0;
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, win::OVERLAPPED* overlapped) = 0;
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                           win::OVERLAPPED* overlapped) = 0;
    virtual BOOL GetOverlappedResult(HANDLE file, win::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) = 0;

    // Event objects and waits (used with the overlapped records above).
    virtual HANDLE CreateEventA(const win::SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                                const char* name) = 0;
    virtual BOOL SetEvent(HANDLE event) = 0;
    virtual BOOL ResetEvent(HANDLE event) = 0;
    virtual DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) = 0;
    // Closes a device or an event.
    virtual BOOL CloseHandle(HANDLE handle) = 0;

    // The system's text for an error code (FormatMessageA from the system
    // table, neutral language), without a trailing line break.
    virtual std::string FormatSystemMessage(DWORD code) = 0;
};

}  // namespace platform
