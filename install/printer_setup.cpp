// What both installation sequences share: the port settled before staging,
// the staging of one file, the failure reports, and every step from the
// registered driver to the finished printer.
#include <cstdio>

#include "app/installer_dialog.h"
#include "install/driver_catalogue.h"

namespace app {

namespace {
const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr win::DWORD kFinishPauseMs = 500;
}  // namespace

bool InstallerDialog::SettlePortBeforeInstall() {
    if (m_portType == PORTTYPE_NETWORK || m_portType == PORTTYPE_PARALLEL) {
        const bool network = m_portType == PORTTYPE_NETWORK;
        const int choice = network ? ChooseNetworkPort() : ChooseParallelPort();
        const StringArray& ports = network ? m_tcpPorts : m_lptPorts;
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
                MessageBox("未能确定所选端口,请重新选择端口后安装", "提示", win::MB_OK | win::MB_ICONINFORMATION);
            }
            m_installButton.EnableWindow(1);
            return false;
        }
        m_portName = ports[entry];
        return true;
    }

    // A serial or USB printer without its port is created on the first
    // parallel port; with none either, nothing is installed.
    if (!g_portAvailable && (m_portType == PORTTYPE_SERIAL || m_portType == PORTTYPE_USB) && m_lptPorts.empty()) {
        AppMessageBox(m_portType == PORTTYPE_SERIAL ? "PC机无可用串行端口,也没有可代替的并行端口。\r\n\r\n请选择其他端口类型。"
                                                : "PC机无可用USB端口,也没有可代替的并行端口。\r\n\r\n请选择其他端口类型。");
        m_installButton.EnableWindow(1);
        return false;
    }
    return true;
}

bool InstallerDialog::DriverDirectory(std::string* directory, std::string* environment) {
    platform::Spooler& spooler = m_machine.spooler();
    char buffer[255] = {};
    win::DWORD needed = 0;
    *environment = install::CATALOGUE_ENVIRONMENT_X86;
    win::BOOL found = spooler.GetPrinterDriverDirectoryA(nullptr, install::CATALOGUE_ENVIRONMENT_X86, 1,
                                                         reinterpret_cast<win::BYTE*>(buffer), sizeof(buffer) - 1,
                                                         &needed);
    win::DWORD error = m_machine.GetLastError();
    if (OnX64Windows()) {
        *environment = install::CATALOGUE_ENVIRONMENT_X64;
        found = spooler.GetPrinterDriverDirectoryA(nullptr, install::CATALOGUE_ENVIRONMENT_X64, 1,
                                                   reinterpret_cast<win::BYTE*>(buffer), sizeof(buffer) - 1, &needed);
        error = m_machine.GetLastError();
    }
    // Without the directory the files would be staged in the root of the
    // drive (over the user's files of the same names), and on 64-bit
    // Windows the 32-bit directory would be registered as the 64-bit one.
    if (found != 1 || buffer[0] == '\0') {
        char text[128];
        std::snprintf(text, sizeof(text), "获取驱动程序目录失败 %d", static_cast<int>(error));
        AppMessageBox(text);
        EndRunAfterFailure(nullptr);
        return false;
    }
    *directory = buffer;
    return true;
}

void InstallerDialog::StageFile(const std::string& source, const std::string& destination) {
    m_machine.files().CopyFileA(source.c_str(), destination.c_str(), 0);
    PublishStatus(destination);
}

