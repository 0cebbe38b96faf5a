// Simulated machine: the local print spooler (ports, monitors, drivers,
// printers), keeping its registry data and driver files where Windows does.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/sim/sim_env.h"
#include "platform/spooler.h"

namespace platform::sim {

constexpr char kSimEnvironmentX86[] = "Windows NT x86";
constexpr char kSimEnvironmentX64[] = "Windows x64";
constexpr char kSimEnvironmentArm64[] = "Windows ARM64";
constexpr char kSimTcpMonitor[] = "Standard TCP/IP Port";
constexpr char kSimLocalMonitor[] = "Local Port";

// Error codes the spooler gives that the installer's logic never names.
constexpr win::DWORD kSimErrorInvalidName = 123;            // ERROR_INVALID_NAME
constexpr win::DWORD kSimErrorInvalidLevel = 124;           // ERROR_INVALID_LEVEL
constexpr win::DWORD kSimErrorBusy = 170;                   // ERROR_BUSY
constexpr win::DWORD kSimErrorServerUnavailable = 1722;     // RPC_S_SERVER_UNAVAILABLE
constexpr win::DWORD kSimErrorNullRefPointer = 1780;        // RPC_X_NULL_REF_POINTER
constexpr win::DWORD kSimErrorUnknownPrintProcessor = 1798; // ERROR_UNKNOWN_PRINTPROCESSOR
constexpr win::DWORD kSimErrorInvalidEnvironment = 1805;    // ERROR_INVALID_ENVIRONMENT
constexpr win::DWORD kSimErrorMonitorInUse = 3008;          // ERROR_PRINT_MONITOR_IN_USE
constexpr win::DWORD kSimErrorInvalidData = 13;             // ERROR_INVALID_DATA
// Where the Standard TCP/IP Port monitor keeps each of its ports.
constexpr char kSimTcpPortsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";

class SimSpooler : public platform::Spooler {
public:
    // What the spooler's own port wizard does when AddPortA runs it.
    enum PortWizard { kCreate, kCancel, kFail };

    struct PortRecord {
        std::string name;
        std::string monitor;
        std::string description;
    };

    struct PrinterRecord {
        std::string port;
        std::string driver;
    };

    // A registered driver: the fields as the caller passed them, and the
    // files the spooler copied into its versioned driver folder.
    struct DriverRecord {
        win::DWORD version = 0;
        std::string name;
        std::string environment;
        std::string driverPath;
        std::string dataFile;
        std::string configFile;
        std::string helpFile;
        std::vector<std::string> dependentFiles;
        std::string monitorName;
        std::string defaultDataType;
        std::vector<std::string> installedFiles;
    };

    struct MonitorRecord {
        std::string name;
        std::string environment;
        std::string dllPath;  // the file that was found, full path
    };

    // Deletes a registry key with its subkeys; the registry seam has no
    // such call, so the machine that owns the registry hands one in.
    using KeyRemover = std::function<void(win::HKEY root, const std::string& subKey)>;
    // Holds the files the spooler has loaded, letting go of the ones it
    // held before (SimFiles::SetLoadedFiles).
    using FileLoader = std::function<void(const std::vector<std::string>& winPaths)>;

    // spoolerRunning tells whether the "Spooler" service is running; it is
    // called without the spooler's lock held, so the service manager may
    // call OnSpoolerStarted while holding its own. Without removeKey a
    // deleted printer leaves its registry keys behind.
    // Without loadFiles the monitors' DLLs are never held loaded.
    SimSpooler(SimEnv& env, platform::Registry& registry, platform::Files& files,
               std::function<bool()> spoolerRunning, KeyRemover removeKey = nullptr, FileLoader loadFiles = nullptr);

    // platform::Spooler
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

    // Called by the service manager each time "Spooler" enters
    // SERVICE_RUNNING: printers take their ports from the registry again and
    // their on-line flags are written for the current hardware profile. The
    // registered monitors are loaded again; a deleted one lets go of its
    // DLL only here (AddMonitorA loads a new one at once).
    void OnSpoolerStarted();

    // Machine configuration.
    void AddPort(const std::string& name, const std::string& monitor, const std::string& description);
    bool RemovePort(const std::string& name);
    void ClearPorts();
    // An injected fault: the port appears right after the next EnumPortsA
    // call, as when another program adds one between a caller's size query
    // and its call for the records.
    void AddPortAfterNextEnumeration(const PortRecord& port);
    // The same for a printer (name, port, driver), added as AddPrinterA
    // adds one right after the next EnumPrintersA call.
    void AddPrinterAfterNextEnumeration(const std::string& name, const PrinterRecord& printer);
    void AttachUsbPrinter(const std::string& portName);
    void DetachUsbPrinter(const std::string& portName);
    // The ports a USB printer is attached to, as they were named.
    std::vector<std::string> UsbPrinterPorts() const;
    // Whether a start writes the printers' "PrinterOnLine" flags (the
    // default). Nothing documents that current Windows still does; false
    // leaves the flags as whoever wrote them last left them.
    void SetWritesOnLineFlags(bool writes);
    // The next `times` GetPrinterDriverDirectoryA calls succeed but name an
    // empty directory, as a broken spooler or a hook in front of it might:
    // nothing documents it, and nothing rules it out.
    void AnswerEmptyDriverDirectory(int times);
    // Puts `count` jobs in the printer's queue.
    bool QueueJobs(const std::string& printerName, int count);
    // kSimEnvironmentX86 or kSimEnvironmentX64; anything else is refused.
    bool SetNativeEnvironment(const std::string& environment);
    // kCreate makes the port `name` with that description, under the
    // monitor given; without one, under the TCP/IP monitor when the
    // description is one of its own (English or Chinese), else under the
    // local port monitor: a port of another kind.
    void SetPortWizard(PortWizard mode, const std::string& name = std::string(),
                       const std::string& description = kSimTcpMonitor, const std::string& monitor = std::string());
    void SetPortWizard(PortWizard mode, win::DWORD error);

