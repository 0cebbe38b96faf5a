// The printer-name list from "C:\DriverName.cfg" and the Install button.
#include "app/installer_dialog.h"
#include "app/model_list.h"
#include "app/resource_ids.h"
#include "install/driver_catalogue.h"

namespace app {

unsigned char g_portAvailable = 1;

void InstallerDialog::ForEachPrinterName(const std::function<void(int section, const std::string& name)>& visit) {
    app::ForEachPrinterName(m_machine.files(), visit);
}

void InstallerDialog::FillSeriesList() {
    m_seriesCombo.ResetContent();
    ForEachPrinterName([this](int, const std::string& name) { m_seriesCombo.AddString(name); });
    m_seriesCombo.SetCurSel(0);
    OnSelchangeSeries();
    SendMessage(m_myUpdateDataMessage, 0, 0);
}

void InstallerDialog::OnSelchangeSeries() {
    ui::Edit name;
    name.Attach(GetToolkit(), GetDlgItem(IDC_PRINTER_NAME));
    name.SetWindowText(m_seriesCombo.GetWindowText());
}

void InstallerDialog::OnInstall() {
    UpdateData(1);
    if (m_installButton.GetWindowText() == TEXT_DONE) {
        OnOK();
        return;
    }
    m_installButton.EnableWindow(0);

    const int rows = m_portTypeList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (m_portTypeList.GetItemState(row, win::LVIS_SELECTED) == win::LVIS_SELECTED) {
            m_portType = row;
            break;
        }
    }

    const StringArray* ports = nullptr;
    switch (m_portType) {
    case PORTTYPE_SERIAL: ports = &m_serialPorts; break;
    case PORTTYPE_USB: ports = &m_usbPorts; break;
    case PORTTYPE_PARALLEL: ports = &m_lptPorts; break;
    case PORTTYPE_NETWORK: ports = &m_tcpPorts; break;
    default: break;
    }
    if (ports != nullptr) {
        if (!ports->empty()) {
            m_portName = ports->front();
            g_portAvailable = 1;
        } else {
            g_portAvailable = 0;
        }
    }

    m_seriesIndex = m_seriesCombo.GetCurSel();
    const std::string chosen = m_seriesCombo.GetWindowText();
    ForEachPrinterName([&](int section, const std::string& name) {
        if (name == chosen) m_seriesIndex = section;
    });

    // No model chosen (an empty list), or a configuration whose sections
    // run past the catalogue: there is no driver to install.
    const int catalogueRows = ReceiptRowCount() + install::CATALOGUE_LABEL_ROWS;
    if (m_seriesIndex < 0 || m_seriesIndex >= catalogueRows) {
        MessageBox(m_seriesIndex < 0 ? "请先选择打印机型号" : "所选型号没有对应的驱动程序", "提示",
                   win::MB_OK | win::MB_ICONINFORMATION);
        m_installButton.EnableWindow(1);
        return;
    }

    // The package has x86 and x64 drivers only: on another processor the
    // spooler would refuse them, so nothing is staged or registered.
    const std::string processor = UnsupportedProcessor();
    if (!processor.empty()) {
        PublishStatus("本驱动程序不支持此系统的处理器(" + processor + ")");
        m_installButton.EnableWindow(1);
        return;
    }

    if (m_seriesIndex < ReceiptRowCount()) {
        InstallReceiptDriver();
    } else {
        InstallLabelDriver();
    }

    ui::Window cancel;
    cancel.Attach(GetToolkit(), GetDlgItem(win::IDCANCEL));
    cancel.EnableWindow(0);
    UpdateData(0);
}

}  // namespace app
