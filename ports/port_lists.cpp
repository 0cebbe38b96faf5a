#include "ports/port_lists.h"

#include "ports/spooler_records.h"

namespace ports {

SpoolerPorts::SpoolerPorts(platform::Spooler& spooler) {
    win::DWORD count = 0;
    const bool listed = ReadSpoolerRecords(
        [&](win::BYTE* data, win::DWORD size, win::DWORD* needed, win::DWORD* returned) {
            return spooler.EnumPortsA(nullptr, 2, data, size, needed, returned) == 1;
        },
        &m_buffer, &count);
    if (listed) m_count = count;
}

const char* SpoolerPorts::Name(std::size_t i) const {
    return Records()[i].pPortName != nullptr ? Records()[i].pPortName : "";
}

const char* SpoolerPorts::Monitor(std::size_t i) const {
    return Records()[i].pMonitorName != nullptr ? Records()[i].pMonitorName : "";
}

const char* SpoolerPorts::Description(std::size_t i) const {
    return Records()[i].pDescription != nullptr ? Records()[i].pDescription : "";
}

void ClearListView(const ui::ListView& list) {
    list.DeleteAllItems();
    const int columns = list.GetColumnCount();
    for (int i = 0; i < columns; ++i) list.DeleteColumn(0);
}

void ApplyPortListStyle(const ui::ListView& list) {
    win::DWORD style = list.GetExtendedStyle();
    style &= ~win::LVS_EX_TRACKSELECT;
    style |= win::LVS_EX_GRIDLINES | win::LVS_EX_FULLROWSELECT;
    list.SetExtendedStyle(0, style);
}

void SelectRow(const ui::ListView& list, int row) {
    list.SetItemState(row, win::LVIS_SELECTED, win::LVIS_SELECTED | win::LVIS_FOCUSED);
}

}  // namespace ports
