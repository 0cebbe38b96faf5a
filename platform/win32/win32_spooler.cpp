// Windows backend: the print spooler, straight through to winspool.
#include "platform/win32/win32_spooler.h"

#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {
// winspool's ANSI functions take non-const strings they never write.
char* Str(const char* text) { return const_cast<char*>(text); }
HWND Window(void* hWnd) { return static_cast<HWND>(hWnd); }
}  // namespace

BOOL Win32Spooler::EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                              DWORD* pcReturned) {
    return ::EnumPortsA(Str(pName), level, pBuf, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf,
                                 DWORD* pcbNeeded, DWORD* pcReturned) {
    return ::EnumPrintersA(flags, Str(name), level, pBuf, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                              BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) {
    return ::GetPrinterDriverDirectoryA(Str(pName), Str(pEnvironment), level, pDriverDirectory, cbBuf,
                                        Out(pcbNeeded).get());
}

BOOL Win32Spooler::AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) {
    return ::AddPrinterDriverExA(Str(pName), level, pDriverInfo, copyFlags);
}

BOOL Win32Spooler::AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) {
    return ::AddMonitorA(Str(pName), level, pMonitors);
}

BOOL Win32Spooler::DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) {
    return ::DeleteMonitorA(Str(pName), Str(pEnvironment), Str(pMonitorName));
}

BOOL Win32Spooler::OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) {
    return ::OpenPrinterA(Str(pPrinterName), phPrinter, reinterpret_cast<PRINTER_DEFAULTSA*>(pDefault));
}

BOOL Win32Spooler::SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) {
    return ::SetPrinterA(hPrinter, level, pPrinter, command);
}

BOOL Win32Spooler::DeletePrinter(HANDLE hPrinter) { return ::DeletePrinter(hPrinter); }

BOOL Win32Spooler::ClosePrinter(HANDLE hPrinter) { return ::ClosePrinter(hPrinter); }

HANDLE Win32Spooler::AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) {
    return ::AddPrinterA(Str(pName), level, pPrinter);
}

BOOL Win32Spooler::AddPortA(const char* pName, void* hWnd, const char* pMonitorName) {
    return ::AddPortA(Str(pName), Window(hWnd), Str(pMonitorName));
}

BOOL Win32Spooler::ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) {
    return ::ConfigurePortA(Str(pName), Window(hWnd), Str(pPortName));
}

BOOL Win32Spooler::DeletePortA(const char* pName, void* hWnd, const char* pPortName) {
    return ::DeletePortA(Str(pName), Window(hWnd), Str(pPortName));
}

BOOL Win32Spooler::EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level, BYTE* pDriverInfo,
                                       DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) {
    return ::EnumPrinterDriversA(Str(pName), Str(pEnvironment), level, pDriverInfo, cbBuf, Out(pcbNeeded).get(),
                                 Out(pcReturned).get());
}

BOOL Win32Spooler::DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                          DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    return ::DeletePrinterDriverExA(Str(pName), Str(pEnvironment), Str(pDriverName), dwDeleteFlag, dwVersionFlag);
}

BOOL Win32Spooler::XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                            BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) {
    static_assert(sizeof(win::WCHAR) == sizeof(WCHAR), "wide characters");
    return ::XcvDataW(hXcv, reinterpret_cast<PCWSTR>(pszDataName), pInputData, cbInputData, pOutputData,
                      cbOutputData, Out(pcbOutputNeeded).get(), Out(pdwStatus).get());
}

}  // namespace platform::win32
