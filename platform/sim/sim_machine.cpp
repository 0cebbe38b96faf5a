// Simulated machine: a whole Windows machine for tests and the terminal
// front end, its C:\ tree in a sandbox folder.
#include "platform/sim/sim_machine.h"

#include <chrono>
#include <ctime>
#include <thread>
#include <utility>

namespace platform::sim {

namespace {

constexpr char kSpoolerService[] = "Spooler";
constexpr char kSerialDeviceMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Keys every Windows machine has that the installer opens without creating.
struct DefaultKey {
    HKEY root;
    const char* path;
};
const DefaultKey kDefaultKeys[] = {
    {win::HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"},
    {win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"},
    {win::HKEY_LOCAL_MACHINE, kSerialDeviceMap},
    {win::HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Print\\Printers"},
    {win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers"},
    {win::HKEY_LOCAL_MACHINE,
     "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers"},
};

}  // namespace

SimMachine::SimMachine(std::string sandboxRoot, SimPreset preset)
    : m_registry(m_env),
      m_services(m_env),
      m_system(m_env),
      m_files(m_env, sandboxRoot),
      m_archive(m_env, m_files),
      m_spooler(
          m_env, m_registry, m_files, [this] { return m_services.IsRunning(kSpoolerService); },
          [this](win::HKEY root, const std::string& path) { m_registry.DeleteKey(root, path); },
          [this](const std::vector<std::string>& paths) { m_files.SetLoadedFiles(paths); }),
      m_serial(m_env),
      m_devices(m_env, [this] { return m_spooler.UsbPrinterPorts(); }),
      m_sync(m_env, std::move(sandboxRoot)) {
    for (const DefaultKey& key : kDefaultKeys) m_registry.CreateKey(key.root, key.path);
    m_services.SetStartHook(kSpoolerService, [this] {
        SimEnv::InternalScope internal;
        m_spooler.OnSpoolerStarted();
    });
    ApplyPreset(preset);
}

SimMachine::~SimMachine() {
    // The hook points into this machine; nothing may call it once we go.
    m_services.SetStartHook(kSpoolerService, nullptr);
}

void SimMachine::ApplyPreset(SimPreset preset) {
    switch (preset) {
    case SimPreset::kWindows10x64:
        m_system.SetVersion(win::VER_PLATFORM_WIN32_NT, 10, 0, 19045);
        m_system.SetServicePack(0, 0);
        m_system.SetHasIsWow64Process(true);
        m_system.SetHasIsWow64Process2(true);
        SetWow64(true);
        break;
    case SimPreset::kWindows7x86:
        m_system.SetVersion(win::VER_PLATFORM_WIN32_NT, 6, 1, 7601, "Service Pack 1");
        m_system.SetServicePack(1, 0);
        m_system.SetHasIsWow64Process(true);
        m_system.SetHasIsWow64Process2(false);
        SetWow64(false);
        break;
    case SimPreset::kWindows11Arm64:
        // The x86 program runs emulated, and IsWow64Process answers TRUE as
        // on x64; only IsWow64Process2 tells the processor.
        m_system.SetVersion(win::VER_PLATFORM_WIN32_NT, 10, 0, 22631);
        m_system.SetServicePack(0, 0);
        m_system.SetHasIsWow64Process(true);
        m_system.SetHasIsWow64Process2(true);
        SetWow64(true);
        SetNativeMachine(win::IMAGE_FILE_MACHINE_ARM64);
        break;
    case SimPreset::kWindows11x64:
        // The first version with WindowsProtectedPrintInfo.
        m_system.SetVersion(win::VER_PLATFORM_WIN32_NT, 10, 0, 26100);
        m_system.SetServicePack(0, 0);
        m_system.SetHasIsWow64Process(true);
        m_system.SetHasIsWow64Process2(true);
        m_system.SetProtectedPrint(SimSystemInfo::ProtectedPrint::kOff);
        SetWow64(true);
        break;
    }
}

win::DWORD SimMachine::GetLastError() { return LastError(); }

void SimMachine::SetLastError(win::DWORD code) { sim::SetLastError(code); }

void SimMachine::Sleep(win::DWORD milliseconds) {
    m_env.Record("Sleep");
    m_sleptMilliseconds += milliseconds;
    const double scaled = milliseconds * m_timeScale.load();
    if (scaled <= 0) return;
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(scaled));
}

win::DWORD SimMachine::GetTickCount() {
    return static_cast<win::DWORD>(m_sleptMilliseconds.load() + m_clockOffset.load());
}

void SimMachine::SetTimeScale(double scale) { m_timeScale = scale < 0 ? 0 : scale; }

void SimMachine::GetSystemTime(win::SYSTEMTIME* time) {
    m_env.Record("GetSystemTime");
    {
        std::lock_guard<std::mutex> lock(m_clockMutex);
        if (m_fixedTime) {
            *time = *m_fixedTime;
            return;
        }
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    time->wYear = static_cast<win::WORD>(utc.tm_year + 1900);
    time->wMonth = static_cast<win::WORD>(utc.tm_mon + 1);
    time->wDayOfWeek = static_cast<win::WORD>(utc.tm_wday);
    time->wDay = static_cast<win::WORD>(utc.tm_mday);
    time->wHour = static_cast<win::WORD>(utc.tm_hour);
    time->wMinute = static_cast<win::WORD>(utc.tm_min);
    time->wSecond = static_cast<win::WORD>(utc.tm_sec);
    time->wMilliseconds = static_cast<win::WORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
}

void SimMachine::SetSystemTime(const win::SYSTEMTIME& time) {
    std::lock_guard<std::mutex> lock(m_clockMutex);
    m_fixedTime = time;
}

void SimMachine::AddSerialDevice(const std::string& deviceName, const std::string& comName) {
    m_registry.SetString(win::HKEY_LOCAL_MACHINE, kSerialDeviceMap, deviceName, comName);
}

void SimMachine::SetWindowsVersion(win::DWORD platformId, win::DWORD major, win::DWORD minor) {
    m_system.SetVersion(platformId, major, minor);
}

void SimMachine::SetWow64(bool wow64) {
    m_system.SetWow64(wow64);
    m_system.SetNativeMachine(wow64 ? win::IMAGE_FILE_MACHINE_AMD64 : win::IMAGE_FILE_MACHINE_I386);
    m_spooler.SetNativeEnvironment(wow64 ? kSimEnvironmentX64 : kSimEnvironmentX86);
    // What WOW64 does to a 32-bit program's files and registry keys.
    m_files.SetWow64Redirection(wow64);
    m_registry.SetWow64(wow64);
}

void SimMachine::SetHasIsWow64Process(bool present) { m_system.SetHasIsWow64Process(present); }

void SimMachine::SetNativeMachine(win::USHORT machine) {
    m_system.SetNativeMachine(machine);
    if (machine == win::IMAGE_FILE_MACHINE_ARM64) m_spooler.SetNativeEnvironment(kSimEnvironmentArm64);
    if (machine == win::IMAGE_FILE_MACHINE_AMD64) m_spooler.SetNativeEnvironment(kSimEnvironmentX64);
    if (machine == win::IMAGE_FILE_MACHINE_I386) m_spooler.SetNativeEnvironment(kSimEnvironmentX86);
}

void SimMachine::SetToken(SimToken token) {
    m_services.SetToken(token);
    m_sync.SetCaller(token);
    m_files.SetCaller(token);
}

std::string SimMachine::ToString() const {
    return "=== Simulated machine ===\n" + m_system.ToString() + m_registry.ToString() + m_services.ToString() +
           m_spooler.ToString() + m_files.ToString();
}

}  // namespace platform::sim
