#include "ports/port_lists.h"

namespace ports {

namespace {
constexpr int kRecordAttempts = 3;
}  // namespace

SpoolerPorts::SpoolerPorts(platform::Spooler& spooler) {
    win::DWORD needed = 0;
    win::DWORD count = 0;
    spooler.EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
    // The list may grow between the size and the records: a shortfall (a
    // larger size than the buffer) is asked again, a few times.
    for (int attempt = 0; attempt < kRecordAttempts && needed > m_buffer.size(); ++attempt) {
        m_buffer.assign(needed, 0);
        count = 0;
        if (spooler.EnumPortsA(nullptr, 2, m_buffer.data(), needed, &needed, &count)) {
            m_count = count;
            return;
        }
    }
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
