#include "tests/support/installer_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/installer_app.h"

namespace testing_support {

namespace fs = std::filesystem;

BOOL RecordingToolkit::SetWindowText(ui::HWND w, const char* text) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string>& texts = m_texts[w];
        if (texts.empty() || texts.back() != text) {
            texts.emplace_back(text);
            if (w != nullptr && w == m_status) hook = m_statusHook;
            m_changed.notify_all();
        }
    }
    if (hook) hook(text);
    return m_inner.SetWindowText(w, text);
}

LRESULT RecordingToolkit::SendMessage(ui::HWND w, UINT m, WPARAM wp, LPARAM lp) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_sends[m];
        if (m == win::PBM_SETPOS) m_positions.emplace_back(w, static_cast<int>(wp));
        m_changed.notify_all();
    }
    return m_inner.SendMessage(w, m, wp, lp);
}

UINT_PTR RecordingToolkit::SetTimer(ui::HWND w, UINT_PTR id, UINT ms) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_timerPeriods.push_back(ms);
    }
    return m_inner.SetTimer(w, id, ms);
}

std::vector<int> RecordingToolkit::ProgressHistory(ui::HWND bar) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<int> positions;
    for (const auto& [window, position] : m_positions) {
        if (window == bar) positions.push_back(position);
    }
    return positions;
}

void RecordingToolkit::WatchStatusLine(ui::HWND status) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = status;
    m_changed.notify_all();
}

void RecordingToolkit::OnStatus(std::function<void(const std::string&)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_statusHook = std::move(hook);
}

std::vector<std::string> RecordingToolkit::StatusHistory() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto texts = m_texts.find(m_status);
    return m_status != nullptr && texts != m_texts.end() ? texts->second : std::vector<std::string>{};
}

bool RecordingToolkit::WaitForStatus(const std::string& text, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        const auto texts = m_texts.find(m_status);
        return m_status != nullptr && texts != m_texts.end() &&
               std::find(texts->second.begin(), texts->second.end(), text) != texts->second.end();
    });
}

std::vector<UINT> RecordingToolkit::TimerPeriods() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timerPeriods;
}

bool RecordingToolkit::WaitForSends(UINT message, int count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        const auto sent = m_sends.find(message);
        return sent != m_sends.end() && sent->second >= count;
    });
}

std::string SamplePackagePath() { return std::string(INSTALLER_BINARY_DIR) + "/DriverData.Drv"; }

std::string MakeTempFolder(const std::string& prefix) {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    char* made = mkdtemp(pattern.data());
    return made != nullptr ? std::string(made) : std::string();
}

InstallerHarness::InstallerHarness(platform::sim::SimPreset preset)
    : m_sandbox(MakeTempFolder("installer")),
      m_machine(std::make_unique<platform::sim::SimMachine>(m_sandbox, preset)),
      m_recorder(m_toolkit) {
    m_machine->SetTimeScale(0);
    std::ifstream package(SamplePackagePath(), std::ios::binary);
    std::stringstream bytes;
    bytes << package.rdbuf();
    UsePackage(bytes.str());
}

void InstallerHarness::UsePackage(const std::string& bytes) {
    char folder[win::MAX_PATH] = {};
    m_machine->files().GetCurrentDirectoryA(sizeof(folder), folder);
    m_machine->sim_files().WriteFile(std::string(folder) + "\\DriverData.Drv", bytes);
}

InstallerHarness::~InstallerHarness() {
    if (m_ui.joinable()) {
        // Close whatever is still open, box by box, then the dialog.
        for (int i = 0; i < 50 && !WaitForEnd(0ms); ++i) {
            if (ui::HWND box = m_toolkit.FindMessageBox()) {
                m_toolkit.AnswerMessageBox(box, win::IDCANCEL);
            } else {
                for (const auto& window : m_toolkit.Snapshot()) m_toolkit.CloseWindow(window.hwnd);
            }
            WaitForEnd(100ms);
        }
        m_ui.join();
    }
    m_machine.reset();
    std::error_code ignored;
    fs::remove_all(m_sandbox, ignored);
}

void InstallerHarness::Start() {
    m_ui = std::thread([this] {
        app::InstallerApp application(*m_machine, m_recorder, this);
        const int code = application.Run();
        std::lock_guard<std::mutex> lock(m_endMutex);
        m_endCode = code;
    });
    m_main = m_toolkit.WaitForWindowByCaption("设置并安装票据/标签 驱动", 5s);
    if (m_main != nullptr) m_recorder.WatchStatusLine(m_toolkit.GetDlgItem(m_main, 1011));
}

void InstallerHarness::OnRunEnded(const run::RunOutcome& outcome) {
    std::lock_guard<std::mutex> lock(m_outcomeMutex);
    m_outcomes.push_back(outcome);
}

std::vector<run::RunOutcome> InstallerHarness::Outcomes() const {
    std::lock_guard<std::mutex> lock(m_outcomeMutex);
    return m_outcomes;
}

void InstallerHarness::OnPackagePrepared(const std::string& packageFolder) {
    std::lock_guard<std::mutex> lock(m_outcomeMutex);
    m_packageFolder = packageFolder;
}

