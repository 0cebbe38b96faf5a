#include "tools/terminal/front_end.h"

#define NCURSES_WIDECHAR 1
#include <ncursesw/curses.h>

#include "app/resource_ids.h"
#include "tools/terminal/text_display.h"

namespace terminal {

namespace {

using namespace std::chrono_literals;
using ui::portable::WindowState;

constexpr int kCtrlC = 3;
constexpr int kInstallButton = 1012;
constexpr auto kPollInterval = 50ms;
constexpr auto kQuitStepInterval = 150ms;
// Long enough for a serial search to finish its last port.
constexpr auto kQuitGiveUp = 20s;
constexpr int kPopupPageItems = 1;

const wchar_t kFooter[] =
    L"Tab/Shift+Tab 切换  方向键 选择  F4 展开列表  Enter 确定  空格 按下  Esc 取消  鼠标 点击  Ctrl+C 退出";
const wchar_t kQuittingFooter[] = L"正在退出: 关闭提示框和对话框...";

}  // namespace

FrontEnd::FrontEnd(ui::portable::PortableToolkit& toolkit, std::function<bool()> ended, std::wstring title)
    : m_toolkit(toolkit), m_ended(std::move(ended)), m_title(std::move(title)) {}

bool FrontEnd::Run(const std::atomic<bool>& quitRequested) {
    std::uint64_t drawnVersion = ~std::uint64_t{0};
    bool needRedraw = true;
    while (!m_ended()) {
        const std::uint64_t version = m_toolkit.Version();
        if (version != drawnVersion || needRedraw) {
            drawnVersion = version;
            needRedraw = false;
            Redraw();
        }
        timeout(static_cast<int>(kPollInterval.count()));
        const int key = getch();
        if (key == KEY_RESIZE) {
            needRedraw = true;
        } else if (key == kCtrlC || key == KEY_F(10)) {
            if (!m_quitting) {
                m_quitting = true;
                m_quitStarted = std::chrono::steady_clock::now();
                m_popup.reset();
                needRedraw = true;
            }
        } else if (key != ERR && !m_quitting) {
            HandleKey(key);
            needRedraw = true;
        }
        if (quitRequested.load() && !m_quitting) {
            m_quitting = true;
            m_quitStarted = std::chrono::steady_clock::now();
        }
        if (m_quitting) {
            if (std::chrono::steady_clock::now() - m_quitStarted > kQuitGiveUp) return false;
            QuitStep();
        }
    }
    return true;
}

void FrontEnd::Redraw() {
    m_windows = m_toolkit.Snapshot();
    const WindowState* active = ActiveWindow();
    if (m_popup && (active == nullptr || active->hwnd != m_popup->window)) m_popup.reset();
    m_renderer.Draw(m_windows, m_popup, m_quitting ? kQuittingFooter : kFooter);
    // The title goes on the desktop's first line when a window leaves it free.
    bool firstLineFree = true;
    for (const WindowState& window : m_windows) {
        if (LayOutWindow(window, LINES, COLS).frame.row == 0) firstLineFree = false;
    }
    if (firstLineFree) {
        mvaddwstr(0, 1, FitCells(m_title, COLS - 2).c_str());
        refresh();
    }
}

const WindowState* FrontEnd::ActiveWindow() const {
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if (it->enabled) return &*it;
    }
    return nullptr;
}

void FrontEnd::OpenPopup(const WindowState& window, int controlId) {
    const ui::portable::ControlState* combo = window.Control(controlId);
    if (combo == nullptr || combo->items.empty() || !combo->enabled) return;
    m_popup = ComboPopup{window.hwnd, controlId, combo->curSel < 0 ? 0 : combo->curSel};
}

void FrontEnd::ChoosePopupItem(int index) {
    if (!m_popup) return;
    m_toolkit.SelectComboItem(m_popup->window, m_popup->controlId, index);
    m_popup.reset();
}

