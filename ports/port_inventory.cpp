// The port-type list and the lists of the machine's ports.
#include "ports/port_inventory.h"

#include "ports/port_enumeration.h"
#include "ports/port_lists.h"
#include "ports/port_types.h"

namespace ports {

namespace {

struct PortTypeRow {
    const char* name;
    const char* description;
};

// The row index is the port type.
const PortTypeRow kPortTypeRows[] = {
    {"串口", "安装过程中将为您选择一个可用的串行端口"},
    {"USB", "安装过程中将为您选择一个可用的USB端口"},
    {"并口(LPT)", "安装之前程序会提示您选择一个LPT端口"},
    {"网络端口(TCP/IP)", "安装之前程序会提示您选择或者配置一个TCP/IP端口"},
};

}  // namespace

void FillPortTypeList(const ui::ListView& list) {
    ClearListView(list);
    ApplyPortListStyle(list);

    list.InsertColumn(0, "端口", win::LVCFMT_LEFT);
    list.InsertColumn(1, "说明", win::LVCFMT_LEFT);
    list.SetColumnWidth(0, 110);
    list.SetColumnWidth(1, 350);

    int row = 0;
    for (const PortTypeRow& type : kPortTypeRows) {
        list.InsertItem(row, type.name);
        list.SetItemText(row, 1, type.description);
        ++row;
    }
    SelectRow(list, 0);
}

void PortInventory::EnumeratePorts() {
    EnumerateSerialPorts(m_serialPorts);
    PortClasses classes = ClassifyPorts(SpoolerPorts(m_machine.spooler()));
    m_usbPorts = std::move(classes.usb);
    m_tcpPorts = std::move(classes.tcp);
    m_lptPorts = std::move(classes.lpt);
    m_view.RefreshPortTypeList(classes.defaultType);
}

int PortInventory::EnumerateSerialPorts(StringArray& list) {
    list = ReadSerialDeviceMap(m_machine.registry());
    return list.empty() ? 0 : 1;
}

const StringArray& PortInventory::PortsOfType(int portType) const {
    switch (portType) {
        case PORTTYPE_USB: return m_usbPorts;
        case PORTTYPE_PARALLEL: return m_lptPorts;
        case PORTTYPE_NETWORK: return m_tcpPorts;
        default: return m_serialPorts;
    }
}

}  // namespace ports
