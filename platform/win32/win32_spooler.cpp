// Windows backend: the print spooler, through winspool's W functions with
// the program's code page 936 strings converted at the call
// (platform/win32/code_page.h): printer, driver, port and monitor names
// read and written the same on every Windows.
#include "platform/win32/win32_spooler.h"

#include <cstddef>
#include <utility>

#include "platform/win32/pass_through.h"
#include "platform/win32/wide_records.h"

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

// Loaded as the program starts, where an import would have been: loading it
// later, under Wine, once a serial worker and named objects exist, faults.
const ::HMODULE kWinspoolAtStart = [] {
    ::DWORD ignored = ERROR_SUCCESS;
    return Winspool(&ignored);
}();

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

void PortStrings(NarrowRecords& records, ::DWORD level) {
    if (level == 1) {
        records.Strings({offsetof(PORT_INFO_1W, pName)});
    } else {
        records.Strings({offsetof(PORT_INFO_2W, pPortName), offsetof(PORT_INFO_2W, pMonitorName),
                         offsetof(PORT_INFO_2W, pDescription)});
    }
}

void PrinterStrings(NarrowRecords& records, ::DWORD level) {
    switch (level) {
    case 1:
        records.Strings({offsetof(PRINTER_INFO_1W, pDescription), offsetof(PRINTER_INFO_1W, pName),
                         offsetof(PRINTER_INFO_1W, pComment)});
        break;
    case 2:
        records.Strings({offsetof(PRINTER_INFO_2W, pServerName), offsetof(PRINTER_INFO_2W, pPrinterName),
                         offsetof(PRINTER_INFO_2W, pShareName), offsetof(PRINTER_INFO_2W, pPortName),
                         offsetof(PRINTER_INFO_2W, pDriverName), offsetof(PRINTER_INFO_2W, pComment),
                         offsetof(PRINTER_INFO_2W, pLocation), offsetof(PRINTER_INFO_2W, pSepFile),
                         offsetof(PRINTER_INFO_2W, pPrintProcessor), offsetof(PRINTER_INFO_2W, pDatatype),
                         offsetof(PRINTER_INFO_2W, pParameters)});
        records.Binary(offsetof(PRINTER_INFO_2W, pDevMode), NarrowDevMode);
        records.Binary(offsetof(PRINTER_INFO_2W, pSecurityDescriptor), SecurityDescriptorBytes);
        break;
    case 4:
        records.Strings({offsetof(PRINTER_INFO_4W, pPrinterName), offsetof(PRINTER_INFO_4W, pServerName)});
        break;
    case 5:
        records.Strings({offsetof(PRINTER_INFO_5W, pPrinterName), offsetof(PRINTER_INFO_5W, pPortName)});
        break;
    default:
        break;
    }
}

std::size_t PrinterRecordSize(::DWORD level) {
    switch (level) {
    case 1: return sizeof(PRINTER_INFO_1W);
    case 2: return sizeof(PRINTER_INFO_2W);
    case 4: return sizeof(PRINTER_INFO_4W);
    case 5: return sizeof(PRINTER_INFO_5W);
    default: return 0;
    }
}

// DRIVER_INFO_1 to 3 begin alike; each level adds fields.
void DriverStrings(NarrowRecords& records, ::DWORD level) {
    if (level == 1) {
        records.Strings({offsetof(DRIVER_INFO_1W, pName)});
        return;
    }
    records.Strings({offsetof(DRIVER_INFO_3W, pName), offsetof(DRIVER_INFO_3W, pEnvironment),
                     offsetof(DRIVER_INFO_3W, pDriverPath), offsetof(DRIVER_INFO_3W, pDataFile),
                     offsetof(DRIVER_INFO_3W, pConfigFile)});
    if (level == 3) {
        records.Strings({offsetof(DRIVER_INFO_3W, pHelpFile), offsetof(DRIVER_INFO_3W, pMonitorName),
                         offsetof(DRIVER_INFO_3W, pDefaultDataType)});
        records.MultiString(offsetof(DRIVER_INFO_3W, pDependentFiles));
    }
}

