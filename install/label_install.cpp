// Installing a label printer: a complete driver of its own, with its
// language monitor registered first.
#include "install/driver_catalogue.h"
#include "install/driver_installation.h"

namespace install {

void DriverInstallation::InstallLabelDriver() {
    if (!SettlePortBeforeInstall()) return;

    LabelSeries series{};
    if (!LabelRow(m_selection.m_seriesIndex, m_groups.ReceiptRowCount(), &series)) {
        StopBeforeChange("the model has no row in the driver catalogue");
        return;
    }
    const std::string driverName = series.displayName;
    const std::string base = series.baseName;
    const std::string& printerName = m_selection.m_printerName;

    // The spooler may have been stopped since the preparation started it;
    // the first thing asked of it is its driver directory.
    m_services.StartOrRestartService("Spooler", services::SVCMODE_START);
    std::string directory;
    std::string environment;
    if (!DriverDirectory(&directory, &environment)) return;
    const std::string source = m_packageFolder + "\\" + LabelSourceFolder(m_system.OnX64Windows());
    const char* const* dlls = LabelDlls(m_system.OnX64Windows());

    platform::Files& files = m_machine.files();
    char folder[win::MAX_PATH] = {};
    files.GetSystemDirectoryA(folder, sizeof(folder));
    // The spooler loads the monitor from its own system folder, which is
    // what it makes of this name.
    std::string monitorDll = std::string(folder) + "\\" + dlls[CATALOGUE_LABEL_MONITOR_ROW];
    std::string monitorCopy = monitorDll;
    if (m_system.UnderWow64()) {
        // This program's System32 is SysWOW64 on 64-bit Windows, where the
        // 64-bit spooler never looks: Sysnative is the real one.
        char windows[win::MAX_PATH] = {};
        files.GetWindowsDirectoryA(windows, sizeof(windows));
        monitorCopy = std::string(windows) + "\\" + CATALOGUE_NATIVE_SYSTEM_FOLDER + "\\" +
                      dlls[CATALOGUE_LABEL_MONITOR_ROW];
    }
    // The monitor registered below would otherwise be the old one.
    if (!StageMonitor(source + dlls[CATALOGUE_LABEL_MONITOR_ROW], monitorCopy, monitorDll)) return;

    // The spooler was started before its driver directory was asked for;
    // starting it again here would only repeat a box about its state.
    platform::Spooler& spooler = m_machine.spooler();
    if (spooler.DeleteMonitorA(nullptr, environment.c_str(), CATALOGUE_MONITOR_NAME) == 1) {
        // The spooler lets go of the old monitor only when it restarts.
        m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    }

    std::string monitorName = CATALOGUE_MONITOR_NAME;
    std::string env = environment;
    win::MONITOR_INFO_2 monitor{};
    monitor.pName = monitorName.data();
    monitor.pEnvironment = env.data();
    monitor.pDLLName = monitorDll.data();
    const win::BOOL monitorAdded = spooler.AddMonitorA(nullptr, 2, reinterpret_cast<win::BYTE*>(&monitor));
    const win::DWORD monitorError = m_machine.GetLastError();
    if (monitorAdded != 1 && monitorError != win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
        m_view.AppMessageBox("添加监视器出错\r\n", win::MB_OK);
        m_view.EndRun(run::RunOutcome::Failed("the spooler refused the language monitor", monitorError));
        m_view.CloseAsDone();
        return;
    }
    m_view.PublishStatus("Advanced Language Monitor is added");

    // The spooler registers whatever the driver directory holds.
    for (int row = 0; row < CATALOGUE_LABEL_DLLS; ++row) {
        if (!StageFile(source + dlls[row], directory + "\\" + dlls[row])) return;
    }
    const std::string common = m_packageFolder + "\\" + CATALOGUE_LABEL_COMMON;
    const std::string help = CATALOGUE_HELP_FILE;
    if (!StageFile(common + help, directory + "\\" + help)) return;
    for (const char* extension : {".BA0", ".DAT", ".PP0"}) {
        if (!StageFile(common + base + extension, directory + "\\" + base + extension)) return;
    }

    m_view.SetProgress(10);
    m_view.PublishStatus("正在添加" + driverName + "驱动");

    DriverRecordText record;
    record.name = driverName;
    record.environment = environment;
    record.driverPath = directory + "\\" + dlls[CATALOGUE_LABEL_DRIVER_ROW];
    record.dataFile = directory + "\\" + base + ".DAT";
    record.configFile = directory + "\\" + dlls[CATALOGUE_LABEL_UI_ROW];
    record.helpFile = directory + "\\" + help;
    // Built to whatever length the names need.
    for (int row = CATALOGUE_LABEL_FIRST_LANGUAGE_ROW; row < CATALOGUE_LABEL_DLLS; ++row) {
        record.dependentFiles += std::string("\\") + dlls[row] + '\0';
    }
    record.dependentFiles += "\\" + base + ".BA0" + '\0';
    record.dependentFiles += base + ".PP0" + '\0';
    record.dependentFiles += '\0';
    record.monitorName = CATALOGUE_MONITOR_NAME;

    // No spooler call comes between the monitor's registration and this.
    win::DWORD error = 0;
    if (!RegisterDriver(record, &error)) {
        ReportDriverRegistrationFailure(error, false);
        return;
    }
    m_view.PublishStatus("已经正确添加" + driverName + "驱动");

    files.DeleteFileA((directory + "\\" + help).c_str());
    for (const char* extension : {".BA0", ".PP0", ".DAT"}) {
        files.DeleteFileA((directory + "\\" + base + extension).c_str());
    }
    for (int row = 0; row < CATALOGUE_LABEL_DLLS; ++row) {
        files.DeleteFileA((directory + "\\" + dlls[row]).c_str());
    }

    m_view.SetProgress(20);
    CreatePrinterAndFinish(printerName, driverName);
}

}  // namespace install
