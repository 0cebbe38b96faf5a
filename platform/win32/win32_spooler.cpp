// Windows backend: the print spooler, straight through to winspool.
#include "platform/win32/win32_spooler.h"

#include <utility>

#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {

// winspool.drv is not one of the system's known DLLs: imported by name, the
// loader would take a copy from the program's folder, where the package is,
// before the system's. It is loaded once by full path and kept.
::HMODULE Winspool(::DWORD* error) {
    static ::DWORD loadError = ERROR_SUCCESS;
    static const ::HMODULE module = [] {
        ::HMODULE loaded = LoadSystemLibrary("winspool.drv");
        if (loaded == nullptr) loadError = ::GetLastError();
        return loaded;
    }();
    *error = loadError;
    return module;
}

// One of winspool's functions, looked up once. Called when the system lacks
// it, it fails (FALSE or a null handle) with the error that stopped the
// lookup, as the call would have failed.
template <typename Function>
class WinspoolFunction {
public:
    explicit WinspoolFunction(const char* name) {
        ::HMODULE module = Winspool(&m_error);
        if (module == nullptr) return;
        m_function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
        if (m_function == nullptr) m_error = ::GetLastError();
    }

    template <typename... Args>
    auto operator()(Args... args) const -> decltype(std::declval<Function>()(args...)) {
        if (m_function == nullptr) {
            ::SetLastError(m_error);
            return {};
        }
        return m_function(args...);
    }

private:
    Function m_function = nullptr;
    ::DWORD m_error = ERROR_PROC_NOT_FOUND;
};

// WINSPOOL(AddPrinterA)(...) calls the system's AddPrinterA.
#define WINSPOOL(name)                                                    \
    ([]() -> const WinspoolFunction<decltype(&::name)>& {                 \
        static const WinspoolFunction<decltype(&::name)> function(#name); \
        return function;                                                  \
    }())

// winspool's ANSI functions take non-const strings they never write.
char* Str(const char* text) { return const_cast<char*>(text); }
HWND Window(void* hWnd) { return static_cast<HWND>(hWnd); }
}  // namespace

BOOL Win32Spooler::EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                              DWORD* pcReturned) {
    return WINSPOOL(EnumPortsA)(Str(pName), level, pBuf, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf,
                                 DWORD* pcbNeeded, DWORD* pcReturned) {
    return WINSPOOL(EnumPrintersA)(flags, Str(name), level, pBuf, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                              BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) {
    return WINSPOOL(GetPrinterDriverDirectoryA)(Str(pName), Str(pEnvironment), level, pDriverDirectory, cbBuf,
                                        Out(pcbNeeded).get());
}

BOOL Win32Spooler::AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) {
    return WINSPOOL(AddPrinterDriverExA)(Str(pName), level, pDriverInfo, copyFlags);
}

BOOL Win32Spooler::AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) {
    return WINSPOOL(AddMonitorA)(Str(pName), level, pMonitors);
}

BOOL Win32Spooler::DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) {
    return WINSPOOL(DeleteMonitorA)(Str(pName), Str(pEnvironment), Str(pMonitorName));
}

BOOL Win32Spooler::OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) {
    return WINSPOOL(OpenPrinterA)(Str(pPrinterName), phPrinter, reinterpret_cast<PRINTER_DEFAULTSA*>(pDefault));
}

BOOL Win32Spooler::SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) {
    return WINSPOOL(SetPrinterA)(hPrinter, level, pPrinter, command);
}

BOOL Win32Spooler::DeletePrinter(HANDLE hPrinter) { return WINSPOOL(DeletePrinter)(hPrinter); }

BOOL Win32Spooler::ClosePrinter(HANDLE hPrinter) { return WINSPOOL(ClosePrinter)(hPrinter); }

HANDLE Win32Spooler::AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) {
    return WINSPOOL(AddPrinterA)(Str(pName), level, pPrinter);
}

BOOL Win32Spooler::AddPortA(const char* pName, void* hWnd, const char* pMonitorName) {
    return WINSPOOL(AddPortA)(Str(pName), Window(hWnd), Str(pMonitorName));
}

BOOL Win32Spooler::ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) {
    return WINSPOOL(ConfigurePortA)(Str(pName), Window(hWnd), Str(pPortName));
}

BOOL Win32Spooler::DeletePortA(const char* pName, void* hWnd, const char* pPortName) {
    return WINSPOOL(DeletePortA)(Str(pName), Window(hWnd), Str(pPortName));
}

BOOL Win32Spooler::EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level, BYTE* pDriverInfo,
                                       DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) {
    return WINSPOOL(EnumPrinterDriversA)(Str(pName), Str(pEnvironment), level, pDriverInfo, cbBuf, Out(pcbNeeded).get(),
                                 Out(pcReturned).get());
}

BOOL Win32Spooler::DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                          DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    return WINSPOOL(DeletePrinterDriverExA)(Str(pName), Str(pEnvironment), Str(pDriverName), dwDeleteFlag, dwVersionFlag);
}

BOOL Win32Spooler::XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                            BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) {
    static_assert(sizeof(win::WCHAR) == sizeof(WCHAR), "wide characters");
    return WINSPOOL(XcvDataW)(hXcv, reinterpret_cast<PCWSTR>(pszDataName), pInputData, cbInputData, pOutputData,
                      cbOutputData, Out(pcbOutputNeeded).get(), Out(pdwStatus).get());
}

}  // namespace platform::win32
