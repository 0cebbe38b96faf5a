#include "unattended/program.h"

#include <memory>

#include "app/installer_app.h"
#include "package/model_list.h"
#include "install/driver_catalogue.h"
#include "platform/logging/logging_machine.h"
#include "ui/portable/portable_toolkit.h"
#include "unattended/command_line.h"
#include "unattended/exit_codes.h"
#include "unattended/printer_removal.h"
#include "unattended/run_log.h"
#include "unattended/silent_toolkit.h"
#include "unattended/tcp_port.h"
#include "unattended/watching_toolkit.h"

namespace unattended {

const char* const INSTALLER_MUTEX_NAME = "Global\\DriverSetup.PrinterDriverInstaller";

namespace {

// The machine's calls, in the run's log.
class CallsToRunLog : public platform::logging::CallLog {
public:
    explicit CallsToRunLog(RunLog& log) : m_log(log) {}
    void Record(const std::string& line) override { m_log.Record("call: " + line); }

private:
    RunLog& m_log;
};

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        text += text.empty() ? "" : " ";
        text += argument.find(' ') == std::string::npos ? argument : "\"" + argument + "\"";
    }
    return text;
}

// Held for the whole run; released with the handle when the run ends.
class RunMutex {
public:
    explicit RunMutex(platform::Machine& machine) : m_machine(machine) {
        m_handle = machine.sync().CreateMutexA(nullptr, 1, INSTALLER_MUTEX_NAME);
        m_alreadyRunning = m_handle != nullptr && machine.GetLastError() == win::ERROR_ALREADY_EXISTS;
    }
    ~RunMutex() {
        if (m_handle == nullptr) return;
        if (!m_alreadyRunning) m_machine.sync().ReleaseMutex(m_handle);
        m_machine.sync().CloseHandle(m_handle);
    }
    bool AnotherRunHoldsIt() const { return m_alreadyRunning; }

private:
    platform::Machine& m_machine;
    win::HANDLE m_handle = nullptr;
    bool m_alreadyRunning = false;
};

// The package's model names with the kind of driver their catalogue row
// installs, while the package is unpacked.
void ListModels(platform::Machine& machine, RunLog& log, ProgramHost& host) {
    std::string text;
    package::ForEachPrinterName(machine.files(), [&](int section, const std::string& name) {
        const int labelEnd = install::CATALOGUE_RECEIPT_ROWS + install::CATALOGUE_LABEL_ROWS;
        const char* kind = section < install::CATALOGUE_RECEIPT_ROWS ? "receipt"
                           : section < labelEnd                      ? "label"
                                                                     : "none (past the driver catalogue)";
        text += name + "\t" + kind + "\r\n";
        log.Record("model: " + name + " (" + kind + ")");
    });
    host.WriteConsole(text);
}

int RunSilently(const CommandLine& options, platform::Machine& machine, RunLog& log, ProgramHost& host) {
    ui::portable::PortableToolkit screenless;
    CommandLine resolved = options;
    // The dialog lists the ports once, as it starts: a port for an address
    // must exist by then, and the dialog then picks it by name.
    if (!options.tcpAddress.empty() &&
        !FindOrCreateTcpPort(machine, log, options.tcpAddress, &resolved.portName)) {
        log.Record("result: no standard TCP/IP port for " + options.tcpAddress);
        return EXIT_FAILED;
    }
    SilentToolkit silent(screenless, machine, resolved, log, [&] { ListModels(machine, log, host); });
    WatchingToolkit watching(silent, log);
    app::InstallerApp application(machine, watching, &silent);
    application.Run();
    const RunResult result = silent.Result();
    log.Record("result: " + result.reason);
    return result.exitCode;
}

}  // namespace

int RunProgram(const std::vector<std::string>& arguments, ProgramHost& host) {
    CommandLine options;
    std::string error;
    const bool parsed = ParseCommandLine(arguments, &options, &error);

    if (options.interactive) {
        RunMutex mutex(host.Machine());
        app::InstallerApp application(host.Machine(), host.ScreenToolkit());
        return application.Run();
    }

    std::unique_ptr<RunLog> log;
    if (options.silent || options.list || options.remove || !options.logPath.empty()) {
        const std::string path = options.logPath.empty() ? host.DefaultLogPath() : options.logPath;
        auto file = OpenLogFile(path);
        if (!file) host.WriteConsole("DriverSetup: cannot write the log " + path + "\r\n");
        log = std::make_unique<RunLog>(std::move(file), [&host](const std::string& text) { return host.ToUtf8(text); });
    } else {
        log = std::make_unique<RunLog>(nullptr, nullptr);
    }
    log->Record("DriverSetup started: " + JoinArguments(arguments));

    if (!parsed) {
        host.WriteConsole("DriverSetup: " + error + "\r\n\r\n" + UNATTENDED_USAGE);
        log->Record("invalid command line: " + error);
        log->Record("exit code " + std::to_string(EXIT_BAD_COMMAND_LINE));
        return EXIT_BAD_COMMAND_LINE;
    }
    if (options.help) {
        host.WriteConsole(UNATTENDED_USAGE);
        log->Record(std::string("usage:\n") + UNATTENDED_USAGE);
        log->Record("exit code 0");
        return 0;
    }

    CallsToRunLog calls(*log);
    platform::logging::LoggingMachine machine(host.Machine(), calls);
    int code;
    {
        RunMutex mutex(machine);
        const bool unattended = options.silent || options.list || options.remove;
        if (unattended && mutex.AnotherRunHoldsIt()) {
            log->Record("another run of the installer is in progress on this machine: nothing changed");
            code = EXIT_ANOTHER_RUN;
        } else if (options.remove) {
            code = PrinterRemoval(machine, *log).Remove(options.model);
        } else if (options.silent || options.list) {
            code = RunSilently(options, machine, *log, host);
        } else {
            WatchingToolkit watching(host.ScreenToolkit(), *log);
            app::InstallerApp application(machine, watching);
            code = application.Run();
        }
    }
    log->Record("exit code " + std::to_string(code));
    return code;
}

}  // namespace unattended