std::string InstallerHarness::PackageFolder() const {
    std::lock_guard<std::mutex> lock(m_outcomeMutex);
    return m_packageFolder;
}

std::vector<std::string> InstallerHarness::TempFolderEntries() {
    platform::Files& files = m_machine->sim_files();
    char temp[win::MAX_PATH] = {};
    const win::DWORD length = files.GetTempPath2A(sizeof(temp), temp);
    std::vector<std::string> names;
    win::WIN32_FIND_DATAA found{};
    const win::HANDLE search = files.FindFirstFileA((std::string(temp, length) + "*").c_str(), &found);
    if (search == win::INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (files.FindNextFileA(search, &found));
    files.FindClose(search);
    return names;
}

void InstallerHarness::Restart() {
    if (m_ui.joinable()) m_ui.join();
    {
        std::lock_guard<std::mutex> lock(m_endMutex);
        m_endCode.reset();
    }
    m_main = nullptr;
    m_boxes.clear();
    Start();
}

bool InstallerHarness::WaitUntilReady(std::chrono::milliseconds timeout) {
    return m_toolkit.WaitFor(
        [this](const std::vector<ui::portable::WindowState>& windows) {
            for (const auto& window : windows) {
                if (window.hwnd != m_main) continue;
                const auto* install = window.Control(1012);
                return install != nullptr && install->enabled;
            }
            return false;
        },
        timeout);
}

std::optional<int> InstallerHarness::WaitForEnd(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_endMutex);
            if (m_endCode) return m_endCode;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        m_toolkit.WaitForChange(m_toolkit.Version(), 20ms);
    }
}

ui::portable::WindowState InstallerHarness::MainState() const {
    for (const auto& window : m_toolkit.Snapshot()) {
        if (window.hwnd == m_main) return window;
    }
    return {};
}

ui::portable::ControlState InstallerHarness::Control(int controlId) const {
    const auto state = MainState();
    const auto* control = state.Control(controlId);
    return control != nullptr ? *control : ui::portable::ControlState{};
}

void InstallerHarness::ChooseModel(const std::string& name) {
    const auto combo = Control(1000);
    for (size_t i = 0; i < combo.items.size(); ++i) {
        if (combo.items[i] == name) {
            m_toolkit.SelectComboItem(m_main, 1000, static_cast<int>(i));
            m_toolkit.WaitFor([&](const auto&) { return Control(1000).curSel == static_cast<int>(i); }, 2s);
            return;
        }
    }
}

void InstallerHarness::SetDefaultTick(bool ticked) {
    if ((Control(1002).check == 1) != ticked) {
        Click(1002);
        m_toolkit.WaitFor([&](const auto&) { return (Control(1002).check == 1) == ticked; }, 2s);
    }
}

void InstallerHarness::Install(const BoxAnswer& answer, std::chrono::milliseconds timeout) {
    if (!InstallEnabled()) {
        ADD_FAILURE() << "Install is not usable\n" << Describe();
        return;
    }
    Click(1012);
    // A run may be over before anyone sees the button disabled: wait until
    // the click has been carried out (or a box or dialog it opened waits).
    m_toolkit.WaitForInputIdle(m_main, 5s);
    Continue(answer, timeout);
}

void InstallerHarness::Continue(const BoxAnswer& answer, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (WaitForEnd(0ms)) return;
        if (ui::HWND box = m_toolkit.FindMessageBox()) {
            ui::portable::WindowState state;
            for (const auto& window : m_toolkit.Snapshot()) {
                if (window.hwnd == box) state = window;
            }
            m_boxes.push_back(state);
            if (!answer) return;
            m_toolkit.AnswerMessageBox(box, answer(state));
            if (!m_toolkit.WaitFor([&](const auto&) { return m_toolkit.FindMessageBox() != box; }, 5s)) {
                ADD_FAILURE() << "the box stayed after its answer\n" << Describe();
                return;
            }
            continue;
        }
        // A secondary dialog (port choice, serial prompt) is left to the test.
        // The run has stopped for the test (a secondary dialog) or is over
        // (Install usable again); either way the dialog's thread finishes
        // what it is doing before the test looks.
        const ui::HWND secondary = SecondaryDialog().hwnd;
        if (secondary != nullptr || InstallEnabled()) {
            m_toolkit.WaitForInputIdle(secondary != nullptr ? secondary : m_main, 5s);
            if (SecondaryDialog().hwnd != nullptr || InstallEnabled()) return;
        }
        m_toolkit.WaitForChange(m_toolkit.Version(), 20ms);
    }
    ADD_FAILURE() << "the run did not come to rest\n" << Describe();
}

ui::portable::WindowState InstallerHarness::SecondaryDialog() const {
    for (const auto& window : m_toolkit.Snapshot()) {
        if (window.hwnd != m_main && !window.isMessageBox) return window;
    }
    return {};
}

std::string InstallerHarness::Describe() const {
    return "--- machine ---\n" + m_machine->ToString() + "\n--- windows ---\n" + m_toolkit.Describe();
}

}  // namespace testing_support
