#include "tools/terminal/machine_report.h"

#include <sstream>

#include "tools/terminal/text_display.h"

namespace terminal {

namespace {

constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

std::string U(const std::string& cp936) { return Cp936ToUtf8(cp936); }

}  // namespace

std::string DescribeMachine(platform::sim::SimMachine& machine) {
    using platform::sim::SimSpooler;
    std::ostringstream out;
    auto& spooler = machine.sim_spooler();
    auto& registry = machine.sim_registry();
    const SimSpooler::SavedState state = spooler.SaveState();

    out << "System: " << (machine.sim_system().IsWow64() ? "64-bit" : "32-bit") << " Windows, spooler environment "
        << spooler.NativeEnvironment() << "\n";
    for (const auto& [name, running] : machine.sim_services().ServiceStates()) {
        out << "Service " << name << ": " << (running ? "running" : "stopped") << "\n";
    }

    out << "\nPrinters (" << state.printers.size() << "):\n";
    for (const auto& printer : state.printers) {
        out << "  " << U(printer.name) << "\n    driver: " << U(printer.driver) << "\n    port:   " << U(printer.port)
            << "\n";
    }
    const auto device = registry.GetString(win::HKEY_CURRENT_USER, kWindowsKey, "Device");
    out << "\nDefault printer (HKCU\\" << kWindowsKey << " \"Device\"): " << (device ? U(*device) : "(none)") << "\n";

    out << "\nDrivers (" << state.drivers.size() << "):\n";
    for (const auto& driver : state.drivers) {
        out << "  [" << driver.environment << "] v" << driver.version << " " << U(driver.name) << "\n"
            << "    driver " << U(driver.driverPath) << ", data " << U(driver.dataFile) << ", config "
            << U(driver.configFile) << "\n";
        if (!driver.monitorName.empty()) out << "    language monitor: " << U(driver.monitorName) << "\n";
    }
    out << "\nMonitors (" << state.monitors.size() << "):\n";
    for (const auto& monitor : state.monitors) {
        out << "  " << U(monitor.name) << " [" << monitor.environment << "] " << U(monitor.dllPath) << "\n";
    }
    out << "\nPorts (" << state.ports.size() << "):\n";
    for (const auto& port : state.ports) {
        bool attached = false;
        for (const auto& usb : state.usbAttached) attached = attached || platform::sim::SameName(usb, port.name);
        out << "  " << U(port.name) << "  [" << U(port.monitor) << "] " << U(port.description)
            << (attached ? "  (printer attached)" : "") << "\n";
    }
    out << "\nCOM settings (HKLM\\" << kPortsKey << "):\n";
    for (const std::string& name : registry.ValueNames(win::HKEY_LOCAL_MACHINE, kPortsKey)) {
        const auto value = registry.GetString(win::HKEY_LOCAL_MACHINE, kPortsKey, name);
        out << "  " << U(name) << " = " << (value ? U(*value) : "(not a string)") << "\n";
    }
    return out.str();
}

}  // namespace terminal
