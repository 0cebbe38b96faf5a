#include "dialogs/parallel_port_dialog.h"

#include <cstring>

#include "dialogs/dialog_templates.h"
#include "dialogs/dialog_ids.h"

namespace dialogs {

ParallelPortDialog::ParallelPortDialog(platform::Machine& machine, ui::Toolkit& toolkit, ui::HWND parent)
    : PortListDialog(machine, toolkit, ParallelPortDialogTemplate(), parent, [](const win::PORT_INFO_2& port) {
          return port.pPortName != nullptr && std::strncmp(port.pPortName, "LPT", 3) == 0;
      }) {}

bool ParallelPortDialog::OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                                         win::LRESULT* result) {
    using Self = ParallelPortDialog;
    static const ui::MessageMapEntry<Self> kMessageMap[] = {
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_PORT_OK, &Self::OnOkButton),
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_PORT_CANCEL, &Self::OnCancelButton),
        ui::MapMessage<Self>(win::WM_CLOSE, &Self::OnCloseBox),
    };
    return ui::DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

void ParallelPortDialog::OnOkButton() { EndWithSelection(); }

}  // namespace dialogs
