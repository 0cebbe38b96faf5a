// Windows (the end-to-end driver under Wine): the scenarios. Each one runs
// in a fresh prefix; the checks read Wine's own state afterwards.
#include "tests/e2e/e2e_scenarios_win.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tests/e2e/e2e_installer_win.h"
#include "tests/e2e/e2e_state_win.h"
#include "tests/e2e/e2e_ui_win.h"

namespace e2e {

namespace {

const wchar_t kParallelCaption[] = L"选择并行端口";
const wchar_t kNetworkCaption[] = L"网络端口配置";
const wchar_t kSerialCaption[] = L"提示(自动匹配可用串口设置)";
const wchar_t kDone[] = L"完成";
const wchar_t kInstall[] = L"安装(&I)";
const wchar_t kFinished[] = L"安装已完成";
const wchar_t kReceiptModel[] = L"Sample R58-01";
const wchar_t kOtherReceiptModel[] = L"Sample R58-02";
const wchar_t kLabelModel[] = L"Sample LB-40";
const char kDeviceKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kX64[] = "Windows x64";
const char kMonitor[] = "Advanced Language Monitor";
const wchar_t kUserFolder[] = L"C:\\e2e-user-folder";
const wchar_t kUserFile[] = L"C:\\e2e-user-folder\\keep.txt";

constexpr int kRowSerial = 0;
constexpr int kRowUsb = 1;
constexpr int kRowParallel = 2;
constexpr int kRowNetwork = 3;
constexpr int kPortList = 1004;
constexpr int kPortOk = 1037;
constexpr int kSerialYes = 1030;
constexpr int kSerialNo = 1036;
constexpr int kBaudCombo = 1034;
constexpr int kCancelButton = 2;
constexpr int kNameEdit = 1001;
constexpr long kPortChoiceBase = 0x1200;

std::string Narrow(const std::wstring& ascii) { return Utf8(ascii); }

// A folder of the user's own under C:\ that the clean-up must leave alone.
void PrepareUserFolder() {
    ::CreateDirectoryW(kUserFolder, nullptr);
    HANDLE file = ::CreateFileW(kUserFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

void CheckCleanedUp() {
    Check(!PackageUnpacked(), "unpacked files removed");
    Check(Exists(kUserFile), "user folder survives");
}

void CheckExit(InstallerRun& run, long expected, const char* how) {
    const long code = run.WaitExit(30000);
    Check(code == expected, std::string("installer ends ") + how + " (exit code " + std::to_string(code) + ")");
}

void CloseByCloseBox(InstallerRun& run) {
    ::PostMessageW(run.main(), WM_CLOSE, 0, 0);
    CheckExit(run, IDCANCEL, "after the close box with IDCANCEL");
}

void CloseByDone(InstallerRun& run) {
    run.ClickInstall();
    CheckExit(run, IDOK, "after \"完成\" with IDOK");
}

void CheckStatus(InstallerRun& run, const std::wstring& expected) {
    const std::wstring status = run.Status();
    Check(status == expected, "status \"" + Utf8(status) + "\" (expected \"" + Utf8(expected) + "\")");
}

bool WaitDone(InstallerRun& run, DWORD milliseconds = 30000) {
    return Check(run.WaitInstallButton(kDone, milliseconds), "Install ends captioned \"完成\"");
}

// The printer of that name exists once, on the port, and its driver is
// registered once with its driver file in the spooler's driver directory.
void CheckInstalled(const std::wstring& model, const std::string& port, const char* environment,
                    const char* monitor = "") {
    const std::string name = Narrow(model);
    Check(CountPrinters(name) == 1, "one printer \"" + name + "\"");
    std::string driver;
    for (const PrinterRecord& printer : Printers()) {
        if (printer.name != name) continue;
        Check(printer.port == port, "printer on \"" + printer.port + "\" (expected \"" + port + "\")");
        driver = printer.driver;
    }
    Check(!driver.empty() && CountDrivers(environment, driver) == 1, "driver \"" + driver + "\" registered once");
    for (const DriverRecord& record : Drivers(environment)) {
        if (record.name != driver) continue;
        Check(Exists(record.driverPath.c_str()), "driver file " + record.driverPath + " present");
        Check(record.monitor == monitor, "driver's monitor \"" + record.monitor + "\"");
    }
}

// Picks the model, the parallel row and the LPT row in the dialog.
bool InstallOnParallel(InstallerRun& run, const std::wstring& model, int lptRow, bool shots = false) {
    run.PickModel(model);
    run.PickPortType(kRowParallel);
    run.ClickInstall();
    HWND dialog = run.WaitDialog(kParallelCaption, 20000);
    if (!dialog) return false;
    HWND list = ::GetDlgItem(dialog, kPortList);
    Check(ListRowCount(list) == 3, "parallel dialog lists LPT1: to LPT3: (" + std::to_string(ListRowCount(list)) + ")");
    if (shots) Screenshot(dialog, "screen-parallel");
    Check(SelectListRow(list, lptRow), "LPT row " + std::to_string(lptRow) + " picked");
    PostClick(dialog, kPortOk);
    return true;
}

bool StartPrepared(InstallerRun& run, const ScenarioArgs& args) {
    PrepareUserFolder();
    return run.Start(args.installer, args.workingFolder) && run.WaitPrepared();
}

// --- Scenarios ---------------------------------------------------------------

void StartAndClose(const ScenarioArgs& args) {
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    Check(run.InstallCaption() == kInstall, "Install caption \"" + Utf8(run.InstallCaption()) + "\"");
    Check(run.Status().rfind(std::wstring(L"当前系统为Microsoft Windows 7  ") + kBitness, 0) == 0,
          "status \"" + Utf8(run.Status()) + "\"");
    const std::vector<std::wstring> models = ComboItems(::GetDlgItem(run.main(), 1000));
    Check(models.size() == 45 && models[0] == kReceiptModel,
          "model list holds " + std::to_string(models.size()) + " names, first \"" +
              Utf8(models.empty() ? L"" : models[0]) + "\"");
    const std::vector<std::string> staged = StagingFolders();
    Check(staged.size() == 1 && Exists((staged[0] + "\\DriverName.cfg").c_str()) &&
              Exists((staged[0] + "\\Ticket\\x86").c_str()) && Exists((staged[0] + "\\Barcode\\Common").c_str()),
          "package unpacked into a folder of its own in the temporary folder (" +
              (staged.empty() ? std::string("none") : staged[0]) + ")");
    Check(!Exists("C:\\DriverName.cfg") && !Exists("C:\\Ticket"), "nothing unpacked into C:\\");
    Check(ItemText(run.main(), kNameEdit) == kReceiptModel,
          "name field shows the first model (\"" + Utf8(ItemText(run.main(), kNameEdit)) + "\")");
    Screenshot(run.main(), "screen-main");
    CloseByCloseBox(run);
    CheckCleanedUp();
}

void CloseDuringPreparation(const ScenarioArgs& args) {
    PrepareUserFolder();
    InstallerRun run;
    if (!run.Start(args.installer, args.workingFolder)) return;
    const auto closed = std::chrono::steady_clock::now();
    ::PostMessageW(run.main(), WM_CLOSE, 0, 0);
    Check(!run.InstallEnabled(), "close box pressed while Install is still disabled (preparing)");
    bool sawUnpacked = false;
    const bool ended = WaitFor([&] {
        sawUnpacked = sawUnpacked || !StagingFolders().empty();
        return ::IsWindow(run.main()) == FALSE;
    }, 60000);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - closed);
    std::printf("   window gone %lld ms after the close\n", static_cast<long long>(ms.count()));
    Check(ended, "window closes once the preparation has ended");
    CheckExit(run, IDCANCEL, "with IDCANCEL");
    CheckCleanedUp();
}

// A package that is not there leaves the status line to the system found;
// one that is there but cannot be used says so.
void NoUsablePackage(const ScenarioArgs& args, const std::wstring& statusHead) {
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    Check(ComboItems(::GetDlgItem(run.main(), 1000)).empty(), "model list empty");
    Check(run.InstallEnabled(), "Install enabled all the same");
    Check(run.Status().rfind(statusHead, 0) == 0, "status \"" + Utf8(run.Status()) + "\"");
    // A folder may have been made for a package that is there; nothing is
    // in it, and nothing is at the root of the drive.
    bool listed = Exists("C:\\DriverName.cfg") || Exists("C:\\Ticket");
    for (const std::string& folder : StagingFolders()) listed = listed || Exists((folder + "\\DriverName.cfg").c_str());
    Check(!listed, "nothing unpacked");
    CloseByCloseBox(run);
    CheckCleanedUp();
}

void MissingPackage(const ScenarioArgs& args) { NoUsablePackage(args, L"当前系统为"); }

void CorruptPackage(const ScenarioArgs& args) { NoUsablePackage(args, L"驱动程序包DriverData.Drv已损坏"); }

void ParallelReceipt(const ScenarioArgs& args) {
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    if (!InstallOnParallel(run, kReceiptModel, 1, true)) return;
    Check(ItemText(run.main(), kNameEdit) == kReceiptModel,
          "name field shows the picked model (\"" + Utf8(ItemText(run.main(), kNameEdit)) + "\")");
    if (!WaitDone(run)) return;
    CheckStatus(run, kFinished);
    Screenshot(run.main(), "screen-main-done");
    CheckInstalled(kReceiptModel, "LPT2:", kDriverEnvironment);
    const std::string device = RegistryString(HKEY_CURRENT_USER, kDeviceKey, "Device");
    Check(device == "Sample R58-01,winspool,LPT2:", "default printer \"" + device + "\"");
    Check(::IsWindowEnabled(::GetDlgItem(run.main(), kCancelButton)) == FALSE, "Cancel disabled after the run");
    CloseByDone(run);
    CheckCleanedUp();
}

// Installed twice: the second run upgrades over the monitor the first one
// registered. Wine's spooler does not hold it loaded, so the copy over it
// succeeds and nothing is moved aside (a Windows spooler refuses that copy:
// docs/wine-differences.md).
void ParallelLabel(const ScenarioArgs& args) {
    for (int pass = 1; pass <= 2; ++pass) {
        InstallerRun run;
        if (!StartPrepared(run, args)) return;
        if (!InstallOnParallel(run, kLabelModel, 0)) return;
        if (!WaitDone(run)) return;
        CheckStatus(run, kFinished);
        CloseByDone(run);
    }
    CheckInstalled(kLabelModel, "LPT1:", kDriverEnvironment, kMonitor);
    bool monitor = false;
    for (const std::string& name : MonitorNames()) monitor = monitor || name == kMonitor;
    Check(monitor, "monitor \"Advanced Language Monitor\" registered");
    const std::string dll = SystemDirectory() + "\\" + kMonitorDll;
    Check(Exists(dll.c_str()), "monitor DLL " + dll + " stays");
    Check(!Exists((dll + ".old-1").c_str()), "the monitor copied over in place, nothing moved aside");
    CheckCleanedUp();
}

void Reinstall(const ScenarioArgs& args) {
    for (int lptRow : {0, 2}) {
        InstallerRun run;
        if (!StartPrepared(run, args)) return;
        if (!InstallOnParallel(run, kReceiptModel, lptRow) || !WaitDone(run)) return;
        CheckStatus(run, kFinished);
        CloseByDone(run);
    }
    CheckInstalled(kReceiptModel, "LPT3:", kDriverEnvironment);
}

void DefaultOff(const ScenarioArgs& args) {
    const std::string before = RegistryString(HKEY_CURRENT_USER, kDeviceKey, "Device");
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    run.SetDefault(false);
    if (!InstallOnParallel(run, kOtherReceiptModel, 0) || !WaitDone(run)) return;
    CheckInstalled(kOtherReceiptModel, "LPT1:", kDriverEnvironment);
    const std::string after = RegistryString(HKEY_CURRENT_USER, kDeviceKey, "Device");
    Check(after == before, "default printer untouched (\"" + after + "\")");
    CloseByDone(run);
}

void Usb(const ScenarioArgs& args, int retries) {
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    run.PickModel(kReceiptModel);
    run.PickPortType(kRowUsb);
    run.ClickInstall();
    for (int shown = 0; shown <= retries; ++shown) {
        HWND box = run.WaitMessageBox(30000);
        if (!Check(box != nullptr, "USB failure box " + std::to_string(shown + 1) + " shown")) return;
        Check(WindowText(box) == L"自动选择USB端口失败", "box caption \"" + Utf8(WindowText(box)) + "\"");
        Check(MessageBoxText(box).rfind(L"自动选择USB端口失败,请检查打印机USB端口是否连接.", 0) == 0,
              "box text \"" + Utf8(MessageBoxText(box).substr(0, 28)) + "...\"");
        Check(::GetDlgItem(box, IDRETRY) && ::GetDlgItem(box, IDCANCEL), "box offers Retry and Cancel");
        if (retries == 0) Screenshot(box, "screen-message-box");
        PostCommand(box, shown < retries ? IDRETRY : IDCANCEL);
        WaitFor([&] { return ::IsWindow(box) == FALSE; }, 10000);
    }
    if (!WaitDone(run)) return;
    Check(FindMessageBox(run.processId()) == nullptr, "no further box");
    CheckStatus(run, kFinished);
    CheckInstalled(kReceiptModel, "LPT1:", kDriverEnvironment);
    CloseByDone(run);
    CheckCleanedUp();
}

void UsbCancel(const ScenarioArgs& args) { Usb(args, 0); }
void UsbRetryThenCancel(const ScenarioArgs& args) { Usb(args, 1); }

void Network(const ScenarioArgs& args) {
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    run.PickModel(kReceiptModel);
    run.PickPortType(kRowNetwork);
    const std::wstring status = run.Status();
    const size_t drivers = Drivers(kDriverEnvironment).size();
    run.ClickInstall();
    // Wine's spooler has no TCP/IP port monitor: AddPortA fails with 50 and
    // the choice counts as cancelled.
    WaitFor([&] { return !run.InstallEnabled(); }, 2000);
    Check(run.WaitInstallButton(kInstall, 20000), "Install usable again with its caption");
    Check(FindMessageBox(run.processId()) == nullptr, "no message box");
    Check(run.Status() == status, "status unchanged \"" + Utf8(run.Status()) + "\"");
    Check(CountPrinters(Narrow(kReceiptModel)) == 0, "no printer installed");
    Check(Drivers(kDriverEnvironment).size() == drivers, "no driver registered");
    Check(::IsWindowEnabled(::GetDlgItem(run.main(), kCancelButton)) == FALSE, "Cancel disabled after the run");
    CloseByCloseBox(run);
    CheckCleanedUp();
}

// The network port dialog cannot be reached under Wine (no TCP/IP port can
// exist); network_dialog_view shows it over Wine's ports plus two TCP/IP
// ports and exits with the dialog's result. The program to run comes in
// place of the installer.
void NetworkDialog(const ScenarioArgs& args) {
    InstallerRun run;
    if (!run.Start(args.installer, args.workingFolder, kNetworkCaption)) return;
    HWND list = ::GetDlgItem(run.main(), kPortList);
    const int rows = ListRowCount(list);
    Check(rows == 2, "the list holds the two TCP/IP ports only (" + std::to_string(rows) + " rows)");
    const std::wstring expected[2][2] = {{L"IP_192.168.1.100", L"Standard TCP/IP Port"},
                                         {L"IP_192.168.1.101", L"标准 TCP/IP 端口"}};
    for (int row = 0; row < 2 && row < rows; ++row) {
        const std::wstring port = ListItemText(list, row, 0);
        const std::wstring description = ListItemText(list, row, 1);
        Check(port == expected[row][0] && description == expected[row][1],
              "row " + std::to_string(row) + " \"" + Utf8(port) + "\" \"" + Utf8(description) + "\"");
    }
    Check(rows > 0 && (::SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_SELECTED) & LVIS_SELECTED) != 0,
          "first row selected at the start");
    Screenshot(run.main(), "screen-network");
    Check(SelectListRow(list, 1), "second row picked");
    PostClick(run.main(), kPortOk);
    CheckExit(run, kPortChoiceBase + 1, "with the second row's choice 0x1201");
}

HWND AnswerSerialPrompt(InstallerRun& run, bool search, bool shot) {
    HWND prompt = run.WaitDialog(kSerialCaption, 30000);
    if (!prompt) return nullptr;
    HWND combo = ::GetDlgItem(prompt, kBaudCombo);
    const std::vector<std::wstring> rates = ComboItems(combo);
    Check(rates.size() == 9 && ::SendMessageW(combo, CB_GETCURSEL, 0, 0) == 5, "prompt offers nine rates, 19200 chosen");
    if (shot) Screenshot(prompt, "screen-serial-prompt");
    if (search) {
        ::SendMessageW(combo, CB_SETCURSEL, 4, 0);
        Check(rates.size() > 4 && rates[4] == L"9600", "9600 picked");
        PostClick(prompt, kSerialYes);
    } else {
        PostClick(prompt, kSerialNo);
    }
    return prompt;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The serial devices Wine lists, to tell a port mapping problem apart.
void ShowSerialDevices() {
    for (const std::string& name : RegistryValueNames(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM")) {
        std::printf("   serial device %s = %s\n", name.c_str(),
                    RegistryString(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", name.c_str()).c_str());
    }
}

void SerialSearch(const ScenarioArgs& args, const std::wstring& model, bool shot) {
    ShowSerialDevices();
    if (!Check(args.ports.size() == 2, "two COM ports named by the script")) return;
    const std::string answering = args.ports[1];
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    run.PickModel(model);
    run.PickPortType(kRowSerial);
    run.ClickInstall();
    if (!AnswerSerialPrompt(run, true, shot)) return;
    if (!WaitDone(run)) return;
    CheckStatus(run, L"成功配置打印机端口为 " + Wide(answering));
    CheckInstalled(model, answering, kDriverEnvironment, model == kLabelModel ? kMonitor : "");
    const std::string settings = RegistryString(HKEY_LOCAL_MACHINE, kPortsKey, answering.c_str());
    Check(settings == "9600,n,8,1", "Ports value " + answering + " = \"" + settings + "\"");
    CloseByDone(run);
    CheckCleanedUp();
}

void SerialReceipt(const ScenarioArgs& args) { SerialSearch(args, kReceiptModel, true); }
void SerialLabel(const ScenarioArgs& args) { SerialSearch(args, kLabelModel, false); }
// The printer keeps sending long after its answer: closing its port must
// not wait for the stream to end.
void SerialFlood(const ScenarioArgs& args) { SerialSearch(args, kReceiptModel, false); }

void SerialDeclined(const ScenarioArgs& args) {
    ShowSerialDevices();
    if (!Check(args.ports.size() == 2, "two COM ports named by the script")) return;
    const std::string first = args.ports[0];
    const std::string before = RegistryString(HKEY_LOCAL_MACHINE, kPortsKey, first.c_str());
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    run.PickModel(kReceiptModel);
    run.PickPortType(kRowSerial);
    run.ClickInstall();
    if (!AnswerSerialPrompt(run, false, false)) return;
    if (!WaitDone(run)) return;
    CheckStatus(run, L"程序已为您选择" + Wide(first) + L",若需修改完成后手动配置");
    CheckInstalled(kReceiptModel, first, kDriverEnvironment);
    const std::string after = RegistryString(HKEY_LOCAL_MACHINE, kPortsKey, first.c_str());
    Check(after == before, "Ports value " + first + " untouched (\"" + after + "\")");
    CloseByDone(run);
}

// A system whose ANSI code page is not 936 (Wine under a C.UTF-8 locale:
// 1252). The program's texts are 936 and reach the windows and the
// spooler converted, so they read the same there as on a Chinese system:
// the dialog's texts in UTF-16, and a Chinese model's printer name.
void NonChineseCodePage(const ScenarioArgs& args) {
    Check(::GetACP() != 936, "the system's ANSI code page is " + std::to_string(::GetACP()));
    const std::wstring model = L"样例票据打印机 58";
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    Check(WindowText(run.main()) == L"设置并安装票据/标签 驱动", "caption \"" + Utf8(WindowText(run.main())) + "\"");
    Check(run.Status().rfind(L"当前系统为Microsoft Windows", 0) == 0, "status \"" + Utf8(run.Status()) + "\"");
    HWND types = ::GetDlgItem(run.main(), kPortList);
    Check(ListItemText(types, 0, 0) == L"串口" && ListItemText(types, 2, 1) == L"安装之前程序会提示您选择一个LPT端口",
          "port type rows \"" + Utf8(ListItemText(types, 0, 0)) + "\", \"" + Utf8(ListItemText(types, 2, 1)) + "\"");
    const std::vector<std::wstring> models = ComboItems(::GetDlgItem(run.main(), 1000));
    Check(std::find(models.begin(), models.end(), model) != models.end(), "the model list holds \"" + Utf8(model) + "\"");
    if (!InstallOnParallel(run, model, 0) || !WaitDone(run)) return;
    CheckStatus(run, kFinished);
    Check(ItemText(run.main(), kNameEdit) == model, "name field \"" + Utf8(ItemText(run.main(), kNameEdit)) + "\"");
    const std::vector<std::wstring> printers = PrinterNamesW();
    Check(std::count(printers.begin(), printers.end(), model) == 1, "one printer \"" + Utf8(model) + "\" in the spooler");
    CloseByDone(run);
    CheckCleanedUp();
}

// The 64-bit prefix: the program runs under WOW64 and takes the x64 paths.
// Wine's AddPrinterW from a 32-bit caller looks the driver up in the x86
// environment and fails with 1797 (docs/wine-differences.md).
void Wow64(const ScenarioArgs& args) {
    InstallerRun run;
    if (!StartPrepared(run, args)) return;
    CheckStatus(run, L"当前系统为Microsoft Windows 7  64位");
    if (!InstallOnParallel(run, kReceiptModel, 0)) return;
    HWND box = run.WaitMessageBox(30000);
    if (!Check(box != nullptr, "printer creation failure box shown")) return;
    Check(WindowText(box) == L"错误提示", "box caption \"" + Utf8(WindowText(box)) + "\"");
    Check(MessageBoxText(box) == L"Error AddPrinter  1797", "box text \"" + Utf8(MessageBoxText(box)) + "\"");
    PostCommand(box, IDOK);
    Check(run.WaitInstallButton(kInstall, 20000), "Install usable again with its caption");
    Check(CountPrinters(Narrow(kReceiptModel)) == 0, "no printer created");
    bool x64Driver = false;
    for (const DriverRecord& driver : Drivers(kX64)) {
        x64Driver = x64Driver || driver.driverPath.find("uniDRV.DLL") != std::string::npos ||
                    driver.driverPath.find("unidrv.dll") != std::string::npos;
        std::printf("   x64 driver \"%s\" %s\n", driver.name.c_str(), driver.driverPath.c_str());
    }
    Check(x64Driver, "the receipt driver registered for \"Windows x64\"");

    // The label monitor goes to the real System32 (through Sysnative, as
    // this program's own System32 is SysWOW64), where a 64-bit spooler
    // loads it. Wine's spooler runs inside this 32-bit program and cannot
    // load a 64-bit monitor, so the run ends in the monitor box there.
    if (!InstallOnParallel(run, kLabelModel, 0)) return;
    box = run.WaitMessageBox(30000);
    if (!Check(box != nullptr, "monitor failure box shown")) return;
    std::printf("   label box \"%s\"\n", Utf8(MessageBoxText(box)).c_str());
    Check(MessageBoxText(box) == L"添加监视器出错\r\n", "box text \"" + Utf8(MessageBoxText(box)) + "\"");
    const std::string windows = WindowsDirectory();
    Check(Exists((windows + "\\Sysnative\\qmtNLM64.dll").c_str()), "64-bit monitor in the real System32");
    Check(!Exists((windows + "\\SysWOW64\\qmtNLM64.dll").c_str()), "no 64-bit monitor in SysWOW64");
    PostCommand(box, IDOK);
    CheckExit(run, IDOK, "after the monitor box");
    CheckCleanedUp();
}

}  // namespace

const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> kScenarios = {
        {"start-close", StartAndClose},
        {"close-during-preparation", CloseDuringPreparation},
        {"missing-package", MissingPackage},
        {"corrupt-package", CorruptPackage},
        {"parallel-receipt", ParallelReceipt},
        {"parallel-label", ParallelLabel},
        {"reinstall", Reinstall},
        {"default-off", DefaultOff},
        {"usb-cancel", UsbCancel},
        {"usb-retry-cancel", UsbRetryThenCancel},
        {"network-no-port", Network},
        {"network-dialog", NetworkDialog},
        {"serial-receipt", SerialReceipt},
        {"serial-declined", SerialDeclined},
        {"serial-label", SerialLabel},
        {"serial-flood", SerialFlood},
        {"wow64", Wow64},
        {"ansi-1252", NonChineseCodePage},
    };
    return kScenarios;
}

}  // namespace e2e
