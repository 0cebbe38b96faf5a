// Finding the USB port a printer answers on.
#include "ports/usb_search.h"

#include <algorithm>
#include <cstdio>

namespace ports {

namespace {

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

bool UsbSearch::AutoSelectUsbPort(const std::string& printerName, const std::vector<std::string>& usbPorts,
                                  std::string* boundPort) {
    platform::Registry& registry = m_machine.registry();
    // Each Retry runs the whole search again; a loop rather than a nested
    // call, so that any number of retries costs no stack.
    for (;;) {
        m_view.PublishStatus("正在验证虚拟USB端口");
        win::BYTE outcome = 0;

        // Ports with a USB printer plugged in are tried first: usually the
        // first restart then finds the printer.
        const StringArray withPrinter = PortsWithUsbPrinters(m_machine.devices(), usbPorts);
        StringArray order = withPrinter;
        for (const std::string& port : usbPorts) {
            if (std::find(withPrinter.begin(), withPrinter.end(), port) == withPrinter.end()) order.push_back(port);
        }

        for (const std::string& port : order) {
            if (!m_view.MayTryAgain()) break;
            m_view.PublishStatus("正在尝试 " + port + " ....");
            m_bindings.SetPrinterPort(printerName, port);
            *boundPort = port;
            m_view.SetProgress(50);
            m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
            m_view.SetProgress(60);

            win::HKEY key = nullptr;
            const std::string onLineKey = kOnLinePrinters + printerName;
            if (Succeeded(registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, onLineKey.c_str(), 0, win::KEY_QUERY_VALUE,
                                                 &key))) {
                win::BYTE data[kOnLineBufferSize] = {};
                win::DWORD size = kOnLineBufferSize;
                if (Succeeded(registry.RegQueryValueExA(key, "PrinterOnLine", nullptr, nullptr, data, &size))) {
                    outcome = data[0];
                } else {
                    m_view.AppMessageBox("读取注册表失败");
                }
                registry.RegCloseKey(key);
            }
            // On line when the spooler's flag says so or a USB printer's
            // interface names the port.
            if (std::find(withPrinter.begin(), withPrinter.end(), port) != withPrinter.end()) outcome = 1;
            if (outcome == 1) {
                m_view.SetProgress(70);
                break;
            }
        }

        if (outcome != 0) {
            m_view.SetProgress(80);
            return true;
        }
        const int answer = m_view.DialogMessageBox(
            "自动选择USB端口失败,请检查打印机USB端口是否连接.\r\n\r\n点击重试：重新检测并选择可用USB端口\r\n点击取消："
            "忽略,安装完成后手动配置打印机端口",
            TEXT_USB_SEARCH_FAILED, win::MB_RETRYCANCEL);
        if (answer != win::IDRETRY) break;
    }
    m_view.SetProgress(80);
    return false;
}

}  // namespace ports
