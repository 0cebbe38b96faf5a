// Letting the user pick the parallel or network port before installing:
// what the port dialogs answer, as entries of the port lists read again
// once they have closed.
#pragma once

#include "platform/machine.h"
#include "ports/port_inventory.h"
#include "run/installer_view.h"

namespace dialogs {

// PORTCHOICE_BASE + i for entry i of the parallel ports; PORTCHOICE_NONE
// when there is none (the user has been told), else the dialog's end code.
int ChooseParallelPort(platform::Machine& machine, run::InstallerView& view, ports::PortInventory& inventory);
// PORTCHOICE_BASE + i for entry i of the network ports, PORTCHOICE_ADDED
// for a port the spooler's wizard has just added, PORTCHOICE_NONE when
// the wizard made none, else the dialog's end code.
int ChooseNetworkPort(platform::Machine& machine, run::InstallerView& view, ports::PortInventory& inventory);

}  // namespace dialogs
