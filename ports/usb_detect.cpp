// Binding a printer to a port through the spooler's registry data, listing
// the installed printers, and finding the USB port a printer answers on.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/installer_dialog.h"

namespace app {

namespace {

const char* const kSoftwarePrinters = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const char* const kControlSet001Printers = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const char* const kCurrentControlSetPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const char* const kOnLinePrinters =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr win::DWORD kOnLineBufferSize = 50;

bool Succeeded(win::LONG status) { return status == static_cast<win::LONG>(win::ERROR_SUCCESS); }

// The name the USB port monitor gives the port of a USB printing interface:
// its base name and its port number in at least three digits ("USB" and 2
// make USB002), the way the spooler lists USB ports.
std::string UsbPortName(const platform::UsbPrintInterface& device) {
    char number[16];
    std::snprintf(number, sizeof(number), "%03lu", static_cast<unsigned long>(device.portNumber));
    return device.baseName + number;
}

// Port names compare without case, as the spooler compares them.
bool SamePortName(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The ports of `usbPorts` that a plugged-in USB printer's interface names,
// in the order of `usbPorts`. The spooler's on-line flag is the search's
// first witness, but nothing documents that current Windows still writes
// it; the interfaces are the second. A name the spooler does not list, and
// a system that cannot list the interfaces, name nothing.
StringArray PortsWithUsbPrinters(platform::Devices& devices, const StringArray& usbPorts) {
    std::vector<platform::UsbPrintInterface> interfaces;
    if (devices.EnumPresentUsbPrintInterfaces(&interfaces) != 1) return {};
    StringArray named;
    for (const std::string& port : usbPorts) {
        const bool present = std::any_of(interfaces.begin(), interfaces.end(), [&](const auto& device) {
            return SamePortName(UsbPortName(device), port);
        });
        if (present) named.push_back(port);
    }
    return named;
}

}  // namespace

void InstallerDialog::SetPrinterPort(const std::string& printerName, const std::string& portName) {
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
            AppMessageBox(TEXT_REGISTRY_ERROR);
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
        AppMessageBox(TEXT_REGISTRY_ERROR);
    }
    registry.RegCloseKey(key);
}

int InstallerDialog::EnumeratePrinters(StringArray& names, StringArray& ports) {
    platform::Spooler& spooler = m_machine.spooler();
    const win::DWORD flags = win::PRINTER_ENUM_LOCAL | win::PRINTER_ENUM_CONNECTIONS;
    char emptyName[1] = {'\0'};
    win::DWORD needed = 0;
    win::DWORD count = 0;
    spooler.EnumPrintersA(flags, emptyName, 2, nullptr, 0, &needed, &count);
    std::vector<win::BYTE> buffer(needed);
    count = 0;
    if (!spooler.EnumPrintersA(flags, emptyName, 2, buffer.data(), needed, &needed, &count)) return 0;

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

void InstallerDialog::AutoSelectUsbPort() {
    platform::Registry& registry = m_machine.registry();
    // Each Retry runs the whole search again; a loop rather than a nested
    // call, so that any number of retries costs no stack.
    for (;;) {
        PublishStatus("正在验证虚拟USB端口");
        const std::string printerName = m_seriesCombo.GetWindowText();
        win::BYTE outcome = 0;

        // Ports with a USB printer plugged in are tried first: usually the
        // first restart then finds the printer.
        const StringArray withPrinter = PortsWithUsbPrinters(m_machine.devices(), m_usbPorts);
        StringArray order = withPrinter;
        for (const std::string& port : m_usbPorts) {
            if (std::find(withPrinter.begin(), withPrinter.end(), port) == withPrinter.end()) order.push_back(port);
        }

        for (const std::string& port : order) {
            PublishStatus("正在尝试 " + port + " ....");
            SetPrinterPort(printerName, port);
            SetProgress(50);
            StartOrRestartService("Spooler", SVCMODE_RESTART);
            SetProgress(60);

            win::HKEY key = nullptr;
            const std::string onLineKey = kOnLinePrinters + printerName;
            if (Succeeded(registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, onLineKey.c_str(), 0, win::KEY_QUERY_VALUE,
                                                 &key))) {
                win::BYTE data[kOnLineBufferSize] = {};
                win::DWORD size = kOnLineBufferSize;
                if (Succeeded(registry.RegQueryValueExA(key, "PrinterOnLine", nullptr, nullptr, data, &size))) {
                    outcome = data[0];
                } else {
                    AppMessageBox("读取注册表失败");
                }
                registry.RegCloseKey(key);
            }
            // On line when the spooler's flag says so or a USB printer's
            // interface names the port.
            if (std::find(withPrinter.begin(), withPrinter.end(), port) != withPrinter.end()) outcome = 1;
            if (outcome == 1) {
                SetProgress(70);
                break;
            }
        }

        if (outcome != 0) break;
        const int answer = MessageBox(
            "自动选择USB端口失败,请检查打印机USB端口是否连接.\r\n\r\n点击重试：重新检测并选择可用USB端口\r\n点击取消："
            "忽略,安装完成后手动配置打印机端口",
            TEXT_USB_SEARCH_FAILED, win::MB_RETRYCANCEL);
        if (answer != win::IDRETRY) break;
    }
    SetProgress(80);
}

}  // namespace app
