// Windows backend: the print spooler, straight through to winspool.
#pragma once

#include "platform/spooler.h"

namespace platform::win32 {

class Win32Spooler : public Spooler {
public:
    BOOL EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                    DWORD* pcReturned) override;
    BOOL EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                       DWORD* pcReturned) override;
    BOOL GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                    BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) override;
    BOOL AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) override;
    BOOL AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) override;
    BOOL DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) override;
    BOOL OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) override;
    BOOL SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) override;
    BOOL DeletePrinter(HANDLE hPrinter) override;
    BOOL ClosePrinter(HANDLE hPrinter) override;
    HANDLE AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) override;
    BOOL AddPortA(const char* pName, void* hWnd, const char* pMonitorName) override;
    BOOL ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) override;
    BOOL DeletePortA(const char* pName, void* hWnd, const char* pPortName) override;
    BOOL EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level, BYTE* pDriverInfo,
                             DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) override;
    BOOL DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                DWORD dwDeleteFlag, DWORD dwVersionFlag) override;
    BOOL XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                  BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) override;
};

}  // namespace platform::win32
