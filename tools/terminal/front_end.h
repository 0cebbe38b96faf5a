// The terminal front end's loop: draws the toolkit's windows on every
// change and turns keys and mouse clicks into the user's actions.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "tools/terminal/terminal_renderer.h"
#include "ui/portable/portable_toolkit.h"

namespace terminal {

class FrontEnd {
public:
    // `ended` tells when the installer's dialog has ended; `title` is shown
    // above the windows.
    FrontEnd(ui::portable::PortableToolkit& toolkit, std::function<bool()> ended, std::wstring title);

    // Runs in the terminal (ncurses already started) until the installer
    // has ended. False when a quit request could not close the installer
    // in time.
    bool Run(const std::atomic<bool>& quitRequested);

private:
    void HandleKey(int key);
    void HandleMouse();
    // One step of closing down the way a user would: answer the box, close
    // the port dialog, then press 完成 or close the main window.
    void QuitStep();
    const ui::portable::WindowState* ActiveWindow() const;
    void OpenPopup(const ui::portable::WindowState& window, int controlId);
    void ChoosePopupItem(int index);
    void Redraw();

    ui::portable::PortableToolkit& m_toolkit;
    std::function<bool()> m_ended;
    std::wstring m_title;
    TerminalRenderer m_renderer;
    std::vector<ui::portable::WindowState> m_windows;
    std::optional<ComboPopup> m_popup;
    bool m_quitting = false;
    std::chrono::steady_clock::time_point m_quitStarted;
    std::chrono::steady_clock::time_point m_lastQuitStep;
};

}  // namespace terminal
