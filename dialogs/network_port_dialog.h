// The network port dialog (template 129): the machine's standard TCP/IP
// ports, with New, Configure and Delete through the spooler's own dialogs.
#pragma once

#include "dialogs/port_list_dialog.h"

namespace dialogs {

class NetworkPortDialog : public PortListDialog {
public:
    NetworkPortDialog(platform::Machine& machine, ui::Toolkit& toolkit, ui::HWND parent = nullptr);

protected:
    bool OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT* result) override;

private:
    void OnNewPort();
    void OnConfigurePort();
    void OnDeletePort();
    void OnOkButton();
};

}  // namespace dialogs
