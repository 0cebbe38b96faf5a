#include "tools/terminal/front_end_machine.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sim/sim_persistence.h"
#include "tools/printer_sim/printer_emulator.h"
#include "tools/printer_sim/pty_pair.h"

namespace terminal {

namespace fs = std::filesystem;

namespace {

constexpr char kStateFile[] = "machine.state";
constexpr char kUsbMonitor[] = "USB Monitor";
constexpr char kUsbDescription[] = "Virtual printer port for USB";
constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr unsigned kSerialPrinterBaud = 9600;

}  // namespace

std::string StateFileIn(const std::string& folder) { return (fs::path(folder) / kStateFile).string(); }

FrontEndMachine::FrontEndMachine() = default;

FrontEndMachine::~FrontEndMachine() {
    // The printer reads from the line: stop it before the line goes.
    if (m_printer) m_printer->Stop();
    m_printer.reset();
    m_machine.reset();
}

bool FrontEndMachine::Open(const MachineOptions& options, bool withHardware, std::string* error) {
    std::error_code ec;
    fs::create_directories(options.folder, ec);
    if (!fs::is_directory(options.folder)) {
        *error = "cannot create the machine folder " + options.folder;
        return false;
    }
    m_statePath = StateFileIn(options.folder);
    if (options.reset) {
        // Only what this program put there: the folder may be the user's own.
        fs::remove(m_statePath, ec);
        fs::remove_all(fs::path(options.folder) / "c", ec);
    }
    m_machine = std::make_unique<platform::sim::SimMachine>(fs::absolute(options.folder).string());
    m_machine->SetTimeScale(options.timeScale);
    if (fs::exists(m_statePath)) {
        if (!platform::sim::LoadMachineStateFile(*m_machine, m_statePath, error)) {
            *error = m_statePath + ": " + *error + " (--reset starts from the default machine)";
            return false;
        }
        m_loaded = true;
    } else {
        ApplyDefaults();
    }
    auto& spooler = m_machine->sim_spooler();
    if (options.wizard == platform::sim::SimSpooler::kFail) {
        spooler.SetPortWizard(options.wizard, static_cast<win::DWORD>(options.wizardError));
    } else {
        spooler.SetPortWizard(options.wizard, options.wizardPortName);
    }
    if (!withHardware) return true;
    return StartSerialLines(error) && PutPackage(options.package, error);
}

void FrontEndMachine::ApplyDefaults() {
    auto& spooler = m_machine->sim_spooler();
    spooler.ClearPorts();
    spooler.AddPort("COM1:", platform::sim::kSimLocalMonitor, platform::sim::kSimLocalMonitor);
    spooler.AddPort("COM2:", platform::sim::kSimLocalMonitor, platform::sim::kSimLocalMonitor);
    spooler.AddPort("LPT1:", platform::sim::kSimLocalMonitor, platform::sim::kSimLocalMonitor);
    spooler.AddPort("USB001", kUsbMonitor, kUsbDescription);
    spooler.AddPort("USB002", kUsbMonitor, kUsbDescription);
    spooler.AddPort("FILE:", platform::sim::kSimLocalMonitor, "Print to File");
    spooler.AddPort("IP_192.168.1.100", platform::sim::kSimTcpMonitor, platform::sim::kSimTcpMonitor);
    spooler.AttachUsbPrinter("USB002");
    m_machine->AddSerialDevice("\\Device\\Serial0", "COM1");
    m_machine->AddSerialDevice("\\Device\\Serial1", "COM2");
    m_machine->sim_registry().SetString(win::HKEY_LOCAL_MACHINE, kPortsKey, "COM1:", "9600,n,8,1");
    m_machine->sim_registry().SetString(win::HKEY_LOCAL_MACHINE, kPortsKey, "COM2:", "9600,n,8,1");
}

bool FrontEndMachine::StartSerialLines(std::string* error) {
    // The lines live as long as this process; which COM numbers they back
    // is the machine's device map, saved with it.
    m_com1 = std::make_unique<printer_sim::PtyPair>();
    m_com2 = std::make_unique<printer_sim::PtyPair>();
    if (!m_com1->ok() || !m_com2->ok()) {
        *error = "cannot open pseudo-terminals for COM1 and COM2";
        return false;
    }
    m_machine->sim_serial().MapPort(1, m_com1->slavePath());
    m_machine->sim_serial().MapPort(2, m_com2->slavePath());
    printer_sim::PrinterOptions printer;
    printer.kind = printer_sim::PrinterKind::kReceipt;
    printer.requiredBaud = kSerialPrinterBaud;
    m_printer = std::make_unique<printer_sim::PrinterEmulator>(m_com2->master(), printer);
    m_printer->Start();
    m_summary = "printers: USB002 (USB), COM2 at 9600 bps (serial)";
    return true;
}

bool FrontEndMachine::PutPackage(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        // The installer shows an empty model list then, as on Windows.
        m_summary += "; no driver package (" + path + ")";
        return true;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    char folder[win::MAX_PATH] = {};
    m_machine->files().GetCurrentDirectoryA(sizeof(folder), folder);
    if (!m_machine->sim_files().WriteFile(std::string(folder) + "\\DriverData.Drv", bytes.str())) {
        *error = "cannot put the driver package into the machine's working folder";
        return false;
    }
    return true;
}

bool FrontEndMachine::Save(std::string* error) {
    return platform::sim::SaveMachineStateFile(*m_machine, m_statePath, error);
}

}  // namespace terminal
