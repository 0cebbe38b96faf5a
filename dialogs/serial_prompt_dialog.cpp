#include "dialogs/serial_prompt_dialog.h"

#include "dialogs/dialog_templates.h"
#include "dialogs/dialog_ids.h"

namespace dialogs {

namespace {
// "19200", the rate most of the printers leave the factory with.
constexpr int kDefaultRateIndex = 5;
}  // namespace

SerialPromptDialog::SerialPromptDialog(ui::Toolkit& toolkit, ui::HWND parent)
    : ui::Dialog(toolkit, SerialPromptDialogTemplate(), parent) {}

void SerialPromptDialog::DoDataExchange(ui::DataExchange& dx) { dx.Control(IDC_BAUD_COMBO, m_baudCombo); }

win::BOOL SerialPromptDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    m_baudCombo.SetCurSel(kDefaultRateIndex);
    return 1;
}

bool SerialPromptDialog::OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                                         win::LRESULT* result) {
    using Self = SerialPromptDialog;
    static const ui::MessageMapEntry<Self> kMessageMap[] = {
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_SERIAL_YES, &Self::OnYes),
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_SERIAL_NO, &Self::OnNo),
    };
    return ui::DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

void SerialPromptDialog::OnYes() { EndDialog(PORTCHOICE_BASE + m_baudCombo.GetCurSel()); }

void SerialPromptDialog::OnNo() { EndDialog(PORTCHOICE_NONE); }

}  // namespace dialogs
