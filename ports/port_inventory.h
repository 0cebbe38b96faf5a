// The machine's ports by type, as the port-type list and the installation
// see them: read at start-up by the preparation thread and again whenever
// a step may have changed them.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "run/installer_view.h"
#include "ui/controls.h"

namespace ports {

using StringArray = std::vector<std::string>;

// Lays out the main dialog's port-type list: two columns, the four types,
// the serial row selected.
void FillPortTypeList(const ui::ListView& list);

class PortInventory {
public:
    PortInventory(platform::Machine& machine, run::InstallerView& view) : m_machine(machine), m_view(view) {}

    // Reads the serial ports from the device map and the spooler's ports by
    // kind, then has the port-type list select the type they suggest.
    void EnumeratePorts();

    const StringArray& UsbPorts() const { return m_usbPorts; }
    const StringArray& SerialPorts() const { return m_serialPorts; }
    const StringArray& LptPorts() const { return m_lptPorts; }
    const StringArray& TcpPorts() const { return m_tcpPorts; }
    // The list of `portType`'s ports.
    const StringArray& PortsOfType(int portType) const;

private:
    // The COM ports of the device map ("COMn:"); 0 when there are none.
    int EnumerateSerialPorts(StringArray& list);

    platform::Machine& m_machine;
    run::InstallerView& m_view;
    StringArray m_usbPorts;
    StringArray m_serialPorts;
    StringArray m_lptPorts;
    StringArray m_tcpPorts;
};

}  // namespace ports
