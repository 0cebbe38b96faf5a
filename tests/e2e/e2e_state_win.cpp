// Windows (the end-to-end driver under Wine): the machine's state.
#include "tests/e2e/e2e_state_win.h"

#include <winspool.h>

#include <algorithm>

namespace e2e {

namespace {

std::string Text(const char* text) { return text ? text : ""; }

// The two-call sizing every enumeration of the spooler takes.
template <typename Enumerate>
std::vector<BYTE> EnumerateInto(Enumerate enumerate, DWORD* count) {
    DWORD needed = 0;
    *count = 0;
    enumerate(nullptr, 0, &needed, count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!enumerate(buffer.data(), needed, &needed, count)) *count = 0;
    return buffer;
}

}  // namespace

std::vector<PrinterRecord> Printers() {
    DWORD count = 0;
    std::vector<BYTE> buffer = EnumerateInto(
        [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned);
        },
        &count);
    std::vector<PrinterRecord> printers;
    const auto* records = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        printers.push_back({Text(records[i].pPrinterName), Text(records[i].pPortName), Text(records[i].pDriverName)});
    }
    return printers;
}

std::vector<std::wstring> PrinterNamesW() {
    DWORD count = 0;
    std::vector<BYTE> buffer = EnumerateInto(
        [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned);
        },
        &count);
    std::vector<std::wstring> names;
    const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(records[i].pPrinterName ? records[i].pPrinterName : L"");
    return names;
}

std::vector<DriverRecord> Drivers(const char* environment) {
    DWORD count = 0;
    std::vector<BYTE> buffer = EnumerateInto(
        [environment](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return ::EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 3, data, size, needed, returned);
        },
        &count);
    std::vector<DriverRecord> drivers;
    const auto* records = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        drivers.push_back({Text(records[i].pName), Text(records[i].pDriverPath), Text(records[i].pMonitorName)});
    }
    return drivers;
}

std::vector<std::string> MonitorNames() {
    DWORD count = 0;
    std::vector<BYTE> buffer = EnumerateInto(
        [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return ::EnumMonitorsA(nullptr, 1, data, size, needed, returned);
        },
        &count);
    std::vector<std::string> names;
    const auto* records = reinterpret_cast<const MONITOR_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(Text(records[i].pName));
    return names;
}

std::string DriverDirectory(const char* environment) {
    char path[MAX_PATH] = {};
    DWORD needed = 0;
    ::GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(environment), 1, reinterpret_cast<BYTE*>(path),
                                 sizeof path, &needed);
    return path;
}

std::string SystemDirectory() {
    char path[MAX_PATH] = {};
    ::GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string WindowsDirectory() {
    char path[MAX_PATH] = {};
    ::GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string RegistryString(HKEY root, const char* path, const char* value) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "<missing>";
    char data[512] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    const LONG result = ::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data) : "<missing>";
}

std::vector<std::string> RegistryValueNames(HKEY root, const char* path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (::RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    ::RegCloseKey(key);
    return names;
}

bool Exists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
bool Exists(const wchar_t* path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> StagingFolders() {
    using GetTempPath2AFunction = DWORD(WINAPI*)(DWORD, LPSTR);
    HMODULE kernel32 = ::GetModuleHandleA("kernel32");
    FARPROC temp2 = kernel32 != nullptr ? ::GetProcAddress(kernel32, "GetTempPath2A") : nullptr;
    char temp[MAX_PATH + 1] = {};
    const DWORD length = temp2 != nullptr
                             ? reinterpret_cast<GetTempPath2AFunction>(reinterpret_cast<void*>(temp2))(sizeof temp, temp)
                             : ::GetTempPathA(sizeof temp, temp);
    std::vector<std::string> folders;
    if (length == 0 || length >= sizeof temp) return folders;
    const std::string parent(temp, length);
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((parent + "DriverSetup-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(parent + found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return folders;
}

bool PackageUnpacked() {
    return !StagingFolders().empty() || Exists("C:\\DriverName.cfg") || Exists("C:\\Ticket") ||
           Exists("C:\\Barcode");
}

int CountPrinters(const std::string& name) {
    const std::vector<PrinterRecord> printers = Printers();
    return static_cast<int>(std::count_if(printers.begin(), printers.end(),
                                          [&](const PrinterRecord& p) { return p.name == name; }));
}

int CountDrivers(const char* environment, const std::string& name) {
    const std::vector<DriverRecord> drivers = Drivers(environment);
    return static_cast<int>(std::count_if(drivers.begin(), drivers.end(),
                                          [&](const DriverRecord& d) { return d.name == name; }));
}

}  // namespace e2e
