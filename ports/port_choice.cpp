// Letting the user pick the parallel or network port before installing.
#include "app/installer_dialog.h"
#include "dialogs/network_port_dialog.h"
#include "dialogs/parallel_port_dialog.h"

namespace app {

int InstallerDialog::ChooseParallelPort() {
    if (m_lptPorts.empty()) {
        AppMessageBox("PC机无可用并行端口。\r\n\r\n请选择其他端口类型。");
        return PORTCHOICE_NONE;
    }
    if (m_lptPorts.size() == 1) return PORTCHOICE_BASE;
    dialogs::ParallelPortDialog dialog(m_machine, GetToolkit(), GetSafeHwnd());
    const int choice = static_cast<int>(dialog.DoModal());
    // The dialog's rows are taken as entries of the list built afresh.
    EnumeratePorts();
    return choice;
}

int InstallerDialog::ChooseNetworkPort() {
    if (m_tcpPorts.empty()) {
        const win::BOOL added = m_machine.spooler().AddPortA(nullptr, GetSafeHwnd(), "Standard TCP/IP Port");
        EnumeratePorts();
        return added == 1 ? PORTCHOICE_ADDED : PORTCHOICE_NONE;
    }
    dialogs::NetworkPortDialog dialog(m_machine, GetToolkit(), GetSafeHwnd());
    const int choice = static_cast<int>(dialog.DoModal());
    EnumeratePorts();
    return choice;
}

}  // namespace app
