// Simulated machine: the local print spooler.
#include "platform/sim/sim_spooler.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace platform::sim {

namespace {

using win::BOOL;
using win::BYTE;
using win::DWORD;
using win::HANDLE;

constexpr BOOL kFalse = 0;
constexpr BOOL kTrue = 1;

constexpr char kSystemDirectory[] = "C:\\Windows\\System32";
constexpr char kDriversRoot[] = "C:\\Windows\\System32\\spool\\drivers";
constexpr char kPrintersKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
constexpr char kControlSet001PrintersKey[] = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
constexpr char kCurrentPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr char kDefaultPrintProcessor[] = "WinPrint";
constexpr char kDefaultDatatype[] = "RAW";
constexpr DWORD kPortTypeWrite = 0x1;
constexpr DWORD kPrinterAttributeLocal = 0x40;
constexpr DWORD kPrinterEnumName = 0x8;
constexpr DWORD kMaxPrinterNameLength = 220;
constexpr DWORD kErrorChildMustBeVolatile = 1021;

struct PortInfo1 {
    char* pName;
};

struct PrinterInfo4 {
    char* pPrinterName;
    char* pServerName;
    DWORD Attributes;
};

// DRIVER_INFO_2 is the head of DRIVER_INFO_3; a level 2 caller passes only
// that much, so it must not be read as the longer record.
struct DriverInfo2 {
    DWORD cVersion;
    char* pName;
    char* pEnvironment;
    char* pDriverPath;
    char* pDataFile;
    char* pConfigFile;
};

// Names are CP936: the second byte of a double-byte character may be any
// of 0x40..0xFE, '\' and the ASCII letters included, so scanning and case
// folding must step over whole characters.
bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Index of the last single-byte character that is one of `set`, or npos.
size_t FindLastOf(const std::string& text, const char* set) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c)) {
            ++i;
        } else if (std::strchr(set, c) != nullptr) {
            found = i;
        }
    }
    return found;
}

bool HasFolder(const std::string& path) { return FindLastOf(path, "\\/:") != std::string::npos; }

