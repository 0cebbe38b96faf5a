// The port-type list and the lists of the machine's ports.

#include "app/installer_dialog.h"
#include "ports/port_enumeration.h"
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
    m_serialPorts = ports::ReadSerialDeviceMap(m_machine.registry());
    ports::PortClasses classes = ports::ClassifyPorts(ports::SpoolerPorts(m_machine.spooler()));
    m_allPorts = std::move(classes.all);
    m_usbPorts = std::move(classes.usb);
    m_tcpPorts = std::move(classes.tcp);
    m_lptPorts = std::move(classes.lpt);

    ports::ApplyPortListStyle(m_portTypeList);
    ports::SelectRow(m_portTypeList, classes.defaultType);

    SendMessage(m_myUpdateDataMessage, 0, 0);
}

int InstallerDialog::EnumerateSerialPorts(StringArray& list) {
    list = ports::ReadSerialDeviceMap(m_machine.registry());
    return list.empty() ? 0 : 1;
}

}  // namespace app

namespace ports {

namespace {

// Only this many spooler ports are looked at.
constexpr size_t kMaxPortsConsidered = 256;

// Registry value names and data of the device map are read into buffers of
// this size.
constexpr win::DWORD kDeviceMapBufferSize = 128;

}  // namespace

PortClasses ClassifyPorts(const SpoolerPorts& records) {
    PortClasses classes;
    int comCount = 0, lptCount = 0, fileCount = 0, usbCount = 0;
    for (size_t i = 0; i < records.size() && i < kMaxPortsConsidered; ++i) {
        const char* name = records.Name(i);
        const char* description = records.Description(i);

        if (BeginsWith(name, "COM")) ++comCount;
        if (BeginsWith(name, "LPT")) ++lptCount;
        if (BeginsWith(name, "FILE")) ++fileCount;
        if (BeginsWith(name, "USB")) ++usbCount;

        // The name decides before the monitor and the description do.
        if (BeginsWith(name, "USB")) {
            classes.usb.push_back(name);
        } else if (IsTcpIpPort(records.Monitor(i), description)) {
            classes.tcp.push_back(name);
        } else if (BeginsWith(name, "LPT")) {
            classes.lpt.push_back(name);
        }
        classes.all.push_back(name);
    }

    classes.defaultType = app::PORTTYPE_SERIAL;
    if (usbCount > 0) {
        classes.defaultType = app::PORTTYPE_USB;
    } else if (comCount > 0) {
        classes.defaultType = app::PORTTYPE_SERIAL;
    } else if (lptCount > 0) {
        classes.defaultType = app::PORTTYPE_PARALLEL;
    } else if (fileCount > 0) {
        classes.defaultType = app::PORTTYPE_NETWORK;
    }
    return classes;
}

std::vector<std::string> ReadSerialDeviceMap(platform::Registry& registry) {
    std::vector<std::string> list;
    win::HKEY key = nullptr;
    if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, win::KEY_READ, &key) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        return list;
    }

    for (win::DWORD index = 0;; ++index) {
        char name[kDeviceMapBufferSize] = {};
        win::BYTE data[kDeviceMapBufferSize] = {};
        win::DWORD nameSize = kDeviceMapBufferSize;
        win::DWORD dataSize = kDeviceMapBufferSize;
        win::DWORD type = win::REG_NONE;
        const win::LONG status = registry.RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        // A value that did not fit leaves nothing usable in the buffers: it
        // is passed over, never listed. Any other failure ends the list: the
        // key would answer every further index the same way.
        if (status == static_cast<win::LONG>(win::ERROR_MORE_DATA)) continue;
        if (status != static_cast<win::LONG>(win::ERROR_SUCCESS)) break;
        // Nor is a value that is not a string listed.
        if (type != win::REG_SZ) continue;
        if (!BeginsWith(name, "\\Device\\")) continue;
        const std::string device = StringFromRegistryData(data, dataSize);
        if (device.empty()) continue;
        list.push_back(device + ":");
    }
    registry.RegCloseKey(key);
    return list;
}

}  // namespace ports
