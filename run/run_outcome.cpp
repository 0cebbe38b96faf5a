#include "run/run_outcome.h"

namespace run {

std::string Describe(const RunOutcome& outcome) {
    switch (outcome.end) {
        case RunEnd::kInstalled: return "installed on " + outcome.port;
        case RunEnd::kPortNotConfirmed: return "installed, no port confirmed: the printer stays on " + outcome.port;
        case RunEnd::kFailed:
            return "failed: " + outcome.step +
                   (outcome.systemError != 0 ? ", system error " + std::to_string(outcome.systemError) : std::string());
        case RunEnd::kStoppedBeforeChange: return "stopped before any change: " + outcome.step;
    }
    return "unknown";
}

}  // namespace run
