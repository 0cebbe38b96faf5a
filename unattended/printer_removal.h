// /REMOVE: takes the printer of a name off the machine, then what only it
// needed. No window, whether /S is given or not; every step is logged.
//
// The rules:
// - A printer that is not there: nothing changes, exit 0.
// - The printer is deleted (its queue purged first, so that it goes at
//   once rather than after its last job), and its installation record with
//   the product's keys it leaves empty (also when the printer was gone).
// - Its driver goes, in every environment it is registered for, with the
//   files no other driver uses (DPD_DELETE_UNUSED_FILES), unless another
//   printer still uses it (the log names that printer) or it is not a
//   driver of this package (someone else's driver is never touched).
// - Then the driver's language monitor goes, if it is this package's
//   monitor and no remaining driver names it (the log names one that does).
// - The spooler is started if it is stopped, and restarted only when a
//   deletion is refused because the spooler still holds the driver or
//   monitor (ERROR_PRINTER_DRIVER_IN_USE with no printer left on it,
//   ERROR_PRINT_MONITOR_IN_USE); the deletion is then tried once more.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "unattended/run_log.h"

namespace unattended {

class PrinterRemoval {
public:
    PrinterRemoval(platform::Machine& machine, RunLog& log);

    // The run's exit code: 0 removed or nothing to remove, 1603 failed.
    int Remove(const std::string& printerName);

private:
    struct PrinterEntry {
        std::string name;
        std::string driver;
    };
    struct DriverEntry {
        std::string name;
        std::string environment;
        std::string monitor;
    };

    bool ListPrinters(std::vector<PrinterEntry>* printers);
    bool ListDrivers(std::vector<DriverEntry>* drivers);
    bool DeletePrinter(const std::string& name);
    bool DeleteDriver(const DriverEntry& driver);
    bool DeleteMonitor(const std::string& monitor);
    // Starts the spooler (restarting it first when `restart`); false when
    // it does not come up.
    bool RunSpooler(bool restart);
    int Failed(const std::string& reason);
    // The printer's installation record goes with it; one that cannot be
    // deleted is logged and changes nothing of the outcome.
    void ForgetRecord(const std::string& printerName);

    platform::Machine& m_machine;
    RunLog& m_log;
};

}  // namespace unattended
