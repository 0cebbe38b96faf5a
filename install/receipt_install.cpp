// Installing a receipt printer: a series on top of the system's universal
// printer driver, with one data file of its own and a family DLL.
#include "install/driver_catalogue.h"
#include "install/driver_installation.h"

namespace install {

void DriverInstallation::InstallReceiptDriver() {
    if (!SettlePortBeforeInstall()) return;

    // The spooler may have been stopped since the preparation started it;
    // the first thing asked of it is its driver directory.
    m_services.StartOrRestartService("Spooler", services::SVCMODE_START);
    std::string directory;
    std::string environment;
    if (!DriverDirectory(&directory, &environment)) return;
    const std::string source = m_packageFolder + "\\" + ReceiptSourceFolder(m_system.OnX64Windows());

    const std::string& printerName = m_selection.m_printerName;
    const int groupSizes[4] = {m_groups.m_receiptGroup1Size, m_groups.m_receiptGroup2Size, m_groups.m_receiptGroup3Size,
                               m_groups.m_receiptGroup4Size};
    ReceiptSeries series{};
    if (!ReceiptRow(m_selection.m_seriesIndex, printerName, groupSizes, &series)) {
        StopBeforeChange("the model has no row in the driver catalogue");
        return;
    }
    const std::string driverName = series.displayName;
    const std::string familyDll = std::string(series.familyDllBase) + ".DLL";
    const std::string gpd = std::string(series.gpdBase) + ".GPD";

    // The spooler registers whatever the driver directory holds.
    if (!StageFile(source + familyDll, directory + "\\" + familyDll)) return;
    if (!StageFile(source + gpd, directory + "\\" + gpd)) return;
    for (const char* name : UnidrvSupportFiles) {
        if (!StageFile(source + name, directory + "\\" + name)) return;
    }

    m_view.SetProgress(10);
    m_view.PublishStatus("正在添加" + driverName + "驱动");

    DriverRecordText record;
    record.name = driverName;
    record.environment = environment;
    record.driverPath = directory + "\\uniDRV.DLL";
    record.dataFile = directory + "\\" + gpd;
    record.configFile = directory + "\\uniDRVui.DLL";
    record.helpFile = directory + "\\uniDRV.HLP";
    record.dependentFiles = std::string("\\ttfsub.GPD") + '\0' + "\\unires.DLL" + '\0' + "\\stdnames.GPD" + '\0' +
                            familyDll + '\0' + '\0';

    win::DWORD error = 0;
    if (!RegisterDriver(record, &error)) {
        ReportDriverRegistrationFailure(error, true);
        return;
    }
    m_view.PublishStatus("已经正确添加" + driverName + "驱动");

    platform::Files& files = m_machine.files();
    files.DeleteFileA((directory + "\\" + familyDll).c_str());
    files.DeleteFileA((directory + "\\" + gpd).c_str());
    for (const char* staged : UnidrvSupportFiles) files.DeleteFileA((directory + "\\" + staged).c_str());

    m_view.SetProgress(20);
    CreatePrinterAndFinish(printerName, driverName);
}

}  // namespace install
