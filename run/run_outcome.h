// How one press of Install ended, as the run itself knows it: the
// unattended mode turns it into an exit code and the log's last word,
// instead of recognising what the window happened to show.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace run {

enum class RunEnd {
    // The printer is installed; for USB and serial, it answered on the port
    // it is bound to.
    kInstalled,
    // The printer is installed, but no USB or serial port was confirmed: it
    // stays on `port`.
    kPortNotConfirmed,
    // A step failed; the machine may have been changed up to that step.
    kFailed,
    // The run stopped before it changed anything.
    kStoppedBeforeChange,
};

// What of the system's stopped a run, where it was not the run's own doing:
// a deployment engine is told apart from an ordinary failure.
enum class Refusal {
    kNone,
    // The process has no administrator's elevated token.
    kNotElevated,
    // A system policy forbids the package's drivers (Windows protected print
    // mode; the spooler's ERROR_PRINTER_DRIVER_BLOCKED or _WARNED).
    kPolicy,
    // The package has no drivers for the machine's processor.
    kProcessor,
};

struct RunOutcome {
    RunEnd end = RunEnd::kFailed;
    // kFailed: the step that failed; kStoppedBeforeChange: why the run stopped.
    std::string step;
    // kFailed: the system's error code where a call gave one, else 0.
    win::DWORD systemError = 0;
    // kInstalled and kPortNotConfirmed: the port the printer is on.
    std::string port;
    Refusal refusal = Refusal::kNone;
    // kInstalled and kPortNotConfirmed: the printer's name.
    std::string printer;

    static RunOutcome Installed(std::string port, std::string printer) {
        return {RunEnd::kInstalled, {}, 0, std::move(port), Refusal::kNone, std::move(printer)};
    }
    static RunOutcome PortNotConfirmed(std::string port, std::string printer) {
        return {RunEnd::kPortNotConfirmed, {}, 0, std::move(port), Refusal::kNone, std::move(printer)};
    }
    static RunOutcome Failed(std::string step, win::DWORD error = 0) {
        return {RunEnd::kFailed, std::move(step), error, {}, Refusal::kNone, {}};
    }
    static RunOutcome Stopped(std::string why, Refusal refusal = Refusal::kNone) {
        return {RunEnd::kStoppedBeforeChange, std::move(why), 0, {}, refusal, {}};
    }
};

// One line for the log, in English: what happened and, for a failure, the
// step and the system error.
std::string Describe(const RunOutcome& outcome);

}  // namespace run
