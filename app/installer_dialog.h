// The main installer dialog (template 103): its controls, the data it
// exchanges with them, the preparation thread that readies the machine as
// it opens, and the subsystems it owns. The work itself belongs to the
// subsystems, which reach the window only through run::InstallerView:
//   package/   unpacking and clean-up of the driver package
//   services/  the spooler service and the driver-loading privilege
//   install/   which Windows this is, the receipt and label sequences
//   ports/     the port lists, the printers' port bindings, the USB and
//              serial searches
//   dialogs/   the port dialogs and the port choices that open them
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "install/driver_installation.h"
#include "install/install_rights.h"
#include "install/system_identity.h"
#include "package/package_staging.h"
#include "platform/machine.h"
#include "ports/port_bindings.h"
#include "ports/port_inventory.h"
#include "ports/serial_search.h"
#include "ports/usb_search.h"
#include "run/installer_view.h"
#include "serial/serial_port_channel.h"
#include "services/service_control.h"
#include "ui/dialog.h"

namespace app {

// Sent by the serial channel's worker for every byte it receives.
constexpr win::UINT WM_SERIAL_BYTE = serial::SERIALMSG_CHAR;

// Posted by the preparation thread as it ends, so that the dialog's thread
// can join it and carry out a close the user asked for meanwhile.
constexpr win::UINT WM_PREPARATION_DONE = win::WM_USER + 100;

// The program's title: the caption of its application message boxes.
extern const char* const APP_TITLE;

// Starts a thread that runs `routine`. Throws std::system_error, as
// std::thread does, when the system cannot make one.
using ThreadStarter = std::function<std::thread(std::function<void()> routine)>;
std::thread StartThread(std::function<void()> routine);

// Told how each run of the dialog ended, and asked whether a search may
// try again (an unattended run's policy).
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void OnRunEnded(const run::RunOutcome& outcome) = 0;
    virtual bool MayTryAgain() = 0;
    // After the preparation: the folder the package was unpacked into,
    // empty when none was.
    virtual void OnPackagePrepared(const std::string& packageFolder) {}
};

class InstallerDialog : public ui::Dialog, private run::InstallerView {
public:
    InstallerDialog(platform::Machine& machine, ui::Toolkit& toolkit, ThreadStarter startThread = StartThread,
                    RunObserver* observer = nullptr);
    ~InstallerDialog() override;

    // --- Start-up and data exchange ---
    void DoDataExchange(ui::DataExchange& dx) override;
    win::BOOL OnInitDialog() override;
    win::LRESULT OnMyUpdateData(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnSerialByte(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnTimer(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnClose(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnDestroy(win::WPARAM wParam, win::LPARAM lParam);
    win::LRESULT OnPreparationDone(win::WPARAM wParam, win::LPARAM lParam);
    void OnCancel() override;
    void PrepareThreadProc();

    // --- Install dispatch and printer-name list ---
    void FillSeriesList();
    void OnSelchangeSeries();
    void OnInstall();

protected:
    bool OnDialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT* result) override;

private:
    // --- What a run asks of the window ---
    void PublishStatus(const std::string& text) override;
    void SetStatusText(const std::string& text) override { m_statusText = text; }
    void ShowData() override;
    void SetProgress(int position) override;
    int AppMessageBox(const std::string& text, win::UINT type = win::MB_OK) override;
    int DialogMessageBox(const std::string& text, const std::string& caption, win::UINT type) override;
    void EnableInstall(bool enable) override;
    void SetInstallCaption(const std::string& caption) override;
    void CloseAsDone() override { OnOK(); }
    void EndRun(const run::RunOutcome& outcome) override;
    bool SetAsDefault() override { return m_setAsDefault == 1; }
    bool MayTryAgain() override { return m_observer == nullptr || m_observer->MayTryAgain(); }
    void RefreshPortTypeList(int defaultType) override;
    int AskSerialSearch() override;
    void SetProbeTimer(win::UINT elapseMs) override;
    void KillProbeTimer() override;
    void KeepAnswering() override;
    ui::Toolkit& Toolkit() override { return GetToolkit(); }
    ui::HWND OwnerWindow() override { return GetSafeHwnd(); }

    // What a step that waits lets through: the close is remembered for when
    // the step is over, and nothing that would start a second action (the
    // Install and OK commands, the probe timer's tick) is carried out.
    bool HeldWhileAStepWaits(win::UINT message, win::WPARAM wParam);
    // A close asked for while a step waited: posted as the window's own
    // close once the handler that ran the step returns, so that it is
    // carried out, as before, only if the window is still open then.
    void PostCloseHeldDuringTheStep();

    // What the user chose, for one Install click; false (with the user
    // told and Install usable again) when nothing can be installed.
    bool ReadSelection(install::InstallSelection* selection);

    platform::Machine& m_machine;

    // The members in the order that fixes construction and destruction.
    package::PackageStaging m_staging;
    ui::Button m_installButton;
    ui::ProgressBar m_progress;
    ui::ComboBox m_seriesCombo;
    ui::ListView m_portTypeList;
    int m_setAsDefault;
    std::string m_statusText;
    install::ReceiptGroups m_receiptGroups;
    int m_portType;
    services::ServiceControl m_services;
    install::SystemIdentity m_system;
    install::InstallRights m_rights;
    ports::PortInventory m_ports;
    ports::PortBindings m_bindings;
    ports::UsbSearch m_usbSearch;
    ports::SerialSearch m_serialSearch;

    // The registered message "MyUpdateData".
    win::UINT m_myUpdateDataMessage;
    RunObserver* m_observer;
    // Makes the preparation thread.
    ThreadStarter m_startThread;
    // The preparation thread; joined once it has ended, before the dialog
    // goes away, so that nothing is destroyed or cleaned up under it.
    std::thread m_prepareThread;
    std::atomic<bool> m_preparing{false};
    bool m_closeRequested = false;
    // The window's own thread, the only one whose waits answer messages.
    std::thread::id m_windowThread;
    // A step waits and the window answers meanwhile; a close came then.
    bool m_stepWaiting = false;
    bool m_closeHeld = false;
    // WM_DESTROY has come: a wait in the clean-up answers nothing.
    bool m_destroying = false;
};

}  // namespace app
