// The terminal front end's command line: its own options (two dashes) and
// the Windows program's options, which it passes on.
#pragma once

#include <string>
#include <vector>

#include "tools/terminal/front_end_machine.h"

namespace terminal {

struct FrontEndOptions {
    MachineOptions machine;
    bool help = false;       // --help: print the usage and nothing else
    bool stateOnly = false;  // --state
    std::vector<std::string> installerArgs;  // '/' or single '-' options, in CP936
};

// Parses the arguments (without the program's name), given in the
// terminal's UTF-8. False with *error naming the argument at fault.
bool ParseFrontEndOptions(const std::vector<std::string>& arguments, FrontEndOptions* options, std::string* error);

}  // namespace terminal
