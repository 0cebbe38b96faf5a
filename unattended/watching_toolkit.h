// Passes every call to the toolkit that shows the windows (the real one, or
// the silent one) and writes to the log what a person would have seen: the
// dialogs with their results, every text of the status line and of the
// Install button, every message box with the answer it got.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "unattended/forwarding_toolkit.h"
#include "unattended/run_log.h"

namespace unattended {

class WatchingToolkit : public ForwardingToolkit {
public:
    WatchingToolkit(ui::Toolkit& inner, RunLog& log) : ForwardingToolkit(inner), m_log(log) {}

    ui::INT_PTR DialogBox(const ui::DialogTemplate& t, ui::HWND parent, ui::DialogProcedure& p) override;
    ui::BOOL SetWindowText(ui::HWND w, const char* text) override;
    int MessageBox(ui::HWND owner, const char* text, const char* caption, ui::UINT type) override;

private:
    RunLog& m_log;
    std::atomic<ui::HWND> m_status{nullptr};
    std::atomic<ui::HWND> m_install{nullptr};
    std::mutex m_mutex;
    std::string m_lastStatus;
    std::string m_lastCaption;
};

// "OK", "Cancel", "Retry", ... for a message box's answer.
const char* AnswerName(int answer);

}  // namespace unattended
