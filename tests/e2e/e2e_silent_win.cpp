// Windows (the end-to-end driver under Wine): the program started with
// options, as a deployment engine starts it: the exit code, what it left on
// the machine, its log, and that no window of it shows at any moment.
#include <windows.h>
#include <winver.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "program_version.h"
#include "tests/e2e/e2e_installer_win.h"
#include "tests/e2e/e2e_scenarios_win.h"
#include "tests/e2e/e2e_state_win.h"
#include "tests/e2e/e2e_ui_win.h"

namespace e2e {

namespace {

const char kReceiptModel[] = "Sample R58-01";
const char kLabelModel[] = "Sample LB-40";
const char kLog[] = "C:\\silent.log";
const char kDeviceKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kMonitor[] = "Advanced Language Monitor";

struct SilentRun {
    long exitCode = -1;
    int visibleWindows = 0;
    double seconds = 0;
    std::string output;
};

BOOL CALLBACK CountVisible(HWND window, LPARAM context) {
    auto* watch = reinterpret_cast<std::pair<DWORD, int>*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == watch->first && ::IsWindowVisible(window)) ++watch->second;
    return TRUE;
}

// Starts the program with these options, its output into a pipe, and looks
// for a visible window of it every few milliseconds until it ends.
SilentRun RunWithOptions(const ScenarioArgs& args, const std::string& options) {
    SilentRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::string commandLine = "\"" + args.installer + "\" " + options;
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    if (!::CreateProcessA(args.installer.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          args.workingFolder.c_str(), &startup, &process)) {
        Check(false, "installer started with " + options + " (error " + std::to_string(::GetLastError()) + ")");
        return run;
    }
    ::CloseHandle(writeEnd);
    std::pair<DWORD, int> watch{process.dwProcessId, 0};
    for (int waited = 0; ::WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT; waited += 5) {
        ::EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&watch));
        if (waited > 120000) {
            ::TerminateProcess(process.hProcess, 1);
            Check(false, "silent run ended within two minutes");
            break;
        }
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    run.exitCode = static_cast<long>(code);
    run.visibleWindows = watch.second;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    ::CloseHandle(readEnd);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    std::printf("   %s: exit code %ld after %.2f s\n", options.c_str(), run.exitCode, run.seconds);
    return run;
}

std::string ReadLog(const char* path = kLog) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void CheckSilent(const SilentRun& run, long expected) {
    Check(run.exitCode == expected,
          "exit code " + std::to_string(run.exitCode) + " (expected " + std::to_string(expected) + ")");
    Check(run.visibleWindows == 0, "no window shown (" + std::to_string(run.visibleWindows) + " sightings)");
    Check(!PackageUnpacked(), "the unpacked package is removed");
}

void CheckPrinter(const std::string& name, const std::string& port, const char* monitor = "") {
    int found = 0;
    std::string driver;
    for (const PrinterRecord& printer : Printers()) {
        if (printer.name != name) continue;
        ++found;
        Check(printer.port == port, "printer on \"" + printer.port + "\" (expected \"" + port + "\")");
        driver = printer.driver;
    }
    Check(found == 1, "one printer \"" + name + "\"");
    for (const DriverRecord& record : Drivers(kDriverEnvironment)) {
        if (record.name == driver) Check(record.monitor == monitor, "driver's monitor \"" + record.monitor + "\"");
    }
}

