// The Windows machine with standard TCP/IP ports added to what the spooler
// enumerates. Wine's spooler cannot create such a port (no TCP/IP port
// monitor), so the network port dialog is shown over this machine to have
// its list filled. Everything else goes straight to the machine inside.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"

namespace e2e {

struct ExtraPort {
    std::string name;
    std::string monitor;
    std::string description;
};

// Forwards every call, except that EnumPortsA (levels 1 and 2) lists the
// inner spooler's ports followed by the extra ones, packed the way winspool
// packs them.
class ExtraPortsSpooler : public platform::Spooler {
public:
    ExtraPortsSpooler(platform::Machine& inner, std::vector<ExtraPort> extraPorts);

    win::BOOL EnumPortsA(const char* pName,
                         win::DWORD level,
                         win::BYTE* pBuf,
                         win::DWORD cbBuf,
                         win::DWORD* pcbNeeded,
                         win::DWORD* pcReturned) override;
    win::BOOL EnumPrintersA(win::DWORD flags,
                            const char* name,
                            win::DWORD level,
                            win::BYTE* pBuf,
                            win::DWORD cbBuf,
                            win::DWORD* pcbNeeded,
                            win::DWORD* pcReturned) override;
    win::BOOL GetPrinterDriverDirectoryA(const char* pName,
                                         const char* pEnvironment,
                                         win::DWORD level,
                                         win::BYTE* pDriverDirectory,
                                         win::DWORD cbBuf,
                                         win::DWORD* pcbNeeded) override;
    win::BOOL AddPrinterDriverExA(const char* pName,
                                  win::DWORD level,
                                  win::BYTE* pDriverInfo,
                                  win::DWORD copyFlags) override;
    win::BOOL AddMonitorA(const char* pName, win::DWORD level, win::BYTE* pMonitors) override;
    win::BOOL DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) override;
    win::BOOL OpenPrinterA(const char* pPrinterName, win::HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) override;
    win::BOOL SetPrinterA(win::HANDLE hPrinter, win::DWORD level, win::BYTE* pPrinter, win::DWORD command) override;
    win::BOOL DeletePrinter(win::HANDLE hPrinter) override;
    win::BOOL ClosePrinter(win::HANDLE hPrinter) override;
    win::HANDLE AddPrinterA(const char* pName, win::DWORD level, win::BYTE* pPrinter) override;
    win::BOOL AddPortA(const char* pName, void* hWnd, const char* pMonitorName) override;
    win::BOOL ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) override;
    win::BOOL DeletePortA(const char* pName, void* hWnd, const char* pPortName) override;
    win::BOOL EnumPrinterDriversA(const char* pName, const char* pEnvironment, win::DWORD level, win::BYTE* pDriverInfo,
                                  win::DWORD cbBuf, win::DWORD* pcbNeeded, win::DWORD* pcReturned) override {
        return m_inner.spooler().EnumPrinterDriversA(pName, pEnvironment, level, pDriverInfo, cbBuf, pcbNeeded,
                                                     pcReturned);
    }
    win::BOOL DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                     win::DWORD dwDeleteFlag, win::DWORD dwVersionFlag) override {
        return m_inner.spooler().DeletePrinterDriverExA(pName, pEnvironment, pDriverName, dwDeleteFlag, dwVersionFlag);
    }
    win::BOOL XcvDataW(win::HANDLE hXcv, const win::WCHAR* pszDataName, win::BYTE* pInputData, win::DWORD cbInputData,
                       win::BYTE* pOutputData, win::DWORD cbOutputData, win::DWORD* pcbOutputNeeded,
                       win::DWORD* pdwStatus) override {
        return m_inner.spooler().XcvDataW(hXcv, pszDataName, pInputData, cbInputData, pOutputData, cbOutputData,
                                          pcbOutputNeeded, pdwStatus);
    }

private:
    // The inner spooler's ports, or false with its last error left as it was.
    bool InnerPorts(const char* pName, std::vector<ExtraPort>* ports);

    platform::Machine& m_inner;
    std::vector<ExtraPort> m_extraPorts;
};

class ExtraPortsMachine : public platform::Machine {
public:
    ExtraPortsMachine(platform::Machine& inner, std::vector<ExtraPort> extraPorts);

    platform::Spooler& spooler() override { return m_spooler; }
    platform::Registry& registry() override { return m_inner.registry(); }
    platform::Services& services() override { return m_inner.services(); }
    platform::SystemInfo& system() override { return m_inner.system(); }
    platform::Files& files() override { return m_inner.files(); }
    platform::ArchiveLibrary& archive() override { return m_inner.archive(); }
    platform::Serial& serial() override { return m_inner.serial(); }
    platform::Devices& devices() override { return m_inner.devices(); }
    platform::Sync& sync() override { return m_inner.sync(); }

    win::DWORD GetLastError() override { return m_inner.GetLastError(); }
    void SetLastError(win::DWORD code) override { m_inner.SetLastError(code); }
    void Sleep(win::DWORD milliseconds) override { m_inner.Sleep(milliseconds); }
    win::DWORD GetTickCount() override { return m_inner.GetTickCount(); }
    void GetSystemTime(win::SYSTEMTIME* time) override { m_inner.GetSystemTime(time); }

private:
    platform::Machine& m_inner;
    ExtraPortsSpooler m_spooler;
};

}  // namespace e2e
