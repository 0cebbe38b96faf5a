// Logging machine: serial ports. Opens (each port probed), line settings,
// writes and closes of ports are logged; reads, waits and events are not,
// being many and telling little.
#pragma once

#include <string>

#include "platform/logging/call_recorder.h"
#include "platform/serial.h"

namespace platform::logging {

class LoggingSerial : public Serial {
public:
    explicit LoggingSerial(CallRecorder& recorder) : m_recorder(recorder) {}

    HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                       const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition, DWORD flagsAndAttributes,
                       HANDLE templateFile) override;
    BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) override;
    BOOL SetCommTimeouts(HANDLE file, win::COMMTIMEOUTS* timeouts) override;
    BOOL SetCommMask(HANDLE file, DWORD eventMask) override;
    BOOL GetCommMask(HANDLE file, DWORD* eventMask) override;
    BOOL GetCommState(HANDLE file, win::DCB* dcb) override;
    BOOL BuildCommDCBA(const char* definition, win::DCB* dcb) override;
    BOOL SetCommState(HANDLE file, win::DCB* dcb) override;
    BOOL PurgeComm(HANDLE file, DWORD flags) override;
    BOOL WaitCommEvent(HANDLE file, DWORD* eventMask, win::OVERLAPPED* overlapped) override;
    BOOL ClearCommError(HANDLE file, DWORD* errors, win::COMSTAT* status) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, win::OVERLAPPED* overlapped) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                   win::OVERLAPPED* overlapped) override;
    BOOL GetOverlappedResult(HANDLE file, win::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override;
    HANDLE CreateEventA(const win::SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                        const char* name) override;
    BOOL SetEvent(HANDLE event) override;
    BOOL ResetEvent(HANDLE event) override;
    DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) override;
    BOOL CloseHandle(HANDLE handle) override;
    std::string FormatSystemMessage(DWORD code) override;

private:
    Serial& inner() { return m_recorder.inner().serial(); }

    CallRecorder& m_recorder;
    HandleNames m_ports;
};

}  // namespace platform::logging