// Interactive first, driven like a person, then the same installation
// silently: both times are printed side by side.
void SilentParallelReceipt(const ScenarioArgs& args) {
    const auto start = std::chrono::steady_clock::now();
    {
        InstallerRun person;
        if (!person.Start(args.installer, args.workingFolder) || !person.WaitPrepared()) return;
        person.PickModel(L"Sample R58-01");
        person.PickPortType(2);
        person.ClickInstall();
        HWND dialog = person.WaitDialog(L"选择并行端口", 20000);
        if (!Check(dialog != nullptr, "parallel dialog")) return;
        SelectListRow(::GetDlgItem(dialog, 1004), 0);
        PostClick(dialog, 1037);
        if (!Check(person.WaitInstallButton(L"完成", 30000), "interactive run done")) return;
        person.ClickInstall();
        person.WaitExit(30000);
    }
    const double interactive = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::DeleteFileA(kLog);

    const SilentRun run = RunWithOptions(args, std::string("/S /MODEL=\"sample r58-01\" /PORT=LPT /LOG=") + kLog);
    CheckSilent(run, 0);
    CheckPrinter(kReceiptModel, "LPT1:");
    const std::string device = RegistryString(HKEY_CURRENT_USER, kDeviceKey, "Device");
    Check(device == "Sample R58-01,winspool,LPT1:", "default printer \"" + device + "\"");
    const std::string log = ReadLog();
    Check(log.compare(0, 3, "\xEF\xBB\xBF") == 0, "log starts with a byte-order mark");
    Check(Contains(log, "status: 安装已完成"), "log holds the status texts in UTF-8");
    Check(Contains(log, "AddPrinterDriverExA("), "log holds the spooler's calls");
    Check(Contains(log, "exit code 0"), "log ends with the exit code");
    std::printf("   timing: interactive (driven, from start to exit) %.2f s, silent %.2f s\n", interactive,
                run.seconds);
}

// Started by a deployment script from another working folder, which holds
// no package: the package beside the program is taken, and installed.
void SilentPackageBesideProgram(const ScenarioArgs& args) {
    ScenarioArgs elsewhere = args;
    elsewhere.workingFolder = WindowsDirectory();
    Check(!Exists((elsewhere.workingFolder + "\\DriverData.Drv").c_str()), "no package in " + elsewhere.workingFolder);
    // As the deployment engines' examples log: into folders nothing made.
    const char* const log = "C:\\ProgramData\\PrinterSetup-e2e\\logs\\install.log";
    Check(!Exists("C:\\ProgramData\\PrinterSetup-e2e"), "the log's folder is not there yet");
    CheckSilent(RunWithOptions(elsewhere, std::string("/S /MODEL=\"Sample R58-01\" /PORT=LPT:LPT1: /LOG=") + log), 0);
    CheckPrinter(kReceiptModel, "LPT1:");
    const std::string text = ReadLog(log);
    Check(Contains(text, std::string("version ") + app::PROGRAM_VERSION + "; package ") && Contains(text, "SHA-256 "),
          "the log was made in its new folder, its first line with the version and the package's hash");
}

void SilentLabel(const ScenarioArgs& args) {
    const std::string before = RegistryString(HKEY_CURRENT_USER, kDeviceKey, "Device");
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample LB-40\" /PORT=LPT:LPT2: /NODEFAULT /LOG=") + kLog),
                0);
    CheckPrinter(kLabelModel, "LPT2:", kMonitor);
    bool monitor = false;
    for (const std::string& name : MonitorNames()) monitor = monitor || name == kMonitor;
    Check(monitor, "monitor registered");
    Check(RegistryString(HKEY_CURRENT_USER, kDeviceKey, "Device") == before, "default printer unchanged");
}

void SilentSerial(const ScenarioArgs& args) {
    if (!Check(args.ports.size() == 2, "two COM ports named by the script")) return;
    CheckSilent(RunWithOptions(args, std::string("/S \"/MODEL=Sample R58-01\" /PORT=SERIAL /BAUD=9600 /LOG=") + kLog),
                0);
    CheckPrinter(kReceiptModel, args.ports[1]);
    const std::string settings = RegistryString(HKEY_LOCAL_MACHINE, kPortsKey, args.ports[1].c_str());
    Check(settings == "9600,n,8,1", "Ports value " + args.ports[1] + " = \"" + settings + "\"");
}

void SilentUsbWithoutPort(const ScenarioArgs& args) {
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=USB /LOG=") + kLog), 1);
    CheckPrinter(kReceiptModel, "LPT1:");
    Check(Contains(ReadLog(), "box answered: Cancel"), "the USB failure box answered Cancel in the log");
}

