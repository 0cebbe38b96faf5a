#include "dialogs/port_list_dialog.h"

#include "dialogs/dialog_ids.h"
#include "ports/port_lists.h"

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
    ports::ClearListView(m_portList);
    const ports::SpoolerPorts records(m_machine.spooler());
    ports::ApplyPortListStyle(m_portList);

    m_portList.InsertColumn(0, "端口", win::LVCFMT_LEFT);
    m_portList.InsertColumn(1, "说明", win::LVCFMT_LEFT);
    m_portList.SetColumnWidth(0, 125);
    m_portList.SetColumnWidth(1, 300);

    int row = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!m_filter(records[i])) continue;
        m_portList.InsertItem(row, records.Name(i));
        m_portList.SetItemText(row, 1, records.Description(i));
        ++row;
    }
    if (row > 0) ports::SelectRow(m_portList, 0);
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
