// What the network and parallel port dialogs share: a list of the
// spooler's ports that pass a test, with OK and Cancel.
#pragma once

#include <functional>

#include "platform/machine.h"
#include "ui/dialog.h"

namespace dialogs {

class PortListDialog : public ui::Dialog {
public:
    using PortFilter = std::function<bool(const win::PORT_INFO_2& port)>;

    PortListDialog(platform::Machine& machine, ui::Toolkit& toolkit, const ui::DialogTemplate& dialogTemplate,
                   ui::HWND parent, PortFilter filter);

protected:
    void DoDataExchange(ui::DataExchange& dx) override;
    win::BOOL OnInitDialog() override;

    // Lists every qualifying port, in the spooler's order, row 0 selected.
    void FillPortList();
    // The first selected row, or -1.
    int FirstSelectedRow() const;
    // Ends the dialog with PORTCHOICE_BASE plus the selected row, or 0 when
    // no row is selected.
    void EndWithSelection();
    void OnCancelButton();
    win::LRESULT OnCloseBox(win::WPARAM wParam, win::LPARAM lParam);

    platform::Machine& m_machine;
    ui::ListView m_portList;

private:
    PortFilter m_filter;
};

}  // namespace dialogs
