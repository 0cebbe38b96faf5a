// /PORT=TCP:<address>: the standard TCP/IP port that prints to an IPv4
// address, found among the spooler's ports or created through the TCP/IP
// port monitor's transceive interface, as the system's own port tools do
// it: no wizard, no window.
#pragma once

#include <string>

#include "platform/machine.h"
#include "unattended/run_log.h"

namespace unattended {

// The TCP/IP port monitor, as the spooler names it.
extern const char* const TCP_PORT_MONITOR;
// A created port is raw TCP on the port printers listen on.
constexpr win::DWORD TCP_RAW_PORT_NUMBER = 9100;

// "IP_<address>": the name the system's port wizard and its port script
// give a port for an address.
std::string TcpPortNameFor(const std::string& address);

enum class TcpPortFound {
    kReady,      // *portName names it
    kNoMonitor,  // the spooler has no TCP/IP port monitor to make one with
    kNotMade,    // the monitor (or the spooler) refused to make it
};

// The name of a standard TCP/IP port for `address`: one whose monitor
// records that address, else one created now. The log says why there is
// none.
TcpPortFound FindOrCreateTcpPort(platform::Machine& machine, RunLog& log, const std::string& address,
                                 std::string* portName);

}  // namespace unattended