void SilentBadCommandLine(const ScenarioArgs& args) {
    const SilentRun unknownModel = RunWithOptions(args, std::string("/S /MODEL=Nothing /LOG=") + kLog);
    CheckSilent(unknownModel, 1639);
    Check(Contains(ReadLog(), "is not in the package's model list"), "the log names the unknown model");
    const SilentRun badPort = RunWithOptions(args, "/S /MODEL=x /PORT=WIFI");
    Check(badPort.exitCode == 1639 && badPort.visibleWindows == 0, "unknown port type: 1639, no window");
    Check(Contains(badPort.output, "unknown port type"), "the reason on the output (\"" + badPort.output + "\")");
    // A port the machine lacks is the machine's fault, not the command line's.
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=LPT:LPT9 /LOG=") + kLog), 1796);
    Check(Contains(ReadLog(), "this machine lacks the port"), "the log says which port is missing");
    Check(Printers().empty(), "no printer created");
    const SilentRun help = RunWithOptions(args, "/S /?");
    Check(help.exitCode == 0 && Contains(help.output, "/MODEL=name") && help.visibleWindows == 0,
          "/S /? prints the usage, without a window");
    Check(Contains(help.output, std::string("DriverSetup ") + app::PROGRAM_VERSION), "/? shows the version");
}

// A file dropped on the program (no /S): the usage in a message box, the
// error first, and 1639 once it is closed.
void UsageBox(const ScenarioArgs& args) {
    std::string commandLine = "\"" + args.installer + "\" C:\\dropped.txt";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!Check(::CreateProcessA(args.installer.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                args.workingFolder.c_str(), &startup, &process) != 0,
               "installer started with a file")) {
        return;
    }
    HWND box = nullptr;
    WaitFor([&] { return (box = FindMessageBox(process.dwProcessId)) != nullptr; }, 20000);
    if (Check(box != nullptr, "a message box shows the usage")) {
        const std::string text = Utf8(MessageBoxText(box));
        Check(text.rfind("DriverSetup: not an option: \"C:\\dropped.txt\"", 0) == 0, "the error first: " + text);
        Check(Contains(text, std::string("DriverSetup ") + app::PROGRAM_VERSION) && Contains(text, "/MODEL=name"),
              "then the version and the usage");
        PostCommand(box, IDOK);
    }
    if (::WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) ::TerminateProcess(process.hProcess, 1);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    Check(code == 1639, "exit code 1639 after the box (got " + std::to_string(code) + ")");
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

// The installation record, as a deployment engine's 64-bit agent reads it.
std::string Record64(const std::string& key, const char* value) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS) {
        return "<no key>";
    }
    char data[512] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    const LONG read = ::RegQueryValueExA(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(opened);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : "<no value>";
}

// The program file's version resource: its fixed FILEVERSION and its
// ProductVersion string. version.dll by its full path, as the program loads it.
bool ProgramFileVersion(const std::string& program, std::string* fixed, std::string* product) {
    HMODULE version = ::LoadLibraryA((SystemDirectory() + "\\version.dll").c_str());
    if (version == nullptr) return false;
    using Size = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using Info = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using Query = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    const auto size = reinterpret_cast<Size>(reinterpret_cast<void*>(::GetProcAddress(version, "GetFileVersionInfoSizeA")));
    const auto info = reinterpret_cast<Info>(reinterpret_cast<void*>(::GetProcAddress(version, "GetFileVersionInfoA")));
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(::GetProcAddress(version, "VerQueryValueA")));
    DWORD ignored = 0;
    const DWORD length = size != nullptr ? size(program.c_str(), &ignored) : 0;
    std::string block(length, '\0');
    void* data = nullptr;
    UINT dataLength = 0;
    bool found = length != 0 && info(program.c_str(), 0, length, block.data()) &&
                 query(block.data(), "\\", &data, &dataLength) && dataLength >= sizeof(VS_FIXEDFILEINFO);
    if (found) {
        const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(data);
        *fixed = std::to_string(HIWORD(numbers->dwFileVersionMS)) + "." + std::to_string(LOWORD(numbers->dwFileVersionMS)) +
                 "." + std::to_string(HIWORD(numbers->dwFileVersionLS)) + "." +
                 std::to_string(LOWORD(numbers->dwFileVersionLS));
        found = query(block.data(), "\\StringFileInfo\\080404B0\\ProductVersion", &data, &dataLength) &&
                dataLength > 0;
        if (found) *product = static_cast<const char*>(data);
    }
    ::FreeLibrary(version);
    return found;
}

