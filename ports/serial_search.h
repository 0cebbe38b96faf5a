// Finding the serial port a printer answers on: every serial port is sent
// the series' status request, one port per tick of the window's timer 1.
// The search outlives the Install click that starts it and ends on a tick,
// or when the window goes away.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "ports/port_inventory.h"
#include "ports/port_bindings.h"
#include "run/installer_view.h"
#include "serial/serial_port_channel.h"
#include "services/service_control.h"

namespace ports {

// Timer 1 drives the serial search.
constexpr win::UINT_PTR SERIAL_PROBE_TIMER = 1;
// The head of the status that names the serial port where a printer answered.
inline constexpr const char* TEXT_SERIAL_PORT_FOUND = "成功配置打印机端口为 ";

class SerialSearch {
public:
    SerialSearch(platform::Machine& machine, run::InstallerView& view, services::ServiceControl& services,
                 PortBindings& bindings, const PortInventory& inventory);

    // Asks the user, then starts probing the serial ports for the printer
    // `printerName`, a receipt printer (`receipt`) or a label printer,
    // created on `printerPort`. Ends
    // the run at once when there is nothing to probe; otherwise the ticks
    // of the probe timer carry it on.
    void AutoSelectSerialPort(const std::string& printerName, bool receipt, const std::string& printerPort);
    // A tick of the probe timer.
    void OnTimer();
    // A byte the channel's worker received on the port COMn, n = `comPort`.
    void OnSerialByte(win::LPARAM comPort);
    // The window goes away: a search under way gives the serial printers
    // their ports back.
    void Abort();

private:
    enum class ProbeResult { UnderWay, OpenFailed, StartFailed };
    ProbeResult ProbeSerialPort();
    void FreeSerialPrinters();
    void RestoreSerialPrinters(const std::string* except);
    void WriteComSettings(const std::string& port);
    // Every ending: Install enabled as "完成", progress 100, the status line
    // (set by the ending) shown, and the run's outcome reported.
    void FinishSerialSearch(const run::RunOutcome& outcome);
    void EndSerialSearchDeclined();
    void EndSerialSearchSinglePort();
    void EndSerialSearchUnrecognised();
    void EndSerialSearchAnswered();

    platform::Machine& m_machine;
    run::InstallerView& m_view;
    services::ServiceControl& m_services;
    PortBindings& m_bindings;
    const StringArray& m_serialPorts;

    serial::SerialPortChannel m_serialChannel;
    int m_baudRate = 0;
    int m_serialReplyReceived = 0;
    int m_comPortNumber = 0;
    int m_parity = 'N';
    int m_dataBits = 8;
    int m_stopBits = 1;
    int m_commEventMask = 3;
    int m_serialPortIndex = 0;
    // The printers installed before the search, with their ports: those on
    // serial ports sit on "LPT1:" while it runs.
    StringArray m_printerNames;
    StringArray m_printerPorts;
    // The printer the search is for, and its kind.
    std::string m_printerName;
    bool m_receipt = true;
    // Where the new printer stays when no port answers.
    std::string m_fallbackPort;
    bool m_serialSearchActive = false;
};

}  // namespace ports
