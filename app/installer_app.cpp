#include "app/installer_app.h"

namespace app {

int InstallerApp::Run() {
    InstallerDialog dialog(m_machine, m_toolkit, StartThread, m_observer);
    return static_cast<int>(dialog.DoModal());
}

}  // namespace app
