// Simulated machine: a whole Windows machine for tests and the terminal
// front end, its C:\ tree in a sandbox folder.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "platform/machine.h"
#include "platform/sim/sim_archive.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_env.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_serial.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_spooler.h"
#include "platform/sim/sim_sync.h"
#include "platform/sim/sim_system_info.h"

namespace platform::sim {

enum class SimPreset {
    kWindows10x64,  // 10.0.19045, the 32-bit installer under WOW64
    kWindows7x86,   // 6.1.7601 Service Pack 1, 32-bit
    kWindows11Arm64,  // 10.0.22631 on an ARM64 processor, the installer emulated
    kWindows11x64,    // 10.0.26100 (version 24H2), WOW64, protected print mode off
};

// Every service is wired to the others as on Windows: the spooler answers
// only while the "Spooler" service runs, and each start of that service
// has the spooler reload its printers.
class SimMachine : public platform::Machine {
public:
    explicit SimMachine(std::string sandboxRoot, SimPreset preset = SimPreset::kWindows10x64);
    ~SimMachine() override;
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // platform::Machine
    Spooler& spooler() override { return m_spooler; }
    Registry& registry() override { return m_registry; }
    Services& services() override { return m_services; }
    SystemInfo& system() override { return m_system; }
    Files& files() override { return m_files; }
    ArchiveLibrary& archive() override { return m_archive; }
    Serial& serial() override { return m_serial; }
    Devices& devices() override { return m_devices; }
    Sync& sync() override { return m_sync; }
    win::DWORD GetLastError() override;
    void SetLastError(win::DWORD code) override;
    // Sleeps for milliseconds times the time scale.
    void Sleep(win::DWORD milliseconds) override;
    win::DWORD GetTickCount() override;
    // The host's clock in UTC, or the time SetSystemTime fixed.
    void GetSystemTime(win::SYSTEMTIME* time) override;

    // The concrete services, for tests.
    SimEnv& env() { return m_env; }
    SimRegistry& sim_registry() { return m_registry; }
    SimServices& sim_services() { return m_services; }
    SimSystemInfo& sim_system() { return m_system; }
    SimFiles& sim_files() { return m_files; }
    SimArchive& sim_archive() { return m_archive; }
    SimSpooler& sim_spooler() { return m_spooler; }
    SimSerial& sim_serial() { return m_serial; }
    SimDevices& sim_devices() { return m_devices; }
    SimSync& sim_sync() { return m_sync; }

    // 0 makes Sleep return at once; the default 1.0 sleeps for real.
    void SetTimeScale(double scale);
    // Stops the machine's clock at `time` (UTC), for tests that read it.
    void SetSystemTime(const win::SYSTEMTIME& time);
    // What Sleep was asked for in all, unscaled.
    unsigned long long SleptMilliseconds() const { return m_sleptMilliseconds.load(); }
    // The machine's clock runs on what Sleep was asked for, whatever the
    // time scale, so a test's waits cost no real time; this moves it on
    // as a step that takes that long would.
    void AdvanceClock(win::DWORD milliseconds) { m_clockOffset += milliseconds; }

    // A serial device in HARDWARE\DEVICEMAP\SERIALCOMM, as the serial
    // driver lists it: AddSerialDevice("\\Device\\Serial0", "COM1").
    void AddSerialDevice(const std::string& deviceName, const std::string& comName);
    void SetWindowsVersion(win::DWORD platformId, win::DWORD major, win::DWORD minor);
    // Also sets the spooler's own environment (x64 under WOW64, else x86) and
    // WOW64's file-system and registry redirection of the installer's calls.
    void SetWow64(bool wow64);
    void SetHasIsWow64Process(bool present);
    // The processor (IMAGE_FILE_MACHINE_...), and with it the spooler's
    // own environment. SetWow64 sets x64 or x86 again.
    void SetNativeMachine(win::USHORT machine);
    // Who the process runs as: its token's elevation and privileges, and
    // whether it passes the Administrators boundary of a private namespace.
    void SetToken(SimToken token);

    // Registry, services, spooler and files, one after the other.
    std::string ToString() const;

private:
    void ApplyPreset(SimPreset preset);

    SimEnv m_env;
    SimRegistry m_registry;
    SimServices m_services;
    SimSystemInfo m_system;
    SimFiles m_files;
    SimArchive m_archive;
    SimSpooler m_spooler;
    SimSerial m_serial;
    // USB printers are the spooler's attachments: one interface each.
    SimDevices m_devices;
    SimSync m_sync;
    std::atomic<double> m_timeScale{1.0};
    std::atomic<unsigned long long> m_sleptMilliseconds{0};
    std::atomic<unsigned long long> m_clockOffset{0};
    std::mutex m_clockMutex;
    std::optional<win::SYSTEMTIME> m_fixedTime;
};

}  // namespace platform::sim
