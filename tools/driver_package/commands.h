// The tool's commands, callable without a process: check, build and list.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace driver_package {

constexpr int kExitInstalls = 0;       // every listed model installs (build: written)
constexpr int kExitDoesNotInstall = 1;  // build: nothing written
constexpr int kExitUnreadable = 2;      // the package cannot be read, or a wrong command line

// args without the program name: {"check", "DriverData.Drv"}.
int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace driver_package