std::string BaseName(const std::string& path) {
    const size_t slash = FindLastOf(path, "\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Str(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

bool IsLocalServer(const char* serverName) { return serverName == nullptr || serverName[0] == '\0'; }

// Resolves a known environment name to its canonical spelling; null or
// empty is the caller's own, and the installer is a 32-bit program.
std::optional<std::string> CanonicalEnvironment(const char* environment) {
    if (environment == nullptr || environment[0] == '\0') return std::string(kSimEnvironmentX86);
    if (SameName(environment, kSimEnvironmentX86)) return std::string(kSimEnvironmentX86);
    if (SameName(environment, kSimEnvironmentX64)) return std::string(kSimEnvironmentX64);
    if (SameName(environment, kSimEnvironmentArm64)) return std::string(kSimEnvironmentArm64);
    return std::nullopt;
}

bool IsValidPrinterName(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    const std::string text(name);
    if (text.size() > kMaxPrinterNameLength) return false;
    return FindLastOf(text, "\\,") == std::string::npos;
}

// Lays out spooler records the way winspool does: `count` fixed-size records
// at the start of the buffer, the strings they point at packed after them.
class RecordBuffer {
public:
    RecordBuffer(BYTE* buffer, size_t recordBytes) : m_buffer(buffer), m_next(recordBytes) {}

    char* Put(const std::string& text) {
        char* at = reinterpret_cast<char*>(m_buffer + m_next);
        std::memcpy(at, text.c_str(), text.size() + 1);
        m_next += text.size() + 1;
        return at;
    }

    template <typename Record>
    void Store(size_t index, const Record& record) {
        std::memcpy(m_buffer + index * sizeof(Record), &record, sizeof(Record));
    }

private:
    BYTE* m_buffer;
    size_t m_next;
};

size_t StringBytes(std::initializer_list<const std::string*> texts) {
    size_t bytes = 0;
    for (const std::string* text : texts) bytes += text->size() + 1;
    return bytes;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return kFalse;
}

// A spooler runs in its own process: what it does inside a successful call
// leaves the caller's last error as it was.
BOOL Succeed(DWORD callersError) {
    SetLastError(callersError);
    return kTrue;
}

}  // namespace

SimSpooler::SimSpooler(SimEnv& env, platform::Registry& registry, platform::Files& files,
                       std::function<bool()> spoolerRunning, KeyRemover removeKey, FileLoader loadFiles)
    : m_env(env),
      m_registry(registry),
      m_files(files),
      m_spoolerRunning(std::move(spoolerRunning)),
      m_removeKey(std::move(removeKey)),
      m_loadFiles(std::move(loadFiles)) {
    for (const char* name : {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"}) {
        m_ports.push_back(PortRecord{name, kSimLocalMonitor, kSimLocalMonitor});
    }
    m_monitors.push_back(MonitorRecord{kSimLocalMonitor, kSimEnvironmentX86, "C:\\Windows\\System32\\localspl.dll"});
    m_monitors.push_back(MonitorRecord{kSimTcpMonitor, kSimEnvironmentX86, "C:\\Windows\\System32\\tcpmon.dll"});
    m_monitors.push_back(MonitorRecord{"USB Monitor", kSimEnvironmentX86, "C:\\Windows\\System32\\usbmon.dll"});
}

bool SimSpooler::Enter(const char* operation, const char* serverName) {
    DWORD fault = 0;
    if (m_env.TakeFault(operation, &fault)) {
        SetLastError(fault);
        return false;
    }
    if (m_spoolerRunning && !m_spoolerRunning()) {
        SetLastError(kSimErrorServerUnavailable);
        return false;
    }
    // Only the local print server is simulated.
    if (!IsLocalServer(serverName)) {
        SetLastError(kSimErrorInvalidName);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- ports

BOOL SimSpooler::EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                            DWORD* pcReturned) {
    // Ports due to appear after this call are added when it returns,
    // whichever way it ends (declared before the lock, released after it).
    struct Arrivals {
        SimSpooler& spooler;
        std::vector<PortRecord> ports;
        ~Arrivals() {
            for (const PortRecord& port : ports) spooler.AddPort(port.name, port.monitor, port.description);
        }
    } arrivals{*this, {}};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        arrivals.ports.swap(m_portsAfterEnumeration);
    }
    const DWORD callersError = LastError();
    if (!Enter("EnumPortsA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    if (level != 1 && level != 2) return Fail(kSimErrorInvalidLevel);
    if (pcbNeeded == nullptr || pcReturned == nullptr || (pBuf == nullptr && cbBuf > 0)) {
        return Fail(kSimErrorNullRefPointer);
    }
    *pcReturned = 0;

    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t recordSize = level == 1 ? sizeof(PortInfo1) : sizeof(win::PORT_INFO_2);
    size_t needed = recordSize * m_ports.size();
    for (const PortRecord& port : m_ports) {
        needed += level == 1 ? StringBytes({&port.name})
                             : StringBytes({&port.name, &port.monitor, &port.description});
    }
    *pcbNeeded = static_cast<DWORD>(needed);
    if (cbBuf < needed) return Fail(win::ERROR_INSUFFICIENT_BUFFER);

    RecordBuffer out(pBuf, recordSize * m_ports.size());
    for (size_t i = 0; i < m_ports.size(); ++i) {
        const PortRecord& port = m_ports[i];
        if (level == 1) {
            out.Store(i, PortInfo1{out.Put(port.name)});
        } else {
            win::PORT_INFO_2 info{};
            info.pPortName = out.Put(port.name);
            info.pMonitorName = out.Put(port.monitor);
            info.pDescription = out.Put(port.description);
            info.fPortType = kPortTypeWrite;
            out.Store(i, info);
        }
    }
    *pcReturned = static_cast<DWORD>(m_ports.size());
    return Succeed(callersError);
}

BOOL SimSpooler::AddPortA(const char* pName, void* hWnd, const char* pMonitorName) {
    const DWORD callersError = LastError();
    if (!Enter("AddPortA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    if (pMonitorName == nullptr || pMonitorName[0] == '\0') return Fail(win::ERROR_INVALID_PARAMETER);

    std::lock_guard<std::mutex> lock(m_mutex);
    const bool hasUi = SameName(pMonitorName, kSimTcpMonitor) || SameName(pMonitorName, kSimLocalMonitor);
    const bool registered = std::any_of(m_monitors.begin(), m_monitors.end(),
                                        [&](const MonitorRecord& m) { return SameName(m.name, pMonitorName); });
    // Only the port monitors with a user interface of their own can add a
    // port this way; language monitors and unknown names cannot.
    if (!hasUi || !registered) return Fail(win::ERROR_NOT_SUPPORTED);
    if (!RunPortWizard(SameName(pMonitorName, kSimTcpMonitor) ? kSimTcpMonitor : kSimLocalMonitor)) {
        return kFalse;
    }
    return Succeed(callersError);
}

BOOL SimSpooler::RunPortWizard(const std::string& monitor) {
    switch (m_wizardMode) {
        case kCancel:
            return Fail(win::ERROR_CANCELLED);
        case kFail:
            return Fail(m_wizardError);
        case kCreate:
            break;
    }
    if (m_wizardName.empty()) return Fail(win::ERROR_INVALID_PARAMETER);
    if (FindPortLocked(m_wizardName) != m_ports.end()) return Fail(win::ERROR_ALREADY_EXISTS);
    if (monitor != kSimTcpMonitor) {
        m_ports.push_back(PortRecord{m_wizardName, monitor, kSimLocalMonitor});
        return kTrue;
    }
    const bool tcpDescription = m_wizardDescription == kSimTcpMonitor ||
                                m_wizardDescription == "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";  // 标准 TCP/IP 端口
    const std::string madeMonitor = !m_wizardMonitor.empty() ? m_wizardMonitor
                                    : tcpDescription         ? std::string(kSimTcpMonitor)
                                                             : std::string(kSimLocalMonitor);
    m_ports.push_back(PortRecord{m_wizardName, madeMonitor, m_wizardDescription});
    return kTrue;
}

BOOL SimSpooler::ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) {
    const DWORD callersError = LastError();
    if (!Enter("ConfigurePortA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (pPortName == nullptr || FindPortLocked(pPortName) == m_ports.end()) return Fail(win::ERROR_NOT_SUPPORTED);
    // The port's own dialog is taken as closed with OK and nothing changed.
    return Succeed(callersError);
}

BOOL SimSpooler::DeletePortA(const char* pName, void* hWnd, const char* pPortName) {
    const DWORD callersError = LastError();
    if (!Enter("DeletePortA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto port = pPortName != nullptr ? FindPortLocked(pPortName) : m_ports.end();
    if (port == m_ports.end()) return Fail(win::ERROR_NOT_SUPPORTED);
    // A printer must never be left on a port that no longer exists.
    const bool inUse = std::any_of(m_printers.begin(), m_printers.end(),
                                   [&](const Printer& p) { return SameName(p.port, port->name); });
    if (inUse) return Fail(kSimErrorBusy);
    m_ports.erase(port);
    return Succeed(callersError);
}

// -------------------------------------------------------------- drivers

std::string SimSpooler::DriverDirectory(const std::string& environment) {
    if (SameName(environment, kSimEnvironmentX86)) return std::string(kDriversRoot) + "\\W32X86";
    if (SameName(environment, kSimEnvironmentX64)) return std::string(kDriversRoot) + "\\x64";
    if (SameName(environment, kSimEnvironmentArm64)) return std::string(kDriversRoot) + "\\ARM64";
    return std::string();
}

bool SimSpooler::CreateDirectoryChain(const std::string& path) {
    // "C:\a\b": create "C:\a", then "C:\a\b"; existing levels are fine.
    for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
        const std::string level = path.substr(0, at);
        if (!FileExists(level)) m_files.CreateDirectoryA(level.c_str(), nullptr);
        if (at == std::string::npos) break;
    }
    const DWORD attributes = m_files.GetFileAttributesA(path.c_str());
    return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SimSpooler::FileExists(const std::string& path) {
    return m_files.GetFileAttributesA(path.c_str()) != win::INVALID_FILE_ATTRIBUTES;
}

std::string SimSpooler::EnsureDriverDirectory(const std::string& environment) {
    const std::string directory = DriverDirectory(environment);
    CreateDirectoryChain(directory);
    return directory;
}

BOOL SimSpooler::GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                            BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) {
    const DWORD callersError = LastError();
    if (!Enter("GetPrinterDriverDirectoryA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    if (level != 1) return Fail(kSimErrorInvalidLevel);
    const std::optional<std::string> environment = CanonicalEnvironment(pEnvironment);
    if (!environment) return Fail(kSimErrorInvalidEnvironment);
    if (pcbNeeded == nullptr) return Fail(kSimErrorNullRefPointer);

    std::lock_guard<std::mutex> lock(m_mutex);
    std::string directory = EnsureDriverDirectory(*environment);
    if (m_emptyDriverDirectoryAnswers > 0) {
        --m_emptyDriverDirectoryAnswers;
        directory.clear();
    }
    *pcbNeeded = static_cast<DWORD>(directory.size() + 1);
    if (cbBuf < directory.size() + 1) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
    if (pDriverDirectory == nullptr) return Fail(kSimErrorNullRefPointer);
    std::memcpy(pDriverDirectory, directory.c_str(), directory.size() + 1);
    return Succeed(callersError);
}

BOOL SimSpooler::AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) {
    const DWORD callersError = LastError();
    if (!Enter("AddPrinterDriverExA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    if (level != 2 && level != 3) return Fail(kSimErrorInvalidLevel);
    if (pDriverInfo == nullptr) return Fail(win::ERROR_INVALID_PARAMETER);

    DriverRecord record;
    std::vector<std::string> named;  // the files as the record names them
    {
        DriverInfo2 head;
        std::memcpy(&head, pDriverInfo, sizeof(head));
        if (head.pName == nullptr || head.pName[0] == '\0' || head.pDriverPath == nullptr ||
            head.pDriverPath[0] == '\0' || head.pDataFile == nullptr || head.pDataFile[0] == '\0' ||
            head.pConfigFile == nullptr || head.pConfigFile[0] == '\0' || head.cVersion > 3) {
            return Fail(win::ERROR_INVALID_PARAMETER);
        }
        const std::optional<std::string> environment = CanonicalEnvironment(head.pEnvironment);
        if (!environment) return Fail(kSimErrorInvalidEnvironment);
        record.version = head.cVersion;
        record.name = head.pName;
        record.environment = *environment;
        record.driverPath = head.pDriverPath;
        record.dataFile = head.pDataFile;
        record.configFile = head.pConfigFile;
        named = {record.driverPath, record.dataFile, record.configFile};
    }
    if (level == 3) {
        win::DRIVER_INFO_3 info;
        std::memcpy(&info, pDriverInfo, sizeof(info));
        record.helpFile = Str(info.pHelpFile);
        if (!record.helpFile.empty()) named.push_back(record.helpFile);
        for (const char* file = info.pDependentFiles; file != nullptr && file[0] != '\0';
             file += std::strlen(file) + 1) {
            record.dependentFiles.emplace_back(file);
            named.emplace_back(file);
        }
        record.monitorName = Str(info.pMonitorName);
        record.defaultDataType = Str(info.pDefaultDataType);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string directory = EnsureDriverDirectory(record.environment);
    std::vector<std::string> sources;
    for (const std::string& file : named) {
        // A bare name, or one with only a leading '\', lives in the
        // environment's driver directory.
        std::string source = file;
        if (file[0] == '\\' && !HasFolder(file.substr(1))) {
            source = directory + file;
        } else if (!HasFolder(file)) {
            source = directory + "\\" + file;
        }
        const DWORD attributes = m_files.GetFileAttributesA(source.c_str());
        if (attributes == win::INVALID_FILE_ATTRIBUTES || (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return Fail(win::ERROR_FILE_NOT_FOUND);
        }
        sources.push_back(source);
    }
    // A real spooler refuses a driver whose language monitor it cannot
    // load ("the specified print monitor is unknown"); an empty name means
    // the driver has none.
    if (!record.monitorName.empty() &&
        std::none_of(m_monitors.begin(), m_monitors.end(),
                     [&](const MonitorRecord& m) { return SameName(m.name, record.monitorName); })) {
        return Fail(win::ERROR_UNKNOWN_PRINT_MONITOR);
    }

    const std::string versionDirectory = directory + "\\" + std::to_string(record.version);
    if (!CreateDirectoryChain(versionDirectory)) return Fail(win::ERROR_PATH_NOT_FOUND);
    for (const std::string& source : sources) {
        const std::string target = versionDirectory + "\\" + BaseName(source);
        if (std::find(record.installedFiles.begin(), record.installedFiles.end(), target) !=
            record.installedFiles.end()) {
            continue;
        }
        if (!m_files.CopyFileA(source.c_str(), target.c_str(), kFalse)) {
            const DWORD error = LastError();
            return Fail(error != 0 ? error : win::ERROR_CANTWRITE);
        }
        record.installedFiles.push_back(target);
    }

    auto existing = std::find_if(m_drivers.begin(), m_drivers.end(), [&](const DriverRecord& d) {
        return SameName(d.name, record.name) && d.environment == record.environment;
    });
    if (existing != m_drivers.end()) {
        *existing = std::move(record);
    } else {
        m_drivers.push_back(std::move(record));
    }
    return Succeed(callersError);
}

BOOL SimSpooler::EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level, BYTE* pDriverInfo,
                                     DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) {
    const DWORD callersError = LastError();
    if (!Enter("EnumPrinterDriversA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    // Only the level the installer reads is simulated.
    if (level != 3) return Fail(kSimErrorInvalidLevel);
    if (pcbNeeded == nullptr || pcReturned == nullptr || (pDriverInfo == nullptr && cbBuf > 0)) {
        return Fail(kSimErrorNullRefPointer);
    }
    *pcReturned = 0;
    // "all" lists the drivers of every environment ("EnumPrinterDrivers function").
    const bool all = pEnvironment != nullptr && SameName(pEnvironment, "all");
    const std::optional<std::string> environment = all ? std::string() : CanonicalEnvironment(pEnvironment);
    if (!environment) return Fail(kSimErrorInvalidEnvironment);

    std::lock_guard<std::mutex> lock(m_mutex);
    struct Texts {
        std::string name, environment, driverPath, dataFile, configFile, helpFile, dependents, monitor, datatype;
    };
    std::vector<Texts> listed;
    size_t needed = 0;
    for (const DriverRecord& d : m_drivers) {
        if (!all && !SameName(d.environment, *environment)) continue;
        // The spooler names the copies in its versioned folder.
        const std::string folder = DriverDirectory(d.environment) + "\\" + std::to_string(d.version) + "\\";
        const auto copy = [&](const std::string& file) { return file.empty() ? file : folder + BaseName(file); };
        Texts t{d.name, d.environment, copy(d.driverPath), copy(d.dataFile), copy(d.configFile),
                copy(d.helpFile), std::string(), d.monitorName, d.defaultDataType};
        for (const std::string& file : d.dependentFiles) t.dependents += BaseName(file) + '\0';
        if (t.dependents.empty()) t.dependents.push_back('\0');  // an empty list still ends in two NULs
        needed += sizeof(win::DRIVER_INFO_3) + StringBytes({&t.name, &t.environment, &t.driverPath, &t.dataFile,
                                                            &t.configFile, &t.helpFile, &t.dependents, &t.monitor,
                                                            &t.datatype});
        listed.push_back(std::move(t));
    }
    *pcbNeeded = static_cast<DWORD>(needed);
    if (cbBuf < needed) return Fail(win::ERROR_INSUFFICIENT_BUFFER);

    RecordBuffer out(pDriverInfo, sizeof(win::DRIVER_INFO_3) * listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        const Texts& t = listed[i];
        win::DRIVER_INFO_3 info{};
        info.cVersion = 3;
        info.pName = out.Put(t.name);
        info.pEnvironment = out.Put(t.environment);
        info.pDriverPath = out.Put(t.driverPath);
        info.pDataFile = out.Put(t.dataFile);
        info.pConfigFile = out.Put(t.configFile);
        info.pHelpFile = out.Put(t.helpFile);
        info.pDependentFiles = out.Put(t.dependents);
        info.pMonitorName = out.Put(t.monitor);
        info.pDefaultDataType = out.Put(t.datatype);
        out.Store(i, info);
    }
    *pcReturned = static_cast<DWORD>(listed.size());
    return Succeed(callersError);
}

BOOL SimSpooler::DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                        DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    const DWORD callersError = LastError();
    if (!Enter("DeletePrinterDriverExA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    const std::optional<std::string> environment = CanonicalEnvironment(pEnvironment);
    if (!environment) return Fail(kSimErrorInvalidEnvironment);
    constexpr DWORD kKnownFlags =
        win::DPD_DELETE_UNUSED_FILES | win::DPD_DELETE_SPECIFIC_VERSION | win::DPD_DELETE_ALL_FILES;
    if (pDriverName == nullptr || pDriverName[0] == '\0' || (dwDeleteFlag & ~kKnownFlags) != 0) {
        return Fail(win::ERROR_INVALID_PARAMETER);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    auto driver = std::find_if(m_drivers.begin(), m_drivers.end(), [&](const DriverRecord& d) {
        return SameName(d.name, pDriverName) && d.environment == *environment &&
               ((dwDeleteFlag & win::DPD_DELETE_SPECIFIC_VERSION) == 0 || d.version == dwVersionFlag);
    });
    if (driver == m_drivers.end()) return Fail(win::ERROR_UNKNOWN_PRINTER_DRIVER);
    // Printers use the spooler's own environment's driver of their name.
    if (SameName(*environment, m_nativeEnvironment) &&
        std::any_of(m_printers.begin(), m_printers.end(),
                    [&](const Printer& p) { return SameName(p.driver, driver->name); })) {
        return Fail(win::ERROR_PRINTER_DRIVER_IN_USE);
    }
    // A file another driver was installed with stays for that driver.
    const auto shared = [&](const std::string& file) {
        for (auto other = m_drivers.begin(); other != m_drivers.end(); ++other) {
            if (other == driver) continue;
            for (const std::string& theirs : other->installedFiles) {
                if (SameName(theirs, file)) return true;
            }
        }
        return false;
    };
    // DPD_DELETE_ALL_FILES deletes the driver only if every one of its files can go.
    if ((dwDeleteFlag & win::DPD_DELETE_ALL_FILES) != 0 &&
        std::any_of(driver->installedFiles.begin(), driver->installedFiles.end(), shared)) {
        return Fail(win::ERROR_PRINTER_DRIVER_IN_USE);
    }
    if ((dwDeleteFlag & (win::DPD_DELETE_UNUSED_FILES | win::DPD_DELETE_ALL_FILES)) != 0) {
        for (const std::string& file : driver->installedFiles) {
            if (!shared(file)) m_files.DeleteFileA(file.c_str());
        }
    }
    m_drivers.erase(driver);
    return Succeed(callersError);
}

// ------------------------------------------------------------- monitors

BOOL SimSpooler::AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) {
    if (!Enter("AddMonitorA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    if (level != 2) return Fail(kSimErrorInvalidLevel);
    if (pMonitors == nullptr) return Fail(win::ERROR_INVALID_PARAMETER);
    win::MONITOR_INFO_2 info;
    std::memcpy(&info, pMonitors, sizeof(info));
    if (info.pName == nullptr || info.pName[0] == '\0' || info.pDLLName == nullptr || info.pDLLName[0] == '\0') {
        return Fail(win::ERROR_INVALID_PARAMETER);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    // A monitor runs inside the spooler, so it must be built for the
    // spooler's own environment.
    const std::string environment =
        info.pEnvironment == nullptr || info.pEnvironment[0] == '\0' ? m_nativeEnvironment : info.pEnvironment;
    if (!SameName(environment, m_nativeEnvironment)) return Fail(kSimErrorInvalidEnvironment);
    // The name is looked up before the DLL is loaded: a second registration
    // fails with 3006 even when its DLL is gone.
    if (std::any_of(m_monitors.begin(), m_monitors.end(),
                    [&](const MonitorRecord& m) { return SameName(m.name, info.pName); })) {
        return Fail(win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    }
    // The monitor is loaded by its file name from the spooler's own system
    // folder, whatever folder the caller named (the AddMonitor page: the
    // monitor's files are copied to the system folder first). The spooler
    // is a native program: SysWOW64 is never looked in.
    const std::string dll = info.pDLLName;
    const std::string path = std::string(kSystemDirectory) + "\\" + BaseName(dll);
    const DWORD attributes = m_files.GetFileAttributesA(path.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES || (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(win::ERROR_MOD_NOT_FOUND);
    }
    m_monitors.push_back(MonitorRecord{info.pName, m_nativeEnvironment, path});
    // The spooler loads the monitor at once and keeps it loaded while it runs.
    m_loadedDlls.push_back(path);
    if (m_loadFiles) m_loadFiles(m_loadedDlls);
    // Measured on Windows and Wine alike: success clears the error.
    SetLastError(win::ERROR_SUCCESS);
    return kTrue;
}

BOOL SimSpooler::DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) {
    const DWORD callersError = LastError();
    if (!Enter("DeleteMonitorA", pName)) return kFalse;
    SimEnv::InternalScope internal;
    if (!CanonicalEnvironment(pEnvironment)) return Fail(kSimErrorInvalidEnvironment);
    if (pMonitorName == nullptr || pMonitorName[0] == '\0') return Fail(win::ERROR_INVALID_PARAMETER);

    std::lock_guard<std::mutex> lock(m_mutex);
    auto monitor = std::find_if(m_monitors.begin(), m_monitors.end(),
                                [&](const MonitorRecord& m) { return SameName(m.name, pMonitorName); });
    if (monitor == m_monitors.end()) return Fail(win::ERROR_UNKNOWN_PRINT_MONITOR);
    if (std::any_of(m_ports.begin(), m_ports.end(),
                    [&](const PortRecord& p) { return SameName(p.monitor, monitor->name); })) {
        return Fail(kSimErrorMonitorInUse);
    }
    m_monitors.erase(monitor);
    return Succeed(callersError);
}

// ------------------------------------------------- TCP/IP port monitor

namespace {

// The monitor's fields are ASCII in practice; anything else cannot match a
// narrow name and becomes '?'.
template <size_t N>
std::string Narrow(const win::WCHAR (&text)[N]) {
    std::string narrow;
    for (size_t i = 0; i < N && text[i] != 0; ++i) narrow.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    return narrow;
}

std::string Narrow(const win::WCHAR* text) {
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) narrow.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return narrow;
}

bool IsDottedAddress(const std::string& host) {
    return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

BOOL SimSpooler::XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                          BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) {
    const DWORD callersError = LastError();
    if (!Enter("XcvDataW", nullptr)) return kFalse;
    SimEnv::InternalScope internal;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_xcvHandles.count(reinterpret_cast<std::uintptr_t>(hXcv)) == 0) return Fail(win::ERROR_INVALID_HANDLE);
    if (pszDataName == nullptr || pcbOutputNeeded == nullptr || pdwStatus == nullptr) {
        return Fail(win::ERROR_INVALID_PARAMETER);
    }
    *pcbOutputNeeded = 0;
    // The call succeeds whenever the monitor was reached; what the monitor
    // made of the command is the status ("XcvData function").
    if (Narrow(pszDataName) != "AddPort") {
        *pdwStatus = win::ERROR_NOT_SUPPORTED;  // the other commands are not simulated
    } else if (pInputData == nullptr || cbInputData < sizeof(win::PORT_DATA_1)) {
        *pdwStatus = kSimErrorInvalidData;  // "TCPMON Xcv Commands", AddPort
    } else {
        win::PORT_DATA_1 data;
        std::memcpy(&data, pInputData, sizeof(data));
        *pdwStatus = AddTcpPortLocked(data);
    }
    return Succeed(callersError);
}

DWORD SimSpooler::AddTcpPortLocked(const win::PORT_DATA_1& data) {
    if (data.dwVersion != 1) return kSimErrorInvalidLevel;  // "TCPMON Xcv Commands", AddPort
    const std::string name = Narrow(data.sztPortName);
    const std::string host = Narrow(data.sztHostAddress);
    if (name.empty() || host.empty() ||
        (data.dwProtocol != win::PROTOCOL_RAWTCP_TYPE && data.dwProtocol != win::PROTOCOL_LPR_TYPE)) {
        return win::ERROR_INVALID_PARAMETER;
    }
    // A second port of a name is refused as the spooler's ports are: the
    // system's port tools report it as 0x800700B7.
    if (FindPortLocked(name) != m_ports.end()) return win::ERROR_ALREADY_EXISTS;

    // The monitor keeps its ports under its own key: an address in
    // "IPAddress", a host name in "HostName".
    win::HKEY key = nullptr;
    const std::string path = kSimTcpPortsKey + name;
    win::LONG status = m_registry.RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                                  win::REG_OPTION_NON_VOLATILE, win::KEY_ALL_ACCESS, nullptr, &key,
                                                  nullptr);
    if (status != win::ERROR_SUCCESS) return static_cast<DWORD>(status);
    const bool dotted = IsDottedAddress(host);
    const std::string address = dotted ? host : std::string();
    const std::string hostName = dotted ? std::string() : host;
    for (const auto& [value, text] : {std::pair<const char*, const std::string*>{"IPAddress", &address},
                                      std::pair<const char*, const std::string*>{"HostName", &hostName}}) {
        m_registry.RegSetValueExA(key, value, 0, win::REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                                  static_cast<DWORD>(text->size() + 1));
    }
    const std::pair<const char*, DWORD> numbers[] = {{"Protocol", data.dwProtocol},
                                                     {"Version", data.dwVersion},
                                                     {"PortNumber", data.dwPortNumber},
                                                     {"SNMP Enabled", data.dwSNMPEnabled}};
    for (const auto& [value, number] : numbers) {
        m_registry.RegSetValueExA(key, value, 0, win::REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                  sizeof(number));
    }
    m_registry.RegCloseKey(key);
    m_ports.push_back(PortRecord{name, kSimTcpMonitor, kSimTcpMonitor});
    return win::ERROR_SUCCESS;
}

// ------------------------------------------------------------- printers

BOOL SimSpooler::EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf,
                               DWORD* pcbNeeded, DWORD* pcReturned) {
    // As EnumPortsA's arrivals: added once this call has returned.
    struct Arrivals {
        SimSpooler& spooler;
        std::vector<std::pair<std::string, PrinterRecord>> printers;
        ~Arrivals() {
            const DWORD error = LastError();
            SimEnv::InternalScope internal;
            for (auto& [printerName, record] : printers) {
                win::PRINTER_INFO_2 info{};
                info.pPrinterName = printerName.data();
                info.pPortName = record.port.data();
                info.pDriverName = record.driver.data();
                info.pPrintProcessor = const_cast<char*>("WinPrint");
                info.pDatatype = const_cast<char*>("RAW");
                HANDLE added = spooler.AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
                if (added != nullptr) spooler.ClosePrinter(added);
            }
            SetLastError(error);
        }
    } arrivals{*this, {}};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        arrivals.printers.swap(m_printersAfterEnumeration);
    }
    const DWORD callersError = LastError();
    if (!Enter("EnumPrintersA", nullptr)) return kFalse;
    SimEnv::InternalScope internal;
    if (level != 2 && level != 4) return Fail(kSimErrorInvalidLevel);
    if (pcbNeeded == nullptr || pcReturned == nullptr || (pBuf == nullptr && cbBuf > 0)) {
        return Fail(kSimErrorNullRefPointer);
    }
    *pcReturned = 0;

    std::lock_guard<std::mutex> lock(m_mutex);
    // There are no connections to other servers: only local printers, by
    // PRINTER_ENUM_LOCAL or by PRINTER_ENUM_NAME for the local server.
    const bool local = (flags & win::PRINTER_ENUM_LOCAL) != 0 ||
                       ((flags & kPrinterEnumName) != 0 && IsLocalServer(name));
    const size_t count = local ? m_printers.size() : 0;
    const size_t recordSize = level == 2 ? sizeof(win::PRINTER_INFO_2) : sizeof(PrinterInfo4);
    const std::string empty;
    size_t needed = recordSize * count;
    for (size_t i = 0; i < count; ++i) {
        const Printer& p = m_printers[i];
        needed += level == 4 ? StringBytes({&p.name})
                             : StringBytes({&p.name, &empty, &p.port, &p.driver, &empty, &empty, &empty,
                                            &p.printProcessor, &p.datatype, &empty});
    }
    *pcbNeeded = static_cast<DWORD>(needed);
    if (cbBuf < needed) return Fail(win::ERROR_INSUFFICIENT_BUFFER);

    RecordBuffer out(pBuf, recordSize * count);
    for (size_t i = 0; i < count; ++i) {
        const Printer& p = m_printers[i];
        if (level == 4) {
            out.Store(i, PrinterInfo4{out.Put(p.name), nullptr, kPrinterAttributeLocal});
            continue;
        }
        win::PRINTER_INFO_2 info{};
        info.pPrinterName = out.Put(p.name);
        info.pShareName = out.Put(empty);
        info.pPortName = out.Put(p.port);
        info.pDriverName = out.Put(p.driver);
        info.pComment = out.Put(empty);
        info.pLocation = out.Put(empty);
        info.pSepFile = out.Put(empty);
        info.pPrintProcessor = out.Put(p.printProcessor);
        info.pDatatype = out.Put(p.datatype);
        info.pParameters = out.Put(empty);
        info.Attributes = kPrinterAttributeLocal;
        info.Priority = 1;
        out.Store(i, info);
    }
    *pcReturned = static_cast<DWORD>(count);
    return Succeed(callersError);
}

BOOL SimSpooler::OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) {
    const DWORD callersError = LastError();
    if (!Enter("OpenPrinterA", nullptr)) return kFalse;
    SimEnv::InternalScope internal;
    if (phPrinter == nullptr) return Fail(win::ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    // Handles to the print server itself (a null name) are not simulated.
    if (pPrinterName == nullptr || pPrinterName[0] == '\0') return Fail(win::ERROR_INVALID_PRINTER_NAME);

    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string xcvMonitor = ",XcvMonitor ";
    if (std::strncmp(pPrinterName, xcvMonitor.c_str(), xcvMonitor.size()) == 0) {
        // Only the TCP/IP monitor's transceive interface is simulated
        // ("TCPMON Xcv Interface").
        const std::string monitor = pPrinterName + xcvMonitor.size();
        const bool registered = std::any_of(m_monitors.begin(), m_monitors.end(),
                                            [&](const MonitorRecord& m) { return SameName(m.name, monitor); });
        if (!registered || !SameName(monitor, kSimTcpMonitor)) return Fail(win::ERROR_INVALID_PRINTER_NAME);
        const std::uintptr_t handle = m_nextHandle;
        m_nextHandle += 4;
        m_xcvHandles[handle] = kSimTcpMonitor;
        *phPrinter = reinterpret_cast<HANDLE>(handle);
        return Succeed(callersError);
    }
    auto printer = FindPrinterLocked(pPrinterName);
    if (printer == m_printers.end()) return Fail(win::ERROR_INVALID_PRINTER_NAME);
    const std::uintptr_t handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles[handle] = printer->id;
    *phPrinter = reinterpret_cast<HANDLE>(handle);
    return Succeed(callersError);
}

BOOL SimSpooler::SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) {
    const DWORD callersError = LastError();
    if (!Enter("SetPrinterA", nullptr)) return kFalse;
    SimEnv::InternalScope internal;
    std::lock_guard<std::mutex> lock(m_mutex);
    bool validHandle = false;
    auto printer = FindPrinterByHandleLocked(hPrinter, &validHandle);
    if (!validHandle) return Fail(win::ERROR_INVALID_HANDLE);
    if (printer == m_printers.end()) return Fail(win::ERROR_INVALID_PRINTER_NAME);
    // Only the queue commands of level 0 are simulated; of them only a
    // purge changes anything here (pause and resume act on printing, which
    // never happens).
    if (level != 0) return Fail(kSimErrorInvalidLevel);
    if (command < 1 || command > 4) return Fail(win::ERROR_INVALID_PARAMETER);
    if (command == win::PRINTER_CONTROL_PURGE) {
        printer->queuedJobs = 0;
        if (printer->pendingDeletion) ErasePrinterLocked(printer);
    }
    return Succeed(callersError);
}

BOOL SimSpooler::DeletePrinter(HANDLE hPrinter) {
    const DWORD callersError = LastError();
    if (!Enter("DeletePrinter", nullptr)) return kFalse;
    SimEnv::InternalScope internal;
    std::lock_guard<std::mutex> lock(m_mutex);
    bool validHandle = false;
    auto printer = FindPrinterByHandleLocked(hPrinter, &validHandle);
    if (!validHandle) return Fail(win::ERROR_INVALID_HANDLE);
    if (printer == m_printers.end()) return Fail(win::ERROR_INVALID_PRINTER_NAME);
    // DeletePrinter: "If there are print jobs remaining to be processed,
    // DeletePrinter marks the printer for pending deletion and then deletes
    // it when all the print jobs have been printed." Until then it keeps
    // its name and its driver.
    if (printer->queuedJobs > 0) {
        printer->pendingDeletion = true;
        return Succeed(callersError);
    }
    ErasePrinterLocked(printer);
    return Succeed(callersError);
}

void SimSpooler::ErasePrinterLocked(std::vector<Printer>::iterator printer) {
    if (m_removeKey) {
        m_removeKey(win::HKEY_LOCAL_MACHINE, kPrintersKey + printer->name);
        m_removeKey(win::HKEY_LOCAL_MACHINE, kControlSet001PrintersKey + printer->name);
        m_removeKey(win::HKEY_CURRENT_CONFIG, kCurrentPrintersKey + printer->name);
    }
    // A handle stays valid until it is closed, but no longer reaches a
    // printer: a new printer of the same name gets a new id.
    m_printers.erase(printer);
}

BOOL SimSpooler::ClosePrinter(HANDLE hPrinter) {
    const DWORD callersError = LastError();
    if (!Enter("ClosePrinter", nullptr)) return kFalse;
    SimEnv::InternalScope internal;
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto key = reinterpret_cast<std::uintptr_t>(hPrinter);
    if (m_handles.erase(key) == 0 && m_xcvHandles.erase(key) == 0) return Fail(win::ERROR_INVALID_HANDLE);
    return Succeed(callersError);
}

HANDLE SimSpooler::AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) {
    const DWORD callersError = LastError();
    if (!Enter("AddPrinterA", pName)) return nullptr;
    SimEnv::InternalScope internal;
    if (level != 2) {
        SetLastError(kSimErrorInvalidLevel);
        return nullptr;
    }
    if (pPrinter == nullptr) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    win::PRINTER_INFO_2 info;
    std::memcpy(&info, pPrinter, sizeof(info));

    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD error = win::ERROR_SUCCESS;
    if (!IsValidPrinterName(info.pPrinterName)) {
        error = win::ERROR_INVALID_PRINTER_NAME;
    } else if (FindPrinterLocked(info.pPrinterName) != m_printers.end()) {
        error = win::ERROR_PRINTER_ALREADY_EXISTS;
    } else if (info.pPortName == nullptr || FindPortLocked(info.pPortName) == m_ports.end()) {
        error = win::ERROR_UNKNOWN_PORT;
    } else if (info.pDriverName == nullptr || FindDriverLocked(info.pDriverName, m_nativeEnvironment) == nullptr) {
        // The spooler serves its own environment: a 32-bit program on 64-bit
        // Windows gets the x64 driver.
        error = win::ERROR_UNKNOWN_PRINTER_DRIVER;
    } else if (info.pPrintProcessor != nullptr && info.pPrintProcessor[0] != '\0' &&
               !SameName(info.pPrintProcessor, kDefaultPrintProcessor)) {
        error = kSimErrorUnknownPrintProcessor;
    }
    if (error != win::ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }

    Printer printer;
    printer.id = m_nextPrinterId++;
    printer.name = info.pPrinterName;
    printer.port = FindPortLocked(info.pPortName)->name;
    printer.driver = FindDriverLocked(info.pDriverName, m_nativeEnvironment)->name;
    printer.printProcessor = kDefaultPrintProcessor;
    printer.datatype = info.pDatatype != nullptr && info.pDatatype[0] != '\0' ? info.pDatatype : kDefaultDatatype;
    const win::LONG status = WritePrinterKeys(printer);
    if (status != win::ERROR_SUCCESS) {
        // No half-registered printer: what was written goes again.
        if (m_removeKey) {
            m_removeKey(win::HKEY_LOCAL_MACHINE, kPrintersKey + printer.name);
            m_removeKey(win::HKEY_LOCAL_MACHINE, kControlSet001PrintersKey + printer.name);
        }
        SetLastError(static_cast<DWORD>(status));
        return nullptr;
    }
    m_printers.push_back(printer);
    const std::uintptr_t handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles[handle] = printer.id;
    SetLastError(callersError);
    return reinterpret_cast<HANDLE>(handle);
}

win::LONG SimSpooler::WritePrinterKeys(const Printer& printer) {
    using Values = std::vector<std::pair<const char*, const std::string*>>;
    const auto write = [this](win::HKEY root, const std::string& path, const Values& values) -> win::LONG {
        win::HKEY key = nullptr;
        win::LONG status = m_registry.RegCreateKeyExA(root, path.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                                                      win::KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (status != win::ERROR_SUCCESS) return status;
        for (const auto& [name, data] : values) {
            status = m_registry.RegSetValueExA(key, name, 0, win::REG_SZ,
                                               reinterpret_cast<const BYTE*>(data->c_str()),
                                               static_cast<DWORD>(data->size() + 1));
            if (status != win::ERROR_SUCCESS) break;
        }
        m_registry.RegCloseKey(key);
        return status;
    };
    const std::string& n = printer.name;
    win::LONG status = write(win::HKEY_LOCAL_MACHINE, kPrintersKey + n,
                             {{"Name", &n}, {"Port", &printer.port}, {"Printer Driver", &printer.driver}});
    if (status == win::ERROR_SUCCESS) {
        status = write(win::HKEY_LOCAL_MACHINE, kPrintersKey + n + "\\DsSpooler",
                       {{"printerName", &n}, {"portName", &printer.port}, {"driverName", &printer.driver}});
    }
    if (status == win::ERROR_SUCCESS) {
        status = write(win::HKEY_LOCAL_MACHINE, kControlSet001PrintersKey + n,
                       {{"Name", &n},
                        {"Port", &printer.port},
                        {"Printer Driver", &printer.driver},
                        {"Print Processor", &printer.printProcessor},
                        {"Datatype", &printer.datatype}});
    }
    return status;
}

// -------------------------------------------------------- service start

void SimSpooler::ReloadMonitorsLocked() {
    m_loadedDlls.clear();
    for (const MonitorRecord& monitor : m_monitors) m_loadedDlls.push_back(monitor.dllPath);
    if (m_loadFiles) m_loadFiles(m_loadedDlls);
}

void SimSpooler::OnSpoolerStarted() {
    const DWORD callersError = LastError();
    std::lock_guard<std::mutex> lock(m_mutex);
    ReloadMonitorsLocked();
    for (Printer& printer : m_printers) {
        // Whoever wrote the printer's port into the registry while the
        // spooler was down has bound it to that port now.
        win::HKEY key = nullptr;
        const std::string path = kCurrentPrintersKey + printer.name;
        if (m_registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0, win::KEY_READ, &key) ==
            win::ERROR_SUCCESS) {
            char port[512] = {};
            DWORD type = win::REG_NONE;
            DWORD size = sizeof(port) - 1;
            if (m_registry.RegQueryValueExA(key, "Port", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) ==
                    win::ERROR_SUCCESS &&
                type == win::REG_SZ && port[0] != '\0') {
                printer.port = port;
            }
            m_registry.RegCloseKey(key);
        }

        if (!m_writesOnLineFlags) continue;
        const DWORD online = m_usbAttached.count(FoldName(printer.port)) != 0 ? 1 : 0;
        win::HKEY profileKey = nullptr;
        win::LONG status =
            m_registry.RegCreateKeyExA(win::HKEY_CURRENT_CONFIG, path.c_str(), 0, nullptr,
                                       win::REG_OPTION_NON_VOLATILE, win::KEY_ALL_ACCESS, nullptr, &profileKey, nullptr);
        if (status == kErrorChildMustBeVolatile) {
            // The hardware profile may live in volatile storage.
            status = m_registry.RegCreateKeyExA(win::HKEY_CURRENT_CONFIG, path.c_str(), 0, nullptr,
                                                win::REG_OPTION_VOLATILE, win::KEY_ALL_ACCESS, nullptr, &profileKey,
                                                nullptr);
        }
        if (status == win::ERROR_SUCCESS) {
            m_registry.RegSetValueExA(profileKey, "PrinterOnLine", 0, win::REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&online), sizeof(online));
            m_registry.RegCloseKey(profileKey);
        }
    }
    SetLastError(callersError);
}

// --------------------------------------------------------- configuration

void SimSpooler::AddPort(const std::string& name, const std::string& monitor, const std::string& description) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto port = FindPortLocked(name);
    if (port != m_ports.end()) {
        port->monitor = monitor;
        port->description = description;
    } else {
        m_ports.push_back(PortRecord{name, monitor, description});
    }
}

void SimSpooler::AddPortAfterNextEnumeration(const PortRecord& port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_portsAfterEnumeration.push_back(port);
}

void SimSpooler::AddPrinterAfterNextEnumeration(const std::string& name, const PrinterRecord& printer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_printersAfterEnumeration.emplace_back(name, printer);
}

bool SimSpooler::RemovePort(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto port = FindPortLocked(name);
    if (port == m_ports.end()) return false;
    m_ports.erase(port);
    return true;
}

void SimSpooler::ClearPorts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports.clear();
}

void SimSpooler::AttachUsbPrinter(const std::string& portName) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_usbAttached[FoldName(portName)] = portName;
}

void SimSpooler::DetachUsbPrinter(const std::string& portName) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_usbAttached.erase(FoldName(portName));
}

void SimSpooler::SetWritesOnLineFlags(bool writes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writesOnLineFlags = writes;
}

bool SimSpooler::QueueJobs(const std::string& printerName, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto printer = FindPrinterLocked(printerName);
    if (printer == m_printers.end()) return false;
    printer->queuedJobs += count;
    return true;
}

void SimSpooler::AnswerEmptyDriverDirectory(int times) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_emptyDriverDirectoryAnswers = times;
}

std::vector<std::string> SimSpooler::UsbPrinterPorts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> ports;
    for (const auto& attached : m_usbAttached) ports.push_back(attached.second);
    return ports;
}

bool SimSpooler::SetNativeEnvironment(const std::string& environment) {
    const std::optional<std::string> canonical = CanonicalEnvironment(environment.c_str());
    if (environment.empty() || !canonical) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nativeEnvironment = *canonical;
    // Monitors run inside the spooler: every one of them is native.
    for (MonitorRecord& monitor : m_monitors) monitor.environment = m_nativeEnvironment;
    return true;
}

void SimSpooler::SetPortWizard(PortWizard mode, const std::string& name, const std::string& description,
                               const std::string& monitor) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wizardMode = mode;
    m_wizardName = name;
    m_wizardDescription = description;
    m_wizardMonitor = monitor;
}

void SimSpooler::SetPortWizard(PortWizard mode, win::DWORD error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wizardMode = mode;
    m_wizardError = error;
}

// ---------------------------------------------------------------- queries

std::vector<SimSpooler::PortRecord>::iterator SimSpooler::FindPortLocked(const std::string& name) {
    return std::find_if(m_ports.begin(), m_ports.end(), [&](const PortRecord& p) { return SameName(p.name, name); });
}

std::vector<SimSpooler::Printer>::iterator SimSpooler::FindPrinterLocked(const std::string& name) {
    return std::find_if(m_printers.begin(), m_printers.end(), [&](const Printer& p) { return SameName(p.name, name); });
}

std::vector<SimSpooler::Printer>::iterator SimSpooler::FindPrinterByHandleLocked(HANDLE handle, bool* validHandle) {
    auto entry = m_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    *validHandle = entry != m_handles.end();
    if (!*validHandle) return m_printers.end();
    const unsigned id = entry->second;
    return std::find_if(m_printers.begin(), m_printers.end(), [&](const Printer& p) { return p.id == id; });
}

const SimSpooler::DriverRecord* SimSpooler::FindDriverLocked(const std::string& name,
                                                             const std::string& environment) const {
    for (const DriverRecord& driver : m_drivers) {
        if (SameName(driver.name, name) && SameName(driver.environment, environment)) return &driver;
    }
    return nullptr;
}

std::optional<SimSpooler::PrinterRecord> SimSpooler::FindPrinter(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Printer& p : m_printers) {
        if (SameName(p.name, name)) return PrinterRecord{p.port, p.driver};
    }
    return std::nullopt;
}

std::vector<std::string> SimSpooler::PrinterNames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    for (const Printer& p : m_printers) names.push_back(p.name);
    return names;
}

std::vector<std::string> SimSpooler::DriverNames(const std::string& environment) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    for (const DriverRecord& d : m_drivers) {
        if (SameName(d.environment, environment)) names.push_back(d.name);
    }
    return names;
}

std::optional<SimSpooler::DriverRecord> SimSpooler::FindDriver(const std::string& name,
                                                               const std::string& environment) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const DriverRecord* driver = FindDriverLocked(name, environment);
    if (driver == nullptr) return std::nullopt;
    return *driver;
}

std::vector<std::string> SimSpooler::MonitorNames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    for (const MonitorRecord& m : m_monitors) names.push_back(m.name);
    return names;
}

