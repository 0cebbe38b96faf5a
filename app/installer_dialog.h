// The main installer dialog (template 103). It holds the whole installer's
// state; the installation sequences, port assignment and service control
// are its member operations, implemented in the subsystem folders:
//   app/       start-up, data exchange, dispatch, system identification
//   package/   unpacking and clean-up of the driver package
//   install/   the receipt and label sequences, service control
//   ports/     port types and enumeration, USB and serial detection, choice
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "package/archive_extractor.h"
#include "platform/machine.h"
#include "serial/serial_port_channel.h"
#include "ui/dialog.h"

namespace app {

using StringArray = std::vector<std::string>;
using dialogs::PORTCHOICE_ADDED;
using dialogs::PORTCHOICE_BASE;
using dialogs::PORTCHOICE_NONE;

// After OnInstall: 1 when the chosen port type had a port, 0 when it had
// none (the sequences then fall back to the first parallel port).
extern unsigned char g_portAvailable;

// Port types: the rows of the port-type list.
constexpr int PORTTYPE_SERIAL = 0;
constexpr int PORTTYPE_USB = 1;
constexpr int PORTTYPE_PARALLEL = 2;
constexpr int PORTTYPE_NETWORK = 3;

// Modes of StartOrRestartService.
constexpr int SVCMODE_RESTART = 0;
constexpr int SVCMODE_START = 16;

// Timer 1 drives the serial search.
constexpr win::UINT_PTR SERIAL_PROBE_TIMER = 1;

// Sent by the serial channel's worker for every byte it receives.
constexpr win::UINT WM_SERIAL_BYTE = serial::SERIALMSG_CHAR;

// Posted by the preparation thread as it ends, so that the dialog's thread
// can join it and carry out a close the user asked for meanwhile.
constexpr win::UINT WM_PREPARATION_DONE = win::WM_USER + 100;

// The program's title: the caption of its application message boxes.
extern const char* const APP_TITLE;

// Texts several operations share.
inline constexpr const char* TEXT_DONE = "完成";
inline constexpr const char* TEXT_REINSTALL = "重新安装";
inline constexpr const char* TEXT_REGISTRY_ERROR = "错误：无法设置有关的注册表信息";
// The caption of the box that ends a USB search without a printer, and the
// head of the status that names the serial port where a printer answered.
inline constexpr const char* TEXT_USB_SEARCH_FAILED = "自动选择USB端口失败";
inline constexpr const char* TEXT_SERIAL_PORT_FOUND = "成功配置打印机端口为 ";

// Starts a thread that runs `routine`. Throws std::system_error, as
// std::thread does, when the system cannot make one.
using ThreadStarter = std::function<std::thread(std::function<void()> routine)>;
std::thread StartThread(std::function<void()> routine);

class InstallerDialog : public ui::Dialog {
public:
    InstallerDialog(platform::Machine& machine, ui::Toolkit& toolkit, ThreadStarter startThread = StartThread);
    ~InstallerDialog() override;

