#include "unattended/tcp_port.h"

#include "ports/port_enumeration.h"

namespace unattended {

const char* const TCP_PORT_MONITOR = "Standard TCP/IP Port";

namespace {

// The monitor keeps each port's settings under a key of the port's name;
// "IPAddress" holds an address, "HostName" a name the port was given
// instead (the "TCPMON Xcv Interface" pages describe the same settings
// as PORT_DATA_1).
const char* const kTcpPortsKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";

std::string ReadString(platform::Registry& registry, win::HKEY key, const char* value) {
    char text[256] = {};
    win::DWORD type = win::REG_NONE;
    win::DWORD size = sizeof(text) - 1;
    if (registry.RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<win::BYTE*>(text), &size) !=
            win::ERROR_SUCCESS ||
        type != win::REG_SZ) {
        return std::string();
    }
    return text;
}

bool PortPrintsTo(platform::Registry& registry, const std::string& port, const std::string& address) {
    win::HKEY key = nullptr;
    const std::string path = kTcpPortsKey + port;
    if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path.c_str(), 0, win::KEY_READ, &key) != win::ERROR_SUCCESS) {
        return false;
    }
    const bool match =
        ReadString(registry, key, "IPAddress") == address || ReadString(registry, key, "HostName") == address;
    registry.RegCloseKey(key);
    return match;
}

template <std::size_t N>
void CopyWide(win::WCHAR (&field)[N], const std::string& text) {
    for (std::size_t i = 0; i < text.size() && i + 1 < N; ++i) field[i] = static_cast<unsigned char>(text[i]);
}

}  // namespace

std::string TcpPortNameFor(const std::string& address) { return "IP_" + address; }

TcpPortFound FindOrCreateTcpPort(platform::Machine& machine, RunLog& log, const std::string& address,
                                 std::string* portName) {
    const ports::PortClasses classes = ports::ClassifyPorts(ports::SpoolerPorts(machine.spooler()));
    for (const std::string& port : classes.tcp) {
        if (PortPrintsTo(machine.registry(), port, address)) {
            log.Record("silent: the standard TCP/IP port \"" + port + "\" prints to " + address + ": used");
            *portName = port;
            return TcpPortFound::kReady;
        }
    }

    platform::Spooler& spooler = machine.spooler();
    const std::string name = TcpPortNameFor(address);
    win::PRINTER_DEFAULTS defaults{nullptr, nullptr, win::SERVER_ACCESS_ADMINISTER};
    win::HANDLE monitor = nullptr;
    const std::string monitorHandle = std::string(",XcvMonitor ") + TCP_PORT_MONITOR;
    if (spooler.OpenPrinterA(monitorHandle.c_str(), &monitor, &defaults) != 1) {
        // A monitor the spooler does not have is a name it cannot open: an
        // unknown printer, monitor or (Wine's answer) port. Anything else
        // is a failure of its own.
        const win::DWORD error = machine.GetLastError();
        if (error == win::ERROR_INVALID_PRINTER_NAME || error == win::ERROR_UNKNOWN_PRINT_MONITOR ||
            error == win::ERROR_UNKNOWN_PORT) {
            log.Record("silent: the spooler has no \"" + std::string(TCP_PORT_MONITOR) + "\" monitor to create \"" +
                       name + "\" with (error " + std::to_string(error) + "): no TCP/IP port for " + address);
            return TcpPortFound::kNoMonitor;
        }
        log.Record("silent: the spooler did not open its \"" + std::string(TCP_PORT_MONITOR) + "\" monitor (error " +
                   std::to_string(error) + "): no TCP/IP port for " + address);
        return TcpPortFound::kNotMade;
    }
    win::PORT_DATA_1 data{};
    CopyWide(data.sztPortName, name);
    data.dwVersion = 1;
    data.dwProtocol = win::PROTOCOL_RAWTCP_TYPE;
    data.cbSize = sizeof(data);
    CopyWide(data.sztHostAddress, address);
    data.dwPortNumber = TCP_RAW_PORT_NUMBER;
    win::DWORD needed = 0;
    win::DWORD status = 0;
    const win::BOOL called = spooler.XcvDataW(monitor, u"AddPort", reinterpret_cast<win::BYTE*>(&data), sizeof(data),
                                              nullptr, 0, &needed, &status);
    const win::DWORD error = machine.GetLastError();
    spooler.ClosePrinter(monitor);
    if (called != 1 || status != win::ERROR_SUCCESS) {
        log.Record("silent: the TCP/IP port monitor did not create \"" + name + "\" for " + address + " (" +
                   (called != 1 ? "error " + std::to_string(error) : "status " + std::to_string(status)) + ")");
        return TcpPortFound::kNotMade;
    }
    log.Record("silent: created the standard TCP/IP port \"" + name + "\" for " + address + ", raw on port " +
               std::to_string(TCP_RAW_PORT_NUMBER));
    *portName = name;
    return TcpPortFound::kReady;
}

}  // namespace unattended
