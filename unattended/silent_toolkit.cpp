#include "unattended/silent_toolkit.h"

#include "app/resource_ids.h"
#include "dialogs/dialog_ids.h"
#include "ports/port_enumeration.h"
#include "ports/usb_search.h"
#include "run/installer_view.h"
#include "unattended/exit_codes.h"
#include "unattended/text_match.h"
#include "unattended/watching_toolkit.h"

namespace unattended {

namespace {

const ui::portable::WindowState* FindWindow(const std::vector<ui::portable::WindowState>& windows, ui::HWND hwnd) {
    for (const auto& window : windows) {
        if (window.hwnd == hwnd) return &window;
    }
    return nullptr;
}

int ExitCodeFor(run::Refusal refusal) {
    switch (refusal) {
        case run::Refusal::kNotElevated: return EXIT_NOT_ELEVATED;
        case run::Refusal::kPolicy: return EXIT_POLICY_FORBIDS;
        case run::Refusal::kProcessor: return EXIT_UNSUPPORTED_SYSTEM;
        case run::Refusal::kNone: break;
    }
    return EXIT_FAILED;
}

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + ("\"" + name + "\"");
    return text.empty() ? "none" : text;
}

}  // namespace

SilentToolkit::SilentToolkit(ui::portable::PortableToolkit& screenless, platform::Machine& machine,
                             const CommandLine& options, RunLog& log, const RunBound& bound,
                             std::function<void(const std::string& packageFolder)> listModels)
    : ForwardingToolkit(screenless),
      m_screenless(screenless),
      m_machine(machine),
      m_options(options),
      m_log(log),
      m_bound(bound),
      m_listModels(std::move(listModels)),
      m_stepMessage(screenless.RegisterWindowMessage("DriverSetup.SilentStep")),
      m_usbRetriesLeft(options.usbRetries) {}

ui::INT_PTR SilentToolkit::DialogBox(const ui::DialogTemplate& t, ui::HWND parent, ui::DialogProcedure& p) {
    const int id = t.id;
    ProcedureInFront procedure(
        p,
        [this, id](ui::HWND dialog, ui::UINT message, ui::WPARAM, ui::LPARAM) {
            if (message == win::WM_INITDIALOG && id == app::IDD_INSTALLER) {
                // Known before the dialog starts its preparation thread,
                // whose last act is to make Install usable.
                m_install = Inner().GetDlgItem(dialog, app::IDC_INSTALL);
                m_status = Inner().GetDlgItem(dialog, app::IDC_STATUS);
                m_main = dialog;
            }
            if (message != m_stepMessage) return false;
            Step(dialog, id);
            return true;
        },
        [this, id](ui::HWND dialog) {
            if (id != app::IDD_INSTALLER) Inner().PostMessage(dialog, m_stepMessage, 0, 0);
        });
    return Inner().DialogBox(t, parent, procedure);
}

ui::BOOL SilentToolkit::EnableWindow(ui::HWND w, ui::BOOL enable) {
    const ui::BOOL result = Inner().EnableWindow(w, enable);
    // Install becomes usable when the preparation is over and again when a
    // run has ended, whichever way.
    if (enable && w != nullptr && w == m_install.load()) Inner().PostMessage(m_main.load(), m_stepMessage, 0, 0);
    return result;
}

ui::BOOL SilentToolkit::SetWindowText(ui::HWND w, const char* text) {
    if (w != nullptr && text != nullptr && w == m_status.load()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastStatus = text;
    }
    return Inner().SetWindowText(w, text);
}

int SilentToolkit::MessageBox(ui::HWND, const char* text, const char* caption, ui::UINT type) {
    const std::string captionText = caption ? caption : "";
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastBox = text ? text : "";
    int answer = win::IDOK;
    switch (type & win::MB_TYPEMASK) {
        case win::MB_OKCANCEL:
        case win::MB_RETRYCANCEL:
        case win::MB_YESNOCANCEL: answer = win::IDCANCEL; break;
        case win::MB_YESNO: answer = win::IDNO; break;
        case win::MB_ABORTRETRYIGNORE: answer = win::IDABORT; break;
        default: break;
    }
    if (captionText == ports::TEXT_USB_SEARCH_FAILED && m_usbRetriesLeft > 0 && MayTryAgainLocked()) {
        --m_usbRetriesLeft;
        answer = win::IDRETRY;
    }
    return answer;
}

