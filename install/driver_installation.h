// The driver installation of one Install click: the receipt or the label
// sequence, from the user's selection to the finished printer, its port
// found where the printer is attached by USB or a serial cable. Read as a
// script: settle the port, stage and register the driver, create the
// printer, make it the default, find its port.
#pragma once

#include <string>

#include "install/system_identity.h"
#include "platform/machine.h"
#include "ports/port_inventory.h"
#include "ports/serial_search.h"
#include "ports/usb_search.h"
#include "run/installer_view.h"
#include "services/service_control.h"

namespace install {

// The driver catalogue's receipt groups: consecutive runs of rows, 0 to 14,
// 15 to 21, 22 to 26 and 27 to 29. The rows after them are label series.
struct ReceiptGroups {
    int m_receiptGroup4Size = 3;
    int m_receiptGroup3Size = 5;
    int m_receiptGroup2Size = 7;
    int m_receiptGroup1Size = 15;

    // The sum of the four group sizes: the first label row.
    int ReceiptRowCount() const {
        return m_receiptGroup1Size + m_receiptGroup2Size + m_receiptGroup3Size + m_receiptGroup4Size;
    }
};

// What the user chose with one Install click.
struct InstallSelection {
    // The model's catalogue row.
    int m_seriesIndex = 0;
    // The model's name, as the list showed it when Install was pressed: the
    // printer's name for the whole run, whatever the list shows meanwhile.
    std::string m_printerName;
    // The row of the port-type list.
    int m_portType = 0;
    // The first port of that type, when it has one.
    std::string m_portName;
    // Whether the type had a port; a serial or USB printer without one
    // stands in on the first parallel port.
    bool m_portAvailable = true;
};

// The subsystems a run works with, owned by the window.
struct InstallerParts {
    platform::Machine& machine;
    run::InstallerView& view;
    services::ServiceControl& services;
    SystemIdentity& system;
    ports::PortInventory& inventory;
    ports::UsbSearch& usbSearch;
    ports::SerialSearch& serialSearch;
    // The folder the package was unpacked into, without a trailing '\'.
    const std::string& packageFolder;
};

class DriverInstallation {
public:
    DriverInstallation(const InstallerParts& parts, const ReceiptGroups& groups, InstallSelection selection);

    void InstallReceiptDriver();
    void InstallLabelDriver();

private:
    // A driver record's texts. The dependent files are names each ended by
    // a zero byte, the list ended by one more.
    struct DriverRecordText {
        std::string name, environment, driverPath, dataFile, configFile, helpFile, dependentFiles, monitorName;
    };

    // First step of both sequences: settles the port for the parallel and
    // network types through the user's choice, and makes sure a serial or
    // USB printer without its port has a parallel port to stand in. False
    // (with the Install button usable again) when the run cannot go on.
    bool SettlePortBeforeInstall();
    // The spooler's driver directory and environment for this machine.
    // False when the spooler cannot name it: the user has been told and the
    // run has ended (Install usable, progress 0).
    bool DriverDirectory(std::string* directory, std::string* environment);
    // Copies one file and shows where it went. False when it could not be
    // placed: the user has been told which file, and the run has ended.
    bool StageFile(const std::string& source, const std::string& destination);
    // Copies the language monitor to `copy`, its place in the real system
    // folder as this program names it (`systemPath` but for WOW64), and
    // shows where it went. False as StageFile.
    bool StageMonitor(const std::string& source, const std::string& copy, const std::string& systemPath);
    // Copies `source` over `destination`. A file the system keeps loaded
    // (the spooler its monitor's DLL) is renamed out of the way first, to
    // be deleted at the next restart. False with the last error set when
    // the file could not be placed.
    bool PlaceFile(const std::string& source, const std::string& destination);
    // The run ends: `file` could not be placed, for `error`.
    void ReportStagingFailure(const std::string& file, win::DWORD error);
    // Registers the driver (version 2 on Windows NT 4.0, 3 elsewhere, data
    // type "RAW"); false with *error the thread's last error on failure.
    bool RegisterDriver(DriverRecordText record, win::DWORD* error);
    // Both sequences' answer to a failed driver registration.
    void ReportDriverRegistrationFailure(win::DWORD error, bool ownedByDialog);
    // Every step from the registered driver to the finished printer.
    void CreatePrinterAndFinish(const std::string& printerName, const std::string& driverName);
    void ReportPrinterCreationFailure(win::DWORD error);
    void WriteDefaultPrinter(const std::string& printerName, const std::string& port);
    // The run stops before it changed anything: Install usable again.
    void StopBeforeChange(const std::string& why);
    // Installation ended with a failure: Install usable again, progress 0.
    void EndRunAfterFailure(const run::RunOutcome& outcome, const char* newCaption);

    platform::Machine& m_machine;
    run::InstallerView& m_view;
    services::ServiceControl& m_services;
    SystemIdentity& m_system;
    ports::PortInventory& m_inventory;
    ports::UsbSearch& m_usbSearch;
    ports::SerialSearch& m_serialSearch;
    const std::string m_packageFolder;
    const ReceiptGroups& m_groups;
    InstallSelection m_selection;
};

}  // namespace install
