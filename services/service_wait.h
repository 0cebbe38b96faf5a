// Waiting for a Windows service to reach a state, shared by the installer's
// service control and the unattended removal.
#pragma once

#include <functional>

#include "platform/machine.h"

namespace services {

enum class ServiceWait { kReached, kTimedOut, kStateUnknown };

// Polls `service` until it reports `state`, starting from what `status`
// holds now: at first quickly (a restart is often over in a few
// milliseconds), then every 100 ms, up to 30 s, so that a service that
// never gets there cannot hold the program forever. `betweenPolls`, when
// given, runs after each pause (a window's thread answers its messages).
ServiceWait WaitForServiceState(platform::Machine& machine, win::SC_HANDLE service, win::SERVICE_STATUS* status,
                                win::DWORD state, const std::function<void()>& betweenPolls = nullptr);

}  // namespace services
