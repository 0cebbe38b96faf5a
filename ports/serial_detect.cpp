// Finding the serial port a printer answers on: every serial port is sent
// the series' status request, one port per tick of timer 1.
#include <cstdio>
#include <iterator>
#include <string>

#include "app/installer_dialog.h"
#include "dialogs/serial_prompt_dialog.h"
#include "ports/port_names.h"

namespace app {

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

void InstallerDialog::AutoSelectSerialPort() {
    EnumeratePrinters(m_printerNames, m_printerPorts);
    SetProgress(50);
    const size_t count = m_serialPorts.size();

    if (count == 0) {
        // Nothing to search and no port to name.
        m_statusText = "无法识别可用串口,请在安装完成后手动配置打印机端口";
        FinishSerialSearch();
        return;
    }
    if (count == 1) {
        EndSerialSearchSinglePort();
        SetProgress(100);
        return;
    }

    dialogs::SerialPromptDialog prompt(GetToolkit(), GetSafeHwnd());
    const int answer = static_cast<int>(prompt.DoModal());
    SendMessage(m_myUpdateDataMessage, 0, 0);
    const int rateIndex = answer - PORTCHOICE_BASE;
    // Only a rate chosen with "需要" starts a search; "不需要", Esc and the
    // close box all decline it.
    if (answer == PORTCHOICE_NONE || rateIndex < 0 || rateIndex >= static_cast<int>(std::size(kPromptRates))) {
        EndSerialSearchDeclined();
        return;
    }

    FreeSerialPrinters();
    m_serialSearchActive = true;
    StartOrRestartService("Spooler", SVCMODE_RESTART);
    SetProgress(60);

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
    SetProgress(100);
}

win::LRESULT InstallerDialog::OnTimer(win::WPARAM, win::LPARAM) {
    const std::string printerName = m_seriesCombo.GetWindowText();
    if (!m_serialSearchActive) {
        // A tick that outlived its search.
        KillTimer(SERIAL_PROBE_TIMER);
        return 0;
    }
    if (m_serialReplyReceived == 1) {
        EndSerialSearchAnswered(printerName);
        return 0;
    }
    ++m_serialPortIndex;
    if (static_cast<size_t>(m_serialPortIndex) < m_serialPorts.size()) {
        const ProbeResult result = ProbeSerialPort();
        if (result == ProbeResult::StartFailed && m_serialChannel.IsOpen()) m_serialChannel.Close();
        if (result != ProbeResult::UnderWay) SetTimer(SERIAL_PROBE_TIMER, kNextPortNowMs);
    } else {
        if (m_serialChannel.IsOpen()) m_serialChannel.Close();
        KillTimer(SERIAL_PROBE_TIMER);
        SetProgress(80);
        EndSerialSearchUnrecognised();
    }
    return 0;
}

InstallerDialog::ProbeResult InstallerDialog::ProbeSerialPort() {
    const std::string& entry = m_serialPorts[static_cast<size_t>(m_serialPortIndex)];
    m_comPortNumber = ports::ParseComPortNumber(entry);
    PublishStatus("正在验证" + entry);
    if (m_serialChannel.IsOpen()) m_serialChannel.Close();
    // An entry that names no COM port is skipped rather than opening a port
    // nobody meant.
    if (m_comPortNumber <= 0) return ProbeResult::OpenFailed;
    if (m_serialChannel.Open(GetToolkit(), GetSafeHwnd(), static_cast<win::DWORD>(m_comPortNumber), m_baudRate,
                             static_cast<char>(m_parity), m_dataBits, m_stopBits,
                             static_cast<win::DWORD>(m_commEventMask), kChannelBufferSize) != 1) {
        return ProbeResult::OpenFailed;
    }
    if (m_serialChannel.StartThread() != 1) return ProbeResult::StartFailed;
    SetTimer(SERIAL_PROBE_TIMER, kProbeWaitMs);
    const bool receipt = m_seriesIndex < ReceiptRowCount();
    m_serialChannel.QueueWrite(receipt ? kReceiptStatusRequest : kLabelStatusRequest, 3);
    return ProbeResult::UnderWay;
}

void InstallerDialog::FreeSerialPrinters() {
    for (size_t i = 0; i < m_printerPorts.size() && i < m_printerNames.size(); ++i) {
        if (ports::BeginsWith(m_printerPorts[i], "COM")) SetPrinterPort(m_printerNames[i], "LPT1:");
    }
}

void InstallerDialog::RestoreSerialPrinters(const std::string* except) {
    for (size_t i = 0; i < m_printerNames.size() && i < m_printerPorts.size(); ++i) {
        if (except != nullptr && m_printerNames[i] == *except) continue;
        if (ports::BeginsWith(m_printerPorts[i], "COM")) SetPrinterPort(m_printerNames[i], m_printerPorts[i]);
    }
}

void InstallerDialog::WriteComSettings(const std::string& port) {
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
        AppMessageBox(TEXT_REGISTRY_ERROR);
    }
    registry.RegCloseKey(key);
}

void InstallerDialog::FinishSerialSearch() {
    m_serialSearchActive = false;
    m_installButton.EnableWindow(1);
    m_installButton.SetWindowText(TEXT_DONE);
    SetProgress(100);
    SendMessage(m_myUpdateDataMessage, 0, 0);
}

void InstallerDialog::EndSerialSearchDeclined() {
    // The printer stays on the first serial port, where it was created.
    m_statusText = kChosenForYou + m_serialPorts.front() + kChangeByHand;
    FinishSerialSearch();
}

void InstallerDialog::EndSerialSearchSinglePort() {
    const std::string printerName = m_seriesCombo.GetWindowText();
    const std::string& port = m_serialPorts.front();
    m_baudRate = kSinglePortRate;
    m_parity = 'N';
    m_dataBits = 8;
    m_stopBits = 1;
    SetPrinterPort(printerName, port);
    StartOrRestartService("Spooler", SVCMODE_RESTART);
    WriteComSettings(port);
    RestoreSerialPrinters(nullptr);
    SetProgress(90);
    StartOrRestartService("Spooler", SVCMODE_RESTART);
    m_statusText = kChosenForYou + port + kChangeByHand;
    FinishSerialSearch();
}

void InstallerDialog::EndSerialSearchUnrecognised() {
    RestoreSerialPrinters(nullptr);
    SetProgress(90);
    StartOrRestartService("Spooler", SVCMODE_RESTART);
    m_statusText = std::string("无法识别可用串口。") + kChosenForYou + m_serialPorts.front() + kChangeByHand;
    FinishSerialSearch();
}

void InstallerDialog::EndSerialSearchAnswered(const std::string& printerName) {
    KillTimer(SERIAL_PROBE_TIMER);
    const std::string port = m_serialPorts[static_cast<size_t>(m_serialPortIndex)];
    PublishStatus(TEXT_SERIAL_PORT_FOUND + port);
    if (m_serialChannel.IsOpen()) m_serialChannel.Close();
    SetPrinterPort(printerName, port);
    WriteComSettings(port);
    SetProgress(80);
    RestoreSerialPrinters(&printerName);
    SetProgress(90);
    StartOrRestartService("Spooler", SVCMODE_RESTART);
    FinishSerialSearch();
}

}  // namespace app
