// Binding a printer to a port through the spooler's registry data, and
// listing the installed printers.
#include "ports/port_bindings.h"

#include "ports/spooler_records.h"

namespace ports {

namespace {

const char* const kSoftwarePrinters = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const char* const kControlSet001Printers = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const char* const kCurrentControlSetPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

bool Succeeded(win::LONG status) { return status == static_cast<win::LONG>(win::ERROR_SUCCESS); }

}  // namespace

void PortBindings::SetPrinterPort(const std::string& printerName, const std::string& portName) {
    platform::Registry& registry = m_machine.registry();
    const auto* portData = reinterpret_cast<const win::BYTE*>(portName.c_str());
    const auto portSize = static_cast<win::DWORD>(portName.size() + 1);

    struct PortValue {
        std::string key;
        const char* value;
    };
    const PortValue portValues[] = {
        {kSoftwarePrinters + printerName, "Port"},
        {kSoftwarePrinters + printerName + "\\DsSpooler", "portName"},
        {kControlSet001Printers + printerName, "Port"},
        {kCurrentControlSetPrinters + printerName, "Port"},
    };
    // The spooler created these keys when the printer was added; where one
    // is missing there is nothing to rebind.
    for (const PortValue& target : portValues) {
        win::HKEY key = nullptr;
        if (!Succeeded(registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, target.key.c_str(), 0, win::KEY_SET_VALUE,
                                              &key))) {
            continue;
        }
        if (!Succeeded(registry.RegSetValueExA(key, target.value, 0, win::REG_SZ, portData, portSize))) {
            m_view.AppMessageBox(TEXT_REGISTRY_ERROR);
        }
        registry.RegCloseKey(key);
    }

    // Off line until the spooler, restarted, finds the device on the port.
    win::SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(security);
    security.bInheritHandle = 1;
    win::HKEY key = nullptr;
    win::DWORD disposition = 0;
    const std::string onLineKey = kCurrentControlSetPrinters + printerName;
    if (!Succeeded(registry.RegCreateKeyExA(win::HKEY_CURRENT_CONFIG, onLineKey.c_str(), 0, nullptr,
                                            win::REG_OPTION_NON_VOLATILE, win::KEY_ALL_ACCESS, &security, &key,
                                            &disposition))) {
        return;
    }
    const win::DWORD offLine = 0;
    if (!Succeeded(registry.RegSetValueExA(key, "PrinterOnLine", 0, win::REG_DWORD,
                                           reinterpret_cast<const win::BYTE*>(&offLine), sizeof(offLine)))) {
        m_view.AppMessageBox(TEXT_REGISTRY_ERROR);
    }
    registry.RegCloseKey(key);
}

int PortBindings::EnumeratePrinters(StringArray& names, StringArray& ports) {
    platform::Spooler& spooler = m_machine.spooler();
    const win::DWORD flags = win::PRINTER_ENUM_LOCAL | win::PRINTER_ENUM_CONNECTIONS;
    char emptyName[1] = {'\0'};
    std::vector<win::BYTE> buffer;
    win::DWORD count = 0;
    const bool listed = ReadSpoolerRecords(
        [&](win::BYTE* data, win::DWORD size, win::DWORD* needed, win::DWORD* returned) {
            return spooler.EnumPrintersA(flags, emptyName, 2, data, size, needed, returned) == 1;
        },
        &buffer, &count);
    if (!listed) return 0;

    names.clear();
    ports.clear();
    if (count == 0) return 0;
    const auto* printers = reinterpret_cast<const win::PRINTER_INFO_2*>(buffer.data());
    for (win::DWORD i = 0; i < count; ++i) {
        names.push_back(printers[i].pPrinterName != nullptr ? printers[i].pPrinterName : "");
        ports.push_back(printers[i].pPortName != nullptr ? printers[i].pPortName : "");
    }
    return 1;
}

}  // namespace ports
