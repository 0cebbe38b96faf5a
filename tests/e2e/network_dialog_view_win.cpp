// Windows (under Wine, for the e2e script): shows the network port dialog
// with its list filled and exits with the dialog's result. Wine's spooler
// cannot hold a standard TCP/IP port, so two are added to what it lists;
// everything else is the real machine and the program's own resources.
#include <utility>
#include <vector>

#include "dialogs/network_port_dialog.h"
#include "platform/win32/win32_machine.h"
#include "tests/e2e/extra_ports_machine.h"
#include "ui/win32/win32_toolkit.h"

// After the seam headers: from here on the Windows macros apply.
#include "platform/win32/windows_support.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::vector<e2e::ExtraPort> tcpIpPorts = {
        {"IP_192.168.1.100", "Standard TCP/IP Port", "Standard TCP/IP Port"},
        {"IP_192.168.1.101", "Standard TCP/IP Port", "标准 TCP/IP 端口"},
    };
    platform::win32::Win32Machine windows;
    e2e::ExtraPortsMachine machine(windows, std::move(tcpIpPorts));
    ui::win32::Win32Toolkit toolkit;
    dialogs::NetworkPortDialog dialog(machine, toolkit);
    return static_cast<int>(dialog.DoModal());
}
