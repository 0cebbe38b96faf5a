// The printer-name list from the package's model list, and the Install button.
#include "app/installer_dialog.h"
#include "app/resource_ids.h"
#include "install/driver_catalogue.h"

namespace app {

void InstallerDialog::FillSeriesList() {
    m_seriesCombo.ResetContent();
    m_staging.ForEachPrinterName([this](int, const std::string& name) { m_seriesCombo.AddString(name); });
    m_seriesCombo.SetCurSel(0);
    OnSelchangeSeries();
    ShowData();
}

void InstallerDialog::OnSelchangeSeries() {
    ui::Edit name;
    name.Attach(GetToolkit(), GetDlgItem(IDC_PRINTER_NAME));
    name.SetWindowText(m_seriesCombo.GetWindowText());
}

void InstallerDialog::OnInstall() {
    UpdateData(1);
    if (m_installButton.GetWindowText() == run::TEXT_DONE) {
        OnOK();
        return;
    }
    m_installButton.EnableWindow(0);

    install::InstallSelection selection;
    if (ReadSelection(&selection)) {
        const std::string packageFolder = m_staging.Root();
        const install::InstallerParts parts{m_machine, *this,     m_services,    m_system,
                                            m_ports,   m_usbSearch, m_serialSearch, packageFolder};
        install::DriverInstallation installation(parts, m_receiptGroups, selection);
        if (selection.m_seriesIndex < m_receiptGroups.ReceiptRowCount()) {
            installation.InstallReceiptDriver();
        } else {
            installation.InstallLabelDriver();
        }
    }

    ui::Window cancel;
    cancel.Attach(GetToolkit(), GetDlgItem(win::IDCANCEL));
    cancel.EnableWindow(0);
    UpdateData(0);
    PostCloseHeldDuringTheStep();
}

bool InstallerDialog::ReadSelection(install::InstallSelection* selection) {
    const int rows = m_portTypeList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (m_portTypeList.GetItemState(row, win::LVIS_SELECTED) == win::LVIS_SELECTED) {
            m_portType = row;
            break;
        }
    }
    selection->m_portType = m_portType;
    const ports::StringArray& ports = m_ports.PortsOfType(m_portType);
    selection->m_portAvailable = !ports.empty();
    if (!ports.empty()) selection->m_portName = ports.front();

    int& seriesIndex = selection->m_seriesIndex;
    seriesIndex = m_seriesCombo.GetCurSel();
    const std::string chosen = m_seriesCombo.GetWindowText();
    selection->m_printerName = chosen;
    m_staging.ForEachPrinterName([&](int section, const std::string& name) {
        if (name == chosen) seriesIndex = section;
    });

    // No model chosen (an empty list), or a configuration whose sections
    // run past the catalogue: there is no driver to install.
    const int catalogueRows = m_receiptGroups.ReceiptRowCount() + install::CATALOGUE_LABEL_ROWS;
    if (seriesIndex < 0 || seriesIndex >= catalogueRows) {
        MessageBox(seriesIndex < 0 ? "请先选择打印机型号" : "所选型号没有对应的驱动程序", "提示",
                   win::MB_OK | win::MB_ICONINFORMATION);
        EndRun(run::RunOutcome::Stopped(seriesIndex < 0 ? "no model is chosen"
                                                        : "the model list names a model past the driver catalogue"));
        m_installButton.EnableWindow(1);
        return false;
    }

    // The package has x86 and x64 drivers only: on another processor the
    // spooler would refuse them, so nothing is staged or registered.
    const std::string processor = m_system.UnsupportedProcessor();
    if (!processor.empty()) {
        PublishStatus("本驱动程序不支持此系统的处理器(" + processor + ")");
        EndRun(run::RunOutcome::Stopped("the package has no drivers for the processor " + processor,
                                        run::Refusal::kProcessor));
        m_installButton.EnableWindow(1);
        return false;
    }
    return true;
}

}  // namespace app
