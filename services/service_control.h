// Starting or cycling a Windows service, and the driver-loading privilege
// of the installer's own process. The waits are bounded; what goes wrong
// is told to the user in the window's boxes.
#pragma once

#include "platform/machine.h"
#include "run/installer_view.h"

namespace services {

// Modes of StartOrRestartService.
constexpr int SVCMODE_RESTART = 0;
constexpr int SVCMODE_START = 16;

class ServiceControl {
public:
    ServiceControl(platform::Machine& machine, run::InstallerView& view) : m_machine(machine), m_view(view) {}

    // SVCMODE_START starts the service only when it is stopped; any other
    // mode also stops a running one and starts it again.
    void StartOrRestartService(const char* serviceName, int mode);
    void EnableLoadDriverPrivilege();

private:
    platform::Machine& m_machine;
    run::InstallerView& m_view;
};

}  // namespace services
