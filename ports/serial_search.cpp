// Finding the serial port a printer answers on.
#include "ports/serial_search.h"

#include <cstdio>
#include <iterator>

#include "ports/port_names.h"
#include "ports/port_types.h"

namespace ports {

namespace {

const win::BYTE kReceiptStatusRequest[] = {0x10, 0x04, 0x01};  // DLE EOT 1
const win::BYTE kLabelStatusRequest[] = {0x1B, 0x21, 0x3F};     // ESC ! ?

const int kPromptRates[] = {300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// With a single port nobody is asked: its settings get the rate the prompt
// offers first, the one the printers leave the factory with.
constexpr int kSinglePortRate = 19200;

constexpr win::UINT kProbeWaitMs = 700;
constexpr win::UINT kNextPortNowMs = 1;
constexpr win::DWORD kChannelBufferSize = 512;

const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char* const kChosenForYou = "程序已为您选择";
const char* const kChangeByHand = ",若需修改完成后手动配置";

}  // namespace

SerialSearch::SerialSearch(platform::Machine& machine, run::InstallerView& view, services::ServiceControl& services,
                           PortBindings& bindings, const PortInventory& inventory)
    : m_machine(machine),
      m_view(view),
      m_services(services),
      m_bindings(bindings),
      m_serialPorts(inventory.SerialPorts()),
      m_serialChannel(machine) {}

void SerialSearch::AutoSelectSerialPort(const std::string& printerName, bool receipt,
                                        const std::string& printerPort) {
    m_printerName = printerName;
    m_receipt = receipt;
    m_fallbackPort = printerPort;
    m_bindings.EnumeratePrinters(m_printerNames, m_printerPorts);
    m_view.SetProgress(50);
    const size_t count = m_serialPorts.size();

    if (count == 0) {
        // Nothing to search and no port to name.
        m_view.SetStatusText("无法识别可用串口,请在安装完成后手动配置打印机端口");
        FinishSerialSearch(run::RunOutcome::PortNotConfirmed(m_fallbackPort, m_printerName));
        return;
    }
    if (count == 1) {
        EndSerialSearchSinglePort();
        m_view.SetProgress(100);
        return;
    }

    const int answer = m_view.AskSerialSearch();
    m_view.ShowData();
    const int rateIndex = answer - PORTCHOICE_BASE;
    // Only a rate chosen with "需要" starts a search; "不需要", Esc and the
    // close box all decline it.
    if (answer == PORTCHOICE_NONE || rateIndex < 0 || rateIndex >= static_cast<int>(std::size(kPromptRates))) {
        EndSerialSearchDeclined();
        return;
    }

    FreeSerialPrinters();
    m_serialSearchActive = true;
    m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    m_view.SetProgress(60);

    m_baudRate = kPromptRates[rateIndex];
    m_comPortNumber = 0;
    m_parity = 'N';
    m_dataBits = 8;
    m_stopBits = 1;
    m_commEventMask = 3;
    m_serialPortIndex = 0;
    while (static_cast<size_t>(m_serialPortIndex) < count && ProbeSerialPort() != ProbeResult::UnderWay) {
        ++m_serialPortIndex;
    }
    if (static_cast<size_t>(m_serialPortIndex) >= count) {
        // No port could be opened: the search ends here, the timer was never armed.
        if (m_serialChannel.IsOpen()) m_serialChannel.Close();
        EndSerialSearchUnrecognised();
    }
    m_view.SetProgress(100);
}

void SerialSearch::OnTimer() {
    if (!m_serialSearchActive) {
        // A tick that outlived its search.
        m_view.KillProbeTimer();
        return;
    }
    if (m_serialReplyReceived == 1) {
        EndSerialSearchAnswered();
        return;
    }
    ++m_serialPortIndex;
    if (static_cast<size_t>(m_serialPortIndex) < m_serialPorts.size()) {
        const ProbeResult result = ProbeSerialPort();
        if (result == ProbeResult::StartFailed && m_serialChannel.IsOpen()) m_serialChannel.Close();
        if (result != ProbeResult::UnderWay) m_view.SetProbeTimer(kNextPortNowMs);
    } else {
        if (m_serialChannel.IsOpen()) m_serialChannel.Close();
        m_view.KillProbeTimer();
        m_view.SetProgress(80);
        EndSerialSearchUnrecognised();
    }
}

void SerialSearch::OnSerialByte(win::LPARAM comPort) {
    // A reply that comes late from the port probed before is not this
    // port's answer.
    if (comPort != static_cast<win::LPARAM>(m_comPortNumber)) return;
    m_serialReplyReceived = 1;
}

void SerialSearch::Abort() {
    if (!m_serialSearchActive) return;
    // Closed in the middle of a serial search: the printers that were
    // moved off their serial ports get them back.
    if (m_serialChannel.IsOpen()) m_serialChannel.Close();
    RestoreSerialPrinters(nullptr);
    m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    m_serialSearchActive = false;
}

SerialSearch::ProbeResult SerialSearch::ProbeSerialPort() {
    const std::string& entry = m_serialPorts[static_cast<size_t>(m_serialPortIndex)];
    m_comPortNumber = ParseComPortNumber(entry);
    m_view.PublishStatus("正在验证" + entry);
    if (m_serialChannel.IsOpen()) m_serialChannel.Close();
    // An entry that names no COM port is skipped rather than opening a port
    // nobody meant.
    if (m_comPortNumber <= 0) return ProbeResult::OpenFailed;
    if (m_serialChannel.Open(m_view.Toolkit(), m_view.OwnerWindow(), static_cast<win::DWORD>(m_comPortNumber), m_baudRate,
                             static_cast<char>(m_parity), m_dataBits, m_stopBits,
                             static_cast<win::DWORD>(m_commEventMask), kChannelBufferSize) != 1) {
        return ProbeResult::OpenFailed;
    }
    if (m_serialChannel.StartThread() != 1) return ProbeResult::StartFailed;
    m_view.SetProbeTimer(kProbeWaitMs);
    m_serialChannel.QueueWrite(m_receipt ? kReceiptStatusRequest : kLabelStatusRequest, 3);
    return ProbeResult::UnderWay;
}

void SerialSearch::FreeSerialPrinters() {
    for (size_t i = 0; i < m_printerPorts.size() && i < m_printerNames.size(); ++i) {
        if (BeginsWith(m_printerPorts[i], "COM")) m_bindings.SetPrinterPort(m_printerNames[i], "LPT1:");
    }
}

void SerialSearch::RestoreSerialPrinters(const std::string* except) {
    for (size_t i = 0; i < m_printerNames.size() && i < m_printerPorts.size(); ++i) {
        if (except != nullptr && m_printerNames[i] == *except) continue;
        if (BeginsWith(m_printerPorts[i], "COM")) m_bindings.SetPrinterPort(m_printerNames[i], m_printerPorts[i]);
    }
}

void SerialSearch::WriteComSettings(const std::string& port) {
    char settings[64];
    std::snprintf(settings, sizeof(settings), "%d,%c,%d,%d", m_baudRate, static_cast<char>(m_parity + 32),
                  m_dataBits, m_stopBits);
    platform::Registry& registry = m_machine.registry();
    win::HKEY key = nullptr;
    if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, kPortsKey, 0, win::KEY_SET_VALUE, &key) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        return;
    }
    const auto size = static_cast<win::DWORD>(std::char_traits<char>::length(settings) + 1);
    if (registry.RegSetValueExA(key, port.c_str(), 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(settings),
                                size) != static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        m_view.AppMessageBox(TEXT_REGISTRY_ERROR);
    }
    registry.RegCloseKey(key);
}