    // --- Start-up and data exchange ---
    void DoDataExchange(ui::DataExchange& dx) override;
    win::BOOL OnInitDialog() override;
    win::LRESULT OnMyUpdateData(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnSerialByte(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnClose(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnPreparationDone(win::WPARAM wParam, win::LPARAM lParam);
    void OnCancel() override;
    void PrepareThreadProc();

    // --- Install dispatch and printer-name list ---
    void FillSeriesList();
    void OnSelchangeSeries();
    void OnInstall();

    // --- System identification ---
    int GetWindowsVersionCode();
    void ShowSystemInfo();

    // --- Driver package ---
    void PreparePackage();
    win::LRESULT OnDestroy(win::WPARAM wParam, win::LPARAM lParam);

    // --- Driver installation ---
    void InstallReceiptDriver();
    void InstallLabelDriver();
    void StartOrRestartService(const char* serviceName, int mode);
    void EnableLoadDriverPrivilege();

    // --- Ports ---
    void FillPortTypeList();
    void EnumeratePorts();
    int EnumerateSerialPorts(StringArray& list);
    void SetPrinterPort(const std::string& printerName, const std::string& portName);
    int EnumeratePrinters(StringArray& names, StringArray& ports);
    void AutoSelectUsbPort();
    void AutoSelectSerialPort();
    win::LRESULT OnTimer(win::WPARAM wParam, win::LPARAM lParam);
    int ChooseParallelPort();
    int ChooseNetworkPort();

    // Sets the status line and shows it before the caller goes on.
    void PublishStatus(const std::string& text);
    // Sets the progress bar's position.
    void SetProgress(int position);
    // A message box captioned with the application's title and owned by the
    // main dialog; an OK box without an icon of its own gets the warning icon.
    int AppMessageBox(const std::string& text, win::UINT type = win::MB_OK);

protected:
    bool OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT* result) override;

private:
    // Walks "C:\DriverName.cfg": calls visit(section, name) for every
    // printer name, sections counted from 0 in file order.
    void ForEachPrinterName(const std::function<void(int section, const std::string& name)>& visit);
    // The processor's name when the package has no drivers for it (it has
    // x86 and x64 ones only), else empty.
    std::string UnsupportedProcessor() const;
    // Whether the x64 drivers are the ones to install: this 32-bit program
    // runs under WOW64, or (built as a 64-bit program for testing where
    // only 64-bit programs run) IsWow64Process2 names an x64 processor.
    // Only under WOW64 does System32 need Sysnative to reach the real one.
    bool OnX64Windows() const;
    // The sum of the four receipt group sizes: the first label row.
    int ReceiptRowCount() const;
    // First step of both sequences: settles m_portName for the parallel and
    // network types through the user's choice, and makes sure a serial or
    // USB printer without its port has a parallel port to stand in. False
    // (with the Install button usable again) when the run cannot go on.
    bool SettlePortBeforeInstall();
    // Staging helper: copies one file and shows where it went.
    void StageFile(const std::string& source, const std::string& destination);
    // A driver record's texts. The dependent files are names each ended by
    // a zero byte, the list ended by one more.
    struct DriverRecordText {
        std::string name, environment, driverPath, dataFile, configFile, helpFile, dependentFiles, monitorName;
    };
    // Registers the driver (version 2 on Windows NT 4.0, 3 elsewhere, data
    // type "RAW"); false with *error the thread's last error on failure.
    bool RegisterDriver(DriverRecordText record, win::DWORD* error);
    // Both sequences' answer to a failed driver registration.
    void ReportDriverRegistrationFailure(win::DWORD error, bool ownedByDialog);
    // Steps shared by both sequences once the driver is registered.
    void CreatePrinterAndFinish(const std::string& printerName, const std::string& driverName);
    void ReportPrinterCreationFailure(win::DWORD error);
    void WriteDefaultPrinter(const std::string& printerName, const std::string& port);
    // Installation ended with a failure: Install usable again, progress 0.
    void EndRunAfterFailure(const char* newCaption);
    // The spooler's driver directory and environment for this machine.
    // False when the spooler cannot name it: the user has been told and the
    // run has ended (Install usable, progress 0).
    bool DriverDirectory(std::string* directory, std::string* environment);

    // Serial detection: probing one port, and the ways a search ends.
    enum class ProbeResult { UnderWay, OpenFailed, StartFailed };
    ProbeResult ProbeSerialPort();
    void FreeSerialPrinters();
    void RestoreSerialPrinters(const std::string* except);
    void WriteComSettings(const std::string& port);
    // Every ending: Install enabled as "完成", progress 100, the status line
    // (set by the ending) shown.
    void FinishSerialSearch();
    void EndSerialSearchDeclined();
    void EndSerialSearchSinglePort();
    void EndSerialSearchUnrecognised();
    void EndSerialSearchAnswered(const std::string& printerName);

    platform::Machine& m_machine;

    // The members in the order that fixes construction and destruction.
    package::ArchiveExtractor m_extractor;
    ui::Button m_installButton;
    ui::ProgressBar m_progress;
    ui::ComboBox m_seriesCombo;
    ui::ListView m_portTypeList;
    int m_setAsDefault;
    std::string m_statusText;
    int m_receiptGroup4Size = 0;
    int m_receiptGroup3Size = 0;
    int m_receiptGroup2Size = 0;
    int m_receiptGroup1Size = 0;
    int m_seriesIndex = 0;
    int m_portType;
    serial::SerialPortChannel m_serialChannel;
    int m_baudRate = 0;
    StringArray m_allPorts;
    StringArray m_usbPorts;
    StringArray m_serialPorts;
    StringArray m_lptPorts;
    StringArray m_tcpPorts;
    StringArray m_printerNames;
    StringArray m_printerPorts;
    std::string m_portName;
    int m_isWow64;
    // The processor IsWow64Process2 reported (IMAGE_FILE_MACHINE_...); 0
    // where the system cannot say, and x86 or x64 is then taken for granted.
    win::USHORT m_nativeMachine = 0;
    int m_serialReplyReceived = 0;
    int m_comPortNumber = 0;
    int m_parity = 'N';
    int m_dataBits = 8;
    int m_stopBits = 1;
    int m_commEventMask = 3;
    int m_serialPortIndex = 0;

    // The registered message "MyUpdateData".
    win::UINT m_myUpdateDataMessage;
    // Makes the preparation thread.
    ThreadStarter m_startThread;
    // The preparation thread; joined once it has ended, before the dialog
    // goes away, so that nothing is destroyed or cleaned up under it.
    std::thread m_prepareThread;
    std::atomic<bool> m_preparing{false};
    // Serial printers sit on "LPT1:" while a search runs; closing the
    // window meanwhile gives them their ports back.
    bool m_serialSearchActive = false;
    bool m_closeRequested = false;
    // What existed under the package's folders before it was unpacked; the
    // clean-up spares it, and removes nothing before it has been recorded.
    std::vector<std::string> m_preexistingPaths;
    bool m_preexistingRecorded = false;
};

}  // namespace app