void FrontEnd::HandleKey(int key) {
    m_windows = m_toolkit.Snapshot();
    const WindowState* active = ActiveWindow();
    if (active == nullptr) return;
    if (key == KEY_MOUSE) {
        HandleMouse();
        return;
    }
    if (m_popup) {
        const ui::portable::ControlState* combo = active->Control(m_popup->controlId);
        const int count = combo != nullptr ? static_cast<int>(combo->items.size()) : 0;
        switch (key) {
        case KEY_UP: m_popup->highlight = std::max(0, m_popup->highlight - kPopupPageItems); return;
        case KEY_DOWN: m_popup->highlight = std::min(count - 1, m_popup->highlight + kPopupPageItems); return;
        case KEY_HOME: m_popup->highlight = 0; return;
        case KEY_END: m_popup->highlight = count - 1; return;
        case '\n': case '\r': case KEY_ENTER: case ' ': ChoosePopupItem(m_popup->highlight); return;
        case 27: case KEY_F(4): m_popup.reset(); return;
        default: return;
        }
    }
    const ui::HWND window = active->hwnd;
    switch (key) {
    case '\t': m_toolkit.PressKey(window, win::VK_TAB); break;
    case KEY_BTAB: m_toolkit.PressKey(window, win::VK_TAB, true); break;
    case KEY_UP: m_toolkit.PressKey(window, win::VK_UP); break;
    case KEY_DOWN: m_toolkit.PressKey(window, win::VK_DOWN); break;
    case KEY_LEFT: m_toolkit.PressKey(window, win::VK_LEFT); break;
    case KEY_RIGHT: m_toolkit.PressKey(window, win::VK_RIGHT); break;
    case '\n': case '\r': case KEY_ENTER: m_toolkit.PressKey(window, win::VK_RETURN); break;
    case ' ': m_toolkit.PressKey(window, win::VK_SPACE); break;
    case 27: m_toolkit.PressKey(window, win::VK_ESCAPE); break;
    case KEY_F(4):
        for (const auto& control : active->controls) {
            if (control.focused && control.className == ui::kClassComboBox) OpenPopup(*active, control.id);
        }
        break;
    default: break;
    }
}

void FrontEnd::HandleMouse() {
    MEVENT event{};
    if (getmouse(&event) != OK) return;
    if ((event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) == 0) return;
    const std::optional<Hit> hit = m_renderer.HitTest(event.y, event.x);
    const WindowState* active = ActiveWindow();
    if (!hit || active == nullptr || hit->window != active->hwnd) {
        // Clicks on the owner of a modal window go nowhere, as on Windows.
        m_popup.reset();
        return;
    }
    if (hit->popupItem) {
        if (hit->listRow >= 0) ChoosePopupItem(hit->listRow);
        return;
    }
    const bool popupWasOpen = m_popup.has_value() && m_popup->controlId == hit->controlId;
    m_popup.reset();
    if (hit->closeBox) {
        m_toolkit.CloseWindow(hit->window);
        return;
    }
    if (hit->controlId == 0) return;
    const ui::portable::ControlState* control = active->Control(hit->controlId);
    if (control == nullptr) return;
    if (control->className == ui::kClassComboBox) {
        m_toolkit.Click(hit->window, hit->controlId);
        if (!popupWasOpen) OpenPopup(*active, hit->controlId);
    } else if (control->className == ui::kClassListView) {
        if (hit->listRow >= 0) {
            m_toolkit.SelectListRow(hit->window, hit->controlId, hit->listRow);
        } else {
            m_toolkit.Click(hit->window, hit->controlId);
        }
    } else {
        m_toolkit.Click(hit->window, hit->controlId);
    }
}

void FrontEnd::QuitStep() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastQuitStep < kQuitStepInterval) return;
    m_lastQuitStep = now;
    m_windows = m_toolkit.Snapshot();
    const WindowState* active = ActiveWindow();
    if (active == nullptr) return;
    if (active->isMessageBox) {
        int answer = active->buttons.empty() ? win::IDCANCEL : active->buttons.front();
        for (int wanted : {win::IDNO, win::IDCANCEL}) {
            for (int button : active->buttons) {
                if (button == wanted) answer = wanted;
            }
        }
        m_toolkit.AnswerMessageBox(active->hwnd, answer);
        return;
    }
    if (active->templateId != app::IDD_INSTALLER) {
        m_toolkit.CloseWindow(active->hwnd);
        return;
    }
    const ui::portable::ControlState* install = active->Control(kInstallButton);
    if (install != nullptr && install->enabled && install->text == "完成") {
        m_toolkit.Click(active->hwnd, kInstallButton);
    } else {
        m_toolkit.CloseWindow(active->hwnd);
    }
}

}  // namespace terminal
