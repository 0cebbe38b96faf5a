// The application object: shows the installer dialog modally; when the
// dialog ends, the program ends.
#pragma once

#include "app/installer_dialog.h"
#include "platform/machine.h"
#include "ui/toolkit.h"

namespace app {

class InstallerApp {
public:
    // `observer`, where given, is told how each run of the dialog ended.
    InstallerApp(platform::Machine& machine, ui::Toolkit& toolkit, RunObserver* observer = nullptr)
        : m_machine(machine), m_toolkit(toolkit), m_observer(observer) {}

    // Runs the installer. Returns the dialog's end code (IDOK after "完成",
    // IDCANCEL after Cancel or the close box, -1 when it could not be shown).
    int Run();

private:
    platform::Machine& m_machine;
    ui::Toolkit& m_toolkit;
    RunObserver* m_observer;
};

}  // namespace app
