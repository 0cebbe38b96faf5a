#include "unattended/watching_toolkit.h"

#include "app/resource_ids.h"

namespace unattended {

const char* AnswerName(int answer) {
    switch (answer) {
        case win::IDOK: return "OK";
        case win::IDCANCEL: return "Cancel";
        case win::IDABORT: return "Abort";
        case win::IDRETRY: return "Retry";
        case win::IDYES: return "Yes";
        case win::IDNO: return "No";
        default: return "none";
    }
}

ui::INT_PTR WatchingToolkit::DialogBox(const ui::DialogTemplate& t, ui::HWND parent, ui::DialogProcedure& p) {
    const bool main = t.id == app::IDD_INSTALLER;
    ProcedureInFront procedure(p, nullptr, [this, main, &t](ui::HWND dialog) {
        if (main) {
            m_status = Inner().GetDlgItem(dialog, app::IDC_STATUS);
            m_install = Inner().GetDlgItem(dialog, app::IDC_INSTALL);
        }
        m_log.Record("dialog " + std::to_string(t.id) + " opened: " + t.caption);
    });
    const ui::INT_PTR result = Inner().DialogBox(t, parent, procedure);
    if (main) {
        m_status = nullptr;
        m_install = nullptr;
    }
    m_log.Record("dialog " + std::to_string(t.id) + " closed with code " + std::to_string(result));
    return result;
}

ui::BOOL WatchingToolkit::SetWindowText(ui::HWND w, const char* text) {
    const ui::BOOL result = Inner().SetWindowText(w, text);
    if (w != nullptr && text != nullptr && (w == m_status.load() || w == m_install.load())) {
        // The dialog pushes all its texts on every update: log changes only.
        const bool status = w == m_status.load();
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string& last = status ? m_lastStatus : m_lastCaption;
        if (last != text) {
            last = text;
            m_log.Record(std::string(status ? "status: " : "button: ") + text);
        }
    }
    return result;
}

int WatchingToolkit::MessageBox(ui::HWND owner, const char* text, const char* caption, ui::UINT type) {
    m_log.Record(std::string("box [") + (caption ? caption : "") + "] " + (text ? text : ""));
    const int answer = Inner().MessageBox(owner, text, caption, type);
    m_log.Record(std::string("box answered: ") + AnswerName(answer));
    return answer;
}

}  // namespace unattended
