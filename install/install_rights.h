// What the system allows the installer, found before anything is changed:
// an administrator's elevated token with the right to load drivers, and no
// policy that forbids the package's drivers. The window's preparation asks
// first; a refusal is said in the status line and a box, and reported as
// the run's outcome, so that an unattended run ends with its own code.
#pragma once

#include <string>

#include "platform/machine.h"
#include "run/installer_view.h"

namespace install {

// What was found; every field as it reads where the system cannot tell.
struct RightsFindings {
    // TokenElevation says the token is elevated (systems before Vista have
    // no elevation: true).
    bool elevated = true;
    // The token holds SeLoadDriverPrivilege, which AddPrinterDriverEx and
    // AddMonitor require.
    bool loadDriverPrivilege = true;
    // Windows protected print mode by its policy value, and by the Windows
    // Runtime's answer (Windows 11 version 24H2 and later).
    bool protectedPrintPolicy = false;
    bool protectedPrintRuntime = false;
    // "Configure Driver Validation Level": 0 to 4, or -1 when not configured.
    int validationLevel = -1;

    // An administrator's rights, as the driver's registration needs them.
    bool AdministratorRights() const { return elevated && loadDriverPrivilege; }
};

// Reads the token and the policies; changes and shows nothing.
RightsFindings ExamineRights(platform::Machine& machine);

// Where the policies live (Policy CSP - Printers; "Windows protected print
// mode for enterprises and developers").
inline constexpr const char* PROTECTED_PRINT_POLICY_KEY = "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
inline constexpr const char* PROTECTED_PRINT_POLICY_VALUE = "WindowsProtectedPrintGroupPolicyState";
inline constexpr const char* VALIDATION_POLICY_KEY = "Software\\Policies\\Microsoft\\Windows NT\\Printers\\Driver";
inline constexpr const char* VALIDATION_POLICY_VALUE = "ValidationLevel";
// The level at which every validly signed driver is accepted (the default).
inline constexpr int VALIDATION_ALL_SIGNED = 4;

inline constexpr const char* TEXT_NOT_ELEVATED = "需要管理员权限才能安装打印机驱动程序";
inline constexpr const char* TEXT_PROTECTED_PRINT = "Windows受保护的打印模式已开启,不能安装本驱动程序";

class InstallRights {
public:
    InstallRights(platform::Machine& machine, run::InstallerView& view) : m_machine(machine), m_view(view) {}

    // The preparation's first step. When the installation is forbidden:
    // says why and what to do, reports the run as stopped before any change,
    // and returns false. A validation level that may refuse the drivers is
    // said in a box, and the preparation goes on.
    bool Check();

    // The box's text for a validation level below 4.
    static std::string ValidationWarning(int level);

private:
    bool Refuse(const char* status, const char* box, const char* why, run::Refusal refusal);

    platform::Machine& m_machine;
    run::InstallerView& m_view;
};

}  // namespace install
