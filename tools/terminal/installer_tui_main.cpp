// installer_tui: the installer on a simulated Windows machine, in a terminal.
#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/terminal/front_end.h"
#include "tools/terminal/front_end_machine.h"
#include "tools/terminal/front_end_options.h"
#include "tools/terminal/host_log_files.h"
#include "tools/terminal/machine_report.h"
#include "tools/terminal/text_display.h"
#include "ui/portable/portable_toolkit.h"
#include "unattended/command_line.h"
#include "unattended/exit_codes.h"
#include "unattended/program.h"

namespace {

std::atomic<bool> g_signalled{false};

void OnSignal(int) { g_signalled = true; }

const char kUsage[] =
    "Usage: installer_tui [options] [installer options]\n"
    "Runs the printer driver installer on a simulated 64-bit Windows 10 machine in\n"
    "this terminal. The machine has the ports COM1: COM2: LPT1: USB001 USB002 FILE:\n"
    "and IP_192.168.1.100 (standard TCP/IP); a USB receipt printer is attached at\n"
    "USB002 and a serial receipt printer answers on COM2 at 9600 bps (COM1 is\n"
    "silent). The machine is saved when the installer ends, so the next run sees\n"
    "its printers.\n"
    "\n"
    "Options:\n"
    "  --machine DIR        the machine's folder (default ./installer-machine):\n"
    "                       its C:\\ tree and its saved state\n"
    "  --reset              start from the default machine\n"
    "  --state              print the saved machine (printers, drivers, monitors,\n"
    "                       default printer, COM settings) and exit\n"
    "  --package PATH       the driver package to put in the working folder\n"
    "                       (default: DriverData.Drv of the build)\n"
    "  --port-wizard MODE   what the spooler's TCP/IP port wizard does when the\n"
    "                       network port dialog asks for a new port:\n"
    "                         create[=NAME]  creates NAME (default IP_192.168.1.200)\n"
    "                         cancel         the user cancels it\n"
    "                         fail=CODE      it fails with error CODE\n"
    "                       (default create)\n"
    "  --time-scale X       scale of the installer's pauses (default 1; 0: none)\n"
    "  --help               this text\n"
    "\n"
    "Installer options (/S, /MODEL=..., /PORT=..., /LOG=..., /? ...) are the Windows\n"
    "program's own; with /S the installation runs without a screen, writes its\n"
    "log and ends with the program's exit code. installer_tui /? lists them.\n"
    "\n"
    "Keys: Tab/Shift+Tab move, arrows choose, F4 opens the model list, Enter,\n"
    "Space, Esc as in a Windows dialog; mouse clicks where the terminal has them.\n"
    "Ctrl+C (or F10) answers the open boxes, closes the dialogs and exits.\n";

// ncursesw draws the CP936 texts after converting them to UTF-8, so the
// terminal's locale must be a UTF-8 one.
void UseUtf8Locale() {
    const char* set = std::setlocale(LC_ALL, "");
    const char* codeset = set != nullptr ? nl_langinfo(CODESET) : "";
    if (set == nullptr || std::strcmp(codeset, "UTF-8") != 0) std::setlocale(LC_ALL, "C.UTF-8");
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The installer on the simulated machine, for the shared program start.
class TerminalHost : public unattended::ProgramHost {
public:
    TerminalHost(terminal::FrontEndMachine& machine, ui::portable::PortableToolkit& screen)
        : m_machine(machine), m_screen(screen) {}
    platform::Machine& Machine() override { return m_machine.Machine(); }
    ui::Toolkit& ScreenToolkit() override { return m_screen; }
    void WriteConsole(const std::string& text) override {
        std::string utf8 = terminal::Cp936ToUtf8(text);
        utf8.erase(std::remove(utf8.begin(), utf8.end(), '\r'), utf8.end());
        std::cout << utf8 << std::flush;
    }
    std::string DefaultLogPath() override {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
        return ((error ? std::filesystem::path("/tmp") : folder) / "DriverSetup.log").string();
    }
    std::string ToUtf8(const std::string& text) override { return terminal::Cp936ToUtf8(text); }
    // /LOG takes a path of this machine, not of the simulated one.
    platform::Files& LogFiles() override { return m_logFiles; }
    win::DWORD LogFilesError() override { return terminal::HostLogFiles::LastError(); }

private:
    terminal::FrontEndMachine& m_machine;
    ui::portable::PortableToolkit& m_screen;
    terminal::HostLogFiles m_logFiles;
};

}  // namespace

int main(int argc, char** argv) {
    terminal::FrontEndOptions parsedOptions;
    parsedOptions.machine.package = INSTALLER_SAMPLE_PACKAGE;
    std::string error;
    if (!terminal::ParseFrontEndOptions(std::vector<std::string>(argv + 1, argv + argc), &parsedOptions, &error)) {
        std::cerr << "installer_tui: " << error << "\n\n" << kUsage;
        return 2;
    }
    if (parsedOptions.help) {
        std::cout << kUsage;
        return 0;
    }
    const terminal::MachineOptions& options = parsedOptions.machine;
    const bool stateOnly = parsedOptions.stateOnly;
    const std::vector<std::string>& installerArgs = parsedOptions.installerArgs;
    UseUtf8Locale();

    if (stateOnly) {
        if (!options.reset && !std::filesystem::exists(terminal::StateFileIn(options.folder))) {
            std::cout << "No saved machine in " << options.folder << " yet: run installer_tui first.\n";
            return 0;
        }
        terminal::FrontEndMachine machine;
        if (!machine.Open(options, false, &error)) {
            std::cerr << "installer_tui: " << error << "\n";
            return 1;
        }
        std::cout << "Simulated machine in " << options.folder << "\n\n" << terminal::DescribeMachine(machine.Machine());
        return 0;
    }

    // A silent run, /? or a bad command line needs no screen.
    unattended::CommandLine parsed;
    const bool parsedOk = unattended::ParseCommandLine(installerArgs, &parsed, &error);
    if (!parsedOk || parsed.silent || parsed.help || parsed.list) {
        terminal::FrontEndMachine machine;
        ui::portable::PortableToolkit unused;
        if (parsedOk && !parsed.help && !machine.Open(options, true, &error)) {
            std::cerr << "installer_tui: " << error << "\n";
            return unattended::EXIT_FAILED;
        }
        TerminalHost host(machine, unused);
        const int code = unattended::RunProgram(installerArgs, host);
        if (parsedOk && !parsed.help && !machine.Save(&error)) {
            std::cerr << "installer_tui: could not save the machine: " << error << "\n";
        }
        // A POSIX exit status keeps 8 bits: the shell sees 1603, 1618 and
        // 1639 as 67, 82 and 103; the log and this line give the code.
        if (code > 255) std::cerr << "installer_tui: exit code " << code << "\n";
        return code;
    }
    error.clear();

    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        std::cerr << "installer_tui: needs a terminal (--state works without one)\n";
        return 2;
    }
    terminal::FrontEndMachine machine;
    if (!machine.Open(options, true, &error)) {
        std::cerr << "installer_tui: " << error << "\n";
        return 1;
    }

