#include "app/installer_dialog.h"

#include <system_error>
#include <utility>

#include "app/dialog_templates.h"
#include "app/resource_ids.h"
#include "dialogs/serial_prompt_dialog.h"
#include "ports/port_lists.h"

namespace app {

const char* const APP_TITLE = "打印机驱动安装程序";

namespace {
const char* const kInitialStatus = "本驱动程序适用于32位和64位Windows操作系统";
const char* const kNoPreparationStatus = "无法启动安装准备,请关闭程序后重新运行";
}  // namespace

std::thread StartThread(std::function<void()> routine) { return std::thread(std::move(routine)); }

InstallerDialog::InstallerDialog(platform::Machine& machine, ui::Toolkit& toolkit, ThreadStarter startThread,
                                 RunObserver* observer)
    : ui::Dialog(toolkit, InstallerDialogTemplate()),
      m_machine(machine),
      m_staging(machine, *this),
      m_setAsDefault(1),
      m_statusText(kInitialStatus),
      m_portType(0),
      m_services(machine, *this),
      m_system(machine, *this),
      m_rights(machine, *this),
      m_ports(machine, *this),
      m_bindings(machine, *this),
      m_usbSearch(machine, *this, m_services, m_bindings),
      m_serialSearch(machine, *this, m_services, m_bindings, m_ports),
      m_myUpdateDataMessage(toolkit.RegisterWindowMessage("MyUpdateData")),
      m_observer(observer),
      m_startThread(std::move(startThread)) {}

InstallerDialog::~InstallerDialog() {
    if (m_prepareThread.joinable()) m_prepareThread.join();
}

void InstallerDialog::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_INSTALL, m_installButton);
    dx.Control(IDC_PROGRESS, m_progress);
    dx.Control(IDC_SERIES_COMBO, m_seriesCombo);
    dx.Control(IDC_PORT_TYPE_LIST, m_portTypeList);
    dx.Check(IDC_SET_DEFAULT, m_setAsDefault);
    dx.Text(IDC_STATUS, m_statusText);
}

bool InstallerDialog::OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                                      win::LRESULT* result) {
    if (m_stepWaiting && HeldWhileAStepWaits(message, wParam)) {
        *result = 0;
        return true;
    }
    using Self = InstallerDialog;
    static const ui::MessageMapEntry<Self> kMessageMap[] = {
        ui::MapCommand<Self>(win::BN_CLICKED, IDC_INSTALL, &Self::OnInstall),
        ui::MapCommand<Self>(win::CBN_SELCHANGE, IDC_SERIES_COMBO, &Self::OnSelchangeSeries),
        ui::MapRegisteredMessage<Self>(&Self::m_myUpdateDataMessage, &Self::OnMyUpdateData),
        ui::MapMessage<Self>(WM_SERIAL_BYTE, &Self::OnSerialByte),
        ui::MapMessage<Self>(win::WM_TIMER, &Self::OnTimer),
        ui::MapMessage<Self>(win::WM_CLOSE, &Self::OnClose),
        ui::MapMessage<Self>(win::WM_DESTROY, &Self::OnDestroy),
        ui::MapMessage<Self>(WM_PREPARATION_DONE, &Self::OnPreparationDone),
    };
    return ui::DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

win::BOOL InstallerDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();

    ports::FillPortTypeList(m_portTypeList);
    ShowData();

    m_windowThread = std::this_thread::get_id();
    m_preparing = true;
    try {
        m_prepareThread = m_startThread([this] { PrepareThreadProc(); });
    } catch (const std::system_error&) {
        // Nothing can be installed without the preparation; Install stays
        // disabled, and nothing runs that a close would have to wait for.
        m_preparing = false;
        PublishStatus(kNoPreparationStatus);
    }
    return 1;
}

void InstallerDialog::PrepareThreadProc() {
    // What the system forbids is said before the spooler is started or the
    // package unpacked; Install then stays disabled, and the window closes
    // as usual with nothing to clean up.
    if (!m_rights.Check()) {
        PostMessage(WM_PREPARATION_DONE);
        return;
    }
    m_services.StartOrRestartService("Spooler", services::SVCMODE_START);
    m_ports.EnumeratePorts();
    m_staging.PreparePackage();
    if (m_observer != nullptr) m_observer->OnPackagePrepared(m_staging.Root());
    FillSeriesList();
    m_system.ShowSystemInfo();
    // A package that is there but cannot be used is said last, where it
    // stays in view; a missing one leaves the list empty without a word.
    if (!m_staging.Problem().empty()) PublishStatus(m_staging.Problem());
    m_installButton.EnableWindow(1);
    PostMessage(WM_PREPARATION_DONE);
}

