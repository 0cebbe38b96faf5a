// Simulated machine: the Plug and Play devices.
#include "platform/sim/sim_devices.h"

#include <utility>

namespace platform::sim {

namespace {

// The USB port monitor names a port from its printer's interface as base
// name plus number ("USB" and 2 make USB002); a port name of that shape is
// split back into the two. Anything else (a printer attached to "LPT1:" in
// a test) has no USB printing interface.
bool SplitPortName(const std::string& port, UsbPrintInterface* record) {
    size_t digits = port.size();
    while (digits > 0 && port[digits - 1] >= '0' && port[digits - 1] <= '9') --digits;
    if (digits == 0 || digits == port.size() || port.size() - digits > 9) return false;
    record->baseName = port.substr(0, digits);
    record->portNumber = static_cast<win::DWORD>(std::stoul(port.substr(digits)));
    return true;
}

}  // namespace

SimDevices::SimDevices(SimEnv& env, std::function<std::vector<std::string>()> usbPrinterPorts)
    : m_env(env), m_usbPrinterPorts(std::move(usbPrinterPorts)) {}

win::BOOL SimDevices::EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("EnumPresentUsbPrintInterfaces", &fault)) {
        if (interfaces != nullptr) interfaces->clear();
        SetLastError(fault);
        return 0;
    }
    if (interfaces == nullptr) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    interfaces->clear();
    if (!m_usbPrinterPorts || !m_listsUsbPrinters) return 1;
    for (const std::string& port : m_usbPrinterPorts()) {
        UsbPrintInterface record;
        if (SplitPortName(port, &record)) interfaces->push_back(record);
    }
    return 1;
}

void SimDevices::SetListsUsbPrinters(bool lists) { m_listsUsbPrinters = lists; }

}  // namespace platform::sim