    ui::portable::PortableToolkit toolkit;
    std::atomic<bool> ended{false};
    std::atomic<int> endCode{0};
    TerminalHost host(machine, toolkit);
    std::thread installer([&] {
        endCode = unattended::RunProgram(installerArgs, host);
        ended = true;
    });

    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);
    set_escdelay(25);
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    curs_set(0);
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
    const std::wstring title = L" Windows 10 64位 (模拟) | " + Widen(machine.Summary()) + L" | " + Widen(options.folder) +
                               (machine.LoadedFromState() ? L" (已载入)" : L" (新机器)");
    terminal::FrontEnd frontEnd(toolkit, [&] { return ended.load(); }, title);
    const bool closed = frontEnd.Run(g_signalled);
    endwin();

    if (!closed) {
        // The installer is stuck in a step that no user action ends; keep
        // what it has done so far and leave without waiting for it.
        const bool saved = machine.Save(&error);
        std::cerr << "installer_tui: the installer did not close; "
                  << (saved ? "machine saved in " + options.folder : "could not save: " + error) << "\n";
        std::_Exit(1);
    }
    installer.join();
    if (!machine.Save(&error)) {
        std::cerr << "installer_tui: could not save the machine: " << error << "\n";
        return 1;
    }
    std::cout << "The installer ended (" << (endCode == win::IDOK ? "OK" : endCode == win::IDCANCEL ? "cancelled" : "code " + std::to_string(endCode.load()))
              << "). Machine saved in " << options.folder << "; installer_tui --state --machine " << options.folder
              << " shows it.\n";
    return 0;
}
