#include "tools/terminal/front_end_options.h"

#include <cstdlib>

#include "tools/terminal/text_display.h"

namespace terminal {

namespace {

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
    if (mode == "fail" && !argument.empty()) {
        char* end = nullptr;
        options->wizard = platform::sim::SimSpooler::kFail;
        options->wizardError = std::strtoul(argument.c_str(), &end, 10);
        return *end == '\0';
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
        } else if (arg == "--time-scale" && value(&text)) {
            options->machine.timeScale = std::atof(text.c_str());
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
