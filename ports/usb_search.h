// Finding the USB port a printer answers on: the printer is bound to each
// USB port in turn and the spooler restarted, until it reports the printer
// on line or a plugged-in USB printer's interface names the port.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "ports/port_bindings.h"
#include "run/installer_view.h"
#include "services/service_control.h"

namespace ports {

// The caption of the box that ends a USB search without a printer.
inline constexpr const char* TEXT_USB_SEARCH_FAILED = "自动选择USB端口失败";

class UsbSearch {
public:
    UsbSearch(platform::Machine& machine, run::InstallerView& view, services::ServiceControl& services,
              PortBindings& bindings)
        : m_machine(machine), m_view(view), m_services(services), m_bindings(bindings) {}

    // Searches `usbPorts` for the printer `printerName`, as often as
    // the user asks for a retry. True when a port answered; *boundPort is
    // then that port, and otherwise the port the printer was last bound to
    // (unchanged when there was none to try).
    bool AutoSelectUsbPort(const std::string& printerName, const std::vector<std::string>& usbPorts,
                           std::string* boundPort);

private:
    platform::Machine& m_machine;
    run::InstallerView& m_view;
    services::ServiceControl& m_services;
    PortBindings& m_bindings;
};

}  // namespace ports
