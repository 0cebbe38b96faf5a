#include "unattended/record_observer.h"

#include "package/package_file.h"
#include "program_version.h"

namespace unattended {

RecordObserver::RecordObserver(platform::Machine& machine, std::optional<std::string> packageSha256, RunLog& log,
                               app::RunObserver* next)
    : m_record(machine, app::PROGRAM_VERSION),
      m_machine(machine),
      m_packageSha256(std::move(packageSha256)),
      m_log(log),
      m_next(next) {}

void RecordObserver::OnRunEnded(const run::RunOutcome& outcome) {
    if (outcome.end == run::RunEnd::kInstalled || outcome.end == run::RunEnd::kPortNotConfirmed) {
        std::string why;
        platform::Files& files = m_machine.files();
        const std::string sha256 =
            m_packageSha256 ? *m_packageSha256 : package::HashFile(files, package::PackageFilePath(files));
        if (m_record.Write(outcome.printer, outcome.port, sha256, &why)) {
            m_log.Record("record: HKLM\\" + std::string(install::RECORD_PRINTERS_KEY) + "\\" + outcome.printer +
                         " written (64-bit view)");
        } else {
            m_log.Record("record: not written: " + why);
        }
    }
    if (m_next != nullptr) m_next->OnRunEnded(outcome);
}

}  // namespace unattended