win::LRESULT InstallerDialog::OnPreparationDone(win::WPARAM, win::LPARAM) {
    if (m_prepareThread.joinable()) m_prepareThread.join();
    m_preparing = false;
    if (m_closeRequested) EndDialog(win::IDCANCEL);
    return 0;
}

win::LRESULT InstallerDialog::OnMyUpdateData(win::WPARAM wParam, win::LPARAM) {
    if (wParam == 0) {
        // Pushing the members into the controls must not undo a tick the
        // user changed meanwhile: take the check box's state first.
        ui::Button box;
        box.Attach(GetToolkit(), GetDlgItem(IDC_SET_DEFAULT));
        m_setAsDefault = box.GetCheck();
    }
    return UpdateData(static_cast<win::BOOL>(wParam));
}

win::LRESULT InstallerDialog::OnSerialByte(win::WPARAM, win::LPARAM lParam) {
    m_serialSearch.OnSerialByte(lParam);
    return 0;
}

win::LRESULT InstallerDialog::OnTimer(win::WPARAM, win::LPARAM) {
    m_serialSearch.OnTimer();
    PostCloseHeldDuringTheStep();
    return 0;
}

win::LRESULT InstallerDialog::OnClose(win::WPARAM, win::LPARAM) {
    OnCancel();
    return 0;
}

void InstallerDialog::OnCancel() {
    // While the preparation thread runs, the window must outlive it and the
    // package must not be cleaned up under the unpacker: the close is
    // carried out as soon as the thread has ended.
    if (m_preparing) {
        m_closeRequested = true;
        return;
    }
    EndDialog(win::IDCANCEL);
}

win::LRESULT InstallerDialog::OnDestroy(win::WPARAM, win::LPARAM) {
    m_destroying = true;
    KillProbeTimer();
    m_serialSearch.Abort();
    m_staging.CleanUp();
    return 0;
}

void InstallerDialog::KeepAnswering() {
    // The preparation thread's waits only wait; a wait inside a message
    // handled meanwhile does not nest another.
    if (std::this_thread::get_id() != m_windowThread || m_stepWaiting || m_destroying) return;
    m_stepWaiting = true;
    GetToolkit().PumpMessages();
    m_stepWaiting = false;
}

bool InstallerDialog::HeldWhileAStepWaits(win::UINT message, win::WPARAM wParam) {
    const int command = static_cast<int>(wParam & 0xFFFF);
    if (message == win::WM_CLOSE || (message == win::WM_COMMAND && command == win::IDCANCEL)) {
        m_closeHeld = true;
        return true;
    }
    return message == win::WM_TIMER ||
           (message == win::WM_COMMAND && (command == IDC_INSTALL || command == win::IDOK));
}

void InstallerDialog::PostCloseHeldDuringTheStep() {
    if (!m_closeHeld) return;
    m_closeHeld = false;
    PostMessage(win::WM_CLOSE);
}

void InstallerDialog::PublishStatus(const std::string& text) {
    m_statusText = text;
    ShowData();
}

void InstallerDialog::ShowData() { SendMessage(m_myUpdateDataMessage, 0, 0); }

void InstallerDialog::SetProgress(int position) { m_progress.SetPos(position); }

int InstallerDialog::AppMessageBox(const std::string& text, win::UINT type) {
    if ((type & win::MB_ICONMASK) == 0) {
        const win::UINT buttons = type & win::MB_TYPEMASK;
        if (buttons == win::MB_OK || buttons == win::MB_OKCANCEL) type |= win::MB_ICONEXCLAMATION;
    }
    return GetToolkit().MessageBox(GetSafeHwnd(), text.c_str(), APP_TITLE, type);
}

int InstallerDialog::DialogMessageBox(const std::string& text, const std::string& caption, win::UINT type) {
    return MessageBox(text, caption, type);
}

void InstallerDialog::EnableInstall(bool enable) { m_installButton.EnableWindow(enable ? 1 : 0); }

void InstallerDialog::SetInstallCaption(const std::string& caption) { m_installButton.SetWindowText(caption); }

void InstallerDialog::EndRun(const run::RunOutcome& outcome) {
    if (m_observer != nullptr) m_observer->OnRunEnded(outcome);
}

void InstallerDialog::RefreshPortTypeList(int defaultType) {
    ports::ApplyPortListStyle(m_portTypeList);
    ports::SelectRow(m_portTypeList, defaultType);
    ShowData();
}

int InstallerDialog::AskSerialSearch() {
    dialogs::SerialPromptDialog prompt(GetToolkit(), GetSafeHwnd());
    return static_cast<int>(prompt.DoModal());
}

void InstallerDialog::SetProbeTimer(win::UINT elapseMs) { SetTimer(ports::SERIAL_PROBE_TIMER, elapseMs); }

void InstallerDialog::KillProbeTimer() { KillTimer(ports::SERIAL_PROBE_TIMER); }

}  // namespace app
