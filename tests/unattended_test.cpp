// Runs started with options: the command line, silent installations on the
// simulated machine with their exit codes, the log, and the run mutex.
#include <iconv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "install/driver_catalogue.h"
#include "package/sha256.h"
#include "platform/sim/sim_version_info.h"
#include "program_version.h"
#include "run/installer_view.h"
#include "tests/support/package_builder.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_spooler.h"
#include "tests/support/installer_harness.h"
#include "tools/printer_sim/printer_emulator.h"
#include "tools/printer_sim/pty_pair.h"
#include "unattended/command_line.h"
#include "unattended/exit_codes.h"
#include "unattended/program.h"
#include "unattended/run_bound.h"

namespace {

using testing_support::InstallerHarness;
using unattended::CommandLine;
using unattended::PortChoice;

const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kReceiptModel = install::ReceiptSeriesNames[1];
const std::string kLabelModel = install::LabelSeriesNames[0];

// --- The command line --------------------------------------------------------

TEST(UnattendedCommandLine, AcceptsWindowsConventions) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(unattended::ParseCommandLine({"-s", "/model:\"Sample 80\"", "/Port=lpt:LPT2:", "/NODEFAULT",
                                              "/log=C:\\x y.log"},
                                             &line, &error))
        << error;
    EXPECT_TRUE(line.silent);
    EXPECT_FALSE(line.interactive);
    EXPECT_EQ(line.model, "Sample 80");
    EXPECT_EQ(line.port, PortChoice::kParallel);
    EXPECT_EQ(line.portName, "LPT2:");
    EXPECT_FALSE(line.setAsDefault);
    EXPECT_EQ(line.logPath, "C:\\x y.log");

    ASSERT_TRUE(unattended::ParseCommandLine({"/S", "/MODEL=m", "/PORT=SERIAL", "/BAUD=9600", "/USBRETRY=3"}, &line,
                                             &error));
    EXPECT_EQ(line.baudRate, 9600);
    EXPECT_EQ(line.usbRetries, 3);
    EXPECT_EQ(line.port, PortChoice::kSerial);
    ASSERT_TRUE(unattended::ParseCommandLine({}, &line, &error));
    EXPECT_TRUE(line.interactive);
    ASSERT_TRUE(unattended::ParseCommandLine({"/LOG=x.log"}, &line, &error));
    EXPECT_FALSE(line.silent);
    ASSERT_TRUE(unattended::ParseCommandLine({"/?"}, &line, &error));
    EXPECT_TRUE(line.help);

    // Removal shows no window, so it needs no /S.
    ASSERT_TRUE(unattended::ParseCommandLine({"/remove", "/MODEL=m"}, &line, &error)) << error;
    EXPECT_TRUE(line.remove);
    EXPECT_EQ(line.model, "m");
    // Digits and dots are an address; anything with a letter is a port name.
    ASSERT_TRUE(unattended::ParseCommandLine({"/S", "/MODEL=m", "/PORT=TCP:192.168.0.255"}, &line, &error));
    EXPECT_EQ(line.tcpAddress, "192.168.0.255");
    EXPECT_EQ(line.portName, "");
    ASSERT_TRUE(unattended::ParseCommandLine({"/S", "/MODEL=m", "/PORT=TCP:IP_10.0.0.5"}, &line, &error));
    EXPECT_EQ(line.tcpAddress, "");
    EXPECT_EQ(line.portName, "IP_10.0.0.5");
}

TEST(UnattendedCommandLine, RefusesWhatItCannotCarryOut) {
    const struct {
        std::vector<std::string> arguments;
        const char* errorMentions;
    } kCases[] = {
        {{"/S", "/MODEL=m", "/QUIET"}, "unknown option"},
        {{"S", "/MODEL=m"}, "not an option"},
        {{"/S", "/MODEL="}, "needs a value"},
        {{"/S", "/MODEL"}, "needs a value"},
        {{"/S=1", "/MODEL=m"}, "takes no value"},
        {{"/S"}, "needs /MODEL"},
        {{"/MODEL=m"}, "go with /S"},
        {{"/S", "/MODEL=m", "/PORT=WIFI"}, "unknown port type"},
        {{"/S", "/MODEL=m", "/PORT=USB:USB001"}, "takes no port name"},
        {{"/S", "/MODEL=m", "/PORT=LPT:"}, "names no port"},
        {{"/S", "/MODEL=m", "/BAUD=14400"}, "not one of the rates"},
        {{"/S", "/MODEL=m", "/BAUD=9600x"}, "not one of the rates"},
        {{"/S", "/MODEL=m", "/PORT=USB", "/BAUD=9600"}, "/PORT=SERIAL"},
        {{"/S", "/MODEL=m", "/USBRETRY=21"}, "0 to 20"},
        {{"/S", "/MODEL=m", "/USBRETRY=-1"}, "0 to 20"},
        {{"/REMOVE"}, "needs /MODEL"},
        {{"/REMOVE", "/MODEL=m", "/PORT=LPT"}, "takes only"},
        {{"/LIST", "/REMOVE"}, "takes no installation"},
        {{"/S", "/MODEL=m", "/PORT=TCP:10.0.0.256"}, "not an IPv4 address"},
        {{"/S", "/MODEL=m", "/PORT=TCP:10.0.0"}, "not an IPv4 address"},
        {{"/S", "/MODEL=m", "/PORT=TCP:10.0.0.5."}, "not an IPv4 address"},
        {{"/S", "/MODEL=m", "/PORT=TCP:10..0.5"}, "not an IPv4 address"},
        {{"/S", "/MODEL=m", "/PORT=TCP:010.0.0.5"}, "not an IPv4 address"},
        {{"/S", "/MODEL=m", "/PORT=TCP:1.2.3.4.5"}, "not an IPv4 address"},
    };
    for (const auto& c : kCases) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(unattended::ParseCommandLine(c.arguments, &line, &error)) << c.arguments.back();
        EXPECT_NE(error.find(c.errorMentions), std::string::npos) << c.arguments.back() << ": " << error;
    }
}

