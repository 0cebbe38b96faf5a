// The silent run's user: passes every call to a portable toolkit that
// shows nothing on any screen, and does what a person would do at each
// step, as the command line says: picks the model, the tick and the port
// type, presses Install, chooses the port dialogs' row, answers the serial
// prompt and every message box, and at the end presses 完成 or closes the
// window. What it sees on the way (the button's caption, the status line,
// the boxes) decides the run's exit code.
//
// Message boxes never open at all: each gets its answer at once. The
// answer is the one that ends the question without repeating it: OK, or
// Cancel where there is one (No for Yes/No), except that the USB search's
// failure box answers Retry as many times as /USBRETRY allows, while the
// run's time bound is not spent. How the run ended, the dialog itself
// reports (a RunObserver).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/installer_dialog.h"
#include "platform/machine.h"
#include "run/run_outcome.h"
#include "ui/portable/portable_toolkit.h"
#include "unattended/command_line.h"
#include "unattended/exit_codes.h"
#include "unattended/forwarding_toolkit.h"
#include "unattended/run_bound.h"
#include "unattended/run_log.h"

namespace unattended {

struct RunResult {
    int exitCode;
    std::string reason;
};

class SilentToolkit : public ForwardingToolkit, public app::RunObserver {
public:
    // With /LIST, `listModels` is called with the folder the package was
    // unpacked into, and the run ends there.
    // `machine` is asked which ports exist, as the dialog asks it. Past
    // `bound` no search tries again.
    SilentToolkit(ui::portable::PortableToolkit& screenless, platform::Machine& machine, const CommandLine& options,
                  RunLog& log, const RunBound& bound,
                  std::function<void(const std::string& packageFolder)> listModels = nullptr);

    ui::INT_PTR DialogBox(const ui::DialogTemplate& t, ui::HWND parent, ui::DialogProcedure& p) override;
    ui::BOOL EnableWindow(ui::HWND w, ui::BOOL enable) override;
    ui::BOOL SetWindowText(ui::HWND w, const char* text) override;
    int MessageBox(ui::HWND owner, const char* text, const char* caption, ui::UINT type) override;
    void OnRunEnded(const run::RunOutcome& outcome) override;
    bool MayTryAgain() override;
    void OnPackagePrepared(const std::string& packageFolder) override;

    // Once the installer's dialog has ended: how the run went.
    RunResult Result() const;

private:
    enum class Phase { kPreparing, kInstalling, kEnded };

    // On the dialog's thread, posted whenever Install becomes usable (and
    // once for each secondary dialog): the next step of the run.
    void Step(ui::HWND dialog, int templateId);
    void StartInstallation(ui::HWND main);
    void EndRun(ui::HWND main);
    void ChoosePortRow(ui::HWND dialog);
    void AnswerSerialPrompt(ui::HWND dialog);
    // Ends the run before anything is installed: a command line that
    // cannot be carried out (1639), or a port the machine lacks.
    void StopBeforeInstalling(int exitCode, const std::string& reason);
    bool MayTryAgainLocked();
    // Why the parallel or network port the command line asks for cannot be
    // had; empty when it can.
    std::string MissingPort();
    // The row of `names` that /PORT names: the first when it names none;
    // -1 when there is no such row.
    int NamedPortRow(const std::vector<std::string>& names) const;

    ui::portable::PortableToolkit& m_screenless;
    platform::Machine& m_machine;
    const CommandLine& m_options;
    RunLog& m_log;
    const RunBound& m_bound;
    std::function<void(const std::string& packageFolder)> m_listModels;
    std::string m_packageFolder;  // guarded by m_mutex
    const ui::UINT m_stepMessage;

    std::atomic<ui::HWND> m_main{nullptr};
    std::atomic<ui::HWND> m_install{nullptr};
    std::atomic<ui::HWND> m_status{nullptr};

    mutable std::mutex m_mutex;
    Phase m_phase = Phase::kPreparing;
    int m_portTypeRow = -1;
    int m_usbRetriesLeft;
    std::optional<run::RunOutcome> m_outcome;
    std::string m_lastStatus;
    std::string m_lastBox;
    RunResult m_result{EXIT_FAILED, "the installer ended before it was ready"};
    bool m_stoppedBeforeInstalling = false;
    bool m_boundLogged = false;
};

}  // namespace unattended
