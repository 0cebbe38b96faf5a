#include "install/installation_record.h"

#include <cstdio>
#include <vector>

#include "ports/spooler_records.h"

namespace install {

const char* const RECORD_PRODUCT_KEY = "SOFTWARE\\DriverSetup";
const char* const RECORD_PRINTERS_KEY = "SOFTWARE\\DriverSetup\\Printers";

namespace {

// The engines' agents are 64-bit: the record is where they read, never in
// the WOW6432Node copy a 32-bit program would otherwise get.
constexpr win::REGSAM kView = win::KEY_WOW64_64KEY;

std::string RecordKey(const std::string& printer) { return std::string(RECORD_PRINTERS_KEY) + "\\" + printer; }

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

bool InstallationRecord::Write(const std::string& printer, const std::string& port, const std::string& packageSha256,
                               std::string* why) {
    platform::Registry& registry = m_machine.registry();
    const std::string path = RecordKey(printer);
    const win::LONG gone = registry.RegDeleteKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), kView, 0);
    if (gone != static_cast<win::LONG>(win::ERROR_SUCCESS) && gone != static_cast<win::LONG>(win::ERROR_FILE_NOT_FOUND)) {
        *why = "the earlier record HKLM\\" + path + " cannot be replaced (error " + std::to_string(gone) + ")";
        return false;
    }
    win::HKEY key = nullptr;
    const win::LONG created =
        registry.RegCreateKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                                 win::KEY_SET_VALUE | kView, nullptr, &key, nullptr);
    if (created != static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        *why = "HKLM\\" + path + " cannot be created (error " + std::to_string(created) + ")";
        return false;
    }
    const std::string driverVersion = DriverVersion(printer);
    const struct {
        const char* name;
        std::string value;
    } values[] = {{"ProgramVersion", m_programVersion}, {"PackageSha256", packageSha256},
                  {"DriverVersion", driverVersion},     {"Port", port},
                  {"InstalledAt", UtcNow()}};
    bool written = true;
    for (const auto& value : values) {
        if (value.value.empty()) continue;
        const win::LONG set = registry.RegSetValueExA(key, value.name, 0, win::REG_SZ,
                                                      reinterpret_cast<const win::BYTE*>(value.value.c_str()),
                                                      static_cast<win::DWORD>(value.value.size() + 1));
        if (set != static_cast<win::LONG>(win::ERROR_SUCCESS) && written) {
            *why = std::string("the value ") + value.name + " of HKLM\\" + path + " cannot be set (error " +
                   std::to_string(set) + ")";
            written = false;
        }
    }
    registry.RegCloseKey(key);
    return written;
}

bool InstallationRecord::Remove(const std::string& printer, std::string* why) {
    platform::Registry& registry = m_machine.registry();
    const std::string path = RecordKey(printer);
    const win::LONG gone = registry.RegDeleteKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), kView, 0);
    if (gone != static_cast<win::LONG>(win::ERROR_SUCCESS) && gone != static_cast<win::LONG>(win::ERROR_FILE_NOT_FOUND)) {
        *why = "HKLM\\" + path + " cannot be deleted (error " + std::to_string(gone) + ")";
        return false;
    }
    DeleteIfEmpty(RECORD_PRINTERS_KEY);
    DeleteIfEmpty(RECORD_PRODUCT_KEY);
    return true;
}

void InstallationRecord::DeleteIfEmpty(const char* path) {
    platform::Registry& registry = m_machine.registry();
    win::HKEY key = nullptr;
    if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path, 0, win::KEY_QUERY_VALUE | kView, &key) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        return;
    }
    win::DWORD subKeys = 1;
    win::DWORD values = 1;
    const win::LONG queried = registry.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                        &values, nullptr, nullptr, nullptr, nullptr);
    registry.RegCloseKey(key);
    if (queried == static_cast<win::LONG>(win::ERROR_SUCCESS) && subKeys == 0 && values == 0) {
        registry.RegDeleteKeyExA(win::HKEY_LOCAL_MACHINE, path, kView, 0);
    }
}

std::string InstallationRecord::DriverName(const std::string& printer) {
    platform::Spooler& spooler = m_machine.spooler();
    std::vector<win::BYTE> buffer;
    win::DWORD count = 0;
    const bool listed = ports::ReadSpoolerRecords(
        [&](win::BYTE* data, win::DWORD size, win::DWORD* needed, win::DWORD* returned) {
            return spooler.EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned) == 1;
        },
        &buffer, &count);
    if (!listed) return std::string();
    const auto* records = reinterpret_cast<const win::PRINTER_INFO_2*>(buffer.data());
    for (win::DWORD i = 0; i < count; ++i) {
        if (Text(records[i].pPrinterName) == printer) return Text(records[i].pDriverName);
    }
    return std::string();
}

std::string InstallationRecord::DriverVersion(const std::string& printer) {
    const std::string driver = DriverName(printer);
    if (driver.empty()) return std::string();
    platform::Spooler& spooler = m_machine.spooler();
    std::vector<win::BYTE> buffer;
    win::DWORD count = 0;
    // "all": the driver registered for the machine's own environment, which
    // differs from a 32-bit program's on 64-bit Windows.
    const bool listed = ports::ReadSpoolerRecords(
        [&](win::BYTE* data, win::DWORD size, win::DWORD* needed, win::DWORD* returned) {
            return spooler.EnumPrinterDriversA(nullptr, "all", 3, data, size, needed, returned) == 1;
        },
        &buffer, &count);
    if (!listed) return std::string();
    const auto* records = reinterpret_cast<const win::DRIVER_INFO_3*>(buffer.data());
    for (win::DWORD i = 0; i < count; ++i) {
        if (Text(records[i].pName) != driver) continue;
        const std::string version = FileVersion(Text(records[i].pDriverPath));
        if (!version.empty()) return version;
    }
    return std::string();
}

std::string InstallationRecord::FileVersion(const std::string& path) {
    if (path.empty()) return std::string();
    platform::Files& files = m_machine.files();
    win::DWORD ignored = 0;
    const win::DWORD size = files.GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<win::BYTE> block(size);
    if (!files.GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::string();
    void* fixed = nullptr;
    win::UINT length = 0;
    if (!files.VerQueryValueA(block.data(), "\\", &fixed, &length) || fixed == nullptr ||
        length < sizeof(win::VS_FIXEDFILEINFO)) {
        return std::string();
    }
    const auto* info = static_cast<const win::VS_FIXEDFILEINFO*>(fixed);
    if (info->dwSignature != win::VS_FFI_SIGNATURE) return std::string();
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(info->dwFileVersionMS >> 16),
                  static_cast<unsigned>(info->dwFileVersionMS & 0xFFFF),
                  static_cast<unsigned>(info->dwFileVersionLS >> 16),
                  static_cast<unsigned>(info->dwFileVersionLS & 0xFFFF));
    return text;
}

std::string InstallationRecord::UtcNow() {
    win::SYSTEMTIME now{};
    m_machine.GetSystemTime(&now);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", static_cast<unsigned>(now.wYear),
                  static_cast<unsigned>(now.wMonth), static_cast<unsigned>(now.wDay),
                  static_cast<unsigned>(now.wHour), static_cast<unsigned>(now.wMinute),
                  static_cast<unsigned>(now.wSecond));
    return text;
}

}  // namespace install
