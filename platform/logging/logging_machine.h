// A machine that forwards every call to another one and logs what changes
// the machine, with its arguments, its result and the last error it left:
//   AddPrinterA(level=2, name="P", port="LPT1:", driver="D") -> handle, error 0
// Results and last errors reach the caller exactly as the inner machine
// gave them. The installer's logic never knows it is being logged, so the
// same log serves runs with and without a person at the screen.
#pragma once

#include "platform/logging/call_log.h"
#include "platform/logging/call_recorder.h"
#include "platform/logging/logging_archive.h"
#include "platform/logging/logging_files.h"
#include "platform/logging/logging_registry.h"
#include "platform/logging/logging_serial.h"
#include "platform/logging/logging_services.h"
#include "platform/logging/logging_spooler.h"
#include "platform/logging/logging_sync.h"
#include "platform/machine.h"

namespace platform::logging {

// Both the inner machine and the log must outlive it. Calls may come from
// any thread; the log receives one line at a time.
class LoggingMachine : public Machine {
public:
    LoggingMachine(Machine& inner, CallLog& log);
    LoggingMachine(const LoggingMachine&) = delete;
    LoggingMachine& operator=(const LoggingMachine&) = delete;

    Spooler& spooler() override { return m_spooler; }
    Registry& registry() override { return m_registry; }
    Services& services() override { return m_services; }
    SystemInfo& system() override { return m_system; }
    Files& files() override { return m_files; }
    ArchiveLibrary& archive() override { return m_archive; }
    Serial& serial() override { return m_serial; }
    Sync& sync() override { return m_sync; }
    Devices& devices() override { return m_devices; }

    win::DWORD GetLastError() override { return m_inner.GetLastError(); }
    void SetLastError(win::DWORD code) override { m_inner.SetLastError(code); }
    void Sleep(win::DWORD milliseconds) override { m_inner.Sleep(milliseconds); }
    win::DWORD GetTickCount() override { return m_inner.GetTickCount(); }
    void GetSystemTime(win::SYSTEMTIME* time) override { m_inner.GetSystemTime(time); }

private:
    Machine& m_inner;
    CallRecorder m_recorder;
    LoggingSpooler m_spooler;
    LoggingRegistry m_registry;
    LoggingServices m_services;
    LoggingSystemInfo m_system;
    LoggingFiles m_files;
    LoggingArchive m_archive;
    LoggingSerial m_serial;
    LoggingSync m_sync;
    LoggingDevices m_devices;
};

}  // namespace platform::logging
