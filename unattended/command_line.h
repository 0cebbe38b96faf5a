// The program's command line, in Windows conventions: options start with
// '/' or '-', names are case-insensitive, a value follows '=' or ':' and may
// be quoted. Without arguments the program is the interactive installer,
// unchanged; everything here is for runs that deployment engines start.
#pragma once

#include <string>
#include <vector>

namespace unattended {

enum class PortChoice { kDefaultRow, kSerial, kUsb, kParallel, kNetwork };

struct CommandLine {
    bool silent = false;      // /S
    bool help = false;        // /?
    bool list = false;        // /LIST: the package's model names
    bool remove = false;      // /REMOVE: the /MODEL printer, its driver and monitor
    std::string model;        // /MODEL=<name>
    PortChoice port = PortChoice::kDefaultRow;
    std::string portName;     // /PORT=LPT:<port> or TCP:<port name>; empty: the first row
    std::string tcpAddress;   // /PORT=TCP:<IPv4 address>: the port is found or created for it
    int baudRate = 0;         // /BAUD=<rate>; 0: the serial prompt is declined
    bool setAsDefault = true; // /NODEFAULT clears it
    int usbRetries = 0;       // /USBRETRY=<n>
    std::string logPath;      // /LOG=<path>; empty: no log (a silent run uses the default)

    // True when the program was started with no argument at all.
    bool interactive = true;
};

// The serial prompt's rates, in its order: /BAUD takes one of them.
std::vector<int> SerialPromptRates();
// Retrying the USB search is bounded: each try restarts the spooler once
// per USB port.
constexpr int UNATTENDED_MAX_USB_RETRIES = 20;

// True for a dotted quad of four decimal numbers 0-255 without leading
// zeros ("10.0.0.5"); nothing before, after or between them.
bool IsIpv4Address(const std::string& text);

// Parses the arguments (without the program's name). False with *error
// saying what is wrong, in English, for the console and the log.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* result, std::string* error);

// What /? prints after the program's name and version (UsageText()).
extern const char* const UNATTENDED_USAGE;
// "DriverSetup 1.1.0", an empty line, and UNATTENDED_USAGE.
std::string UsageText();

// Whether an argument is /S, /LIST or /REMOVE (any case, '/' or '-'),
// whatever else is wrong with the line: such a run never shows a window,
// not even for a mistake on its command line.
bool NamesWindowlessOption(const std::vector<std::string>& arguments);

}  // namespace unattended
