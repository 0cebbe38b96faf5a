#include "unattended/command_line.h"

#include <cstdlib>

#include "app/dialog_templates.h"
#include "dialogs/dialog_ids.h"
#include "program_version.h"

namespace unattended {

std::vector<int> SerialPromptRates() {
    std::vector<int> rates;
    for (const auto& item : app::SerialPromptDialogTemplate().comboStrings) {
        if (item.first == dialogs::IDC_BAUD_COMBO) rates.push_back(std::atoi(item.second));
    }
    return rates;
}

const char* const UNATTENDED_USAGE =
    "DriverSetup [/S] [/MODEL=<name>] [/PORT=<port>] [/BAUD=<rate>] [/NODEFAULT]\r\n"
    "            [/USBRETRY=<n>] [/LOG=<path>] [/?]\r\n"
    "DriverSetup /REMOVE /MODEL=<name> [/S] [/LOG=<path>]\r\n"
    "DriverSetup /LIST [/LOG=<path>]\r\n"
    "\r\n"
    "Without options the installer opens its window as usual.\r\n"
    "  /S            silent: no window, no question; every question gets its\r\n"
    "                documented answer and the run is logged\r\n"
    "  /MODEL=name   the printer model, a name from the package's model list\r\n"
    "                (any case); required with /S and /REMOVE\r\n"
    "  /PORT=port    SERIAL, USB, LPT[:<port>], TCP[:<port name>] or\r\n"
    "                TCP:<IPv4 address> (that address's standard TCP/IP port,\r\n"
    "                created when there is none); LPT and TCP alone take the\r\n"
    "                first port listed; default: the row the window preselects\r\n"
    "  /BAUD=rate    a serial printer's rate (300 1200 2400 4800 9600 19200\r\n"
    "                38400 57600 115200): the serial ports are searched for it;\r\n"
    "                without it the printer stays on the first serial port\r\n"
    "  /NODEFAULT    do not make the printer the default printer\r\n"
    "  /USBRETRY=n   search the USB ports again up to n times (at most 20) when\r\n"
    "                no printer answers, for a printer being plugged in\r\n"
    "  /LOG=path     the log file (UTF-8); a silent run always logs, by default\r\n"
    "                to DriverSetup.log in the temporary folder\r\n"
    "  /REMOVE       remove the printer named by /MODEL, then its driver and\r\n"
    "                language monitor where no other printer needs them; never\r\n"
    "                shows a window and always logs\r\n"
    "  /LIST         the package's model names, one a line with \"receipt\" or\r\n"
    "                \"label\", without a window\r\n"
    "  /?            this text\r\n"
    "\r\n"
    "Exit codes: 0 installed or removed (or nothing to remove); 1 installed,\r\n"
    "but the printer did not answer on a USB or serial port; 1603 failed;\r\n"
    "1618 another installation is running; 1639 invalid command line;\r\n"
    "1796 no such port on this machine; 3000 no TCP/IP port monitor.\r\n";

bool IsIpv4Address(const std::string& text) {
    int parts = 0;
    std::size_t at = 0;
    while (true) {
        std::size_t end = at;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        const std::size_t digits = end - at;
        // A leading zero would read as octal to some of the system's parsers.
        if (digits == 0 || digits > 3 || (digits > 1 && text[at] == '0')) return false;
        if (std::strtol(text.substr(at, digits).c_str(), nullptr, 10) > 255) return false;
        ++parts;
        if (end == text.size()) return parts == 4;
        if (text[end] != '.' || parts == 4) return false;
        at = end + 1;
    }
}

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ToUpper(std::string text) {
    for (char& c : text) c = Upper(c);
    return text;
}

// A value may arrive still quoted when the caller's quoting was not the
// C runtime's ("/MODEL:"Sample 80"" through some engines).
std::string Unquote(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
}

bool ParseNumber(const std::string& text, long low, long high, long* number) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    *number = std::strtol(text.c_str(), nullptr, 10);
    return *number >= low && *number <= high;
}

bool ParsePort(const std::string& value, CommandLine* result, std::string* error) {
    const std::size_t colon = value.find(':');
    const std::string type = ToUpper(value.substr(0, colon));
    const std::string name = colon == std::string::npos ? std::string() : value.substr(colon + 1);
    const bool named = colon != std::string::npos;
    if (type == "SERIAL" || type == "COM") {
        result->port = PortChoice::kSerial;
    } else if (type == "USB") {
        result->port = PortChoice::kUsb;
    } else if (type == "LPT") {
        result->port = PortChoice::kParallel;
    } else if (type == "TCP") {
        result->port = PortChoice::kNetwork;
    } else {
        *error = "unknown port type \"" + type + "\" in /PORT (SERIAL, USB, LPT or TCP)";
        return false;
    }
    if (named && (result->port == PortChoice::kSerial || result->port == PortChoice::kUsb)) {
        *error = "/PORT=" + type + " takes no port name: the installer finds the port itself";
        return false;
    }
    if (named && name.empty()) {
        *error = "/PORT=" + type + ": names no port after the colon";
        return false;
    }
    // A TCP value made only of digits and dots is an address: port names
    // carry letters ("IP_10.0.0.5"), and "10.0.0" is a mistyped address,
    // not a port that could exist.
    if (result->port == PortChoice::kNetwork && !name.empty() &&
        name.find_first_not_of("0123456789.") == std::string::npos) {
        if (!IsIpv4Address(name)) {
            *error = "/PORT=TCP:" + name + " is not an IPv4 address (four numbers 0-255 separated by dots)";
            return false;
        }
        result->tcpAddress = name;
        return true;
    }
    result->portName = name;
    return true;
}

}  // namespace

