#include "tools/terminal/front_end_options.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "tools/terminal/text_display.h"

namespace terminal {

namespace {

// Digits only: strtoul alone takes "-1" and " 5" and wraps what is too big.
bool ParseErrorCode(const std::string& text, unsigned long* code) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > std::numeric_limits<std::uint32_t>::max()) return false;
    *code = static_cast<unsigned long>(value);
    return true;
}

// A number, finite and not negative: atof took "-5x" as -5, and
// "nan" or "inf" would make the installer's pauses undefined or endless.
bool ParseTimeScale(const std::string& text, double* scale) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value) || value < 0) return false;
    *scale = value;
    return true;
}

bool ParsePortWizard(const std::string& text, MachineOptions* options) {
    const std::size_t eq = text.find('=');
    const std::string mode = text.substr(0, eq);
    const std::string argument = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    if (mode == "create") {
        options->wizard = platform::sim::SimSpooler::kCreate;
        if (!argument.empty()) options->wizardPortName = argument;
        return eq == std::string::npos || !argument.empty();
    }
    if (mode == "cancel" && argument.empty()) {
        options->wizard = platform::sim::SimSpooler::kCancel;
        return true;
    }
    if (mode == "fail" && ParseErrorCode(argument, &options->wizardError)) {
        options->wizard = platform::sim::SimSpooler::kFail;
        return true;
    }
    return false;
}

// The Windows program's options: '/' or a single '-' (the front end's own
// options take two).
bool IsInstallerOption(const std::string& arg) {
    return arg.size() >= 2 && (arg[0] == '/' || (arg[0] == '-' && arg[1] != '-'));
}

}  // namespace

bool ParseFrontEndOptions(const std::vector<std::string>& arguments, FrontEndOptions* options, std::string* error) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const auto value = [&](std::string* out) {
            if (i + 1 >= arguments.size()) return false;
            *out = arguments[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            return true;
        } else if (arg == "--machine" && value(&options->machine.folder)) {
        } else if (arg == "--package" && value(&options->machine.package)) {
        } else if (arg == "--reset") {
            options->machine.reset = true;
        } else if (arg == "--state") {
            options->stateOnly = true;
        } else if (arg == "--port-wizard" && value(&text) && ParsePortWizard(text, &options->machine)) {
        } else if (arg == "--time-scale" && value(&text) && ParseTimeScale(text, &options->machine.timeScale)) {
        } else if (IsInstallerOption(arg)) {
            options->installerArgs.push_back(Utf8ToCp936(arg));
        } else {
            *error = "bad argument " + arg;
            return false;
        }
    }
    return true;
}

}  // namespace terminal
