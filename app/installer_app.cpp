#include "app/installer_app.h"

#include "app/installer_dialog.h"

namespace app {

int InstallerApp::Run() {
    InstallerDialog dialog(m_machine, m_toolkit);
    return static_cast<int>(dialog.DoModal());
}

}  // namespace app