std::optional<SimSpooler::MonitorRecord> SimSpooler::FindMonitor(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const MonitorRecord& m : m_monitors) {
        if (SameName(m.name, name)) return m;
    }
    return std::nullopt;
}

std::vector<SimSpooler::PortRecord> SimSpooler::Ports() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ports;
}

std::string SimSpooler::NativeEnvironment() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nativeEnvironment;
}

SimSpooler::SavedState SimSpooler::SaveState() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    SavedState state;
    state.ports = m_ports;
    for (const Printer& p : m_printers) {
        state.printers.push_back({p.name, p.port, p.driver, p.printProcessor, p.datatype});
    }
    state.drivers = m_drivers;
    state.monitors = m_monitors;
    for (const auto& attached : m_usbAttached) state.usbAttached.push_back(attached.second);
    return state;
}

void SimSpooler::RestoreState(const SavedState& state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ports = state.ports;
    m_printers.clear();
    m_handles.clear();
    for (const SavedPrinter& saved : state.printers) {
        Printer printer;
        printer.id = m_nextPrinterId++;
        printer.name = saved.name;
        printer.port = saved.port;
        printer.driver = saved.driver;
        printer.printProcessor = saved.printProcessor;
        printer.datatype = saved.datatype;
        m_printers.push_back(std::move(printer));
    }
    m_drivers = state.drivers;
    m_monitors = state.monitors;
    ReloadMonitorsLocked();
    m_usbAttached.clear();
    for (const std::string& port : state.usbAttached) m_usbAttached[FoldName(port)] = port;
}

