// Logging machine: the print spooler.
#include "platform/logging/logging_spooler.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform::logging {

namespace {

// The records of the levels whose names an enumeration logs, field for
// field as winspool declares them; the name is where the offset says.
struct PortInfo1 {
    char* pName;
};
struct PrinterInfo1 {
    DWORD Flags;
    char* pDescription;
    char* pName;
    char* pComment;
};
struct PrinterInfo4 {
    char* pPrinterName;
    char* pServerName;
    DWORD Attributes;
};
struct PrinterInfo5 {
    char* pPrinterName;
    char* pPortName;
    DWORD Attributes;
    DWORD DeviceNotSelectedTimeout;
    DWORD TransmissionRetryTimeout;
};

struct RecordShape {
    std::size_t size = 0;  // 0: a level whose names are not read
    std::size_t nameOffset = 0;
};

RecordShape PortShape(DWORD level) {
    if (level == 1) return {sizeof(PortInfo1), offsetof(PortInfo1, pName)};
    if (level == 2) return {sizeof(win::PORT_INFO_2), offsetof(win::PORT_INFO_2, pPortName)};
    return {};
}

RecordShape PrinterShape(DWORD level) {
    if (level == 1) return {sizeof(PrinterInfo1), offsetof(PrinterInfo1, pName)};
    if (level == 2) return {sizeof(win::PRINTER_INFO_2), offsetof(win::PRINTER_INFO_2, pPrinterName)};
    if (level == 4) return {sizeof(PrinterInfo4), offsetof(PrinterInfo4, pPrinterName)};
    if (level == 5) return {sizeof(PrinterInfo5), offsetof(PrinterInfo5, pPrinterName)};
    return {};
}

// The names in a buffer the spooler has filled; only records that lie
// wholly inside it are read.
std::string Found(const RecordShape& shape, const BYTE* buffer, DWORD size, const DWORD* count) {
    if (!count) return "";
    if (shape.size == 0 || !buffer || static_cast<unsigned long long>(*count) * shape.size > size) {
        return ", " + std::to_string(*count) + " found";
    }
    std::vector<std::string> names;
    for (DWORD i = 0; i < *count; ++i) {
        const char* name = *reinterpret_cast<char* const*>(buffer + i * shape.size + shape.nameOffset);
        names.push_back(name ? name : "");
    }
    return FoundNames(names);
}

RecordShape DriverShape(DWORD level) {
    if (level == 3) return {sizeof(win::DRIVER_INFO_3), offsetof(win::DRIVER_INFO_3, pName)};
    return {};
}

// The spooler's wide names, for a line of the log; they are ASCII in
// practice, anything else is shown as '?'.
std::string Narrow(const win::WCHAR* text, std::size_t limit) {
    std::string narrow;
    for (std::size_t i = 0; text && i < limit && text[i] != 0; ++i) {
        narrow.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    }
    return narrow;
}

// The size probe that comes before the real call says nothing worth a line.
bool IsSizeProbe(BOOL result, DWORD error) { return !result && error == win::ERROR_INSUFFICIENT_BUFFER; }

}  // namespace

BOOL LoggingSpooler::EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                                DWORD* pcReturned) {
    const BOOL result = inner().EnumPortsA(pName, level, pBuf, cbBuf, pcbNeeded, pcReturned);
    KeptError error(m_recorder.inner());
    if (IsSizeProbe(result, error.value())) return result;
    const std::string found = result ? Found(PortShape(level), pBuf, cbBuf, pcReturned) : "";
    m_recorder.Write(CallLine("EnumPortsA").Server(pName).Number("level", level).Returns(result, error) +
                     found);
    return result;
}

BOOL LoggingSpooler::EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf,
                                   DWORD* pcbNeeded, DWORD* pcReturned) {
    const BOOL result = inner().EnumPrintersA(flags, name, level, pBuf, cbBuf, pcbNeeded, pcReturned);
    KeptError error(m_recorder.inner());
    if (IsSizeProbe(result, error.value())) return result;
    const std::string found = result ? Found(PrinterShape(level), pBuf, cbBuf, pcReturned) : "";
    m_recorder.Write(CallLine("EnumPrintersA")
                         .Number("flags", flags)
                         .Text("name", name)
                         .Number("level", level)
                         .Returns(result, error) +
                     found);
    return result;
}

BOOL LoggingSpooler::GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                                BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) {
    return inner().GetPrinterDriverDirectoryA(pName, pEnvironment, level, pDriverDirectory, cbBuf, pcbNeeded);
}

BOOL LoggingSpooler::AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) {
    const BOOL result = inner().AddPrinterDriverExA(pName, level, pDriverInfo, copyFlags);
    KeptError error(m_recorder.inner());
    CallLine line("AddPrinterDriverExA");
    line.Server(pName).Number("level", level);
    // Levels 2 and up begin as DRIVER_INFO_3 does.
    if (level >= 2 && pDriverInfo) {
        const auto* info = reinterpret_cast<const win::DRIVER_INFO_3*>(pDriverInfo);
        line.Text("name", info->pName)
            .Text("environment", info->pEnvironment)
            .Text("driver", info->pDriverPath)
            .Text("data", info->pDataFile)
            .Text("config", info->pConfigFile);
    }
    m_recorder.Write(line.Number("flags", copyFlags).Returns(result, error));
    return result;
}

BOOL LoggingSpooler::AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) {
    const BOOL result = inner().AddMonitorA(pName, level, pMonitors);
    KeptError error(m_recorder.inner());
    CallLine line("AddMonitorA");
    line.Server(pName).Number("level", level);
    if (level == 2 && pMonitors) {
        const auto* info = reinterpret_cast<const win::MONITOR_INFO_2*>(pMonitors);
        line.Text("name", info->pName).Text("environment", info->pEnvironment).Text("dll", info->pDLLName);
    }
    m_recorder.Write(line.Returns(result, error));
    return result;
}

