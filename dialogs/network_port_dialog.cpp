#include "dialogs/network_port_dialog.h"

#include "dialogs/dialog_templates.h"
#include "dialogs/dialog_ids.h"
#include "ports/port_lists.h"
#include "ports/port_names.h"

namespace dialogs {

namespace {
const char* const kTcpIpMonitor = "Standard TCP/IP Port";
}  // namespace

NetworkPortDialog::NetworkPortDialog(platform::Machine& machine, ui::Toolkit& toolkit, ui::HWND parent)
    : PortListDialog(machine, toolkit, NetworkPortDialogTemplate(), parent,
                     [](const win::PORT_INFO_2& port) { return ports::IsTcpIpPort(port.pMonitorName, port.pDescription); }) {}

bool NetworkPortDialog::OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                                        win::LRESULT* result) {
    using Self = NetworkPortDialog;
    static const ui::MessageMapEntry<Self> kMessageMap[] = {
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_NEW_PORT, &Self::OnNewPort),
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_CONFIGURE_PORT, &Self::OnConfigurePort),
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_DELETE_PORT, &Self::OnDeletePort),
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_PORT_OK, &Self::OnOkButton),
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_PORT_CANCEL, &Self::OnCancelButton),
        ui::MapMessage<Self>(win::WM_CLOSE, &Self::OnCloseBox),
    };
    return ui::DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

void NetworkPortDialog::OnNewPort() {
    const win::BOOL added = m_machine.spooler().AddPortA(nullptr, GetSafeHwnd(), kTcpIpMonitor);
    FillPortList();
    if (added == 1) {
        const int last = m_portList.GetItemCount() - 1;
        if (last >= 0) ports::SelectRow(m_portList, last);
    }
}

void NetworkPortDialog::OnConfigurePort() {
    if (m_portList.GetItemCount() == 0) return;
    const int row = FirstSelectedRow();
    if (row < 0) return;
    const std::string port = m_portList.GetItemText(row, 0);
    if (m_machine.spooler().ConfigurePortA(nullptr, GetSafeHwnd(), port.c_str())) return;
    const win::DWORD error = m_machine.GetLastError();
    if (error == win::ERROR_NOT_SUPPORTED) {
        MessageBox("配置端口时出现错误.此操作不支持", "设置端口", win::MB_OK);
    } else if (error == win::ERROR_ADAP_HDW_ERR) {
        MessageBox("配置端口时出现错误.端口可能正在使用,或不存在.", "设置端口", win::MB_OK);
    }
}

void NetworkPortDialog::OnDeletePort() {
    const int row = m_portList.GetItemCount() > 0 ? FirstSelectedRow() : -1;
    if (row >= 0) {
        const std::string port = m_portList.GetItemText(row, 0);
        if (!m_machine.spooler().DeletePortA(nullptr, GetSafeHwnd(), port.c_str()) &&
            m_machine.GetLastError() == win::ERROR_NOT_SUPPORTED) {
            MessageBox("无法删除选定的端口。不支持请求。", "删除端口", win::MB_OK);
        }
    }
    FillPortList();
}

void NetworkPortDialog::OnOkButton() {
    if (m_portList.GetItemCount() == 0) {
        MessageBox("无可用TCP/IP端口\r\n请点击\"新端口\"按钮添加端口", "提示", win::MB_OK);
        return;
    }
    EndWithSelection();
}

}  // namespace dialogs
