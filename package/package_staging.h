// The driver package on the machine: unpacked as the window opens, and
// removed again when it closes, sparing what was there before.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "package/archive_extractor.h"
#include "platform/machine.h"
#include "run/installer_view.h"

namespace package {

class PackageStaging {
public:
    PackageStaging(platform::Machine& machine, run::InstallerView& view)
        : m_machine(machine), m_view(view), m_extractor(machine) {}

    // Unpacks the package from the working folder, first noting what of the
    // package's places already exists.
    void PreparePackage();
    // Removes what the package brought; nothing when it was never prepared.
    void CleanUp();

    // Calls visit(section, name) for every name of the model list the
    // package brought, and for none when it brought none: a list it did not
    // bring (left by an older package, or the user's) names drivers it lacks.
    void ForEachPrinterName(const std::function<void(int section, const std::string& name)>& visit);
    // After PreparePackage: why a package that is there cannot be used, for
    // the status line; empty when it was unpacked or is missing altogether.
    const std::string& Problem() const { return m_problem; }

private:
    platform::Machine& m_machine;
    run::InstallerView& m_view;
    ArchiveExtractor m_extractor;
    // What existed under the package's folders before it was unpacked; the
    // clean-up spares it, and removes nothing before it has been recorded.
    std::vector<std::string> m_preexistingPaths;
    bool m_preexistingRecorded = false;
    bool m_broughtModelList = false;
    std::string m_problem;
};

}  // namespace package