    // Queries.
    std::optional<PrinterRecord> FindPrinter(const std::string& name) const;
    std::vector<std::string> PrinterNames() const;
    std::vector<std::string> DriverNames(const std::string& environment) const;
    std::optional<DriverRecord> FindDriver(const std::string& name, const std::string& environment) const;
    std::vector<std::string> MonitorNames() const;
    std::optional<MonitorRecord> FindMonitor(const std::string& name) const;
    std::vector<PortRecord> Ports() const;
    std::string NativeEnvironment() const;
    // The driver directory of an environment ("" when unknown).
    static std::string DriverDirectory(const std::string& environment);
    std::string ToString() const;

    // Everything the spooler keeps across a restart, for saving a machine
    // and loading it again. The printers' registry keys are the registry's
    // and travel with it; the port wizard is the user's part, not saved.
    struct SavedPrinter {
        std::string name;
        std::string port;
        std::string driver;
        std::string printProcessor;
        std::string datatype;
    };
    struct SavedState {
        std::vector<PortRecord> ports;
        std::vector<SavedPrinter> printers;
        std::vector<DriverRecord> drivers;
        std::vector<MonitorRecord> monitors;
        std::vector<std::string> usbAttached;  // port names
    };
    SavedState SaveState() const;
    // Replaces ports, printers, drivers, monitors and USB attachments.
    // Open printer handles are not part of a saved state and are dropped.
    void RestoreState(const SavedState& state);

private:
    struct Printer {
        unsigned id = 0;
        std::string name;
        std::string port;
        std::string driver;
        std::string printProcessor;
        std::string datatype;
        // Jobs waiting in the queue; nothing here ever prints them.
        int queuedJobs = 0;
        // Deleted while jobs were waiting: gone once they are.
        bool pendingDeletion = false;
    };

    // Fault, service state and server name checks shared by every call;
    // false with the last error set when the call is to fail. Each call
    // then runs under a SimEnv::InternalScope: what the spooler does inside
    // (registry, files) neither uses up the caller's faults nor shows in
    // the caller's call log.
    bool Enter(const char* operation, const char* serverName);
    // The directory of a known environment, created on first use.
    std::string EnsureDriverDirectory(const std::string& environment);
    bool CreateDirectoryChain(const std::string& path);
    bool FileExists(const std::string& path);
    std::vector<PortRecord>::iterator FindPortLocked(const std::string& name);
    std::vector<Printer>::iterator FindPrinterLocked(const std::string& name);
    // Removes the printer with its registry keys.
    void ErasePrinterLocked(std::vector<Printer>::iterator printer);
    std::vector<Printer>::iterator FindPrinterByHandleLocked(HANDLE handle, bool* validHandle);
    const DriverRecord* FindDriverLocked(const std::string& name, const std::string& environment) const;
    win::LONG WritePrinterKeys(const Printer& printer);
    BOOL RunPortWizard(const std::string& monitor);
    // Loads the registered monitors' DLLs afresh, the ones loaded before
    // let go.
    void ReloadMonitorsLocked();
    DWORD AddTcpPortLocked(const win::PORT_DATA_1& data);

    SimEnv& m_env;
    platform::Registry& m_registry;
    platform::Files& m_files;
    std::function<bool()> m_spoolerRunning;
    KeyRemover m_removeKey;
    FileLoader m_loadFiles;

    mutable std::mutex m_mutex;
    std::vector<PortRecord> m_ports;
    std::vector<PortRecord> m_portsAfterEnumeration;
    std::vector<std::pair<std::string, PrinterRecord>> m_printersAfterEnumeration;
    std::vector<Printer> m_printers;
    std::vector<DriverRecord> m_drivers;
    std::vector<MonitorRecord> m_monitors;
    // The DLLs loaded since the last start: a deleted monitor's among them.
    std::vector<std::string> m_loadedDlls;
    std::map<std::string, std::string> m_usbAttached;  // folded port name -> as attached
    bool m_writesOnLineFlags = true;
    int m_emptyDriverDirectoryAnswers = 0;
    std::map<std::uintptr_t, unsigned> m_handles;  // handle -> printer id
    std::map<std::uintptr_t, std::string> m_xcvHandles;  // handle -> monitor
    std::uintptr_t m_nextHandle = 0x5000;
    unsigned m_nextPrinterId = 1;
    std::string m_nativeEnvironment = kSimEnvironmentX86;
    PortWizard m_wizardMode = kCancel;
    std::string m_wizardName;
    std::string m_wizardDescription = kSimTcpMonitor;
    std::string m_wizardMonitor;
    win::DWORD m_wizardError = win::ERROR_CANCELLED;
};

}  // namespace platform::sim
