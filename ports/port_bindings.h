// The printers' port bindings: the printers installed with their ports, and
// binding a printer to another port through the spooler's registry data,
// which the spooler reads when it restarts.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "run/installer_view.h"

namespace ports {

using StringArray = std::vector<std::string>;

// What the user is told when a registry value cannot be written.
inline constexpr const char* TEXT_REGISTRY_ERROR = "错误：无法设置有关的注册表信息";

class PortBindings {
public:
    PortBindings(platform::Machine& machine, run::InstallerView& view) : m_machine(machine), m_view(view) {}

    // Writes `portName` as the printer's port wherever the spooler keeps
    // it, and marks the printer off line until the spooler finds it there.
    // A refused write is reported, and the others still run.
    void SetPrinterPort(const std::string& printerName, const std::string& portName);
    // The local and connected printers with their ports, in the spooler's
    // order; 0 when the spooler cannot list them or there are none.
    int EnumeratePrinters(StringArray& names, StringArray& ports);

private:
    platform::Machine& m_machine;
    run::InstallerView& m_view;
};

}  // namespace ports
