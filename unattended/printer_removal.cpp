#include "unattended/printer_removal.h"

#include "install/driver_catalogue.h"
#include "install/installation_record.h"
#include "ports/spooler_records.h"
#include "program_version.h"
#include "services/service_wait.h"
#include "unattended/exit_codes.h"
#include "unattended/text_match.h"

namespace unattended {

namespace {

const char* const kSpoolerService = "Spooler";

bool IsPackageDriver(const std::string& name) {
    for (const char* series : install::ReceiptSeriesNames) {
        if (name == series) return true;
    }
    for (const char* series : install::LabelSeriesNames) {
        if (name == series) return true;
    }
    return false;
}

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

PrinterRemoval::PrinterRemoval(platform::Machine& machine, RunLog& log) : m_machine(machine), m_log(log) {}

int PrinterRemoval::Failed(const std::string& reason) {
    m_log.Record("remove: failed: " + reason);
    return EXIT_FAILED;
}

int PrinterRemoval::Remove(const std::string& printerName) {
    if (!RunSpooler(false)) return Failed("the print spooler cannot be started");
    std::vector<PrinterEntry> printers;
    if (!ListPrinters(&printers)) {
        return Failed("the spooler's printers cannot be listed (error " + std::to_string(m_machine.GetLastError()) +
                      ")");
    }
    const PrinterEntry* target = nullptr;
    for (const PrinterEntry& printer : printers) {
        if (EqualsIgnoringCase(printer.name, printerName)) target = &printer;
    }
    if (target == nullptr) {
        m_log.Record("remove: there is no printer \"" + printerName + "\": nothing to remove");
        ForgetRecord(printerName);
        return EXIT_INSTALLED;
    }
    const std::string name = target->name;
    const std::string driver = target->driver;
    if (!DeletePrinter(name)) {
        return Failed("the printer \"" + name + "\" was not deleted (error " +
                      std::to_string(m_machine.GetLastError()) + ")");
    }
    m_log.Record("remove: printer \"" + name + "\" deleted");
    ForgetRecord(name);

    if (!IsPackageDriver(driver)) {
        m_log.Record("remove: driver \"" + driver + "\" is not one of this package's: left as it is");
        return EXIT_INSTALLED;
    }
    if (!ListPrinters(&printers)) return Failed("the spooler's printers cannot be listed again");
    for (const PrinterEntry& printer : printers) {
        if (printer.driver == driver) {
            m_log.Record("remove: driver \"" + driver + "\" stays: printer \"" + printer.name + "\" uses it");
            return EXIT_INSTALLED;
        }
    }

    std::vector<DriverEntry> drivers;
    if (!ListDrivers(&drivers)) return Failed("the spooler's drivers cannot be listed");
    std::string monitor;
    for (const DriverEntry& entry : drivers) {
        if (entry.name != driver) continue;
        if (!entry.monitor.empty()) monitor = entry.monitor;
        if (!DeleteDriver(entry)) {
            return Failed("driver \"" + driver + "\" (" + entry.environment + ") was not deleted (error " +
                          std::to_string(m_machine.GetLastError()) + ")");
        }
        m_log.Record("remove: driver \"" + driver + "\" (" + entry.environment + ") deleted");
    }

    if (monitor.empty()) return EXIT_INSTALLED;
    if (monitor != install::CATALOGUE_MONITOR_NAME) {
        m_log.Record("remove: monitor \"" + monitor + "\" is not this package's: left as it is");
        return EXIT_INSTALLED;
    }
    if (!ListDrivers(&drivers)) return Failed("the spooler's drivers cannot be listed again");
    for (const DriverEntry& entry : drivers) {
        if (EqualsIgnoringCase(entry.monitor, monitor)) {
            m_log.Record("remove: monitor \"" + monitor + "\" stays: driver \"" + entry.name + "\" (" +
                         entry.environment + ") uses it");
            return EXIT_INSTALLED;
        }
    }
    if (!DeleteMonitor(monitor)) {
        return Failed("monitor \"" + monitor + "\" was not deleted (error " + std::to_string(m_machine.GetLastError()) +
                      ")");
    }
    return EXIT_INSTALLED;
}

void PrinterRemoval::ForgetRecord(const std::string& printerName) {
    std::string why;
    if (install::InstallationRecord(m_machine, app::PROGRAM_VERSION).Remove(printerName, &why)) {
        m_log.Record("remove: no installation record of \"" + printerName + "\" remains");
    } else {
        m_log.Record("remove: " + why);
    }
}

bool PrinterRemoval::ListPrinters(std::vector<PrinterEntry>* printers) {
    printers->clear();
    std::vector<win::BYTE> buffer;
    win::DWORD count = 0;
    platform::Spooler& spooler = m_machine.spooler();
    const bool listed = ports::ReadSpoolerRecords(
        [&](win::BYTE* data, win::DWORD size, win::DWORD* needed, win::DWORD* returned) {
            return spooler.EnumPrintersA(win::PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned) == 1;
        },
        &buffer, &count);
    if (!listed) return false;
    const auto* records = reinterpret_cast<const win::PRINTER_INFO_2*>(buffer.data());
    for (win::DWORD i = 0; i < count; ++i) {
        printers->push_back({Text(records[i].pPrinterName), Text(records[i].pDriverName)});
    }
    return true;
}

bool PrinterRemoval::ListDrivers(std::vector<DriverEntry>* drivers) {
    drivers->clear();
    std::vector<win::BYTE> buffer;
    win::DWORD count = 0;
    platform::Spooler& spooler = m_machine.spooler();
    // "all": the driver may be registered for other environments too (an
    // x64 system's spooler keeps x86 drivers for its clients).
    const bool listed = ports::ReadSpoolerRecords(
        [&](win::BYTE* data, win::DWORD size, win::DWORD* needed, win::DWORD* returned) {
            return spooler.EnumPrinterDriversA(nullptr, "all", 3, data, size, needed, returned) == 1;
        },
        &buffer, &count);
    if (!listed) return false;
    const auto* records = reinterpret_cast<const win::DRIVER_INFO_3*>(buffer.data());
    for (win::DWORD i = 0; i < count; ++i) {
        drivers->push_back(
            {Text(records[i].pName), Text(records[i].pEnvironment), Text(records[i].pMonitorName)});
    }
    return true;
}

bool PrinterRemoval::DeletePrinter(const std::string& name) {
    platform::Spooler& spooler = m_machine.spooler();
    char raw[] = "RAW";
    win::PRINTER_DEFAULTS defaults{raw, nullptr, win::PRINTER_ALL_ACCESS};
    win::HANDLE printer = nullptr;
    if (spooler.OpenPrinterA(name.c_str(), &printer, &defaults) != 1) return false;
    // Jobs still queued would keep the printer, and with it the driver,
    // until they are printed.
    spooler.SetPrinterA(printer, 0, nullptr, win::PRINTER_CONTROL_PURGE);
    const bool deleted = spooler.DeletePrinter(printer) == 1;
    const win::DWORD error = m_machine.GetLastError();
    spooler.ClosePrinter(printer);
    m_machine.SetLastError(error);
    return deleted;
}

bool PrinterRemoval::DeleteDriver(const DriverEntry& driver) {
    platform::Spooler& spooler = m_machine.spooler();
    win::DWORD flags = win::DPD_DELETE_UNUSED_FILES;
    const auto attempt = [&] {
        return spooler.DeletePrinterDriverExA(nullptr, driver.environment.c_str(), driver.name.c_str(), flags, 0) ==
               1;
    };
    if (attempt()) return true;
    if (m_machine.GetLastError() == win::ERROR_INVALID_PARAMETER) {
        // A spooler that cannot delete files with a driver (Wine's) still
        // takes the registration off; the files then stay where they are.
        m_log.Record("remove: the spooler does not delete driver files (error 87): only the registration of \"" +
                     driver.name + "\" goes");
        flags = 0;
        if (attempt()) return true;
    }
    // No printer uses it any more (checked before): the spooler itself
    // still has it loaded, and lets go when it restarts.
    if (m_machine.GetLastError() != win::ERROR_PRINTER_DRIVER_IN_USE) return false;
    m_log.Record("remove: the spooler still holds driver \"" + driver.name + "\": restarting it");
    if (!RunSpooler(true)) return false;
    return attempt();
}

bool PrinterRemoval::DeleteMonitor(const std::string& monitor) {
    platform::Spooler& spooler = m_machine.spooler();
    const auto attempt = [&] { return spooler.DeleteMonitorA(nullptr, nullptr, monitor.c_str()) == 1; };
    if (!attempt()) {
        const win::DWORD error = m_machine.GetLastError();
        if (error == win::ERROR_UNKNOWN_PRINT_MONITOR) {
            m_log.Record("remove: monitor \"" + monitor + "\" was not registered");
            return true;
        }
        if (error != win::ERROR_PRINT_MONITOR_IN_USE) return false;
        m_log.Record("remove: the spooler still holds monitor \"" + monitor + "\": restarting it");
        if (!RunSpooler(true) || !attempt()) return false;
    }
    m_log.Record("remove: monitor \"" + monitor + "\" deleted");
    return true;
}

bool PrinterRemoval::RunSpooler(bool restart) {
    platform::Services& services = m_machine.services();
    win::SC_HANDLE manager = services.OpenSCManagerA(nullptr, "ServicesActive", win::SC_MANAGER_ALL_ACCESS);
    win::SC_HANDLE service = services.OpenServiceA(manager, kSpoolerService, win::SERVICE_ALL_ACCESS);
    win::SERVICE_STATUS status{};
    bool running = false;
    if (service != nullptr && services.QueryServiceStatus(service, &status)) {
        running = status.dwCurrentState == win::SERVICE_RUNNING;
        if (restart && status.dwCurrentState != win::SERVICE_STOPPED) {
            services.ControlService(service, win::SERVICE_CONTROL_STOP, &status);
            if (::services::WaitForServiceState(m_machine, service, &status, win::SERVICE_STOPPED) !=
                ::services::ServiceWait::kReached) {
                m_log.Record("remove: the print spooler did not stop");
            }
        }
        if (status.dwCurrentState == win::SERVICE_STOPPED) {
            services.StartServiceA(service, 0, nullptr);
            status.dwCurrentState = win::SERVICE_START_PENDING;
        }
        running = ::services::WaitForServiceState(m_machine, service, &status, win::SERVICE_RUNNING) ==
                  ::services::ServiceWait::kReached;
    }
    if (service != nullptr) services.CloseServiceHandle(service);
    if (manager != nullptr) services.CloseServiceHandle(manager);
    if (!running) m_log.Record("remove: the print spooler is not running");
    return running;
}

}  // namespace unattended
