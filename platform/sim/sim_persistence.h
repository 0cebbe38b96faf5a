// Simulated machine: saving its state as text and loading it into a new
// machine, so that a second run of the terminal front end finds the
// printers of the first. The C:\ tree needs no saving: it already lives in
// the sandbox folder.
#pragma once

#include <string>

#include "platform/sim/sim_machine.h"

namespace platform::sim {

// The registry (links and volatile keys left out), the services and whether
// they run, the spooler's ports, printers, drivers, monitors and USB
// attachments, and which Windows the machine is. Line-oriented text, one
// record a line, fields split by tabs; bytes other than tab, newline,
// carriage return and backslash are kept as they are (CP936 included).
std::string SaveMachineState(SimMachine& machine);

// Loads a saved state into `machine`, which should be freshly built on the
// sandbox folder the state was saved with. Nothing is applied unless the
// whole text is well formed; otherwise false, with the line at fault in
// *error.
bool LoadMachineState(SimMachine& machine, const std::string& text, std::string* error);

// The same through a file; a missing file is an error too.
bool SaveMachineStateFile(SimMachine& machine, const std::string& path, std::string* error);
bool LoadMachineStateFile(SimMachine& machine, const std::string& path, std::string* error);

}  // namespace platform::sim
