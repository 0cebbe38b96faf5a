// Sorting the spooler's ports by kind, and the serial ports of the device map.
#include "ports/port_enumeration.h"

#include "ports/port_names.h"
#include "ports/port_types.h"

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

    classes.defaultType = PORTTYPE_SERIAL;
    if (usbCount > 0) {
        classes.defaultType = PORTTYPE_USB;
    } else if (comCount > 0) {
        classes.defaultType = PORTTYPE_SERIAL;
    } else if (lptCount > 0) {
        classes.defaultType = PORTTYPE_PARALLEL;
    } else if (fileCount > 0) {
        classes.defaultType = PORTTYPE_NETWORK;
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
