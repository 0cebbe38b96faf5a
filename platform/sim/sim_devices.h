// Simulated machine: the Plug and Play devices, as far as the installer asks
// about them (the USB printers that are plugged in).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/devices.h"
#include "platform/sim/sim_env.h"

namespace platform::sim {

// As "SetupDiGetClassDevsW function (setupapi.h)" has it for DIGCF_PRESENT,
// only what is plugged in is listed: one interface per USB printer the
// spooler has attached to a port, none for a port without one. Wine cannot
// show this (it has no USB printers). Faults: "EnumPresentUsbPrintInterfaces"
// through SimEnv (SetupAPI failing).
class SimDevices : public platform::Devices {
public:
    // usbPrinterPorts: the names of the ports that have a USB printer
    // attached (the spooler's AttachUsbPrinter), asked afresh at each call.
    SimDevices(SimEnv& env, std::function<std::vector<std::string>()> usbPrinterPorts);

    // platform::Devices
    win::BOOL EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) override;

    // false: the attached printers register no USB printing interface (as
    // under a driver stack of its own), so the list is empty.
    void SetListsUsbPrinters(bool lists);

private:
    SimEnv& m_env;
    std::atomic<bool> m_listsUsbPrinters{true};
    std::function<std::vector<std::string>()> m_usbPrinterPorts;
};

}  // namespace platform::sim
