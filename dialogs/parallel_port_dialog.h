// The parallel port dialog (template 137): a list of the machine's LPT
// ports with OK and Cancel.
#pragma once

#include "dialogs/port_list_dialog.h"

namespace dialogs {

class ParallelPortDialog : public PortListDialog {
public:
    ParallelPortDialog(platform::Machine& machine, ui::Toolkit& toolkit, ui::HWND parent = nullptr);

protected:
    bool OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT* result) override;

private:
    void OnOkButton();
};

}  // namespace dialogs
