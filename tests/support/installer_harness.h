// Runs the installer on a simulated machine in the portable toolkit, on a
// thread of its own, and lets a test act as the user: read the dialog,
// click, pick, answer boxes. A failing test prints the machine and the
// windows.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/installer_dialog.h"
#include "platform/sim/sim_machine.h"
#include "run/run_outcome.h"
#include "ui/portable/portable_toolkit.h"

namespace testing_support {

using namespace std::chrono_literals;
using ui::BOOL;
using ui::INT_PTR;
using ui::LPARAM;
using ui::LRESULT;
using ui::UINT;
using ui::UINT_PTR;
using ui::WPARAM;

// Forwards to the portable toolkit and records every text the status line
// is given, so that a test can check their order.
class RecordingToolkit : public ui::Toolkit {
public:
    explicit RecordingToolkit(ui::portable::PortableToolkit& inner) : m_inner(inner) {}

    INT_PTR DialogBox(const ui::DialogTemplate& t, ui::HWND parent, ui::DialogProcedure& p) override {
        return m_inner.DialogBox(t, parent, p);
    }
    BOOL EndDialog(ui::HWND dialog, INT_PTR result) override { return m_inner.EndDialog(dialog, result); }
    LRESULT SendMessage(ui::HWND w, UINT m, WPARAM wp, LPARAM lp) override;
    BOOL PostMessage(ui::HWND w, UINT m, WPARAM wp, LPARAM lp) override { return m_inner.PostMessage(w, m, wp, lp); }
    UINT RegisterWindowMessage(const char* name) override { return m_inner.RegisterWindowMessage(name); }
    ui::HWND GetDlgItem(ui::HWND dialog, int id) override { return m_inner.GetDlgItem(dialog, id); }
    BOOL EnableWindow(ui::HWND w, BOOL enable) override { return m_inner.EnableWindow(w, enable); }
    BOOL IsWindowEnabled(ui::HWND w) override { return m_inner.IsWindowEnabled(w); }
    BOOL SetWindowText(ui::HWND w, const char* text) override;
    int GetWindowText(ui::HWND w, char* buffer, int size) override { return m_inner.GetWindowText(w, buffer, size); }
    UINT_PTR SetTimer(ui::HWND w, UINT_PTR id, UINT ms) override;
    BOOL KillTimer(ui::HWND w, UINT_PTR id) override { return m_inner.KillTimer(w, id); }
    int MessageBox(ui::HWND owner, const char* text, const char* caption, UINT type) override {
        return m_inner.MessageBox(owner, text, caption, type);
    }
    void ServeSentMessages() override { m_inner.ServeSentMessages(); }
    void PumpMessages() override { m_inner.PumpMessages(); }

    void WatchStatusLine(ui::HWND status);
    // Every distinct text the status line was given, in order (a text set
    // again unchanged counts once). Texts set before WatchStatusLine count.
    std::vector<std::string> StatusHistory() const;
    // Waits until the status line has been given `text` at some time.
    bool WaitForStatus(const std::string& text, std::chrono::milliseconds timeout) const;
    // Runs on the installer's thread each time the status line is given a
    // new text, before the text is shown.
    void OnStatus(std::function<void(const std::string&)> hook);
    // The periods timers were armed with, in order.
    std::vector<UINT> TimerPeriods() const;
    int TimersArmed() const { return static_cast<int>(TimerPeriods().size()); }
    // Waits until `count` messages numbered `message` have been sent (from
    // any thread), counting from the start.
    bool WaitForSends(UINT message, int count, std::chrono::milliseconds timeout) const;
    // Every position this progress bar was set to, in order.
    std::vector<int> ProgressHistory(ui::HWND bar) const;

private:
    ui::portable::PortableToolkit& m_inner;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    ui::HWND m_status = nullptr;
    // Every window's distinct texts: the status line's handle may become
    // known only after its first texts were set.
    std::map<ui::HWND, std::vector<std::string>> m_texts;
    std::function<void(const std::string&)> m_statusHook;
    std::vector<UINT> m_timerPeriods;
    std::map<UINT, int> m_sends;
    std::vector<std::pair<ui::HWND, int>> m_positions;
};

class InstallerHarness : private app::RunObserver {
public:
    // A fresh sandbox with the sample driver package in the working folder.
    explicit InstallerHarness(platform::sim::SimPreset preset = platform::sim::SimPreset::kWindows10x64);
    ~InstallerHarness();