bool SilentToolkit::MayTryAgain() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return MayTryAgainLocked();
}

bool SilentToolkit::MayTryAgainLocked() {
    if (!m_bound.Spent()) return true;
    if (!m_boundLogged) {
        m_boundLogged = true;
        m_log.Record("silent: the run's bound of " + std::to_string(m_bound.LimitMs() / 1000) +
                     " s is spent: no further port is tried and the USB search is not repeated");
    }
    return false;
}

void SilentToolkit::OnPackagePrepared(const std::string& packageFolder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packageFolder = packageFolder;
}

void SilentToolkit::OnRunEnded(const run::RunOutcome& outcome) {
    bool refusedPreparation = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_outcome = outcome;
        m_log.Record("silent: the run ended: " + run::Describe(outcome));
        // A preparation that the system refuses never makes Install usable:
        // the next step is to close.
        refusedPreparation = m_phase == Phase::kPreparing && outcome.refusal != run::Refusal::kNone;
    }
    if (refusedPreparation) Inner().PostMessage(m_main.load(), m_stepMessage, 0, 0);
}

void SilentToolkit::Step(ui::HWND dialog, int templateId) {
    switch (templateId) {
        case app::IDD_INSTALLER: {
            Phase phase;
            bool refused = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                phase = m_phase;
                refused = m_outcome.has_value() && m_outcome->refusal != run::Refusal::kNone;
            }
            // A preparation the system refused ends the run as an
            // installation that stopped would.
            if (phase == Phase::kInstalling || (phase == Phase::kPreparing && refused)) {
                EndRun(dialog);
            } else if (phase == Phase::kPreparing) {
                StartInstallation(dialog);
            }
            break;
        }
        case dialogs::IDD_PARALLEL_PORT:
        case dialogs::IDD_NETWORK_PORT: ChoosePortRow(dialog); break;
        case dialogs::IDD_SERIAL_PROMPT: AnswerSerialPrompt(dialog); break;
        default: m_screenless.CloseWindow(dialog); break;
    }
}

