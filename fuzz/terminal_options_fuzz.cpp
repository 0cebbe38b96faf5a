// The terminal front end's command line: arguments separated by zero bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_arguments.h"
#include "tools/terminal/front_end_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::vector<std::string> arguments = fuzz::ArgumentsFromBytes(data, size);
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
