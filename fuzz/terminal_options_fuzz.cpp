// The terminal front end's command line: arguments separated by zero bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/terminal/front_end_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    const char* text = reinterpret_cast<const char*>(data);
    for (size_t start = 0; start <= size && size > 0;) {
        const char* zero = static_cast<const char*>(std::find(text + start, text + size, '\0'));
        arguments.emplace_back(text + start, zero);
        start = static_cast<size_t>(zero - text) + 1;
    }
    terminal::FrontEndOptions options;
    std::string error;
    if (!terminal::ParseFrontEndOptions(arguments, &options, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (options.help) return 0;
    // The machine sleeps for the installer's pauses times this scale.
    const double scale = options.machine.timeScale;
    if (!std::isfinite(scale) || scale < 0) std::abort();
    // The spooler's wizard fails with a Win32 error code: a DWORD.
    if (options.machine.wizard == platform::sim::SimSpooler::kFail && options.machine.wizardError > 0xFFFFFFFFul) {
        std::abort();
    }
    if (options.installerArgs.size() > arguments.size()) std::abort();
    for (const std::string& arg : options.installerArgs) {
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) std::abort();
    }
    return 0;
}
