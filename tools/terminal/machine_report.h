// `installer_tui --state`: the simulated machine in a readable form.
#pragma once

#include <string>

#include "platform/sim/sim_machine.h"

namespace terminal {

// Printers with driver and port, drivers, monitors, ports, the default
// printer and the COM settings; UTF-8.
std::string DescribeMachine(platform::sim::SimMachine& machine);

}  // namespace terminal
