#include "unattended/program.h"

#include <memory>

#include "app/installer_app.h"
#include "package/model_list.h"
#include "install/driver_catalogue.h"
#include "install/install_rights.h"
#include "package/package_file.h"
#include "platform/logging/logging_machine.h"
#include "program_version.h"
#include "ui/portable/portable_toolkit.h"
#include "unattended/command_line.h"
#include "unattended/exit_codes.h"
#include "unattended/printer_removal.h"
#include "unattended/record_observer.h"
#include "unattended/run_log.h"
#include "unattended/silent_toolkit.h"
#include "unattended/tcp_port.h"
#include "unattended/watching_toolkit.h"

namespace unattended {

const char* const INSTALLER_MUTEX_NAME = "Global\\DriverSetup.PrinterDriverInstaller";
const char* const INSTALLER_NAMESPACE = "DriverSetup";
const char* const INSTALLER_NAMESPACE_MUTEX = "PrinterDriverInstaller";

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

// Held for the whole run; released with the handle when the run ends. It
// lives in a private namespace only administrators reach, so that a
// standard user cannot take its name first and stop every run (as SYSTEM
// they would answer "another run" for ever; elevated they would be denied
// the mutex). Where the system has no private namespaces the global name
// is all there is.
class RunMutex {
public:
    enum class State { kHeld, kAnotherRun, kUnavailable };

    explicit RunMutex(platform::Machine& machine) : m_machine(machine) {
        platform::Sync& sync = machine.sync();
        m_handle = sync.CreatePrivateNamespaceMutex(1, INSTALLER_NAMESPACE, INSTALLER_NAMESPACE_MUTEX, &m_namespace);
        win::DWORD error = machine.GetLastError();
        if (m_handle == nullptr && error == win::ERROR_NOT_SUPPORTED) {
            m_fallback = true;
            m_handle = sync.CreateMutexA(nullptr, 1, INSTALLER_MUTEX_NAME);
            error = machine.GetLastError();
        }
        if (m_handle == nullptr) {
            // Denied or failed: nobody can tell whether another run is going.
            m_state = State::kUnavailable;
            m_error = error;
        } else if (error == win::ERROR_ALREADY_EXISTS) {
            m_state = State::kAnotherRun;
        }
    }
    ~RunMutex() {
        if (m_handle != nullptr) {
            if (m_state == State::kHeld) m_machine.sync().ReleaseMutex(m_handle);
            m_machine.sync().CloseHandle(m_handle);
        }
        if (m_namespace != nullptr) m_machine.sync().ClosePrivateNamespace(m_namespace, 0);
    }
    State state() const { return m_state; }
    win::DWORD error() const { return m_error; }
    bool fallback() const { return m_fallback; }

private:
    platform::Machine& m_machine;
    win::HANDLE m_handle = nullptr;
    win::HANDLE m_namespace = nullptr;
    State m_state = State::kHeld;
    win::DWORD m_error = 0;
    bool m_fallback = false;
};

// The package's model names with the kind of driver their catalogue row
// installs, while the package is unpacked.
void ListModels(platform::Machine& machine, RunLog& log, ProgramHost& host, const std::string& packageFolder) {
    std::string text;
    // Nothing unpacked: no list, and never one at the root of the drive.
    if (packageFolder.empty()) return;
    const std::string list = packageFolder + "\\" + package::MODEL_LIST_NAME;
    package::ForEachPrinterName(machine.files(), list, [&](int section, const std::string& name) {
        const int labelEnd = install::CATALOGUE_RECEIPT_ROWS + install::CATALOGUE_LABEL_ROWS;
        const char* kind = section < install::CATALOGUE_RECEIPT_ROWS ? "receipt"
                           : section < labelEnd                      ? "label"
                                                                     : "none (past the driver catalogue)";
        text += name + "\t" + kind + "\r\n";
        log.Record("model: " + name + " (" + kind + ")");
    });
    host.WriteConsole(text);
}

// The log's first words after the arguments: which program, and which
// package by its fingerprint.
std::string Provenance(const std::string& packagePath, const std::string& packageSha256) {
    std::string text = std::string("; version ") + app::PROGRAM_VERSION;
    if (packageSha256.empty()) return text + "; no package";
    return text + "; package " + packagePath + " SHA-256 " + packageSha256;
}

// The usage in a message box, as msiexec shows its own: a program started
// from Explorer (a file dropped on it) has no console to read it on.
void ShowUsageBox(ProgramHost& host, const std::string& error) {
    const std::string text = error.empty() ? UsageText() : "DriverSetup: " + error + "\r\n\r\n" + UsageText();
    const win::UINT icon = error.empty() ? win::MB_ICONINFORMATION : win::MB_ICONEXCLAMATION;
    host.ScreenToolkit().MessageBox(nullptr, text.c_str(), app::APP_TITLE, win::MB_OK | icon);
}

int RunSilently(const CommandLine& options, platform::Machine& machine, RunLog& log, ProgramHost& host,
                const std::string& packageSha256) {
    ui::portable::PortableToolkit screenless;
    const RunBound bound(machine, SILENT_RETRY_BOUND_MS);
    CommandLine resolved = options;
    // The dialog lists the ports once, as it starts: a port for an address
    // must exist by then, and the dialog then picks it by name.
    if (!options.tcpAddress.empty()) {
        const TcpPortFound found = FindOrCreateTcpPort(machine, log, options.tcpAddress, &resolved.portName);
        if (found != TcpPortFound::kReady) {
            log.Record("result: no standard TCP/IP port for " + options.tcpAddress);
            return found == TcpPortFound::kNoMonitor ? EXIT_NO_PORT_MONITOR : EXIT_FAILED;
        }
    }
    SilentToolkit silent(screenless, machine, resolved, log, bound, [&](const std::string& packageFolder) {
        ListModels(machine, log, host, packageFolder);
    });
    WatchingToolkit watching(silent, log);
    RecordObserver record(machine, packageSha256, log, &silent);
    app::InstallerApp application(machine, watching, &record);
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
        RunLog none(nullptr, nullptr);
        RecordObserver record(host.Machine(), std::nullopt, none);
        app::InstallerApp application(host.Machine(), host.ScreenToolkit(), &record);
        return application.Run();
    }

