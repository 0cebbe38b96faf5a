// How long a run without a person may go on trying. Deployment engines end
// a script that runs too long (a Group Policy script after 600 s unless the
// policy says otherwise), and a run ended in the middle of the USB search
// leaves the printer on whichever port it was being tried at. Past the
// bound no search tries another port and no failure box is answered
// Retry; the step under way finishes.
#pragma once

#include "platform/machine.h"

namespace unattended {

// Seven minutes: with the longest step that may then still be under way
// (a spooler restart, up to 30 s to stop and 30 s to start, and as much
// again for each running service that depends on the spooler) the run ends
// within Group Policy's 600 s while at most one such service runs.
inline constexpr win::DWORD SILENT_RETRY_BOUND_MS = 7 * 60 * 1000;

class RunBound {
public:
    // The run's time starts now.
    RunBound(platform::Machine& machine, win::DWORD limitMs)
        : m_machine(machine), m_start(machine.GetTickCount()), m_limitMs(limitMs) {}

    // Unsigned difference: right across the tick count's wrap.
    bool Spent() const { return m_machine.GetTickCount() - m_start >= m_limitMs; }
    win::DWORD LimitMs() const { return m_limitMs; }

private:
    platform::Machine& m_machine;
    const win::DWORD m_start;
    const win::DWORD m_limitMs;
};

}  // namespace unattended