// Installed silently: the record is in the 64-bit view with the built
// version, which the program file carries too; the removal takes it away
// with the product's keys it leaves empty.
void SilentRecord(const ScenarioArgs& args) {
    const std::string key = std::string("SOFTWARE\\DriverSetup\\Printers\\") + kReceiptModel;
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=LPT /LOG=") + kLog), 0);
    const std::string version = app::PROGRAM_VERSION;
    Check(Record64(key, "ProgramVersion") == version, "ProgramVersion = \"" + Record64(key, "ProgramVersion") + "\"");
    Check(Record64(key, "Port") == "LPT1:", "Port = \"" + Record64(key, "Port") + "\"");
    const std::string sha = Record64(key, "PackageSha256");
    Check(sha.size() == 64 && sha.find_first_not_of("0123456789abcdef") == std::string::npos, "PackageSha256 = " + sha);
    const std::string log = ReadLog();
    Check(Contains(log.substr(0, log.find("\r\n")), "; version " + version + "; package ") &&
              Contains(log.substr(0, log.find("\r\n")), sha),
          "the log's first line names the version and the package's SHA-256");
    const std::string at = Record64(key, "InstalledAt");
    Check(at.size() == 20 && at[10] == 'T' && at.back() == 'Z', "InstalledAt = " + at);
    std::string fixed;
    std::string product;
    Check(ProgramFileVersion(args.installer, &fixed, &product), "DriverSetup.exe has a version resource");
    Check(fixed == version + ".0" && product == version,
          "its FILEVERSION " + fixed + " and ProductVersion " + product + " are " + version);

    ::DeleteFileA(kLog);
    CheckSilent(RunWithOptions(args, std::string("/S /REMOVE /MODEL=\"Sample R58-01\" /LOG=") + kLog), 0);
    HKEY product64 = nullptr;
    const LONG opened =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\DriverSetup", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &product64);
    if (opened == ERROR_SUCCESS) ::RegCloseKey(product64);
    Check(opened == ERROR_FILE_NOT_FOUND, "the record and its empty keys are gone (" + std::to_string(opened) + ")");
}

// Installed silently, then removed without a window; a second removal
// finds nothing and says so.
void SilentRemove(const ScenarioArgs& args) {
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=LPT /LOG=") + kLog), 0);
    CheckPrinter(kReceiptModel, "LPT1:");
    ::DeleteFileA(kLog);
    CheckSilent(RunWithOptions(args, std::string("/S /REMOVE /MODEL=\"Sample R58-01\" /LOG=") + kLog), 0);
    Check(Printers().empty(), "the printer is gone");
    bool driver = false;
    for (const DriverRecord& record : Drivers(kDriverEnvironment)) driver = driver || record.name == kReceiptModel;
    Check(!driver, "the driver is gone");
    Check(Contains(ReadLog(), std::string("remove: driver \"Sample R58-01\" (") + kDriverEnvironment + ") deleted"), "the log says so");
    ::DeleteFileA(kLog);
    CheckSilent(RunWithOptions(args, std::string("/REMOVE /MODEL=\"Sample R58-01\" /LOG=") + kLog), 0);
    Check(Contains(ReadLog(), "nothing to remove"), "the second removal finds nothing");
}

// Wine has no TCP/IP port monitor: a port for an address cannot be made.
void SilentTcpAddress(const ScenarioArgs& args) {
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=TCP:192.0.2.10 /LOG=") + kLog),
                3000);
    const std::string log = ReadLog();
    const size_t line = log.find("silent: the spooler");
    Check(Contains(log, "the spooler has no \"Standard TCP/IP Port\" monitor"),
          "the log says why (" + (line == std::string::npos ? std::string("nothing") : log.substr(line, 160)) + ")");
    Check(Printers().empty(), "no printer created");
}

