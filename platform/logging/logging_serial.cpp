// Logging machine: serial ports.
#include "platform/logging/logging_serial.h"

namespace platform::logging {

HANDLE LoggingSerial::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                                  const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                                  DWORD flagsAndAttributes, HANDLE templateFile) {
    const HANDLE result = inner().CreateFileA(fileName, desiredAccess, shareMode, security, creationDisposition,
                                              flagsAndAttributes, templateFile);
    KeptError error(m_recorder.inner());
    if (result != win::INVALID_HANDLE_VALUE && result) m_ports.Remember(result, fileName ? fileName : "");
    m_recorder.Write(CallLine("CreateFileA").Text("file", fileName).Returns(result, error));
    return result;
}

BOOL LoggingSerial::SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    return inner().SetupComm(file, inQueue, outQueue);
}

BOOL LoggingSerial::SetCommTimeouts(HANDLE file, win::COMMTIMEOUTS* timeouts) {
    return inner().SetCommTimeouts(file, timeouts);
}

BOOL LoggingSerial::SetCommMask(HANDLE file, DWORD eventMask) { return inner().SetCommMask(file, eventMask); }

BOOL LoggingSerial::GetCommMask(HANDLE file, DWORD* eventMask) { return inner().GetCommMask(file, eventMask); }

BOOL LoggingSerial::GetCommState(HANDLE file, win::DCB* dcb) { return inner().GetCommState(file, dcb); }

BOOL LoggingSerial::BuildCommDCBA(const char* definition, win::DCB* dcb) {
    return inner().BuildCommDCBA(definition, dcb);
}

BOOL LoggingSerial::SetCommState(HANDLE file, win::DCB* dcb) {
    const BOOL result = inner().SetCommState(file, dcb);
    KeptError error(m_recorder.inner());
    CallLine line("SetCommState");
    line.Raw("port", m_ports.Quoted(file));
    if (dcb) {
        line.Number("baud", dcb->BaudRate)
            .Number("bits", dcb->ByteSize)
            .Number("parity", dcb->Parity)
            .Number("stopBits", dcb->StopBits);
    }
    m_recorder.Write(line.Returns(result, error));
    return result;
}

BOOL LoggingSerial::PurgeComm(HANDLE file, DWORD flags) { return inner().PurgeComm(file, flags); }

BOOL LoggingSerial::WaitCommEvent(HANDLE file, DWORD* eventMask, win::OVERLAPPED* overlapped) {
    return inner().WaitCommEvent(file, eventMask, overlapped);
}

BOOL LoggingSerial::ClearCommError(HANDLE file, DWORD* errors, win::COMSTAT* status) {
    return inner().ClearCommError(file, errors, status);
}

BOOL LoggingSerial::ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, win::OVERLAPPED* overlapped) {
    return inner().ReadFile(file, buffer, toRead, read, overlapped);
}

BOOL LoggingSerial::WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                              win::OVERLAPPED* overlapped) {
    const BOOL result = inner().WriteFile(file, buffer, toWrite, written, overlapped);
    KeptError error(m_recorder.inner());
    // An overlapped write usually ends later (error 997 here): its bytes are
    // what was asked for, not what went out.
    m_recorder.Write(CallLine("WriteFile")
                         .Raw("port", m_ports.Quoted(file))
                         .Number("bytes", toWrite)
                         .Returns(result, error));
    return result;
}

BOOL LoggingSerial::GetOverlappedResult(HANDLE file, win::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
    return inner().GetOverlappedResult(file, overlapped, transferred, wait);
}

HANDLE LoggingSerial::CreateEventA(const win::SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                                   const char* name) {
    return inner().CreateEventA(security, manualReset, initialState, name);
}

BOOL LoggingSerial::SetEvent(HANDLE event) { return inner().SetEvent(event); }

BOOL LoggingSerial::ResetEvent(HANDLE event) { return inner().ResetEvent(event); }

DWORD LoggingSerial::WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    return inner().WaitForMultipleObjects(count, handles, waitAll, milliseconds);
}

BOOL LoggingSerial::CloseHandle(HANDLE handle) {
    const BOOL result = inner().CloseHandle(handle);
    KeptError error(m_recorder.inner());
    // Events come and go with every wait; only ports are worth a line.
    std::string port;
    if (!m_ports.Find(handle, &port)) return result;
    if (result) m_ports.Forget(handle);
    m_recorder.Write(CallLine("CloseHandle").Text("port", port).Returns(result, error));
    return result;
}

std::string LoggingSerial::FormatSystemMessage(DWORD code) { return inner().FormatSystemMessage(code); }

}  // namespace platform::logging
