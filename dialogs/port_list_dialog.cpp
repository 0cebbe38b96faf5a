#include "dialogs/port_list_dialog.h"

#include <vector>

#include "dialogs/dialog_ids.h"

namespace dialogs {

PortListDialog::PortListDialog(platform::Machine& machine, ui::Toolkit& toolkit,
                               const ui::DialogTemplate& dialogTemplate, ui::HWND parent, PortFilter filter)
    : ui::Dialog(toolkit, dialogTemplate, parent), m_machine(machine), m_filter(std::move(filter)) {}

void PortListDialog::DoDataExchange(ui::DataExchange& dx) { dx.Control(IDC_PORT_LIST, m_portList); }

win::BOOL PortListDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    FillPortList();
    return 1;
}

void PortListDialog::FillPortList() {
    m_portList.DeleteAllItems();
    const int columns = m_portList.GetColumnCount();
    for (int i = 0; i < columns; ++i) m_portList.DeleteColumn(0);

    platform::Spooler& spooler = m_machine.spooler();
    win::DWORD needed = 0;
    win::DWORD count = 0;
    spooler.EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<win::BYTE> buffer(needed);
    count = 0;
    if (needed == 0 || !spooler.EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count)) count = 0;

    win::DWORD style = m_portList.GetExtendedStyle();
    style &= ~win::LVS_EX_TRACKSELECT;
    style |= win::LVS_EX_FULLROWSELECT | win::LVS_EX_GRIDLINES;
    m_portList.SetExtendedStyle(0, style);

    m_portList.InsertColumn(0, "端口", win::LVCFMT_LEFT);
    m_portList.InsertColumn(1, "说明", win::LVCFMT_LEFT);
    m_portList.SetColumnWidth(0, 125);
    m_portList.SetColumnWidth(1, 300);

    const auto* ports = reinterpret_cast<const win::PORT_INFO_2*>(buffer.data());
    int row = 0;
    for (win::DWORD i = 0; i < count; ++i) {
        if (!m_filter(ports[i])) continue;
        m_portList.InsertItem(row, ports[i].pPortName != nullptr ? ports[i].pPortName : "");
        m_portList.SetItemText(row, 1, ports[i].pDescription != nullptr ? ports[i].pDescription : "");
        ++row;
    }
    if (row > 0) m_portList.SetItemState(0, win::LVIS_SELECTED, win::LVIS_SELECTED | win::LVIS_FOCUSED);
}

int PortListDialog::FirstSelectedRow() const {
    const int rows = m_portList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (m_portList.GetItemState(row, win::LVIS_SELECTED) & win::LVIS_SELECTED) return row;
    }
    return -1;
}

void PortListDialog::EndWithSelection() {
    const int row = FirstSelectedRow();
    EndDialog(row >= 0 ? PORTCHOICE_BASE + row : 0);
}

void PortListDialog::OnCancelButton() { EndDialog(PORTCHOICE_NONE); }

win::LRESULT PortListDialog::OnCloseBox(win::WPARAM, win::LPARAM) {
    EndDialog(PORTCHOICE_NONE);
    return 0;
}

}  // namespace dialogs