std::size_t DriverRecordSize(::DWORD level) {
    switch (level) {
    case 1: return sizeof(DRIVER_INFO_1W);
    case 2: return sizeof(DRIVER_INFO_2W);
    case 3: return sizeof(DRIVER_INFO_3W);
    default: return 0;
    }
}

void DriverInfoToWide(WideRecord& record, ::DWORD level) {
    record.Strings({offsetof(DRIVER_INFO_3A, pName), offsetof(DRIVER_INFO_3A, pEnvironment),
                    offsetof(DRIVER_INFO_3A, pDriverPath), offsetof(DRIVER_INFO_3A, pDataFile),
                    offsetof(DRIVER_INFO_3A, pConfigFile)});
    if (level == 3) {
        record.Strings({offsetof(DRIVER_INFO_3A, pHelpFile), offsetof(DRIVER_INFO_3A, pMonitorName),
                        offsetof(DRIVER_INFO_3A, pDefaultDataType)});
        record.MultiString(offsetof(DRIVER_INFO_3A, pDependentFiles));
    }
}
}  // namespace

BOOL Win32Spooler::EnumPortsA(const char* pName, DWORD level, BYTE* pBuf, DWORD cbBuf, DWORD* pcbNeeded,
                              DWORD* pcReturned) {
    if (level != 1 && level != 2) {
        return WINSPOOL(EnumPortsA)(Str(pName), level, pBuf, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
    }
    WideArg name(pName);
    const auto call = [&](::BYTE* buffer, ::DWORD size, ::DWORD* needed, ::DWORD* returned) {
        return WINSPOOL(EnumPortsW)(name.mutable_get(), level, buffer, size, needed, returned);
    };
    return EnumerateNarrow(call, level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W),
                           [&](NarrowRecords& records) { PortStrings(records, level); }, pBuf, cbBuf,
                           Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::EnumPrintersA(DWORD flags, const char* name, DWORD level, BYTE* pBuf, DWORD cbBuf,
                                 DWORD* pcbNeeded, DWORD* pcReturned) {
    const std::size_t recordSize = PrinterRecordSize(level);
    if (recordSize == 0) {
        return WINSPOOL(EnumPrintersA)(flags, Str(name), level, pBuf, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
    }
    WideArg wideName(name);
    const auto call = [&](::BYTE* buffer, ::DWORD size, ::DWORD* needed, ::DWORD* returned) {
        return WINSPOOL(EnumPrintersW)(flags, wideName.mutable_get(), level, buffer, size, needed, returned);
    };
    return EnumerateNarrow(call, recordSize, [&](NarrowRecords& records) { PrinterStrings(records, level); }, pBuf,
                           cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::GetPrinterDriverDirectoryA(const char* pName, const char* pEnvironment, DWORD level,
                                              BYTE* pDriverDirectory, DWORD cbBuf, DWORD* pcbNeeded) {
    if (level != 1 || pcbNeeded == nullptr || (pDriverDirectory == nullptr && cbBuf > 0)) {
        return WINSPOOL(GetPrinterDriverDirectoryA)(Str(pName), Str(pEnvironment), level, pDriverDirectory, cbBuf,
                                            Out(pcbNeeded).get());
    }
    WideArg name(pName);
    WideArg environment(pEnvironment);
    const ::DWORD callersError = ::GetLastError();
    WCHAR directory[MAX_PATH * 2] = {};
    ::DWORD wideNeeded = 0;
    if (!WINSPOOL(GetPrinterDriverDirectoryW)(name.mutable_get(), environment.mutable_get(), 1,
                                      reinterpret_cast<::BYTE*>(directory), sizeof directory, &wideNeeded)) {
        *pcbNeeded = wideNeeded;
        return FALSE;
    }
    const std::string narrow = Narrow(directory);
    *pcbNeeded = static_cast<DWORD>(narrow.size() + 1);
    if (cbBuf < *pcbNeeded) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(pDriverDirectory, narrow.c_str(), narrow.size() + 1);
    ::SetLastError(callersError);
    return TRUE;
}

BOOL Win32Spooler::AddPrinterDriverExA(const char* pName, DWORD level, BYTE* pDriverInfo, DWORD copyFlags) {
    if ((level != 2 && level != 3) || pDriverInfo == nullptr) {
        return WINSPOOL(AddPrinterDriverExA)(Str(pName), level, pDriverInfo, copyFlags);
    }
    WideArg name(pName);
    WideRecord info(pDriverInfo, level == 2 ? sizeof(DRIVER_INFO_2A) : sizeof(DRIVER_INFO_3A));
    DriverInfoToWide(info, level);
    return WINSPOOL(AddPrinterDriverExW)(name.mutable_get(), level, info.get(), copyFlags);
}

BOOL Win32Spooler::AddMonitorA(const char* pName, DWORD level, BYTE* pMonitors) {
    if (level != 2 || pMonitors == nullptr) return WINSPOOL(AddMonitorA)(Str(pName), level, pMonitors);
    WideArg name(pName);
    WideRecord info(pMonitors, sizeof(MONITOR_INFO_2A));
    info.Strings({offsetof(MONITOR_INFO_2A, pName), offsetof(MONITOR_INFO_2A, pEnvironment),
                  offsetof(MONITOR_INFO_2A, pDLLName)});
    return WINSPOOL(AddMonitorW)(name.mutable_get(), level, info.get());
}

BOOL Win32Spooler::DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) {
    WideArg name(pName), environment(pEnvironment), monitor(pMonitorName);
    return WINSPOOL(DeleteMonitorW)(name.mutable_get(), environment.mutable_get(), monitor.mutable_get());
}

BOOL Win32Spooler::OpenPrinterA(const char* pPrinterName, HANDLE* phPrinter, win::PRINTER_DEFAULTS* pDefault) {
    // A DEVMODE would need converting too; the program never passes one.
    if (pDefault != nullptr && pDefault->pDevMode != nullptr) {
        return WINSPOOL(OpenPrinterA)(Str(pPrinterName), phPrinter, reinterpret_cast<PRINTER_DEFAULTSA*>(pDefault));
    }
    WideArg printer(pPrinterName);
    if (pDefault == nullptr) return WINSPOOL(OpenPrinterW)(printer.mutable_get(), phPrinter, nullptr);
    WideArg datatype(pDefault->pDatatype);
    PRINTER_DEFAULTSW defaults{datatype.mutable_get(), nullptr, pDefault->DesiredAccess};
    return WINSPOOL(OpenPrinterW)(printer.mutable_get(), phPrinter, &defaults);
}

// Level 0 carries no text (a command such as PRINTER_CONTROL_PURGE), the
// only level the program uses.
BOOL Win32Spooler::SetPrinterA(HANDLE hPrinter, DWORD level, BYTE* pPrinter, DWORD command) {
    return WINSPOOL(SetPrinterA)(hPrinter, level, pPrinter, command);
}

BOOL Win32Spooler::DeletePrinter(HANDLE hPrinter) { return WINSPOOL(DeletePrinter)(hPrinter); }

BOOL Win32Spooler::ClosePrinter(HANDLE hPrinter) { return WINSPOOL(ClosePrinter)(hPrinter); }

HANDLE Win32Spooler::AddPrinterA(const char* pName, DWORD level, BYTE* pPrinter) {
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
    // A DEVMODE would need converting too; the program never passes one.
    if (level != 2 || info == nullptr || info->pDevMode != nullptr) return WINSPOOL(AddPrinterA)(Str(pName), level, pPrinter);
    WideArg name(pName);
    WideRecord wide(pPrinter, sizeof(PRINTER_INFO_2A));
    wide.Strings({offsetof(PRINTER_INFO_2A, pServerName), offsetof(PRINTER_INFO_2A, pPrinterName),
                  offsetof(PRINTER_INFO_2A, pShareName), offsetof(PRINTER_INFO_2A, pPortName),
                  offsetof(PRINTER_INFO_2A, pDriverName), offsetof(PRINTER_INFO_2A, pComment),
                  offsetof(PRINTER_INFO_2A, pLocation), offsetof(PRINTER_INFO_2A, pSepFile),
                  offsetof(PRINTER_INFO_2A, pPrintProcessor), offsetof(PRINTER_INFO_2A, pDatatype),
                  offsetof(PRINTER_INFO_2A, pParameters)});
    return WINSPOOL(AddPrinterW)(name.mutable_get(), level, wide.get());
}

BOOL Win32Spooler::AddPortA(const char* pName, void* hWnd, const char* pMonitorName) {
    WideArg name(pName), monitor(pMonitorName);
    return WINSPOOL(AddPortW)(name.mutable_get(), Window(hWnd), monitor.mutable_get());
}

BOOL Win32Spooler::ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) {
    WideArg name(pName), port(pPortName);
    return WINSPOOL(ConfigurePortW)(name.mutable_get(), Window(hWnd), port.mutable_get());
}

BOOL Win32Spooler::DeletePortA(const char* pName, void* hWnd, const char* pPortName) {
    WideArg name(pName), port(pPortName);
    return WINSPOOL(DeletePortW)(name.mutable_get(), Window(hWnd), port.mutable_get());
}

BOOL Win32Spooler::EnumPrinterDriversA(const char* pName, const char* pEnvironment, DWORD level, BYTE* pDriverInfo,
                                       DWORD cbBuf, DWORD* pcbNeeded, DWORD* pcReturned) {
    const std::size_t recordSize = DriverRecordSize(level);
    if (recordSize == 0) {
        return WINSPOOL(EnumPrinterDriversA)(Str(pName), Str(pEnvironment), level, pDriverInfo, cbBuf, Out(pcbNeeded).get(),
                                     Out(pcReturned).get());
    }
    WideArg name(pName), environment(pEnvironment);
    const auto call = [&](::BYTE* buffer, ::DWORD size, ::DWORD* needed, ::DWORD* returned) {
        return WINSPOOL(EnumPrinterDriversW)(name.mutable_get(), environment.mutable_get(), level, buffer, size, needed,
                                     returned);
    };
    return EnumerateNarrow(call, recordSize, [&](NarrowRecords& records) { DriverStrings(records, level); },
                           pDriverInfo, cbBuf, Out(pcbNeeded).get(), Out(pcReturned).get());
}

BOOL Win32Spooler::DeletePrinterDriverExA(const char* pName, const char* pEnvironment, const char* pDriverName,
                                          DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    WideArg name(pName), environment(pEnvironment), driver(pDriverName);
    return WINSPOOL(DeletePrinterDriverExW)(name.mutable_get(), environment.mutable_get(), driver.mutable_get(), dwDeleteFlag,
                                    dwVersionFlag);
}

BOOL Win32Spooler::XcvDataW(HANDLE hXcv, const win::WCHAR* pszDataName, BYTE* pInputData, DWORD cbInputData,
                            BYTE* pOutputData, DWORD cbOutputData, DWORD* pcbOutputNeeded, DWORD* pdwStatus) {
    static_assert(sizeof(win::WCHAR) == sizeof(WCHAR), "wide characters");
    return WINSPOOL(XcvDataW)(hXcv, reinterpret_cast<PCWSTR>(pszDataName), pInputData, cbInputData, pOutputData,
                      cbOutputData, Out(pcbOutputNeeded).get(), Out(pdwStatus).get());
}

}  // namespace platform::win32