BOOL LoggingSpooler::DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) {
    const BOOL result = inner().DeleteMonitorA(pName, pEnvironment, pMonitorName);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("DeleteMonitorA")
                         .Server(pName)
                         .Text("environment", pEnvironment)
                         .Text("name", pMonitorName)
                         .Returns(result, error));
    return result;
}

BOOL LoggingSpooler::OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) {
    const BOOL result = inner().OpenPrinterA(pPrinterName, phPrinter, pDefault);
    KeptError error(m_recorder.inner());
    if (result && phPrinter) m_printers.Remember(*phPrinter, pPrinterName ? pPrinterName : "");
    return result;
}

BOOL LoggingSpooler::SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) {
    const BOOL result = inner().SetPrinterA(hPrinter, level, pPrinter, command);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("SetPrinterA")
                         .Raw("printer", m_printers.Quoted(hPrinter))
                         .Number("level", level)
                         .Number("command", command)
                         .Returns(result, error));
    return result;
}

BOOL LoggingSpooler::DeletePrinter(HANDLE hPrinter) {
    const BOOL result = inner().DeletePrinter(hPrinter);
    KeptError error(m_recorder.inner());
    m_recorder.Write(
        CallLine("DeletePrinter").Raw("printer", m_printers.Quoted(hPrinter)).Returns(result, error));
    return result;
}

BOOL LoggingSpooler::ClosePrinter(HANDLE hPrinter) {
    const BOOL result = inner().ClosePrinter(hPrinter);
    KeptError error(m_recorder.inner());
    if (result) m_printers.Forget(hPrinter);
    return result;
}

HANDLE LoggingSpooler::AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) {
    const HANDLE result = inner().AddPrinterA(pName, level, pPrinter);
    KeptError error(m_recorder.inner());
    CallLine line("AddPrinterA");
    line.Server(pName).Number("level", level);
    if (level == 2 && pPrinter) {
        const auto* info = reinterpret_cast<const win::PRINTER_INFO_2*>(pPrinter);
        line.Text("name", info->pPrinterName).Text("port", info->pPortName).Text("driver", info->pDriverName);
        if (result) m_printers.Remember(result, info->pPrinterName ? info->pPrinterName : "");
    }
    m_recorder.Write(line.Returns(result, error));
    return result;
}

BOOL LoggingSpooler::AddPortA(const char* pName, void* hWnd, const char* pMonitorName) {
    const BOOL result = inner().AddPortA(pName, hWnd, pMonitorName);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("AddPortA").Server(pName).Text("monitor", pMonitorName).Returns(result, error));
    return result;
}

BOOL LoggingSpooler::ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) {
    const BOOL result = inner().ConfigurePortA(pName, hWnd, pPortName);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("ConfigurePortA").Server(pName).Text("port", pPortName).Returns(result, error));
    return result;
}

BOOL LoggingSpooler::DeletePortA(const char* pName, void* hWnd, const char* pPortName) {
    const BOOL result = inner().DeletePortA(pName, hWnd, pPortName);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("DeletePortA").Server(pName).Text("port", pPortName).Returns(result, error));
    return result;
}

BOOL LoggingSpooler::EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level,
                                         BYTE* pDriverInfo, DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) {
    const BOOL result = inner().EnumPrinterDriversA(pName, pEnvironment, level, pDriverInfo, cbBuf, pcbNeeded,
                                                    pcReturned);
    KeptError error(m_recorder.inner());
    if (IsSizeProbe(result, error.value())) return result;
    const std::string found = result ? Found(DriverShape(level), pDriverInfo, cbBuf, pcReturned) : "";
    m_recorder.Write(CallLine("EnumPrinterDriversA")
                         .Server(pName)
                         .Text("environment", pEnvironment)
                         .Number("level", level)
                         .Returns(result, error) +
                     found);
    return result;
}

BOOL LoggingSpooler::DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                            DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    const BOOL result = inner().DeletePrinterDriverExA(pName, pEnvironment, pDriverName, dwDeleteFlag, dwVersionFlag);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("DeletePrinterDriverExA")
                         .Server(pName)
                         .Text("environment", pEnvironment)
                         .Text("name", pDriverName)
                         .Number("flags", dwDeleteFlag)
                         .Number("version", dwVersionFlag)
                         .Returns(result, error));
    return result;
}

BOOL LoggingSpooler::XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                              BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) {
    const BOOL result = inner().XcvDataW(hXcv, pszDataName, pInputData, cbInputData, pOutputData, cbOutputData,
                                         pcbOutputNeeded, pdwStatus);
    KeptError error(m_recorder.inner());
    const std::string command = Narrow(pszDataName, 64);
    CallLine line("XcvDataW");
    line.Raw("handle", m_printers.Quoted(hXcv)).Text("command", command);
    if (command == "AddPort" && pInputData && cbInputData >= sizeof(win::PORT_DATA_1)) {
        const auto* data = reinterpret_cast<const win::PORT_DATA_1*>(pInputData);
        line.Text("port", Narrow(data->sztPortName, win::MAX_PORTNAME_LEN))
            .Text("host", Narrow(data->sztHostAddress, win::MAX_NETWORKNAME_LEN))
            .Number("protocol", data->dwProtocol)
            .Number("portNumber", data->dwPortNumber);
    }
    if (result && pdwStatus) line.Number("status", *pdwStatus);
    m_recorder.Write(line.Returns(result, error));
    return result;
}

}  // namespace platform::logging