void SilentToolkit::StartInstallation(ui::HWND main) {
    const auto windows = m_screenless.Snapshot();
    const ui::portable::WindowState* state = FindWindow(windows, main);
    const ui::portable::ControlState* models = state ? state->Control(app::IDC_SERIES_COMBO) : nullptr;
    const ui::portable::ControlState* types = state ? state->Control(app::IDC_PORT_TYPE_LIST) : nullptr;
    const ui::portable::ControlState* tick = state ? state->Control(app::IDC_SET_DEFAULT) : nullptr;
    if (models == nullptr || types == nullptr || tick == nullptr) return;

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_phase = Phase::kInstalling;
    }
    if (models->items.empty()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_phase = Phase::kEnded;
        m_result = {EXIT_FAILED, "the driver package gave no model list: it is missing or cannot be read"};
        m_log.Record("silent: " + m_result.reason);
        m_screenless.CloseWindow(main);
        return;
    }
    if (m_options.list) {
        std::string packageFolder;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            packageFolder = m_packageFolder;
        }
        if (m_listModels) m_listModels(packageFolder);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_phase = Phase::kEnded;
        m_result = {EXIT_INSTALLED, "the model list was written"};
        m_screenless.CloseWindow(main);
        return;
    }
    int modelRow = -1;
    for (size_t i = 0; i < models->items.size() && modelRow < 0; ++i) {
        if (EqualsIgnoringCase(models->items[i], m_options.model)) modelRow = static_cast<int>(i);
    }
    if (modelRow < 0) {
        StopBeforeInstalling(EXIT_BAD_COMMAND_LINE, "the model \"" + m_options.model +
                                                        "\" is not in the package's model list (" +
                                                        Join(models->items) + ")");
        m_screenless.CloseWindow(main);
        return;
    }

    // A port named on the command line must exist before anything starts:
    // with one parallel port no dialog asks, and without a TCP/IP port the
    // spooler's own wizard would open a window.
    const std::string missing = MissingPort();
    if (!missing.empty()) {
        StopBeforeInstalling(EXIT_NO_SUCH_PORT, missing);
        m_screenless.CloseWindow(main);
        return;
    }

    int typeRow = static_cast<int>(m_options.port) - 1;  // kSerial is row 0
    if (m_options.port == PortChoice::kDefaultRow) {
        for (size_t row = 0; row < types->rowStates.size(); ++row) {
            if (types->rowStates[row] & win::LVIS_SELECTED) typeRow = static_cast<int>(row);
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_portTypeRow = typeRow;
    }
    m_log.Record("silent: model \"" + models->items[static_cast<size_t>(modelRow)] + "\", port type row " +
                 std::to_string(typeRow) + ", default printer " + (m_options.setAsDefault ? "yes" : "no"));
    m_screenless.SelectComboItem(main, app::IDC_SERIES_COMBO, modelRow);
    if ((tick->check == 1) != m_options.setAsDefault) m_screenless.Click(main, app::IDC_SET_DEFAULT);
    if (m_options.port != PortChoice::kDefaultRow) m_screenless.SelectListRow(main, app::IDC_PORT_TYPE_LIST, typeRow);
    m_screenless.Click(main, app::IDC_INSTALL);
}

void SilentToolkit::EndRun(ui::HWND main) {
    bool installed = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_phase = Phase::kEnded;
        const run::RunEnd end = m_outcome ? m_outcome->end : run::RunEnd::kFailed;
        installed = end == run::RunEnd::kInstalled || end == run::RunEnd::kPortNotConfirmed;
        const run::Refusal refusal = m_outcome ? m_outcome->refusal : run::Refusal::kNone;
        if (m_stoppedBeforeInstalling) {
            // Nothing was installed: the run stopped at the port's choice.
        } else if (!installed && refusal != run::Refusal::kNone) {
            m_result = {ExitCodeFor(refusal), "refused: " + run::Describe(*m_outcome) + " (\"" + m_lastStatus + "\"" +
                                                  (m_lastBox.empty() ? std::string() : ", message \"" + m_lastBox + "\"") + ")"};
        } else if (!installed) {
            m_result = {EXIT_FAILED, "failed at \"" + m_lastStatus + "\"" +
                                         (m_lastBox.empty() ? std::string() : ", message \"" + m_lastBox + "\"")};
        } else if (end == run::RunEnd::kPortNotConfirmed) {
            m_result = {EXIT_PORT_NOT_FOUND,
                        (m_portTypeRow == 1 ? "installed, but no USB port answered: \""
                                            : "installed, but no serial port was found answering: \"") +
                            m_lastStatus + "\""};
        } else {
            m_result = {EXIT_INSTALLED, "installed: \"" + m_lastStatus + "\""};
        }
    }
    if (installed) {
        m_screenless.Click(main, app::IDC_INSTALL);
    } else {
        m_screenless.CloseWindow(main);
    }
}

std::string SilentToolkit::MissingPort() {
    const bool parallel = m_options.port == PortChoice::kParallel;
    if (!parallel && m_options.port != PortChoice::kNetwork) return std::string();
    const ports::PortClasses classes = ports::ClassifyPorts(ports::SpoolerPorts(m_machine.spooler()));
    const std::vector<std::string>& listed = parallel ? classes.lpt : classes.tcp;
    const char* kind = parallel ? "parallel port" : "standard TCP/IP port";
    if (listed.empty()) return std::string("there is no ") + kind + " on this machine";
    if (NamedPortRow(listed) >= 0) return std::string();
    return "the " + std::string(kind) + " \"" + m_options.portName + "\" does not exist (ports: " + Join(listed) + ")";
}

