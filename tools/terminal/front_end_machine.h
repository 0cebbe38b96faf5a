// The simulated machine that the terminal front end runs the installer on:
// built with its default hardware, or loaded from the folder where the
// previous run left it, with serial lines on pseudo-terminals.
#pragma once

#include <memory>
#include <string>

#include "platform/sim/sim_machine.h"

namespace printer_sim {
class PrinterEmulator;
}
namespace printer_sim {
class PtyPair;
}

namespace terminal {

struct MachineOptions {
    std::string folder = "installer-machine";
    std::string package;  // DriverData.Drv to put in the working folder
    bool reset = false;   // start from the default machine
    platform::sim::SimSpooler::PortWizard wizard = platform::sim::SimSpooler::kCreate;
    std::string wizardPortName = "IP_192.168.1.200";
    unsigned long wizardError = 0;
    double timeScale = 1.0;
};

class FrontEndMachine {
public:
    FrontEndMachine();
    ~FrontEndMachine();
    FrontEndMachine(const FrontEndMachine&) = delete;
    FrontEndMachine& operator=(const FrontEndMachine&) = delete;

    // Builds or loads the machine. With `withHardware` the serial lines and
    // the printer on COM2 are started and the package is put in place (not
    // needed to report the state).
    bool Open(const MachineOptions& options, bool withHardware, std::string* error);
    bool Save(std::string* error);

    platform::sim::SimMachine& Machine() { return *m_machine; }
    bool LoadedFromState() const { return m_loaded; }
    const std::string& StatePath() const { return m_statePath; }
    // A line about the hardware, for the front end's title.
    std::string Summary() const { return m_summary; }

private:
    void ApplyDefaults();
    bool StartSerialLines(std::string* error);
    bool PutPackage(const std::string& path, std::string* error);

    std::unique_ptr<platform::sim::SimMachine> m_machine;
    std::unique_ptr<printer_sim::PtyPair> m_com1;
    std::unique_ptr<printer_sim::PtyPair> m_com2;
    std::unique_ptr<printer_sim::PrinterEmulator> m_printer;
    std::string m_statePath;
    std::string m_summary;
    bool m_loaded = false;
};

// The state file inside a machine folder.
std::string StateFileIn(const std::string& folder);

}  // namespace terminal
