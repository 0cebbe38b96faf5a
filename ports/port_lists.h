// Reading the spooler's ports, and the list views that show ports: the
// main dialog's port-type list and the port dialogs' lists look alike.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/spooler.h"
#include "ui/controls.h"

namespace ports {

// The spooler's ports as EnumPortsA gives them at level 2, read as
// ReadSpoolerRecords reads a list. A spooler that cannot list its ports
// lists none.
class SpoolerPorts {
public:
    explicit SpoolerPorts(platform::Spooler& spooler);

    std::size_t size() const { return m_count; }
    const win::PORT_INFO_2& operator[](std::size_t i) const { return Records()[i]; }
    // The record's name, monitor and description, empty where the spooler
    // gave none.
    const char* Name(std::size_t i) const;
    const char* Monitor(std::size_t i) const;
    const char* Description(std::size_t i) const;

private:
    const win::PORT_INFO_2* Records() const { return reinterpret_cast<const win::PORT_INFO_2*>(m_buffer.data()); }

    std::vector<win::BYTE> m_buffer;
    std::size_t m_count = 0;
};

// Deletes every row and every column (the header counts them).
void ClearListView(const ui::ListView& list);
// Grid lines and full-row selection on, hover selection off, every other
// extended style bit as it was.
void ApplyPortListStyle(const ui::ListView& list);
// Selects a row without giving it the focus mark.
void SelectRow(const ui::ListView& list, int row);

}  // namespace ports
