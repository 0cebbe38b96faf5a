// The print spooler, in the ANSI forms of the winspool calls the installer
// makes. Every call returns the Windows result and leaves the thread's last
// error as Windows would (Machine::GetLastError reads it).
#pragma once

#include "platform/win_types.h"

namespace platform {

using win::BOOL;
using win::BYTE;
using win::DWORD;
using win::HANDLE;

class Spooler {
public:
    virtual ~Spooler() = default;

    // Record buffers are filled the way winspool fills them: the records
    // first, the strings they point at after them, all inside pBuf.
    virtual BOOL EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                            DWORD* pcReturned) = 0;
    virtual BOOL EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf,
                               DWORD* pcbNeeded, DWORD* pcReturned) = 0;
    virtual BOOL GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                            BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) = 0;
    virtual BOOL AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) = 0;
    virtual BOOL AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) = 0;
    virtual BOOL DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) = 0;
    virtual BOOL OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) = 0;
    virtual BOOL SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) = 0;
    virtual BOOL DeletePrinter(HANDLE hPrinter) = 0;
    virtual BOOL ClosePrinter(HANDLE hPrinter) = 0;
    virtual HANDLE AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) = 0;
    // The owner window is the toolkit's window handle, passed through as is.
    virtual BOOL AddPortA(const char* pName, void* hWnd, const char* pMonitorName) = 0;
    virtual BOOL ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) = 0;
    virtual BOOL DeletePortA(const char* pName, void* hWnd, const char* pPortName) = 0;
    // Level 3 (DRIVER_INFO_3); pEnvironment "all" lists every environment
    // ("EnumPrinterDrivers function").
    virtual BOOL EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level, BYTE* pDriverInfo,
                                     DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) = 0;
    // ERROR_PRINTER_DRIVER_IN_USE while a printer uses the driver,
    // ERROR_UNKNOWN_PRINTER_DRIVER when it is not registered there
    // ("DeletePrinterDriverEx function").
    virtual BOOL DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                        DWORD dwDeleteFlag, DWORD dwVersionFlag) = 0;
    // Wide only in winspool. On a handle from OpenPrinterA(",XcvMonitor
    // <monitor>") or (",XcvPort <port>"); the monitor's own answer is
    // *pdwStatus, the call's is the result ("XcvData function").
    virtual BOOL XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                          BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) = 0;
};

}  // namespace platform
