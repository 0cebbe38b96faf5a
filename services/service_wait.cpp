#include "services/service_wait.h"

#include <algorithm>

namespace services {

namespace {
constexpr win::DWORD SERVICE_FIRST_POLL_MS = 10;
constexpr win::DWORD SERVICE_POLL_INTERVAL_MS = 100;
constexpr win::DWORD SERVICE_WAIT_LIMIT_MS = 30000;
}  // namespace

ServiceWait WaitForServiceState(platform::Machine& machine, win::SC_HANDLE service, win::SERVICE_STATUS* status,
                                win::DWORD state, const std::function<void()>& betweenPolls) {
    win::DWORD waited = 0;
    win::DWORD pause = SERVICE_FIRST_POLL_MS;
    while (status->dwCurrentState != state) {
        if (waited >= SERVICE_WAIT_LIMIT_MS) return ServiceWait::kTimedOut;
        if (!machine.services().QueryServiceStatus(service, status)) return ServiceWait::kStateUnknown;
        if (status->dwCurrentState == state) break;
        machine.Sleep(pause);
        if (betweenPolls) betweenPolls();
        waited += pause;
        pause = std::min(pause * 2, SERVICE_POLL_INTERVAL_MS);
    }
    return ServiceWait::kReached;
}

}  // namespace services