std::string SimSpooler::ToString() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::ostringstream out;
    out << "spooler (native " << m_nativeEnvironment << ")\n  ports:\n";
    for (const PortRecord& p : m_ports) {
        out << "    " << p.name << " [" << p.monitor << "] " << p.description
            << (m_usbAttached.count(FoldName(p.name)) != 0 ? " (USB printer attached)" : "") << "\n";
    }
    out << "  printers:\n";
    for (const Printer& p : m_printers) out << "    " << p.name << " driver=" << p.driver << " port=" << p.port << "\n";
    out << "  drivers:\n";
    for (const DriverRecord& d : m_drivers) {
        out << "    " << d.environment << " v" << d.version << ": " << d.name << " monitor=\"" << d.monitorName
            << "\" files=" << d.installedFiles.size() << "\n";
    }
    out << "  monitors:\n";
    for (const MonitorRecord& m : m_monitors) out << "    " << m.name << " (" << m.environment << ") " << m.dllPath << "\n";
    out << "  port wizard: ";
    switch (m_wizardMode) {
        case kCreate:
            out << "create \"" << m_wizardName << "\" \"" << m_wizardDescription << "\"\n";
            break;
        case kCancel:
            out << "cancel\n";
            break;
        case kFail:
            out << "fail " << m_wizardError << "\n";
            break;
    }
    return out.str();
}

}  // namespace platform::sim