    // Every log's first line names the package it used.
    platform::Files& files = host.Machine().files();
    const std::string packagePath = package::PackageFilePath(files);
    const std::string packageSha256 = package::HashFile(files, packagePath);

    std::unique_ptr<RunLog> log;
    std::string fellBack;  // why the log is not where it was asked for
    if (options.silent || options.list || options.remove || !options.logPath.empty()) {
        const std::string defaultPath = host.DefaultLogPath();
        const std::string path = options.logPath.empty() ? defaultPath : options.logPath;
        const auto lastError = [&host] { return host.LogFilesError(); };
        std::string why;
        auto file = OpenLogFile(host.LogFiles(), lastError, path, &why);
        if (!file && path != defaultPath) {
            fellBack = "the log " + path + " is not written: " + why + "; logging here instead";
            host.WriteConsole("DriverSetup: the log " + path + " is not written: " + why + "; the log is " +
                              defaultPath + "\r\n");
            file = OpenLogFile(host.LogFiles(), lastError, defaultPath, &why);
            if (!file) host.WriteConsole("DriverSetup: nor the log " + defaultPath + ": " + why + "\r\n");
        } else if (!file) {
            host.WriteConsole("DriverSetup: cannot write the log " + path + ": " + why + "\r\n");
        }
        log = std::make_unique<RunLog>(std::move(file), [&host](const std::string& text) { return host.ToUtf8(text); });
    } else {
        log = std::make_unique<RunLog>(nullptr, nullptr);
    }
    log->Record("DriverSetup started: " + JoinArguments(arguments) + Provenance(packagePath, packageSha256));
    if (!fellBack.empty()) log->Record(fellBack);

    if (!parsed) {
        host.WriteConsole("DriverSetup: " + error + "\r\n\r\n" + UsageText());
        log->Record("invalid command line: " + error);
        if (!NamesWindowlessOption(arguments)) ShowUsageBox(host, error);
        log->Record("exit code " + std::to_string(EXIT_BAD_COMMAND_LINE));
        return EXIT_BAD_COMMAND_LINE;
    }
    if (options.help) {
        host.WriteConsole(UsageText());
        log->Record("usage:\n" + UsageText());
        if (!NamesWindowlessOption(arguments)) ShowUsageBox(host, std::string());
        log->Record("exit code 0");
        return 0;
    }

    CallsToRunLog calls(*log);
    platform::logging::LoggingMachine machine(host.Machine(), calls);
    int code;
    {
        RunMutex mutex(machine);
        const bool unattended = options.silent || options.list || options.remove;
        if (mutex.fallback()) {
            log->Record("this system has no private namespaces: the run's mutex is the global " +
                        std::string(INSTALLER_MUTEX_NAME));
        }
        if (unattended && mutex.state() == RunMutex::State::kAnotherRun) {
            log->Record("another run of the installer is in progress on this machine: nothing changed");
            code = EXIT_ANOTHER_RUN;
        } else if (unattended && !install::ExamineRights(machine).AdministratorRights()) {
            // Also where the mutex was denied for it: the namespace's
            // boundary is the Administrators group.
            log->Record(std::string("not elevated: ") + install::TEXT_NOT_ELEVATED + ": nothing changed");
            code = EXIT_NOT_ELEVATED;
        } else if (unattended && mutex.state() == RunMutex::State::kUnavailable) {
            // Running without the lock could race another run; calling it
            // "another run" could be a lie told for ever.
            log->Record("cannot take the run's mutex (error " + std::to_string(mutex.error()) +
                        "; the run needs administrator rights): nothing changed");
            code = EXIT_FAILED;
        } else if (options.remove) {
            code = PrinterRemoval(machine, *log).Remove(options.model);
        } else if (options.silent || options.list) {
            code = RunSilently(options, machine, *log, host, packageSha256);
        } else {
            WatchingToolkit watching(host.ScreenToolkit(), *log);
            RecordObserver record(machine, packageSha256, *log);
            app::InstallerApp application(machine, watching, &record);
            code = application.Run();
        }
    }
    log->Record("exit code " + std::to_string(code));
    return code;
}

}  // namespace unattended
