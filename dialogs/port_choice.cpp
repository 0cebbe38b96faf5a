#include "dialogs/port_choice.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/network_port_dialog.h"
#include "dialogs/parallel_port_dialog.h"

namespace dialogs {

int ChooseParallelPort(platform::Machine& machine, run::InstallerView& view, ports::PortInventory& inventory) {
    if (inventory.LptPorts().empty()) {
        view.AppMessageBox("PC机无可用并行端口。\r\n\r\n请选择其他端口类型。");
        return PORTCHOICE_NONE;
    }
    if (inventory.LptPorts().size() == 1) return PORTCHOICE_BASE;
    ParallelPortDialog dialog(machine, view.Toolkit(), view.OwnerWindow());
    const int choice = static_cast<int>(dialog.DoModal());
    // The dialog's rows are taken as entries of the list built afresh.
    inventory.EnumeratePorts();
    return choice;
}

int ChooseNetworkPort(platform::Machine& machine, run::InstallerView& view, ports::PortInventory& inventory) {
    if (inventory.TcpPorts().empty()) {
        const win::BOOL added = machine.spooler().AddPortA(nullptr, view.OwnerWindow(), "Standard TCP/IP Port");
        inventory.EnumeratePorts();
        return added == 1 ? PORTCHOICE_ADDED : PORTCHOICE_NONE;
    }
    NetworkPortDialog dialog(machine, view.Toolkit(), view.OwnerWindow());
    const int choice = static_cast<int>(dialog.DoModal());
    inventory.EnumeratePorts();
    return choice;
}

}  // namespace dialogs