// Every command line the README and the deployment guide give an
// administrator to copy is one the program takes as an unattended run.
TEST(UnattendedCommandLine, TheDocumentedExamplesAreAccepted) {
    // After the program's name (also a full path's last part), or after
    // "arguments:" (win_package).
    const std::regex example(R"((?:^\s*|`|"" |cmd: |\\)DriverSetup\.exe"? ([^`]*)|arguments: (.*))");
    int checked = 0;
    for (const char* document : {"/README.md", "/docs/deploying.md"}) {
        std::ifstream in(std::string(INSTALLER_SOURCE_DIR) + document);
        ASSERT_TRUE(in) << document;
        for (std::string text; std::getline(in, text);) {
            std::smatch match;
            if (!std::regex_search(text, match, example)) continue;
            // Split as the C runtime splits a Windows command line: quotes
            // group and are dropped; cmd's redirections end it.
            std::vector<std::string> arguments(1);
            bool quoted = false;
            for (char c : match[1].matched ? match[1].str() : match[2].str()) {
                if (!quoted && (c == '>' || c == '|' || c == '&')) break;
                if (c == '"') {
                    quoted = !quoted;
                } else if (c == ' ' && !quoted) {
                    if (!arguments.back().empty()) arguments.emplace_back();
                } else {
                    arguments.back() += c;
                }
            }
            if (arguments.back().empty()) arguments.pop_back();
            CommandLine line;
            std::string error;
            EXPECT_TRUE(unattended::ParseCommandLine(arguments, &line, &error)) << document << ": " << text << ": "
                                                                                  << error;
            EXPECT_FALSE(line.interactive) << text;
            ++checked;
        }
    }
    EXPECT_GE(checked, 12);
}

// --- Silent runs on the simulated machine ---------------------------------------

std::string Utf8(const std::string& cp936) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    std::string out(cp936.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(cp936.data());
    size_t inLeft = cp936.size();
    char* at = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &at, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

class TestHost : public unattended::ProgramHost {
public:
    TestHost(platform::Machine& machine, std::string logPath) : m_machine(machine), m_logPath(std::move(logPath)) {}
    platform::Machine& Machine() override { return m_machine; }
    ui::Toolkit& ScreenToolkit() override {
        ADD_FAILURE() << "a run without a person asked for windows on the screen";
        return m_screen;
    }
    void WriteConsole(const std::string& text) override { console += text; }
    std::string DefaultLogPath() override { return m_logPath; }
    std::string ToUtf8(const std::string& text) override { return Utf8(text); }

    std::string console;

private:
    platform::Machine& m_machine;
    std::string m_logPath;
    ui::portable::PortableToolkit m_screen;
};

class SilentRunTest : public ::testing::Test {
protected:
    SilentRunTest() : host(harness.Machine(), LogPath()) {}

    // On the simulated machine, as a run of SYSTEM without GetTempPath2A logs.
    static std::string LogPath() { return "C:\\Windows\\Temp\\DriverSetup.log"; }
    void RemoveLog() { harness.Machine().files().DeleteFileA(LogPath().c_str()); }

    int Run(std::vector<std::string> arguments) { return unattended::RunProgram(arguments, host); }

    std::string Log() const { return harness.Machine().sim_files().ReadFile(LogPath()).value_or(""); }
    bool Logged(const std::string& cp936) const { return Log().find(Utf8(cp936)) != std::string::npos; }
    int UsbFailureBoxes() const {
        const std::string log = Log();
        const std::string box = Utf8("box [自动选择USB端口失败]");
        int boxes = 0;
        for (size_t at = log.find(box); at != std::string::npos; at = log.find(box, at + 1)) ++boxes;
        return boxes;
    }

    std::string PrinterPort(const std::string& name) {
        const auto printer = harness.Machine().sim_spooler().FindPrinter(name);
        return printer ? printer->port : std::string("(none)");
    }
    std::optional<std::string> DefaultPrinter() {
        return harness.Machine().sim_registry().GetString(win::HKEY_CURRENT_USER, kWindowsKey, "Device");
    }
    std::vector<std::string> DriverFiles(const std::string& driver) {
        auto& spooler = harness.Machine().sim_spooler();
        const auto record = spooler.FindDriver(driver, spooler.NativeEnvironment());
        return record ? record->installedFiles : std::vector<std::string>{};
    }
    bool HasDriver(const std::string& driver) { return !DriverFiles(driver).empty(); }
    bool HasMonitor() { return harness.Machine().sim_spooler().FindMonitor(install::CATALOGUE_MONITOR_NAME).has_value(); }
    int SpoolerStops() { return harness.Machine().sim_services().StopCount("Spooler"); }
    void AddUsbPorts(std::initializer_list<const char*> ports) {
        for (const char* port : ports) {
            harness.Machine().sim_spooler().AddPort(port, "USB Monitor", "Virtual printer port for USB");
        }
    }

    mutable InstallerHarness harness;
    TestHost host;
};

TEST_F(SilentRunTest, ParallelReceiptIsInstalledAndLoggedWithoutAScreen) {
    std::string lower = kReceiptModel;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Run({"/S", "/MODEL=" + lower, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();

    EXPECT_EQ(PrinterPort(kReceiptModel), "LPT1:");
    EXPECT_EQ(DefaultPrinter(), kReceiptModel + ",winspool,LPT1:");
    EXPECT_TRUE(harness.TempFolderEntries().empty()) << "the package is cleaned up";
    const std::string log = Log();
    EXPECT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0) << "byte-order mark";
    EXPECT_NE(log.find("DriverSetup started: /S \"/MODEL=" + lower + "\" /PORT=LPT"), std::string::npos) << log;
    EXPECT_TRUE(Logged("status: 安装已完成"));
    EXPECT_TRUE(Logged("status: 设置打印机" + kReceiptModel + "为默认打印机"));
    EXPECT_NE(log.find("AddPrinterA"), std::string::npos) << "the machine's calls are logged";
    EXPECT_NE(log.find("dialog 137 opened"), std::string::npos) << "the parallel port dialog was answered";
    EXPECT_NE(log.find("exit code 0"), std::string::npos);
    EXPECT_TRUE(host.console.empty()) << host.console;
}

TEST_F(SilentRunTest, LabelWithoutDefaultOnANamedParallelPort) {
    EXPECT_EQ(Run({"/S", "/MODEL=" + kLabelModel, "/PORT=LPT:lpt2", "/NODEFAULT"}), unattended::EXIT_INSTALLED)
        << Log();
    EXPECT_EQ(PrinterPort(kLabelModel), "LPT2:");
    EXPECT_FALSE(DefaultPrinter().has_value()) << *DefaultPrinter();
    EXPECT_TRUE(harness.Machine().sim_spooler().FindMonitor("Advanced Language Monitor").has_value());

    // Runs that share a log add to it: the installation's lines stay.
    ASSERT_EQ(Run({"/S", "/REMOVE", "/MODEL=" + kLabelModel}), unattended::EXIT_INSTALLED) << Log();
    const std::string log = Log();
    const size_t installation = log.find("DriverSetup started: /S \"/MODEL=" + kLabelModel + "\"");
    const size_t removal = log.find("DriverSetup started: /S /REMOVE");
    ASSERT_NE(installation, std::string::npos) << log;
    ASSERT_NE(removal, std::string::npos) << log;
    EXPECT_LT(installation, removal);
    EXPECT_EQ(log.find("\xEF\xBB\xBF", 3), std::string::npos) << "one byte-order mark, at the start";
}

TEST_F(SilentRunTest, UsbExitCodeSaysWhetherThePrinterAnswered) {
    const struct {
        const char* attachedAt;
        const char* retries;
        int code;
        const char* port;
        int boxes;
    } kCases[] = {
        {"USB002", "0", unattended::EXIT_INSTALLED, "USB002", 0},
        {nullptr, "0", unattended::EXIT_PORT_NOT_FOUND, "USB002", 1},
        {nullptr, "2", unattended::EXIT_PORT_NOT_FOUND, "USB002", 3},
    };
    AddUsbPorts({"USB001", "USB002"});
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.retries);
        for (const char* port : {"USB001", "USB002"}) harness.Machine().sim_spooler().DetachUsbPrinter(port);
        if (c.attachedAt) harness.Machine().sim_spooler().AttachUsbPrinter(c.attachedAt);
        RemoveLog();
        EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=USB", std::string("/USBRETRY=") + c.retries}), c.code);
        EXPECT_EQ(PrinterPort(kReceiptModel), c.port);
        EXPECT_EQ(UsbFailureBoxes(), c.boxes) << Log();
    }
}

// Every port tried costs a spooler restart (here about 30 s): one search
// over sixteen ports outlasts the bound, twenty retries would take hours.
// Past the bound no port is tried and no Retry given; only the try under
// way finishes.
TEST_F(SilentRunTest, UsbRetriesStopAtTheRunsTimeBound) {
    for (int number = 1; number <= 16; ++number) {
        char port[8];
        std::snprintf(port, sizeof(port), "USB%03d", number);
        AddUsbPorts({port});
    }
    harness.Machine().sim_services().SetBehaviour("Spooler", platform::sim::SimServiceBehaviour::Slow(150));
    const unsigned long long before = harness.Machine().SleptMilliseconds();
    const int stopsBefore = SpoolerStops();

    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=USB", "/USBRETRY=20"}), unattended::EXIT_PORT_NOT_FOUND)
        << Log();

    const unsigned long long took = harness.Machine().SleptMilliseconds() - before;
    const unsigned long long restarts = static_cast<unsigned long long>(SpoolerStops() - stopsBefore);
    ASSERT_GT(restarts, 0u);
    // The run sleeps only in the restarts' waits and half a second at the end.
    const unsigned long long oneRestart = took / restarts;
    EXPECT_GE(took, unattended::SILENT_RETRY_BOUND_MS) << "it kept trying until the bound";
    EXPECT_LE(took, unattended::SILENT_RETRY_BOUND_MS + oneRestart) << "at most the try under way after it";
    EXPECT_LT(UsbFailureBoxes(), 21) << "the retries left were not all spent";
    EXPECT_NE(Log().find("the run's bound of 420 s is spent"), std::string::npos) << Log();
}

TEST_F(SilentRunTest, UsbWithoutAUsbPortStaysOnTheParallelPort) {
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=USB"}), unattended::EXIT_PORT_NOT_FOUND) << Log();
    EXPECT_EQ(PrinterPort(kReceiptModel), "LPT1:");
    EXPECT_NE(Log().find("result: installed, but no USB port answered"), std::string::npos) << Log();
}

TEST_F(SilentRunTest, SerialSearchFindsThePrinterAtTheRateGiven) {
    std::vector<std::unique_ptr<printer_sim::PtyPair>> ptys;
    for (int number : {1, 2}) {
        ptys.push_back(std::make_unique<printer_sim::PtyPair>());
        ASSERT_TRUE(ptys.back()->ok());
        harness.Machine().sim_serial().MapPort(number, ptys.back()->slavePath());
        harness.Machine().AddSerialDevice("\\Device\\Serial" + std::to_string(number), "COM" + std::to_string(number));
    }
    printer_sim::PrinterOptions options;
    options.requiredBaud = 9600;
    printer_sim::PrinterEmulator printer(ptys[1]->master(), options);
    printer.Start();

    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=SERIAL", "/BAUD=9600"}), unattended::EXIT_INSTALLED)
        << Log();
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM2:");
    EXPECT_TRUE(Logged("silent: serial prompt: 需要 at 9600"));

    // Without a rate the prompt is declined: installed, nothing found.
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=SERIAL"}), unattended::EXIT_PORT_NOT_FOUND) << Log();
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM1:");
}

// Every failure ends in 1603 with the box that told of it and its answer,
// also the one after which the installer closes itself.
TEST_F(SilentRunTest, FailuresEndIn1603WithTheirMessage) {
    const struct {
        const char* call;
        std::string model;
        const char* box;
        const char* answer;
    } kCases[] = {
        {"AddPrinterDriverExA", kReceiptModel, "box [错误] 添加驱动失败 5", "box answered: Cancel"},
        {"AddPrinterA", kReceiptModel, "box [错误提示] Error AddPrinter  5", "box answered: OK"},
        {"AddMonitorA", kLabelModel, "添加监视器出错", "box answered: OK"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.call);
        RemoveLog();
        harness.Machine().env().InjectFault(c.call, win::ERROR_ACCESS_DENIED, 1);
        EXPECT_EQ(Run({"/S", "/MODEL=" + c.model, "/PORT=LPT"}), unattended::EXIT_FAILED) << Log();
        EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(c.model).has_value());
        EXPECT_TRUE(Logged(c.box)) << Log();
        EXPECT_NE(Log().find(c.answer), std::string::npos);
        EXPECT_NE(Log().find("exit code 1603"), std::string::npos);
        harness.Machine().env().ClearFaults();
    }
}

// A command line that cannot be carried out ends in 1639, and one asking
// for a port the machine lacks in 1796, before anything is unpacked,
// stopped or installed, and says why.
TEST_F(SilentRunTest, BadCommandLineTouchesNothingAndSaysWhy) {
    const int stopsBefore = SpoolerStops();
    const struct {
        std::vector<std::string> arguments;
        int code;
    } kCases[] = {
        {{"/S", "/MODEL=No Such Printer", "/PORT=LPT"}, unattended::EXIT_BAD_COMMAND_LINE},
        {{"/S", "/MODEL=" + kReceiptModel, "/PORT=WIFI"}, unattended::EXIT_BAD_COMMAND_LINE},
        {{"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT:LPT9"}, unattended::EXIT_NO_SUCH_PORT},
        {{"/S", "/MODEL=" + kReceiptModel, "/PORT=TCP"}, unattended::EXIT_NO_SUCH_PORT},
    };
    for (const auto& c : kCases) {
        const std::vector<std::string>& arguments = c.arguments;
        SCOPED_TRACE(arguments[1] + " " + arguments[2]);
        RemoveLog();
        EXPECT_EQ(Run(arguments), c.code) << Log();
        EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
        EXPECT_FALSE(harness.Machine().sim_spooler().FindDriver(kReceiptModel, "Windows x64").has_value());
        EXPECT_TRUE(harness.TempFolderEntries().empty());
        EXPECT_NE(Log().find(c.code == unattended::EXIT_BAD_COMMAND_LINE ? "invalid command line"
                                                                         : "this machine lacks the port"),
                  std::string::npos)
            << Log();
    }
    EXPECT_EQ(SpoolerStops(), stopsBefore);
    EXPECT_NE(host.console.find("unknown port type"), std::string::npos) << host.console;

    // With /S nothing shows on the screen (the host fails the test if asked).
    host.console.clear();
    EXPECT_EQ(Run({"/S", "C:\\Users\\a\\dropped.txt"}), unattended::EXIT_BAD_COMMAND_LINE);
    EXPECT_EQ(Run({"/S", "/?"}), 0);
    EXPECT_NE(host.console.find(std::string("DriverSetup ") + app::PROGRAM_VERSION + "\r\n"), std::string::npos)
        << host.console;
    EXPECT_NE(host.console.find("/MODEL=name"), std::string::npos);
}

// Started from Explorer (a file dropped on it) the program has no console:
// the usage, its error line first, is a message box, as msiexec shows one.
// A host with a screen: the portable toolkit, which records every window.
class ScreenHost : public TestHost {
public:
    using TestHost::TestHost;
    ui::Toolkit& ScreenToolkit() override { return screen; }
    ui::portable::PortableToolkit screen;
};

TEST_F(SilentRunTest, WithoutSTheUsageIsAMessageBox) {
    ScreenHost boxHost(harness.Machine(), LogPath());
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        const char* firstLine;
        unsigned icon;
    } cases[] = {
        {{"C:\\Users\\a\\dropped.txt"}, unattended::EXIT_BAD_COMMAND_LINE,
         "DriverSetup: not an option: \"C:\\Users\\a\\dropped.txt\"\r\n", win::MB_ICONEXCLAMATION},
        {{"/?"}, 0, "DriverSetup ", win::MB_ICONINFORMATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        int code = -1;
        std::thread run([&] { code = unattended::RunProgram(c.arguments, boxHost); });
        const ui::HWND box = boxHost.screen.WaitForMessageBox(std::chrono::seconds(5));
        const ui::portable::WindowState state = boxHost.screen.WindowStateOf(box);
        if (box != nullptr) boxHost.screen.AnswerMessageBox(box, win::IDOK);
        run.join();
        ASSERT_NE(box, nullptr) << "no box";
        EXPECT_EQ(state.text.rfind(c.firstLine, 0), 0u) << state.text;
        EXPECT_NE(state.text.find(std::string("DriverSetup ") + app::PROGRAM_VERSION), std::string::npos);
        EXPECT_NE(state.text.find("/MODEL=name"), std::string::npos);
        EXPECT_EQ(state.boxType & win::MB_ICONMASK, c.icon);
        EXPECT_EQ(code, c.exitCode);
    }
}

// --- The installation record -------------------------------------------------

TEST_F(SilentRunTest, TheRecordIsWrittenInThe64BitViewAndGoesWithTheRemoval) {
    const std::string package =
        testing_support::BuildPackage({{"Ticket/x64/uniDRV.DLL", "MZ" + platform::sim::VersionBlock(3, 0, 1, 7)}});
    harness.UsePackage(package);
    package::Sha256 hash;
    hash.Update(package.data(), package.size());
    const std::string packageSha256 = hash.FinishHex();
    harness.Machine().SetSystemTime({2026, 1, 6, 31, 9, 5, 7, 0});
    auto& registry = harness.Machine().sim_registry();
    const std::string key = "SOFTWARE\\DriverSetup\\Printers\\" + kReceiptModel;

    // A record that cannot be written is logged; the run's outcome stays.
    harness.Machine().env().InjectFault("RegDeleteKeyExA", win::ERROR_ACCESS_DENIED);
    ASSERT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_TRUE(Logged("record: not written: the earlier record HKLM\\" + key + " cannot be replaced (error 5)"))
        << Log();
    EXPECT_FALSE(registry.KeyExists(win::HKEY_LOCAL_MACHINE, key));

    registry.SetString(win::HKEY_LOCAL_MACHINE, key, "Stale", "from an older installation");
    RemoveLog();
    ASSERT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    const std::string log = Log();
    const std::string firstLine = log.substr(0, log.find("\r\n"));
    EXPECT_NE(firstLine.find(std::string("; version ") + app::PROGRAM_VERSION +
                             "; package C:\\Setup\\DriverData.Drv SHA-256 " + packageSha256),
              std::string::npos)
        << firstLine;
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, key, "ProgramVersion"), app::PROGRAM_VERSION);
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, key, "PackageSha256"), packageSha256);
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, key, "DriverVersion"), "3.0.1.7");
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, key, "Port"), "LPT1:");
    EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, key, "InstalledAt"), "2026-01-31T09:05:07Z");
    EXPECT_FALSE(registry.GetString(win::HKEY_LOCAL_MACHINE, key, "Stale").has_value()) << "written whole";
    EXPECT_FALSE(registry.KeyExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\DriverSetup"))
        << "a 32-bit program's own view is not where engines look";

    registry.SetString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\DriverSetup\\Printers\\Another", "Port", "LPT2:");
    ASSERT_EQ(Run({"/S", "/REMOVE", "/MODEL=" + kReceiptModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(registry.KeyExists(win::HKEY_LOCAL_MACHINE, key));
    EXPECT_TRUE(registry.KeyExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\DriverSetup\\Printers\\Another"));
    registry.DeleteKey(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\DriverSetup\\Printers\\Another");
    // A printer already gone still has its record removed, and the keys it
    // leaves empty with it.
    registry.SetString(win::HKEY_LOCAL_MACHINE, key, "Port", "LPT1:");
    ASSERT_EQ(Run({"/S", "/REMOVE", "/MODEL=" + kReceiptModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(registry.KeyExists(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\DriverSetup"));
}

// A person at the window (no argument at all) gets the same record.
TEST_F(SilentRunTest, APersonsInstallationWritesTheRecordToo) {
    using namespace std::chrono_literals;
    ScreenHost person(harness.Machine(), LogPath());
    ui::portable::PortableToolkit& screen = person.screen;
    // One parallel port: Install asks no more.
    harness.Machine().sim_spooler().RemovePort("LPT2:");
    harness.Machine().sim_spooler().RemovePort("LPT3:");
    int code = -1;
    std::thread run([&] { code = unattended::RunProgram({}, person); });
    const ui::HWND main = screen.WaitForWindowByCaption("设置并安装票据/标签 驱动", 5s);
    const auto installButton = [&] {
        const ui::portable::WindowState state = screen.WindowStateOf(main);
        const ui::portable::ControlState* button = state.Control(1012);
        return button != nullptr ? *button : ui::portable::ControlState{};
    };
    bool done = false;
    if (main != nullptr && screen.WaitFor([&](const auto&) { return installButton().enabled; }, 10s)) {
        const auto items = screen.WindowStateOf(main).Control(1000)->items;
        const auto model = std::find(items.begin(), items.end(), kReceiptModel);
        screen.SelectComboItem(main, 1000, static_cast<int>(model - items.begin()));
        screen.SelectListRow(main, 1004, 2);  // parallel
        screen.Click(main, 1012);
        done = screen.WaitFor(
            [&](const auto&) { return installButton().enabled && installButton().text == run::TEXT_DONE; }, 20s);
    }
    if (done) {
        screen.Click(main, 1012);
    } else if (main != nullptr) {
        ADD_FAILURE() << screen.Describe();
        screen.CloseWindow(main);
    }
    run.join();
    EXPECT_EQ(code, win::IDOK);
    const std::string key = "SOFTWARE\\DriverSetup\\Printers\\" + kReceiptModel;
    EXPECT_EQ(harness.Machine().sim_registry().GetString(win::HKEY_LOCAL_MACHINE, key, "ProgramVersion"),
              app::PROGRAM_VERSION);
    EXPECT_EQ(harness.Machine().sim_registry().GetString(win::HKEY_LOCAL_MACHINE, key, "Port"), "LPT1:");
    // Fingerprinted when the record is written, not before the window opens.
    const auto bytes = harness.Machine().sim_files().ReadFile("C:\\Setup\\DriverData.Drv");
    ASSERT_TRUE(bytes.has_value());
    package::Sha256 hash;
    hash.Update(bytes->data(), bytes->size());
    EXPECT_EQ(harness.Machine().sim_registry().GetString(win::HKEY_LOCAL_MACHINE, key, "PackageSha256"),
              hash.FinishHex());
}

TEST_F(SilentRunTest, TheSameCommandTwiceGivesTheSameMachineAndCode) {
    AddUsbPorts({"USB001"});
    harness.Machine().sim_spooler().AttachUsbPrinter("USB001");
    const std::vector<std::string> arguments = {"/S", "/MODEL=" + kLabelModel, "/PORT=USB"};
    const int first = Run(arguments);
    const std::string stateAfterFirst = harness.Machine().sim_spooler().ToString();
    const auto defaultAfterFirst = DefaultPrinter();
    EXPECT_EQ(first, unattended::EXIT_INSTALLED) << Log();
    EXPECT_EQ(Run(arguments), first) << Log();
    EXPECT_EQ(harness.Machine().sim_spooler().ToString(), stateAfterFirst);
    EXPECT_EQ(DefaultPrinter(), defaultAfterFirst);
}

TEST_F(SilentRunTest, AnotherRunHoldingTheMutexStopsASilentRun) {
    platform::Machine& machine = harness.Machine();
    win::HANDLE space = nullptr;
    win::HANDLE held = machine.sync().CreatePrivateNamespaceMutex(1, unattended::INSTALLER_NAMESPACE,
                                                                  unattended::INSTALLER_NAMESPACE_MUTEX, &space);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_ANOTHER_RUN);
    EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
    EXPECT_TRUE(harness.TempFolderEntries().empty());
    EXPECT_NE(Log().find("another run of the installer is in progress"), std::string::npos);
    machine.sync().ReleaseMutex(held);
    machine.sync().CloseHandle(held);
    machine.sync().ClosePrivateNamespace(space, 0);
    // Once the other run has ended, the same command goes through.
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
}

// A standard user who shares the machine runs a program of their own on
// the same sandbox: a second process with a standard user's token.
std::unique_ptr<platform::sim::SimMachine> StandardUserProcess(platform::sim::SimMachine& machine) {
    const std::string sandbox = std::filesystem::path(machine.sim_files().HostRoot()).parent_path().string();
    auto user = std::make_unique<platform::sim::SimMachine>(sandbox);
    user->SetToken(platform::sim::SimToken::kStandardUser);
    return user;
}

TEST_F(SilentRunTest, AStandardUserCanNeitherStopNorUnlockTheRuns) {
    auto user = StandardUserProcess(harness.Machine());
    // The name runs once used, taken first; and the namespace, which the
    // boundary refuses to them.
    win::HANDLE squatted = user->sync().CreateMutexA(nullptr, 1, unattended::INSTALLER_MUTEX_NAME);
    ASSERT_NE(squatted, nullptr);
    win::HANDLE space = nullptr;
    EXPECT_EQ(user->sync().CreatePrivateNamespaceMutex(1, unattended::INSTALLER_NAMESPACE,
                                                       unattended::INSTALLER_NAMESPACE_MUTEX, &space),
              nullptr);
    EXPECT_EQ(user->GetLastError(), win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(space, nullptr);
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();

    // The standard user's own run cannot take the lock: it says that it
    // needs an administrator and changes nothing, with the code for that.
    TestHost userHost(*user, LogPath());
    EXPECT_EQ(unattended::RunProgram({"/S", "/REMOVE", "/MODEL=" + kReceiptModel}, userHost),
              unattended::EXIT_NOT_ELEVATED);
    EXPECT_TRUE(Logged(std::string("not elevated: ") + install::TEXT_NOT_ELEVATED)) << Log();
    EXPECT_TRUE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
    user->sync().CloseHandle(squatted);
}

// Without private namespaces (Windows XP, Wine) the global name is all
// there is; a mutex the run may not open is no licence to run unlocked.
TEST_F(SilentRunTest, WithoutPrivateNamespacesTheGlobalNameLocksAndADeniedOneStops) {
    harness.Machine().sim_sync().SetPrivateNamespaces(false);
    platform::Machine& machine = harness.Machine();
    win::HANDLE held = machine.sync().CreateMutexA(nullptr, 1, unattended::INSTALLER_MUTEX_NAME);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_ANOTHER_RUN);
    machine.sync().CloseHandle(held);

    // A standard user's object of that name, which an administrator's
    // token may not open.
    harness.Machine().env().InjectFault("CreateMutexA", win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_FAILED);
    EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
    const std::string log = Log();
    EXPECT_NE(log.find("has no private namespaces"), std::string::npos) << log;
    EXPECT_NE(log.find("cannot take the run's mutex (error 5"), std::string::npos) << log;
    EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
}

// --- The log, where a standard user may make entries ------------------------------

// What a standard user can plant at the log's name in a folder where anyone
// may create entries: a link to a file of the system, or a second name for
// it. The elevated run writes neither, says why in the default log and on
// the console, and still does its work.
TEST_F(SilentRunTest, ALogAtALinkIsRefusedAndTheDefaultLogSaysWhy) {
    auto& files = harness.Machine().sim_files();
    const std::string precious = "C:\\Windows\\System32\\drivers\\etc\\hosts";
    ASSERT_TRUE(files.WriteFile(precious, "127.0.0.1 localhost\r\n"));
    ASSERT_TRUE(files.WriteFile("C:\\Users\\Public\\readme.txt", ""));  // the folder
    const struct {
        const char* kind;
        const char* at;
        std::function<bool(const std::string& at)> plant;
        const char* why;
    } kCases[] = {
        {"symbolic link", "C:\\Users\\Public\\setup.log",
         [&](const std::string& at) { return files.MakeLink(at, files.HostPath(precious)); },
         "is a link (a reparse point)"},
        {"hard link", "C:\\Users\\Public\\install.log",
         [&](const std::string& at) { return files.MakeHardLink(at, precious); }, "is a file with 2 names"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.kind);
        RemoveLog();
        host.console.clear();
        const std::string planted = c.at;
        ASSERT_TRUE(c.plant(planted));
        EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT", "/LOG=" + planted}), unattended::EXIT_INSTALLED)
            << Log();
        EXPECT_EQ(files.ReadFile(precious), "127.0.0.1 localhost\r\n");
        const std::string log = Log();
        EXPECT_NE(log.find("the log " + planted + " is not written: it " + c.why), std::string::npos) << log;
        EXPECT_NE(log.find("exit code 0"), std::string::npos) << log;
        EXPECT_NE(host.console.find(c.why), std::string::npos) << host.console;
    }
}

// A /LOG in a folder that is not there yet: the folders are made.
TEST_F(SilentRunTest, TheLogsMissingFoldersAreMade) {
    const std::string path = "C:\\ProgramData\\PrinterSetup\\Logs\\setup.log";
    EXPECT_EQ(Run({"/S", "/REMOVE", "/MODEL=" + kReceiptModel, "/LOG=" + path}), unattended::EXIT_INSTALLED);
    const auto log = harness.Machine().sim_files().ReadFile(path);
    ASSERT_TRUE(log.has_value());
    EXPECT_NE(log->find("exit code 0"), std::string::npos) << *log;
    EXPECT_TRUE(host.console.empty()) << host.console;
}

// --- Removal ---------------------------------------------------------------------

// Two receipt drivers share the universal driver's files: removing one
// leaves the files the other still uses.
TEST_F(SilentRunTest, RemovalTakesPrinterDriverFilesAndMonitorThatNothingElseNeeds) {
    const std::string otherReceipt = install::ReceiptSeriesNames[2];
    for (const std::string& model : {kReceiptModel, otherReceipt, kLabelModel}) {
        ASSERT_EQ(Run({"/S", "/MODEL=" + model, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    }
    const std::vector<std::string> receiptFiles = DriverFiles(kReceiptModel);
    const std::vector<std::string> otherFiles = DriverFiles(otherReceipt);
    const int stops = SpoolerStops();
    // The deployment guide's detection rule: this key is there exactly while the printer is.
    const std::string detectionKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + kReceiptModel;
    EXPECT_TRUE(harness.Machine().sim_registry().KeyExists(win::HKEY_LOCAL_MACHINE, detectionKey));
    // Jobs waiting would keep a deleted printer, and its driver, until printed.
    ASSERT_TRUE(harness.Machine().sim_spooler().QueueJobs(kReceiptModel, 2));

    EXPECT_EQ(Run({"/REMOVE", "/MODEL=" + kReceiptModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
    EXPECT_FALSE(harness.Machine().sim_registry().KeyExists(win::HKEY_LOCAL_MACHINE, detectionKey));
    EXPECT_FALSE(HasDriver(kReceiptModel));
    int shared = 0;
    for (const std::string& file : receiptFiles) {
        const bool used = std::find(otherFiles.begin(), otherFiles.end(), file) != otherFiles.end();
        shared += used;
        EXPECT_EQ(harness.Machine().sim_files().Exists(file), used) << file;
    }
    EXPECT_GT(shared, 0) << "the receipt drivers share no file: the case is not exercised";

    EXPECT_EQ(Run({"/S", "/REMOVE", "/MODEL=" + kLabelModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(HasDriver(kLabelModel));
    EXPECT_FALSE(HasMonitor());
    EXPECT_TRUE(HasDriver(otherReceipt));
    EXPECT_EQ(SpoolerStops(), stops) << "nothing held: the spooler is not restarted";
    EXPECT_NE(Log().find("remove: printer \"" + kLabelModel + "\" deleted"), std::string::npos) << Log();
}

TEST_F(SilentRunTest, RemovalKeepsADriverOrMonitorStillInUse) {
    const std::string otherLabel = install::LabelSeriesNames[1];
    ASSERT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    ASSERT_EQ(Run({"/S", "/MODEL=" + kLabelModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    ASSERT_EQ(Run({"/S", "/MODEL=" + otherLabel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    win::PRINTER_INFO_2 info{};
    info.pPrinterName = const_cast<char*>("Front Desk");
    info.pPortName = const_cast<char*>("LPT2:");
    info.pDriverName = const_cast<char*>(kReceiptModel.c_str());
    win::HANDLE second = harness.Machine().spooler().AddPrinterA(nullptr, 2, reinterpret_cast<win::BYTE*>(&info));
    ASSERT_NE(second, nullptr);
    harness.Machine().spooler().ClosePrinter(second);

    EXPECT_EQ(Run({"/REMOVE", "/MODEL=" + kReceiptModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
    EXPECT_TRUE(HasDriver(kReceiptModel));
    EXPECT_TRUE(Logged("remove: driver \"" + kReceiptModel + "\" stays: printer \"Front Desk\" uses it")) << Log();

    EXPECT_EQ(Run({"/REMOVE", "/MODEL=" + kLabelModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(HasDriver(kLabelModel));
    EXPECT_TRUE(HasMonitor());
    EXPECT_TRUE(Logged("stays: driver \"" + otherLabel)) << Log();
}

// Our driver registered with another vendor's language monitor: the
// driver goes, the monitor is not ours to take.
TEST_F(SilentRunTest, RemovalLeavesAForeignMonitor) {
    auto& spooler = harness.Machine().sim_spooler();
    platform::sim::SimSpooler::SavedState state = spooler.SaveState();
    platform::sim::SimSpooler::DriverRecord driver;
    driver.version = 3;
    driver.name = kLabelModel;
    driver.environment = platform::sim::kSimEnvironmentX64;
    driver.monitorName = "Other Monitor";
    state.drivers.push_back(driver);
    state.monitors.push_back({"Other Monitor", driver.environment, "C:\\Windows\\System32\\other.dll"});
    state.printers.push_back({kLabelModel, "LPT1:", kLabelModel, "WinPrint", "RAW"});
    spooler.RestoreState(state);
    EXPECT_EQ(Run({"/REMOVE", "/MODEL=" + kLabelModel}), unattended::EXIT_INSTALLED) << Log();
    EXPECT_FALSE(spooler.FindDriver(kLabelModel, driver.environment).has_value()) << Log();
    EXPECT_TRUE(spooler.FindMonitor("Other Monitor").has_value()) << Log();
}

TEST_F(SilentRunTest, RemovingAPrinterThatIsNotThereChangesNothing) {
    ASSERT_EQ(Run({"/S", "/MODEL=" + kLabelModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
    const std::string before = harness.Machine().sim_spooler().ToString();
    for (bool silent : {false, true}) {
        std::vector<std::string> arguments = {"/REMOVE", "/MODEL=No Such Printer"};
        if (silent) arguments.push_back("/S");
        EXPECT_EQ(Run(arguments), unattended::EXIT_INSTALLED) << Log();
    }
    EXPECT_EQ(harness.Machine().sim_spooler().ToString(), before);
    EXPECT_NE(Log().find("there is no printer \"No Such Printer\": nothing to remove"), std::string::npos) << Log();
}

TEST_F(SilentRunTest, RefusedDriverDeletion) {
    const struct {
        win::DWORD error;
        int code;
        bool driverStays;
        int restarts;
        const char* logged;
    } kCases[] = {
        {win::ERROR_ACCESS_DENIED, unattended::EXIT_FAILED, true, 0, "was not deleted (error 5)"},
        // The spooler still holds it: restarted once, then deleted.
        {win::ERROR_PRINTER_DRIVER_IN_USE, unattended::EXIT_INSTALLED, false, 1, "the spooler still holds driver"},
        // A spooler that cannot delete files with the driver.
        {win::ERROR_INVALID_PARAMETER, unattended::EXIT_INSTALLED, false, 0, "only the registration"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.error);
        RemoveLog();
        ASSERT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, "/PORT=LPT"}), unattended::EXIT_INSTALLED) << Log();
        const int stops = SpoolerStops();
        harness.Machine().env().InjectFault("DeletePrinterDriverExA", c.error, 1);
        EXPECT_EQ(Run({"/S", "/REMOVE", "/MODEL=" + kReceiptModel}), c.code) << Log();
        EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
        EXPECT_EQ(HasDriver(kReceiptModel), c.driverStays);
        EXPECT_EQ(SpoolerStops() - stops, c.restarts);
        EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
        EXPECT_NE(Log().find("exit code " + std::to_string(c.code)), std::string::npos);
    }
}

// --- TCP/IP port by address -----------------------------------------------------------

TEST_F(SilentRunTest, TcpAddressCreatesThePortOnceAndFindsItAgain) {
    const std::vector<std::string> arguments = {"/S", "/MODEL=" + kReceiptModel, "/PORT=TCP:192.0.2.7"};
    EXPECT_EQ(Run(arguments), unattended::EXIT_INSTALLED) << Log();
    EXPECT_EQ(PrinterPort(kReceiptModel), "IP_192.0.2.7");
    EXPECT_NE(Log().find("created the standard TCP/IP port \"IP_192.0.2.7\" for 192.0.2.7, raw on port 9100"),
              std::string::npos)
        << Log();
    const size_t ports = harness.Machine().sim_spooler().Ports().size();

    RemoveLog();
    EXPECT_EQ(Run(arguments), unattended::EXIT_INSTALLED) << Log();
    EXPECT_EQ(harness.Machine().sim_spooler().Ports().size(), ports);
    EXPECT_NE(Log().find("\"IP_192.0.2.7\" prints to 192.0.2.7: used"), std::string::npos) << Log();
}

TEST_F(SilentRunTest, TcpAddressThatCannotBeHadInstallsNothing) {
    const struct {
        const char* address;
        const char* faultOn;  // the call that fails, or the port already taken
        int code;
        const char* logged;
    } kCases[] = {
        // A port of the name exists on another monitor: the TCP/IP monitor refuses a second one.
        {"192.0.2.8", "taken", unattended::EXIT_FAILED, "did not create \"IP_192.0.2.8\" for 192.0.2.8 (status 183)"},
        // No TCP/IP monitor to open, as under Wine.
        {"192.0.2.9", "no monitor", unattended::EXIT_NO_PORT_MONITOR,
         "the spooler has no \"Standard TCP/IP Port\" monitor"},
        // Refused for another reason: the monitor may well be there.
        {"192.0.2.10", "refused", unattended::EXIT_FAILED, "did not open its \"Standard TCP/IP Port\" monitor"},
    };
    harness.Machine().sim_spooler().AddPort("IP_192.0.2.8", platform::sim::kSimLocalMonitor, "Local Port");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.address);
        RemoveLog();
        const std::string fault = c.faultOn;
        if (fault != "taken") {
            harness.Machine().env().InjectFault(
                "OpenPrinterA", fault == "no monitor" ? win::ERROR_INVALID_PRINTER_NAME : win::ERROR_ACCESS_DENIED, 1);
        }
        EXPECT_EQ(Run({"/S", "/MODEL=" + kReceiptModel, std::string("/PORT=TCP:") + c.address}), c.code) << Log();
        EXPECT_FALSE(harness.Machine().sim_spooler().FindPrinter(kReceiptModel).has_value());
        EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
    }
}

}  // namespace