int SilentToolkit::NamedPortRow(const std::vector<std::string>& names) const {
    if (m_options.portName.empty()) return names.empty() ? -1 : 0;
    const std::string wanted = WithoutTrailingColon(m_options.portName);
    for (size_t i = 0; i < names.size(); ++i) {
        if (EqualsIgnoringCase(WithoutTrailingColon(names[i]), wanted)) return static_cast<int>(i);
    }
    return -1;
}

void SilentToolkit::ChoosePortRow(ui::HWND dialog) {
    const auto windows = m_screenless.Snapshot();
    const ui::portable::WindowState* state = FindWindow(windows, dialog);
    const ui::portable::ControlState* list = state ? state->Control(dialogs::IDC_PORT_LIST) : nullptr;
    std::vector<std::string> names;
    if (list != nullptr) {
        for (const auto& row : list->rows) names.push_back(row.empty() ? std::string() : row.front());
    }
    const int row = NamedPortRow(names);
    if (row < 0) {
        StopBeforeInstalling(EXIT_NO_SUCH_PORT,
                             (m_options.portName.empty() ? std::string("no port of that type")
                                                         : "the port \"" + m_options.portName + "\" does not exist") +
                                 " (ports listed: " + Join(names) + ")");
        m_screenless.Click(dialog, dialogs::IDC_PORT_CANCEL);
        return;
    }
    m_log.Record("silent: port dialog " + std::to_string(state->templateId) + ": choosing " +
                 names[static_cast<size_t>(row)]);
    m_screenless.SelectListRow(dialog, dialogs::IDC_PORT_LIST, row);
    m_screenless.Click(dialog, dialogs::IDC_PORT_OK);
}

void SilentToolkit::AnswerSerialPrompt(ui::HWND dialog) {
    if (m_options.baudRate == 0) {
        m_log.Record("silent: serial prompt: 不需要 (no /BAUD)");
        m_screenless.Click(dialog, dialogs::IDC_SERIAL_NO);
        return;
    }
    const auto windows = m_screenless.Snapshot();
    const ui::portable::WindowState* state = FindWindow(windows, dialog);
    const ui::portable::ControlState* rates = state ? state->Control(dialogs::IDC_BAUD_COMBO) : nullptr;
    const std::string wanted = std::to_string(m_options.baudRate);
    for (size_t i = 0; rates != nullptr && i < rates->items.size(); ++i) {
        if (rates->items[i] != wanted) continue;
        m_log.Record("silent: serial prompt: 需要 at " + wanted);
        m_screenless.SelectComboItem(dialog, dialogs::IDC_BAUD_COMBO, static_cast<int>(i));
        m_screenless.Click(dialog, dialogs::IDC_SERIAL_YES);
        return;
    }
    // The command line was checked against the prompt's own rates.
    m_log.Record("silent: serial prompt: the rate " + wanted + " is not offered: 不需要");
    m_screenless.Click(dialog, dialogs::IDC_SERIAL_NO);
}

void SilentToolkit::StopBeforeInstalling(int exitCode, const std::string& reason) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_result = {exitCode, reason};
    m_stoppedBeforeInstalling = true;
    m_log.Record(std::string(exitCode == EXIT_BAD_COMMAND_LINE ? "silent: invalid command line: "
                                                               : "silent: this machine lacks the port: ") +
                 reason);
}

RunResult SilentToolkit::Result() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_phase == Phase::kInstalling && !m_stoppedBeforeInstalling) {
        // The dialog ended itself in the middle of an installation (the
        // driver's failure box closes it), perhaps at the system's refusal.
        const run::Refusal refusal = m_outcome ? m_outcome->refusal : run::Refusal::kNone;
        return {ExitCodeFor(refusal), "the installer closed during the installation at \"" + m_lastStatus + "\"" +
                                 (m_lastBox.empty() ? std::string() : ", message \"" + m_lastBox + "\"")};
    }
    return m_result;
}

}  // namespace unattended
