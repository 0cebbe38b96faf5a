// The simulated machine's saved state, which the terminal front end loads
// from a folder its user can edit: any text either loads or is refused,
// and what loads reads as a report and saves to a text that loads back to
// the same machine.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_sandbox.h"
#include "platform/sim/sim_persistence.h"
#include "tools/terminal/machine_report.h"

using platform::sim::LoadMachineState;
using platform::sim::SaveMachineState;
using platform::sim::SimMachine;

namespace {

const std::string& SandboxRoot() { return fuzz::SandboxFolder(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string saved;
    {
        SimMachine machine(SandboxRoot());
        std::string error;
        if (!LoadMachineState(machine, text, &error)) {
            if (error.empty()) std::abort();
            return 0;
        }
        terminal::DescribeMachine(machine);
        saved = SaveMachineState(machine);
    }
    SimMachine again(SandboxRoot());
    std::string error;
    if (!LoadMachineState(again, saved, &error)) std::abort();
    if (SaveMachineState(again) != saved) std::abort();
    return 0;
}