void SerialSearch::FinishSerialSearch(const run::RunOutcome& outcome) {
    m_serialSearchActive = false;
    m_view.EndRun(outcome);
    m_view.EnableInstall(true);
    m_view.SetInstallCaption(run::TEXT_DONE);
    m_view.SetProgress(100);
    m_view.ShowData();
}

void SerialSearch::EndSerialSearchDeclined() {
    // The printer stays on the first serial port, where it was created.
    m_view.SetStatusText(kChosenForYou + m_serialPorts.front() + kChangeByHand);
    FinishSerialSearch(run::RunOutcome::PortNotConfirmed(m_fallbackPort, m_printerName));
}

void SerialSearch::EndSerialSearchSinglePort() {
    const std::string& port = m_serialPorts.front();
    m_baudRate = kSinglePortRate;
    m_parity = 'N';
    m_dataBits = 8;
    m_stopBits = 1;
    m_bindings.SetPrinterPort(m_printerName, port);
    m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    WriteComSettings(port);
    RestoreSerialPrinters(nullptr);
    m_view.SetProgress(90);
    m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    m_view.SetStatusText(kChosenForYou + port + kChangeByHand);
    FinishSerialSearch(run::RunOutcome::PortNotConfirmed(m_fallbackPort, m_printerName));
}

void SerialSearch::EndSerialSearchUnrecognised() {
    RestoreSerialPrinters(nullptr);
    m_view.SetProgress(90);
    m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    m_view.SetStatusText(std::string("无法识别可用串口。") + kChosenForYou + m_serialPorts.front() + kChangeByHand);
    FinishSerialSearch(run::RunOutcome::PortNotConfirmed(m_fallbackPort, m_printerName));
}

void SerialSearch::EndSerialSearchAnswered() {
    m_view.KillProbeTimer();
    const std::string port = m_serialPorts[static_cast<size_t>(m_serialPortIndex)];
    m_view.PublishStatus(TEXT_SERIAL_PORT_FOUND + port);
    if (m_serialChannel.IsOpen()) m_serialChannel.Close();
    m_bindings.SetPrinterPort(m_printerName, port);
    WriteComSettings(port);
    m_view.SetProgress(80);
    RestoreSerialPrinters(&m_printerName);
    m_view.SetProgress(90);
    m_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);
    FinishSerialSearch(run::RunOutcome::Installed(port, m_printerName));
}

}  // namespace ports
