// The serial auto-select prompt (template 136): should the installer find
// the printer's serial port itself, and at which baud rate?
#pragma once

#include "ui/dialog.h"

namespace dialogs {

class SerialPromptDialog : public ui::Dialog {
public:
    explicit SerialPromptDialog(ui::Toolkit& toolkit, ui::HWND parent = nullptr);

protected:
    void DoDataExchange(ui::DataExchange& dx) override;
    win::BOOL OnInitDialog() override;
    bool OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT* result) override;

private:
    void OnYes();
    void OnNo();

    ui::ComboBox m_baudCombo;
};

}  // namespace dialogs
