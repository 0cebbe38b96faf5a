// The unattended mode's command line, as a deployment engine passes it:
// arguments separated by zero bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_arguments.h"
#include "unattended/command_line.h"

using unattended::CommandLine;
using unattended::PortChoice;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::vector<std::string> arguments = fuzz::ArgumentsFromBytes(data, size);
    CommandLine parsed;
    std::string error;
    if (!unattended::ParseCommandLine(arguments, &parsed, &error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (parsed.interactive != arguments.empty()) std::abort();
    if (parsed.help) return 0;
    if (parsed.silent && parsed.model.empty() && !parsed.list) std::abort();
    if (parsed.usbRetries < 0 || parsed.usbRetries > unattended::UNATTENDED_MAX_USB_RETRIES) std::abort();
    if (parsed.baudRate != 0) {
        const std::vector<int> rates = unattended::SerialPromptRates();
        if (std::find(rates.begin(), rates.end(), parsed.baudRate) == rates.end()) std::abort();
        if (parsed.port != PortChoice::kSerial && parsed.port != PortChoice::kDefaultRow) std::abort();
    }
    if (!parsed.portName.empty() && parsed.port != PortChoice::kParallel && parsed.port != PortChoice::kNetwork) {
        std::abort();
    }
    return 0;
}
