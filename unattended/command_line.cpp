#include "unattended/command_line.h"

#include <cstdlib>

#include "app/dialog_templates.h"
#include "dialogs/dialog_ids.h"

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
    "DriverSetup /LIST [/LOG=<path>]\r\n"
    "\r\n"
    "Without options the installer opens its window as usual.\r\n"
    "  /S            silent: no window, no question; every question gets its\r\n"
    "                documented answer and the run is logged\r\n"
    "  /MODEL=name   the printer model, a name from the package's model list\r\n"
    "                (any case); required with /S\r\n"
    "  /PORT=port    SERIAL, USB, LPT[:<port>] or TCP[:<port name>]; LPT and TCP\r\n"
    "                alone take the first port listed; default: the row the\r\n"
    "                window preselects\r\n"
    "  /BAUD=rate    a serial printer's rate (300 1200 2400 4800 9600 19200\r\n"
    "                38400 57600 115200): the serial ports are searched for it;\r\n"
    "                without it the printer stays on the first serial port\r\n"
    "  /NODEFAULT    do not make the printer the default printer\r\n"
    "  /USBRETRY=n   search the USB ports again up to n times (at most 20) when\r\n"
    "                no printer answers, for a printer being plugged in\r\n"
    "  /LOG=path     the log file (UTF-8); a silent run always logs, by default\r\n"
    "                to DriverSetup.log in the temporary folder\r\n"
    "  /LIST         the package's model names, one a line with \"receipt\" or\r\n"
    "                \"label\", without a window\r\n"
    "  /?            this text\r\n"
    "\r\n"
    "Exit codes: 0 installed; 1 installed, but the printer did not answer on a\r\n"
    "USB or serial port; 1603 failed; 1618 another installation is running;\r\n"
    "1639 invalid command line.\r\n";

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
    result->portName = name;
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* result, std::string* error) {
    *result = CommandLine();
    result->interactive = arguments.empty();
    bool installOption = false;
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
        } else if (name == "MODEL") {
            result->model = value;
            installOption = true;
        } else if (name == "PORT") {
            if (!ParsePort(value, result, error)) return false;
            installOption = true;
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
            installOption = true;
        } else if (name == "NODEFAULT") {
            result->setAsDefault = false;
            installOption = true;
        } else if (name == "USBRETRY") {
            if (!ParseNumber(value, 0, UNATTENDED_MAX_USB_RETRIES, &number)) {
                *error = "/USBRETRY=" + value + " is not a number from 0 to 20";
                return false;
            }
            result->usbRetries = static_cast<int>(number);
            installOption = true;
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
        if (installOption || !result->model.empty()) {
            *error = "/LIST takes no installation options";
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
