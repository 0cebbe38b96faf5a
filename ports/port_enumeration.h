// Sorting the spooler's ports by kind, and the serial ports of the device
// map: what the main dialog's port lists are made of.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "ports/port_lists.h"

namespace ports {

struct PortClasses {
    std::vector<std::string> all;
    std::vector<std::string> usb;
    std::vector<std::string> tcp;
    std::vector<std::string> lpt;
    int defaultType = 0;  // the port-type row the main list starts on
};

// The first 256 of the spooler's ports, in the spooler's order.
PortClasses ClassifyPorts(const SpoolerPorts& records);

// The COM ports of HARDWARE\DEVICEMAP\SERIALCOMM ("COMn:"), in the order
// the registry enumerates them.
std::vector<std::string> ReadSerialDeviceMap(platform::Registry& registry);

}  // namespace ports
