// A window for the installer's subsystems without a window: records what a
// run shows and answers its boxes at once, on the caller's own thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "run/installer_view.h"
#include "ui/portable/portable_toolkit.h"

namespace testing_support {

class FakeView : public run::InstallerView {
public:
    struct Box {
        std::string text;
        std::string caption;  // empty for an application box
        win::UINT type;
    };

    void PublishStatus(const std::string& text) override { statuses.push_back(text); }
    void SetStatusText(const std::string& text) override { pendingStatus = text; }
    void ShowData() override {
        if (!pendingStatus.empty()) statuses.push_back(pendingStatus);
        pendingStatus.clear();
    }
    void SetProgress(int position) override { progress.push_back(position); }
    int AppMessageBox(const std::string& text, win::UINT type) override { return Answer({text, "", type}); }
    int DialogMessageBox(const std::string& text, const std::string& caption, win::UINT type) override {
        return Answer({text, caption, type});
    }
    void EnableInstall(bool enable) override { installEnabled = enable; }
    void SetInstallCaption(const std::string& caption) override { installCaption = caption; }
    void CloseAsDone() override { closed = true; }
    void EndRun(const run::RunOutcome& outcome) override { outcomes.push_back(outcome); }
    bool SetAsDefault() override { return setAsDefault; }
    bool MayTryAgain() override { return true; }
    void RefreshPortTypeList(int defaultType) override { portTypeRows.push_back(defaultType); }
    int AskSerialSearch() override { return serialPromptAnswer; }
    void SetProbeTimer(win::UINT elapseMs) override { probeTimerMs = static_cast<int>(elapseMs); }
    void KillProbeTimer() override { probeTimerMs = -1; }
    void KeepAnswering() override {}
    ui::Toolkit& Toolkit() override { return toolkit; }
    ui::HWND OwnerWindow() override { return nullptr; }

    // Answers every box; by default with OK.
    std::function<int(const Box&)> answer = [](const Box&) { return win::IDOK; };

    std::vector<std::string> statuses;
    std::string pendingStatus;
    std::vector<int> progress;
    std::vector<Box> boxes;
    bool installEnabled = false;
    std::string installCaption;
    bool closed = false;
    std::vector<run::RunOutcome> outcomes;
    bool setAsDefault = true;
    std::vector<int> portTypeRows;
    int serialPromptAnswer = 0;
    int probeTimerMs = -1;
    ui::portable::PortableToolkit toolkit;

private:
    int Answer(const Box& box) {
        boxes.push_back(box);
        return answer(box);
    }
};

}  // namespace testing_support
