// What a run of the installer may ask of the window that shows it, and
// nothing more: the status line, the progress bar, message boxes, the
// Install button, the end of a run, the default-printer tick as it stands
// when a step reads it, the port-type list's refresh, the serial
// prompt, the probe timer, and the owner window and toolkit for child
// dialogs and the serial channel. The installer's dialog implements it;
// tests implement it without a window.
#pragma once

#include <string>

#include "platform/win_types.h"
#include "run/run_outcome.h"
#include "ui/toolkit.h"

namespace run {

// The Install button's caption once the printer is installed: the next
// click closes the window.
inline constexpr const char* TEXT_DONE = "完成";
// Its caption after a failure the user may retry.
inline constexpr const char* TEXT_REINSTALL = "重新安装";

class InstallerView {
public:
    virtual ~InstallerView() = default;

    // The status line: set it, and show it before the caller goes on.
    virtual void PublishStatus(const std::string& text) = 0;
    // Set it, to be shown by the next ShowData.
    virtual void SetStatusText(const std::string& text) = 0;
    // Copies the window's data (status line, tick) into its controls, on
    // the window's thread, before the caller goes on.
    virtual void ShowData() = 0;
    virtual void SetProgress(int position) = 0;

    // A message box captioned with the application's title and owned by the
    // window; an OK box without an icon of its own gets the warning icon.
    virtual int AppMessageBox(const std::string& text, win::UINT type = win::MB_OK) = 0;
    // A message box owned by the window, with a caption of the caller's.
    virtual int DialogMessageBox(const std::string& text, const std::string& caption, win::UINT type) = 0;

    virtual void EnableInstall(bool enable) = 0;
    virtual void SetInstallCaption(const std::string& caption) = 0;
    // Ends the window as its OK would.
    virtual void CloseAsDone() = 0;
    // How the current run ended; called once per run, before the Install
    // button is usable again or the window closes.
    virtual void EndRun(const RunOutcome& outcome) = 0;

    // Whether the printer is to become the default printer.
    virtual bool SetAsDefault() = 0;
    // Whether a search may still try another port or search again: a run
    // with a person always may; one without is bounded in time.
    virtual bool MayTryAgain() = 0;

    // The port lists were read again: the port-type list gets its style and
    // `defaultType` as its selected row, and the window its data.
    virtual void RefreshPortTypeList(int defaultType) = 0;
    // Asks whether to search the serial ports, and at which rate; the
    // prompt's end code.
    virtual int AskSerialSearch() = 0;

    // Timer 1 of the window, which drives the serial search.
    virtual void SetProbeTimer(win::UINT elapseMs) = 0;
    virtual void KillProbeTimer() = 0;

    // Called between the polls of a step that waits (a service's state):
    // the window answers what is waiting for it, and starts nothing
    // meanwhile. Does nothing off the window's thread.
    virtual void KeepAnswering() = 0;

    // For the child dialogs and the serial channel.
    virtual ui::Toolkit& Toolkit() = 0;
    virtual ui::HWND OwnerWindow() = 0;
};

}  // namespace run