std::string UsageText() {
    return std::string("DriverSetup ") + app::PROGRAM_VERSION + "\r\n\r\n" + UNATTENDED_USAGE;
}

bool NamesWindowlessOption(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) continue;
        const std::string name = ToUpper(argument.substr(1, argument.find_first_of("=:", 1) - 1));
        if (name == "S" || name == "LIST" || name == "REMOVE") return true;
    }
    return false;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* result, std::string* error) {
    *result = CommandLine();
    result->interactive = arguments.empty();
    bool installOption = false;
    bool setupOption = false;  // what only an installation uses
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
            *error = "not an option: \"" + argument + "\"";
            return false;
        }
        const std::size_t separator = argument.find_first_of("=:", 1);
        const std::string name = ToUpper(argument.substr(1, separator == std::string::npos ? std::string::npos
                                                                                              : separator - 1));
        const bool hasValue = separator != std::string::npos;
        const std::string value = hasValue ? Unquote(argument.substr(separator + 1)) : std::string();
        const bool takesValue = name == "MODEL" || name == "PORT" || name == "BAUD" || name == "LOG" ||
                                name == "USBRETRY";
        if (takesValue && value.empty()) {
            *error = "/" + name + " needs a value (/" + name + "=...)";
            return false;
        }
        if (!takesValue && hasValue) {
            *error = "/" + name + " takes no value";
            return false;
        }
        long number = 0;
        if (name == "S") {
            result->silent = true;
        } else if (name == "?") {
            result->help = true;
        } else if (name == "LIST") {
            result->list = true;
        } else if (name == "REMOVE") {
            result->remove = true;
        } else if (name == "MODEL") {
            result->model = value;
            installOption = true;
        } else if (name == "PORT") {
            if (!ParsePort(value, result, error)) return false;
            installOption = setupOption = true;
        } else if (name == "BAUD") {
            bool known = false;
            std::string rates;
            for (int rate : SerialPromptRates()) {
                known = known || (ParseNumber(value, 1, 10000000, &number) && rate == number);
                rates += " " + std::to_string(rate);
            }
            if (!known) {
                *error = "/BAUD=" + value + " is not one of the rates" + rates;
                return false;
            }
            result->baudRate = static_cast<int>(number);
            installOption = setupOption = true;
        } else if (name == "NODEFAULT") {
            result->setAsDefault = false;
            installOption = setupOption = true;
        } else if (name == "USBRETRY") {
            if (!ParseNumber(value, 0, UNATTENDED_MAX_USB_RETRIES, &number)) {
                *error = "/USBRETRY=" + value + " is not a number from 0 to 20";
                return false;
            }
            result->usbRetries = static_cast<int>(number);
            installOption = setupOption = true;
        } else if (name == "LOG") {
            result->logPath = value;
        } else {
            *error = "unknown option \"" + argument + "\"";
            return false;
        }
    }
    if (result->help) return true;
    if (result->list) {
        // Listing shows no window whether /S is given or not.
        if (installOption || !result->model.empty() || result->remove) {
            *error = "/LIST takes no installation options";
            return false;
        }
        return true;
    }
    if (result->remove) {
        // Removal shows no window whether /S is given or not.
        if (result->model.empty()) {
            *error = "/REMOVE needs /MODEL=<name>, the printer to remove";
            return false;
        }
        if (setupOption) {
            *error = "/REMOVE takes only /MODEL, /S and /LOG";
            return false;
        }
        return true;
    }
    // What a person sees when starting the program by hand never depends
    // on these: they only steer a silent run.
    if (installOption && !result->silent) {
        *error = "/MODEL, /PORT, /BAUD, /NODEFAULT and /USBRETRY go with /S";
        return false;
    }
    if (result->silent && result->model.empty()) {
        *error = "/S needs /MODEL=<name>";
        return false;
    }
    if (result->baudRate != 0 && result->port != PortChoice::kSerial && result->port != PortChoice::kDefaultRow) {
        *error = "/BAUD goes with /PORT=SERIAL";
        return false;
    }
    return true;
}

}  // namespace unattended