    platform::sim::SimMachine& Machine() { return *m_machine; }
    ui::portable::PortableToolkit& Toolkit() { return m_toolkit; }
    RecordingToolkit& Recorder() { return m_recorder; }

    // Puts this package (the bytes of DriverData.Drv) in the working folder
    // instead of the sample one.
    void UsePackage(const std::string& bytes);

    // Starts the installer on its own thread; returns once its window is up.
    void Start();
    // After the dialog has ended: runs the installer again on the same
    // machine, as a user starting the program a second time.
    void Restart();
    // Waits until the preparation has enabled Install.
    bool WaitUntilReady(std::chrono::milliseconds timeout = 10s);
    // Waits until the installer's dialog has ended; its end code.
    std::optional<int> WaitForEnd(std::chrono::milliseconds timeout = 10s);

    ui::HWND MainWindow() const { return m_main; }
    ui::portable::WindowState MainState() const;
    ui::portable::ControlState Control(int controlId) const;
    std::string Status() const { return Control(1011).text; }
    std::string InstallCaption() const { return Control(1012).text; }
    bool InstallEnabled() const { return Control(1012).enabled; }
    int Progress() const { return Control(1007).pos; }

    void Click(int controlId) { m_toolkit.Click(m_main, controlId); }
    void ChoosePortType(int row) { m_toolkit.SelectListRow(m_main, 1004, row); }
    void ChooseModel(const std::string& name);
    void SetDefaultTick(bool ticked);
    // Presses Install and waits until the run is over: Install usable again
    // or the dialog gone. Boxes that come up meanwhile are answered by
    // `answer` (return the button id), or the run stops waiting for them.
    using BoxAnswer = std::function<int(const ui::portable::WindowState& box)>;
    void Install(const BoxAnswer& answer = nullptr, std::chrono::milliseconds timeout = 20s);
    // Goes on waiting for the run after the test has dealt with a secondary
    // dialog; returns as Install does.
    void Continue(const BoxAnswer& answer = nullptr, std::chrono::milliseconds timeout = 20s);
    // The secondary dialog on screen (a port dialog, the serial prompt), or
    // an empty state when there is none.
    ui::portable::WindowState SecondaryDialog() const;
    // The boxes shown during Install, in order.
    const std::vector<ui::portable::WindowState>& Boxes() const { return m_boxes; }
    // How each run ended, as the installer reported it, in order.
    std::vector<run::RunOutcome> Outcomes() const;
    // The folder the last run unpacked its package into, as its staging
    // reported after the preparation; empty when it unpacked none.
    std::string PackageFolder() const;
    // The entries of the system's temporary folder (as GetTempPath2A names
    // it), where the runs make their staging folders.
    std::vector<std::string> TempFolderEntries();

    // The machine and the windows, for a failing test.
    std::string Describe() const;

private:
    void OnRunEnded(const run::RunOutcome& outcome) override;
    bool MayTryAgain() override { return true; }
    void OnPackagePrepared(const std::string& packageFolder) override;

    std::string m_sandbox;
    std::unique_ptr<platform::sim::SimMachine> m_machine;
    ui::portable::PortableToolkit m_toolkit;
    RecordingToolkit m_recorder;
    std::thread m_ui;
    std::mutex m_endMutex;
    std::optional<int> m_endCode;
    ui::HWND m_main = nullptr;
    std::vector<ui::portable::WindowState> m_boxes;
    mutable std::mutex m_outcomeMutex;
    std::vector<run::RunOutcome> m_outcomes;
    std::string m_packageFolder;  // guarded by m_outcomeMutex
};

// The sample package built next to the tests.
std::string SamplePackagePath();
// A fresh empty folder under the system's temporary folder.
std::string MakeTempFolder(const std::string& prefix);

}  // namespace testing_support