// A policy value under HKLM, set as Group Policy sets it, in the view
// Windows' own components read (the installer asks for the 64-bit one).
void SetPolicy(const char* path, const char* name, DWORD value) {
    HKEY key = nullptr;
    const LONG created = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                                           nullptr, &key, nullptr);
    Check(created == ERROR_SUCCESS && ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                                       sizeof value) == ERROR_SUCCESS,
          std::string("policy ") + name + " = " + std::to_string(value));
    if (key != nullptr) ::RegCloseKey(key);
}

const char kProtectedPrintKey[] = "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
const char kValidationKey[] = "Software\\Policies\\Microsoft\\Windows NT\\Printers\\Driver";

// Windows protected print mode by its policy: the window says so before
// anything is unpacked and can be closed; a silent run ends with 1625.
// Then a driver validation level of 2 only warns, and the run installs.
void ProtectedPrintPolicy(const ScenarioArgs& args) {
    SetPolicy(kProtectedPrintKey, "WindowsProtectedPrintGroupPolicyState", 1);
    {
        InstallerRun person;
        if (!person.Start(args.installer, args.workingFolder)) return;
        HWND box = nullptr;
        Check(WaitFor([&] { return (box = FindMessageBox(person.processId())) != nullptr; }, 20000), "a box");
        if (box != nullptr) {
            const std::wstring text = MessageBoxText(box);
            Check(text.find(L"受保护的打印模式已开启") != std::wstring::npos, "the box names the mode: " + Utf8(text));
            Check(text.find(L"没有对系统做任何更改") != std::wstring::npos, "and says nothing changed");
            PostCommand(box, IDOK);
        }
        Check(WaitFor([&] { return person.Status() == L"Windows受保护的打印模式已开启,不能安装本驱动程序"; }, 10000),
              "status \"" + Utf8(person.Status()) + "\"");
        Check(!person.InstallEnabled(), "Install stays disabled");
        Check(!PackageUnpacked(), "nothing unpacked");
        ::PostMessageW(person.main(), WM_CLOSE, 0, 0);
        Check(person.WaitExit(20000) == IDCANCEL, "the window closes");
    }
    ::DeleteFileA(kLog);
    const SilentRun refused = RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=LPT /LOG=") + kLog);
    CheckSilent(refused, 1625);
    const std::string log = ReadLog();
    Check(Contains(log, "Windows protected print mode is on (policy)"), "the log says why");
    Check(Contains(log, "exit code 1625"), "the log ends with 1625");
    Check(Printers().empty(), "no printer created");

    SetPolicy(kProtectedPrintKey, "WindowsProtectedPrintGroupPolicyState", 0);
    SetPolicy(kValidationKey, "ValidationLevel", 2);
    ::DeleteFileA(kLog);
    CheckSilent(RunWithOptions(args, std::string("/S /MODEL=\"Sample R58-01\" /PORT=LPT /LOG=") + kLog), 0);
    Check(Contains(ReadLog(), "配置驱动程序验证级别\"为2级"), "the validation level's warning is logged");
    CheckPrinter(kReceiptModel, "LPT1:");
}

}  // namespace

const std::vector<Scenario>& SilentScenarios() {
    static const std::vector<Scenario> kScenarios = {
        {"silent-parallel-receipt", SilentParallelReceipt},
        {"silent-label", SilentLabel},
        {"silent-package-beside-program", SilentPackageBesideProgram},
        {"silent-serial", SilentSerial},
        {"silent-usb-no-port", SilentUsbWithoutPort},
        {"silent-bad-command-line", SilentBadCommandLine},
        {"usage-box", UsageBox},
        {"silent-record", SilentRecord},
        {"silent-remove", SilentRemove},
        {"silent-tcp-address", SilentTcpAddress},
        {"protected-print-policy", ProtectedPrintPolicy},
    };
    return kScenarios;
}

}  // namespace e2e
