// The driver package on the machine: unpacked as the window opens into a
// folder of its own that only SYSTEM and administrators can change, and
// removed with that folder when the window closes.
#pragma once

#include <functional>
#include <string>

#include "package/archive_extractor.h"
#include "platform/machine.h"
#include "run/installer_view.h"

namespace package {

class PackageStaging {
public:
    PackageStaging(platform::Machine& machine, run::InstallerView& view)
        : m_machine(machine), m_view(view), m_extractor(machine) {}

    // Looks for the package in the working folder, then beside the program,
    // and unpacks it into a fresh private folder under the system's
    // temporary folder.
    void PreparePackage();
    // Removes that folder; nothing when none was made.
    void CleanUp();

    // Calls visit(section, name) for every name of the model list the
    // package brought, and for none when nothing was unpacked.
    void ForEachPrinterName(const std::function<void(int section, const std::string& name)>& visit);
    // After PreparePackage: why a package that is there cannot be used, for
    // the status line; empty when it was unpacked or is missing altogether.
    const std::string& Problem() const { return m_problem; }
    // The folder the package was unpacked into, without a trailing '\'
    // ("C:\Windows\SystemTemp\DriverSetup-4242-5000000-0"); empty before
    // the preparation, when no package was unpacked, and after the clean-up.
    std::string Root() const { return m_unpacked ? m_root : std::string(); }

private:
    // The package in the working folder, else the one beside the program;
    // the working folder's name for it when neither is there (empty without
    // a working folder that fits the buffer).

    // A new folder only SYSTEM and the Administrators group can write, at a
    // name nobody had taken; false when none could be made.
    bool CreateStagingFolder();

    platform::Machine& m_machine;
    run::InstallerView& m_view;
    ArchiveExtractor m_extractor;
    std::string m_root;
    bool m_unpacked = false;
    std::string m_problem;
};

}  // namespace package
