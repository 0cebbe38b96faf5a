// Writes the installation record (install/installation_record.h) when a run
// of the installer's dialog ends well, whether a person or the silent
// policy pressed Install, then tells the next observer, and passes every
// other question on to it. A record that cannot be written is logged and
// changes nothing of the run's outcome.
#pragma once

#include <optional>
#include <string>

#include "app/installer_dialog.h"
#include "install/installation_record.h"
#include "unattended/run_log.h"

namespace unattended {

class RecordObserver : public app::RunObserver {
public:
    // Without `packageSha256` the package is fingerprinted when a record is
    // written, not before the window opens.
    RecordObserver(platform::Machine& machine, std::optional<std::string> packageSha256, RunLog& log,
                   app::RunObserver* next = nullptr);

    void OnRunEnded(const run::RunOutcome& outcome) override;
    // Asked of the next observer; a run with no other observer has a
    // person at the window and may always try again.
    bool MayTryAgain() override { return m_next == nullptr || m_next->MayTryAgain(); }
    void OnPackagePrepared(const std::string& packageFolder) override {
        if (m_next != nullptr) m_next->OnPackagePrepared(packageFolder);
    }

private:
    install::InstallationRecord m_record;
    platform::Machine& m_machine;
    const std::optional<std::string> m_packageSha256;
    RunLog& m_log;
    app::RunObserver* m_next;
};

}  // namespace unattended
