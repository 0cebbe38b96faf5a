// What both installation sequences share: the port settled before staging,
// the staging of one file, the failure reports, and every step from the
// registered driver to the finished printer.
#include "install/driver_installation.h"

#include <cstdio>

#include "dialogs/port_choice.h"
#include "install/driver_catalogue.h"
#include "ports/port_bindings.h"
#include "ports/port_types.h"

namespace install {

using ports::PORTCHOICE_ADDED;
using ports::PORTCHOICE_BASE;
using ports::PORTCHOICE_NONE;
using ports::PORTTYPE_NETWORK;
using ports::PORTTYPE_PARALLEL;
using ports::PORTTYPE_SERIAL;
using ports::PORTTYPE_USB;

namespace {

// How many names beside a loaded file are tried for moving it aside.
constexpr int kAsideNames = 100;

const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr win::DWORD kFinishPauseMs = 500;
}  // namespace

DriverInstallation::DriverInstallation(const InstallerParts& parts, const ReceiptGroups& groups,
                                       InstallSelection selection)
    : m_machine(parts.machine),
      m_view(parts.view),
      m_services(parts.services),
      m_system(parts.system),
      m_inventory(parts.inventory),
      m_usbSearch(parts.usbSearch),
      m_serialSearch(parts.serialSearch),
      m_packageFolder(parts.packageFolder),
      m_groups(groups),
      m_selection(std::move(selection)) {}

bool DriverInstallation::SettlePortBeforeInstall() {
    const int portType = m_selection.m_portType;
    if (portType == PORTTYPE_NETWORK || portType == PORTTYPE_PARALLEL) {
        const bool network = portType == PORTTYPE_NETWORK;
        const int choice = network ? dialogs::ChooseNetworkPort(m_machine, m_view, m_inventory)
                                   : dialogs::ChooseParallelPort(m_machine, m_view, m_inventory);
        const ports::StringArray& ports = network ? m_inventory.TcpPorts() : m_inventory.LptPorts();
        size_t entry = ports.size();
        if (choice == PORTCHOICE_ADDED) {
            entry = 0;
        } else if (choice >= PORTCHOICE_BASE && choice != PORTCHOICE_NONE) {
            entry = static_cast<size_t>(choice - PORTCHOICE_BASE);
        }
        if (entry >= ports.size()) {
            // Cancelled (the Cancel button, the close box or Esc): nothing to
            // say. Any other answer that names no entry of the refreshed list
            // (OK without a selection, a row that has gone) counts as
            // cancelling too, but the user is told why nothing happens.
            if (choice != PORTCHOICE_NONE && choice != win::IDCANCEL) {
                m_view.DialogMessageBox("未能确定所选端口,请重新选择端口后安装", "提示",
                                        win::MB_OK | win::MB_ICONINFORMATION);
            }
            StopBeforeChange(ports.empty() ? "there is no port of the chosen type" : "no port was chosen");
            return false;
        }
        m_selection.m_portName = ports[entry];
        return true;
    }

    // A serial or USB printer without its port is created on the first
    // parallel port; with none either, nothing is installed.
    if (!m_selection.m_portAvailable && (portType == PORTTYPE_SERIAL || portType == PORTTYPE_USB) &&
        m_inventory.LptPorts().empty()) {
        m_view.AppMessageBox(portType == PORTTYPE_SERIAL
                                 ? "PC机无可用串行端口,也没有可代替的并行端口。\r\n\r\n请选择其他端口类型。"
                                 : "PC机无可用USB端口,也没有可代替的并行端口。\r\n\r\n请选择其他端口类型。");
        StopBeforeChange("there is no port of the chosen type, nor a parallel port to stand in");
        return false;
    }
    return true;
}

bool DriverInstallation::DriverDirectory(std::string* directory, std::string* environment) {
    platform::Spooler& spooler = m_machine.spooler();
    char buffer[255] = {};
    win::DWORD needed = 0;
    *environment = CATALOGUE_ENVIRONMENT_X86;
    win::BOOL found = spooler.GetPrinterDriverDirectoryA(nullptr, CATALOGUE_ENVIRONMENT_X86, 1,
                                                         reinterpret_cast<win::BYTE*>(buffer), sizeof(buffer) - 1,
                                                         &needed);
    win::DWORD error = m_machine.GetLastError();
    if (m_system.OnX64Windows()) {
        *environment = CATALOGUE_ENVIRONMENT_X64;
        found = spooler.GetPrinterDriverDirectoryA(nullptr, CATALOGUE_ENVIRONMENT_X64, 1,
                                                   reinterpret_cast<win::BYTE*>(buffer), sizeof(buffer) - 1, &needed);
        error = m_machine.GetLastError();
    }
    // Without the directory the files would be staged in the root of the
    // drive (over the user's files of the same names), and on 64-bit
    // Windows the 32-bit directory would be registered as the 64-bit one.
    if (found != 1 || buffer[0] == '\0') {
        // A call that succeeded leaves no error of its own to show.
        if (found == 1) error = win::ERROR_SUCCESS;
        char text[128];
        std::snprintf(text, sizeof(text), "获取驱动程序目录失败 %d", static_cast<int>(error));
        m_view.AppMessageBox(text);
        EndRunAfterFailure(run::RunOutcome::Failed("the spooler named no driver directory", error), nullptr);
        return false;
    }
    *directory = buffer;
    return true;
}

bool DriverInstallation::StageFile(const std::string& source, const std::string& destination) {
    if (!PlaceFile(source, destination)) {
        ReportStagingFailure(destination, m_machine.GetLastError());
        return false;
    }
    m_view.PublishStatus(destination);
    return true;
}

bool DriverInstallation::StageMonitor(const std::string& source, const std::string& copy,
                                      const std::string& systemPath) {
    platform::Files& files = m_machine.files();
    // Under WOW64 the copy goes through Sysnative, which 64-bit Windows XP
    // and Server 2003 have only with the update that added it (KB942589):
    // there the folder is not found, and the copy is made once more with
    // the redirection turned off for this thread ("File System Redirector",
    // Wow64DisableWow64FsRedirection), then on again before anything else.
    bool placed = PlaceFile(source, copy);
    win::DWORD error = m_machine.GetLastError();
    if (!placed && copy != systemPath && error == win::ERROR_PATH_NOT_FOUND) {
        void* redirection = nullptr;
        if (files.Wow64DisableWow64FsRedirection(&redirection)) {
            placed = PlaceFile(source, systemPath);
            error = m_machine.GetLastError();
            files.Wow64RevertWow64FsRedirection(redirection);
        }
    }
    if (!placed) {
        ReportStagingFailure(copy, error);
        return false;
    }
    m_view.PublishStatus(copy);
    return true;
}

bool DriverInstallation::PlaceFile(const std::string& source, const std::string& destination) {
    platform::Files& files = m_machine.files();
    if (files.CopyFileA(source.c_str(), destination.c_str(), 0)) return true;
    if (m_machine.GetLastError() != win::ERROR_SHARING_VIOLATION) return false;
    // A loaded DLL may be renamed though not replaced ("MoveFileExA
    // function"): the program that holds it keeps it under the new name,
    // and the system deletes it as it next starts. The name is one no
    // earlier run left behind.
    for (int attempt = 1; attempt <= kAsideNames; ++attempt) {
        const std::string aside = destination + ".old-" + std::to_string(attempt);
        if (files.GetFileAttributesA(aside.c_str()) != win::INVALID_FILE_ATTRIBUTES) continue;
        if (!files.MoveFileExA(destination.c_str(), aside.c_str(), win::MOVEFILE_REPLACE_EXISTING)) return false;
        // Without administrator rights the file only stays behind.
        files.MoveFileExA(aside.c_str(), nullptr, win::MOVEFILE_DELAY_UNTIL_REBOOT);
        return files.CopyFileA(source.c_str(), destination.c_str(), 0) != 0;
    }
    m_machine.SetLastError(win::ERROR_SHARING_VIOLATION);
    return false;
}

void DriverInstallation::ReportStagingFailure(const std::string& file, win::DWORD error) {
    m_view.AppMessageBox("复制文件失败 " + std::to_string(static_cast<int>(error)) + "\r\n" + file);
    EndRunAfterFailure(run::RunOutcome::Failed("the file " + file + " could not be placed", error), nullptr);
}

bool DriverInstallation::RegisterDriver(DriverRecordText record, win::DWORD* error) {
    std::string dataType = CATALOGUE_DATA_TYPE;
    win::DRIVER_INFO_3 info{};
    info.cVersion = m_system.GetWindowsVersionCode() == 4 ? 2 : 3;
    info.pName = record.name.data();
    info.pEnvironment = record.environment.data();
    info.pDriverPath = record.driverPath.data();
    info.pDataFile = record.dataFile.data();
    info.pConfigFile = record.configFile.data();
    info.pHelpFile = record.helpFile.data();
    info.pDependentFiles = record.dependentFiles.data();
    // No monitor is an empty string, never a null pointer.
    info.pMonitorName = record.monitorName.data();
    info.pDefaultDataType = dataType.data();
    const win::BOOL added =
        m_machine.spooler().AddPrinterDriverExA(nullptr, 3, reinterpret_cast<win::BYTE*>(&info), win::APD_COPY_NEW_FILES);
    *error = m_machine.GetLastError();
    return added == 1;
}

void DriverInstallation::ReportDriverRegistrationFailure(win::DWORD error, bool ownedByDialog) {
    // The two refusals of a driver by the system's policy get a line that
    // says so ("AddPrinterDriverEx function", "System Error Codes (3000-3999)").
    const char* meaning = nullptr;
    if (error == win::ERROR_PRINTER_DRIVER_BLOCKED) {
        meaning = "系统策略阻止了此驱动程序(驱动程序验证级别或排除列表),请管理员检查打印机驱动程序的组策略。\r\n";
    } else if (error == win::ERROR_PRINTER_DRIVER_WARNED) {
        meaning = "系统将此驱动程序列为不可靠的驱动程序,拒绝安装。\r\n";
    }
    const std::string text = "添加驱动失败 " + std::to_string(static_cast<int>(error)) + "\r\n" +
                             (meaning != nullptr ? meaning : "") + "\r\n点击重试：可重新安装\r\n点击取消：退出安装程序";
    const int answer = ownedByDialog ? m_view.DialogMessageBox(text, "错误", win::MB_RETRYCANCEL)
                                     : m_view.AppMessageBox(text, win::MB_RETRYCANCEL);
    run::RunOutcome outcome = run::RunOutcome::Failed("the spooler refused the driver", error);
    if (meaning != nullptr) outcome.refusal = run::Refusal::kPolicy;
    if (answer == win::IDRETRY) {
        EndRunAfterFailure(outcome, run::TEXT_REINSTALL);
    } else {
        m_view.EndRun(outcome);
        m_view.CloseAsDone();
    }
}

void DriverInstallation::StopBeforeChange(const std::string& why) {
    m_view.EndRun(run::RunOutcome::Stopped(why));
    m_view.EnableInstall(true);
}

void DriverInstallation::EndRunAfterFailure(const run::RunOutcome& outcome, const char* newCaption) {
    m_view.EndRun(outcome);
    if (newCaption != nullptr) m_view.SetInstallCaption(newCaption);
    m_view.EnableInstall(true);
    m_view.SetProgress(0);
}

void DriverInstallation::ReportPrinterCreationFailure(win::DWORD error) {
    const run::RunOutcome outcome = run::RunOutcome::Failed("the spooler refused the printer", error);
    if (error == win::ERROR_UNKNOWN_PORT) {
        m_view.DialogMessageBox("PC机无可用串行端口,请选择其他端口重新安装", "Prompt", win::MB_OK);
        EndRunAfterFailure(outcome, "Reinstall");
    } else if (error == win::ERROR_MOD_NOT_FOUND) {
        m_view.DialogMessageBox("系统缺少必要文件,请修复系统再安装", "提示", win::MB_OK);
        EndRunAfterFailure(outcome, run::TEXT_REINSTALL);
    } else {
        char text[64];
        std::snprintf(text, sizeof(text), "Error AddPrinter  %d", static_cast<int>(error));
        m_view.DialogMessageBox(text, "错误提示", win::MB_OK);
        EndRunAfterFailure(outcome, nullptr);
    }
}

void DriverInstallation::WriteDefaultPrinter(const std::string& printerName, const std::string& port) {
    const std::string device = printerName + ",winspool," + port;
    platform::Registry& registry = m_machine.registry();
    win::HKEY key = nullptr;
    if (registry.RegOpenKeyExA(win::HKEY_CURRENT_USER, kWindowsKey, 0, win::KEY_SET_VALUE, &key) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        return;
    }
    if (registry.RegSetValueExA(key, "Device", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(device.c_str()),
                                static_cast<win::DWORD>(device.size() + 1)) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        m_view.AppMessageBox(ports::TEXT_REGISTRY_ERROR);
    }
    registry.RegCloseKey(key);
}

void DriverInstallation::CreatePrinterAndFinish(const std::string& printerName, const std::string& driverName) {
    platform::Spooler& spooler = m_machine.spooler();
    m_services.EnableLoadDriverPrivilege();

    std::string rawType = CATALOGUE_DATA_TYPE;
    win::PRINTER_DEFAULTS defaults{};
    defaults.pDatatype = rawType.data();
    defaults.DesiredAccess = win::PRINTER_ALL_ACCESS;
    win::HANDLE existing = nullptr;
    if (spooler.OpenPrinterA(printerName.c_str(), &existing, &defaults) == 1) {
        m_view.PublishStatus("打印机" + printerName + "已经存在,正在重新添加...");
        spooler.SetPrinterA(existing, 0, nullptr, win::PRINTER_CONTROL_PURGE);
        spooler.DeletePrinter(existing);
        spooler.ClosePrinter(existing);
    }

    // The port the printer is created on: a serial or USB printer without
    // its port stands in on the first parallel port (checked to exist
    // before the run began).
    const int portType = m_selection.m_portType;
    const bool substituted = !m_selection.m_portAvailable && (portType == PORTTYPE_SERIAL || portType == PORTTYPE_USB);
    std::string port = substituted ? m_inventory.LptPorts().front() : m_selection.m_portName;

    std::string name = printerName;
    std::string driver = driverName;
    std::string processor = CATALOGUE_PRINT_PROCESSOR;
    win::PRINTER_INFO_2 info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = rawType.data();
    win::HANDLE printer = spooler.AddPrinterA(nullptr, 2, reinterpret_cast<win::BYTE*>(&info));
    if (printer == nullptr) {
        ReportPrinterCreationFailure(m_machine.GetLastError());
        return;
    }

    if (m_selection.m_portAvailable) {
        m_view.SetStatusText("已经正确添加" + printerName + "打印机");
    } else if (portType == PORTTYPE_SERIAL) {
        m_view.SetStatusText("PC机无可用串行端口,当前端口是" + m_inventory.LptPorts().front());
    } else if (portType == PORTTYPE_USB) {
        // The USB device may only show up once the spooler restarts: look
        // again, and let the USB search below bind the printer to it.
        m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
        m_inventory.EnumeratePorts();
        if (!m_inventory.UsbPorts().empty()) {
            m_selection.m_portName = m_inventory.UsbPorts().front();
            m_view.SetStatusText("已经正确添加" + printerName + "打印机");
        } else {
            m_view.SetStatusText("PC机无可用USB端口,当前端口是" + port);
        }
    }
    m_view.ShowData();
    spooler.ClosePrinter(printer);
    m_view.SetProgress(30);

    if (m_view.SetAsDefault()) WriteDefaultPrinter(printerName, port);
    m_view.SetProgress(40);
    if (m_view.SetAsDefault()) m_view.PublishStatus("设置打印机" + printerName + "为默认打印机");

    run::RunOutcome outcome = run::RunOutcome::Installed(port, printerName);
    if (portType == PORTTYPE_SERIAL) {
        m_serialSearch.AutoSelectSerialPort(printerName, m_selection.m_seriesIndex < m_groups.ReceiptRowCount(), port);
    } else if (portType == PORTTYPE_USB) {
        std::string boundPort = port;
        if (!m_usbSearch.AutoSelectUsbPort(printerName, m_inventory.UsbPorts(), &boundPort)) {
            outcome = run::RunOutcome::PortNotConfirmed(boundPort, printerName);
        } else {
            outcome = run::RunOutcome::Installed(boundPort, printerName);
        }
    }

    m_machine.Sleep(kFinishPauseMs);

    // The serial search ends the run itself, on its last tick.
    if (portType != PORTTYPE_SERIAL) {
        m_view.SetProgress(100);
        m_view.SetStatusText("安装已完成");
        m_view.EndRun(outcome);
        m_view.EnableInstall(true);
        m_view.SetInstallCaption(run::TEXT_DONE);
        m_view.ShowData();
    }
}

}  // namespace install