bool InstallerDialog::RegisterDriver(DriverRecordText record, win::DWORD* error) {
    std::string dataType = install::CATALOGUE_DATA_TYPE;
    win::DRIVER_INFO_3 info{};
    info.cVersion = GetWindowsVersionCode() == 4 ? 2 : 3;
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

void InstallerDialog::ReportDriverRegistrationFailure(win::DWORD error, bool ownedByDialog) {
    char text[256];
    std::snprintf(text, sizeof(text), "添加驱动失败 %d\r\n\r\n点击重试：可重新安装\r\n点击取消：退出安装程序",
                  static_cast<int>(error));
    const int answer = ownedByDialog ? MessageBox(text, "错误", win::MB_RETRYCANCEL)
                                     : AppMessageBox(text, win::MB_RETRYCANCEL);
    if (answer == win::IDRETRY) {
        EndRunAfterFailure(TEXT_REINSTALL);
    } else {
        OnOK();
    }
}

void InstallerDialog::EndRunAfterFailure(const char* newCaption) {
    if (newCaption != nullptr) m_installButton.SetWindowText(newCaption);
    m_installButton.EnableWindow(1);
    SetProgress(0);
}

void InstallerDialog::ReportPrinterCreationFailure(win::DWORD error) {
    if (error == win::ERROR_UNKNOWN_PORT) {
        MessageBox("PC机无可用串行端口,请选择其他端口重新安装", "Prompt", win::MB_OK);
        EndRunAfterFailure("Reinstall");
    } else if (error == win::ERROR_MOD_NOT_FOUND) {
        MessageBox("系统缺少必要文件,请修复系统再安装", "提示", win::MB_OK);
        EndRunAfterFailure(TEXT_REINSTALL);
    } else {
        char text[64];
        std::snprintf(text, sizeof(text), "Error AddPrinter  %d", static_cast<int>(error));
        MessageBox(text, "错误提示", win::MB_OK);
        EndRunAfterFailure(nullptr);
    }
}

void InstallerDialog::WriteDefaultPrinter(const std::string& printerName, const std::string& port) {
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
        AppMessageBox(TEXT_REGISTRY_ERROR);
    }
    registry.RegCloseKey(key);
}

void InstallerDialog::CreatePrinterAndFinish(const std::string& printerName, const std::string& driverName) {
    platform::Spooler& spooler = m_machine.spooler();
    EnableLoadDriverPrivilege();

    std::string rawType = install::CATALOGUE_DATA_TYPE;
    win::PRINTER_DEFAULTS defaults{};
    defaults.pDatatype = rawType.data();
    defaults.DesiredAccess = win::PRINTER_ALL_ACCESS;
    win::HANDLE existing = nullptr;
    if (spooler.OpenPrinterA(printerName.c_str(), &existing, &defaults) == 1) {
        PublishStatus("打印机" + printerName + "已经存在,正在重新添加...");
        spooler.SetPrinterA(existing, 0, nullptr, win::PRINTER_CONTROL_PURGE);
        spooler.DeletePrinter(existing);
        spooler.ClosePrinter(existing);
    }

    // The port the printer is created on: a serial or USB printer without
    // its port stands in on the first parallel port (checked to exist
    // before the run began).
    const bool substituted = !g_portAvailable && (m_portType == PORTTYPE_SERIAL || m_portType == PORTTYPE_USB);
    std::string port = substituted ? m_lptPorts.front() : m_portName;

    std::string name = printerName;
    std::string driver = driverName;
    std::string processor = install::CATALOGUE_PRINT_PROCESSOR;
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

    if (g_portAvailable) {
        m_statusText = "已经正确添加" + printerName + "打印机";
    } else if (m_portType == PORTTYPE_SERIAL) {
        m_statusText = "PC机无可用串行端口,当前端口是" + m_lptPorts.front();
    } else if (m_portType == PORTTYPE_USB) {
        // The USB device may only show up once the spooler restarts: look
        // again, and let the USB search below bind the printer to it.
        StartOrRestartService("Spooler", SVCMODE_RESTART);
        EnumeratePorts();
        if (!m_usbPorts.empty()) {
            m_portName = m_usbPorts.front();
            m_statusText = "已经正确添加" + printerName + "打印机";
        } else {
            m_statusText = "PC机无可用USB端口,当前端口是" + port;
        }
    }
    SendMessage(m_myUpdateDataMessage, 0, 0);
    spooler.ClosePrinter(printer);
    SetProgress(30);

    if (m_setAsDefault == 1) WriteDefaultPrinter(printerName, port);
    SetProgress(40);
    if (m_setAsDefault == 1) PublishStatus("设置打印机" + printerName + "为默认打印机");

    if (m_portType == PORTTYPE_SERIAL) {
        AutoSelectSerialPort();
    } else if (m_portType == PORTTYPE_USB) {
        AutoSelectUsbPort();
    }

    m_machine.Sleep(kFinishPauseMs);

    if (m_portType != PORTTYPE_SERIAL) {
        SetProgress(100);
        m_statusText = "安装已完成";
        m_installButton.EnableWindow(1);
        m_installButton.SetWindowText(TEXT_DONE);
        SendMessage(m_myUpdateDataMessage, 0, 0);
    }
}

}  // namespace app
