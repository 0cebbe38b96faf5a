// Windows backend: COM devices, overlapped I/O and events, through kernel32
// (names and texts through the W functions, in code page 936 on our side:
// platform/win32/code_page.h).
#include "platform/win32/win32_serial.h"

#include "platform/win32/code_page.h"
#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {

::SECURITY_ATTRIBUTES* Security(const win::SECURITY_ATTRIBUTES* security) {
    return reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security));
}
::OVERLAPPED* Overlapped(win::OVERLAPPED* overlapped) { return reinterpret_cast<::OVERLAPPED*>(overlapped); }
::DCB* Dcb(win::DCB* dcb) { return reinterpret_cast<::DCB*>(dcb); }

}  // namespace

HANDLE Win32Serial::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                                const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                                DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileW(WideArg(fileName).get(), desiredAccess, shareMode, Security(security), creationDisposition,
                         flagsAndAttributes, templateFile);
}

BOOL Win32Serial::SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    return ::SetupComm(file, inQueue, outQueue);
}

BOOL Win32Serial::SetCommTimeouts(HANDLE file, win::COMMTIMEOUTS* timeouts) {
    return ::SetCommTimeouts(file, reinterpret_cast<::COMMTIMEOUTS*>(timeouts));
}

BOOL Win32Serial::SetCommMask(HANDLE file, DWORD eventMask) { return ::SetCommMask(file, eventMask); }

BOOL Win32Serial::GetCommMask(HANDLE file, DWORD* eventMask) { return ::GetCommMask(file, Out(eventMask).get()); }

BOOL Win32Serial::GetCommState(HANDLE file, win::DCB* dcb) { return ::GetCommState(file, Dcb(dcb)); }

BOOL Win32Serial::BuildCommDCBA(const char* definition, win::DCB* dcb) {
    return ::BuildCommDCBW(WideArg(definition).get(), Dcb(dcb));
}

BOOL Win32Serial::SetCommState(HANDLE file, win::DCB* dcb) { return ::SetCommState(file, Dcb(dcb)); }

BOOL Win32Serial::PurgeComm(HANDLE file, DWORD flags) { return ::PurgeComm(file, flags); }

BOOL Win32Serial::WaitCommEvent(HANDLE file, DWORD* eventMask, win::OVERLAPPED* overlapped) {
    // An overlapped wait writes the mask when the event comes, long after
    // this call has returned: the caller's own variable must be the target.
    return ::WaitCommEvent(file, reinterpret_cast<::DWORD*>(eventMask), Overlapped(overlapped));
}

BOOL Win32Serial::ClearCommError(HANDLE file, DWORD* errors, win::COMSTAT* status) {
    return ::ClearCommError(file, Out(errors).get(), reinterpret_cast<::COMSTAT*>(status));
}

BOOL Win32Serial::ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, win::OVERLAPPED* overlapped) {
    // As with WaitCommEvent, an overlapped read may complete later.
    return ::ReadFile(file, buffer, toRead, reinterpret_cast<::DWORD*>(read), Overlapped(overlapped));
}

BOOL Win32Serial::WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                            win::OVERLAPPED* overlapped) {
    return ::WriteFile(file, buffer, toWrite, reinterpret_cast<::DWORD*>(written), Overlapped(overlapped));
}

BOOL Win32Serial::GetOverlappedResult(HANDLE file, win::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
    return ::GetOverlappedResult(file, Overlapped(overlapped), Out(transferred).get(), wait);
}

HANDLE Win32Serial::CreateEventA(const win::SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                                 const char* name) {
    return ::CreateEventW(Security(security), manualReset, initialState, WideArg(name).get());
}

BOOL Win32Serial::SetEvent(HANDLE event) { return ::SetEvent(event); }

BOOL Win32Serial::ResetEvent(HANDLE event) { return ::ResetEvent(event); }

DWORD Win32Serial::WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    return ::WaitForMultipleObjects(count, handles, waitAll, milliseconds);
}

BOOL Win32Serial::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

std::string Win32Serial::FormatSystemMessage(DWORD code) {
    // The system sizes the text itself, so no message can be cut or overrun.
    // In UTF-16, then 936 like every text the program shows: the A form
    // would give it in the ANSI code page.
    wchar_t* text = nullptr;
    const ::DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
                         nullptr);
    if (length == 0 || text == nullptr) {
        // The same words as the simulated machine's for a code without text.
        return "Unknown error " + std::to_string(code) + ".";
    }
    std::string message = Narrow(text, length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace platform::win32
