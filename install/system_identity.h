// Which Windows the installer runs on: its version, whether this program
// runs under WOW64, and the processor, which decide the driver files.
#pragma once

#include <string>

#include "platform/machine.h"
#include "run/installer_view.h"

namespace install {

class SystemIdentity {
public:
    SystemIdentity(platform::Machine& machine, run::InstallerView& view) : m_machine(machine), m_view(view) {}

    // 1 Windows 95, 2 98, 3 Me, 4 NT 4.0, 5 2000, 6 XP, 7 2003, 8 Vista,
    // 9 7, 10 8 and 8.1, 11 10 and later; -1 for anything else.
    int GetWindowsVersionCode();
    // Finds WOW64 and the processor, and shows the system in the status line.
    void ShowSystemInfo();

    // Whether the x64 drivers are the ones to install: this 32-bit program
    // runs under WOW64, or (built as a 64-bit program for testing where
    // only 64-bit programs run) IsWow64Process2 names an x64 processor.
    // Only under WOW64 does System32 need Sysnative to reach the real one.
    bool OnX64Windows() const;
    bool UnderWow64() const { return m_isWow64 != 0; }
    // The processor's name when the package has no drivers for it (it has
    // x86 and x64 ones only), else empty.
    std::string UnsupportedProcessor() const;

private:
    platform::Machine& m_machine;
    run::InstallerView& m_view;
    // Written by the preparation thread before Install becomes usable.
    int m_isWow64 = 0;
    // The processor IsWow64Process2 reported (IMAGE_FILE_MACHINE_...); 0
    // where the system cannot say, and x86 or x64 is then taken for granted.
    win::USHORT m_nativeMachine = 0;
};

}  // namespace install
