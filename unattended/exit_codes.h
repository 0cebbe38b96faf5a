// The exit codes of runs started with options: the codes deployment
// engines already read from installers (the Windows Installer's family).
#pragma once

#include "platform/win_types.h"

namespace unattended {

constexpr int EXIT_INSTALLED = 0;
// Installed, but the printer did not answer on a USB or serial port: it
// stays on the port it was created on.
constexpr int EXIT_PORT_NOT_FOUND = 1;
constexpr int EXIT_FAILED = 1603;            // ERROR_INSTALL_FAILURE
constexpr int EXIT_ANOTHER_RUN = 1618;       // ERROR_INSTALL_ALREADY_RUNNING
constexpr int EXIT_BAD_COMMAND_LINE = 1639;  // ERROR_INVALID_COMMAND_LINE
// What the machine lacks for the port the command line asks for: the
// command line itself is sound ("System Error Codes (1700-3999)").
constexpr int EXIT_NO_SUCH_PORT = static_cast<int>(win::ERROR_UNKNOWN_PORT);
constexpr int EXIT_NO_PORT_MONITOR = static_cast<int>(win::ERROR_UNKNOWN_PRINT_MONITOR);
// What the system forbids, each nothing a deployment engine reads as
// success, retry or reboot ("System Error Codes (500-999)", "(1300-1699)").
constexpr int EXIT_NOT_ELEVATED = 740;        // ERROR_ELEVATION_REQUIRED
constexpr int EXIT_POLICY_FORBIDS = 1625;     // ERROR_INSTALL_PACKAGE_REJECTED
constexpr int EXIT_UNSUPPORTED_SYSTEM = 1633;  // ERROR_INSTALL_PLATFORM_UNSUPPORTED

}  // namespace unattended
