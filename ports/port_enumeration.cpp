// The port-type list and the lists of the machine's ports.

#include "app/installer_dialog.h"
#include "ports/port_lists.h"
#include "ports/port_names.h"

namespace app {

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

// Only this many spooler ports are looked at.
constexpr size_t kMaxPortsConsidered = 256;

// Registry value names and data of the device map are read into buffers of
// this size.
constexpr win::DWORD kDeviceMapBufferSize = 128;

}  // namespace

void InstallerDialog::FillPortTypeList() {
    ports::ClearListView(m_portTypeList);
    ports::ApplyPortListStyle(m_portTypeList);

    m_portTypeList.InsertColumn(0, "端口", win::LVCFMT_LEFT);
    m_portTypeList.InsertColumn(1, "说明", win::LVCFMT_LEFT);
    m_portTypeList.SetColumnWidth(0, 110);
    m_portTypeList.SetColumnWidth(1, 350);

    int row = 0;
    for (const PortTypeRow& type : kPortTypeRows) {
        m_portTypeList.InsertItem(row, type.name);
        m_portTypeList.SetItemText(row, 1, type.description);
        ++row;
    }
    ports::SelectRow(m_portTypeList, 0);
}

void InstallerDialog::EnumeratePorts() {
    m_allPorts.clear();
    m_usbPorts.clear();
    m_serialPorts.clear();
    m_tcpPorts.clear();
    m_lptPorts.clear();

    EnumerateSerialPorts(m_serialPorts);

    const ports::SpoolerPorts records(m_machine.spooler());

    ports::ApplyPortListStyle(m_portTypeList);

    int comCount = 0, lptCount = 0, fileCount = 0, usbCount = 0;
    for (size_t i = 0; i < records.size() && i < kMaxPortsConsidered; ++i) {
        const char* name = records.Name(i);
        const char* description = records.Description(i);

        if (ports::BeginsWith(name, "COM")) ++comCount;
        if (ports::BeginsWith(name, "LPT")) ++lptCount;
        if (ports::BeginsWith(name, "FILE")) ++fileCount;
        if (ports::BeginsWith(name, "USB")) ++usbCount;

        if (ports::BeginsWith(name, "USB")) {
            m_usbPorts.push_back(name);
        } else if (ports::IsTcpIpDescription(description)) {
            m_tcpPorts.push_back(name);
        } else if (ports::BeginsWith(name, "LPT")) {
            m_lptPorts.push_back(name);
        }
        m_allPorts.push_back(name);
    }

    int row = PORTTYPE_SERIAL;
    if (usbCount > 0) {
        row = PORTTYPE_USB;
    } else if (comCount > 0) {
        row = PORTTYPE_SERIAL;
    } else if (lptCount > 0) {
        row = PORTTYPE_PARALLEL;
    } else if (fileCount > 0) {
        row = PORTTYPE_NETWORK;
    }
    ports::SelectRow(m_portTypeList, row);

    SendMessage(m_myUpdateDataMessage, 0, 0);
}

int InstallerDialog::EnumerateSerialPorts(StringArray& list) {
    list.clear();
    platform::Registry& registry = m_machine.registry();
    win::HKEY key = nullptr;
    if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, win::KEY_READ, &key) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        return 0;
    }

    for (win::DWORD index = 0;; ++index) {
        char name[kDeviceMapBufferSize] = {};
        win::BYTE data[kDeviceMapBufferSize] = {};
        win::DWORD nameSize = kDeviceMapBufferSize;
        win::DWORD dataSize = kDeviceMapBufferSize;
        win::DWORD type = win::REG_NONE;
        const win::LONG status = registry.RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (status == static_cast<win::LONG>(win::ERROR_NO_MORE_ITEMS)) break;
        // A value that did not fit, or that is not a string, leaves nothing
        // usable in the buffers: it is passed over, never listed.
        if (status != static_cast<win::LONG>(win::ERROR_SUCCESS)) continue;
        if (type != win::REG_SZ) continue;
        if (!ports::BeginsWith(name, "\\Device\\")) continue;
        const std::string device = ports::StringFromRegistryData(data, dataSize);
        if (device.empty()) continue;
        list.push_back(device + ":");
    }
    registry.RegCloseKey(key);
    return list.empty() ? 0 : 1;
}

}  // namespace app
