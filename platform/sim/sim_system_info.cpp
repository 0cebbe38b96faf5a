// Simulated machine: which Windows it pretends to be.
#include "platform/sim/sim_system_info.h"

#include <cstring>

namespace platform::sim {

namespace {
constexpr win::BYTE kVerNtWorkstation = 1;
}

SimSystemInfo::SimSystemInfo(SimEnv& env) : m_env(env) {}

BOOL SimSystemInfo::GetVersionExA(win::OSVERSIONINFOEXA* info) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("GetVersionExA", &fault)) {
        SetLastError(fault);
        return 0;
    }
    if (!info) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const win::DWORD size = info->dwOSVersionInfoSize;
    if (size != win::OSVERSIONINFOA_SIZE && size != win::OSVERSIONINFOEXA_SIZE) {
        SetLastError(win::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const bool extended = size == win::OSVERSIONINFOEXA_SIZE;
    if (m_failure == kBothFormsFail || (extended && m_failure == kExtendedFormFails)) {
        SetLastError(win::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    info->dwMajorVersion = m_major;
    info->dwMinorVersion = m_minor;
    info->dwBuildNumber = m_build;
    info->dwPlatformId = m_platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, m_csdVersion.c_str(), sizeof info->szCSDVersion - 1);
    // The plain record ends here: the caller's memory beyond it is not ours.
    if (extended) {
        info->wServicePackMajor = m_servicePackMajor;
        info->wServicePackMinor = m_servicePackMinor;
        info->wSuiteMask = 0;
        info->wProductType = kVerNtWorkstation;
        info->wReserved = 0;
    }
    return 1;
}

bool SimSystemInfo::HasIsWow64Process() {
    m_env.Record("GetProcAddress(IsWow64Process)");
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasIsWow64Process;
}

BOOL SimSystemInfo::IsWow64Process(HANDLE process, BOOL* wow64) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("IsWow64Process", &fault)) {
        SetLastError(fault);
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_hasIsWow64Process) {
        // There is no such export to call on this system.
        SetLastError(win::ERROR_PROC_NOT_FOUND);
        return 0;
    }
    if (!wow64) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    *wow64 = m_wow64 ? 1 : 0;
    return 1;
}

bool SimSystemInfo::HasIsWow64Process2() {
    m_env.Record("GetProcAddress(IsWow64Process2)");
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasIsWow64Process2;
}

BOOL SimSystemInfo::IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("IsWow64Process2", &fault)) {
        SetLastError(fault);
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_hasIsWow64Process2) {
        SetLastError(win::ERROR_PROC_NOT_FOUND);
        return 0;
    }
    if (!processMachine) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The installer is an x86 program: emulated or under WOW64 it is I386.
    *processMachine = m_wow64 ? win::IMAGE_FILE_MACHINE_I386 : win::IMAGE_FILE_MACHINE_UNKNOWN;
    if (nativeMachine) *nativeMachine = m_nativeMachine;
    return 1;
}

void SimSystemInfo::SetVersion(win::DWORD platformId, win::DWORD major, win::DWORD minor, win::DWORD build,
                               const std::string& csdVersion) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_platformId = platformId;
    m_major = major;
    m_minor = minor;
    m_build = build;
    m_csdVersion = csdVersion;
}

void SimSystemInfo::SetServicePack(win::WORD major, win::WORD minor) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_servicePackMajor = major;
    m_servicePackMinor = minor;
}

void SimSystemInfo::SetVersionFailure(VersionFailure failure) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failure = failure;
}

void SimSystemInfo::SetHasIsWow64Process(bool present) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hasIsWow64Process = present;
    // IsWow64Process2 came with Windows 10 version 1511, long after
    // IsWow64Process: no system has the one without the other.
    if (!present) m_hasIsWow64Process2 = false;
}

win::HRESULT SimSystemInfo::QueryProtectedPrintEnabled(BOOL* enabled) {
    if (enabled != nullptr) *enabled = 0;
    win::DWORD fault = 0;
    if (m_env.TakeFault("QueryProtectedPrintEnabled", &fault)) return static_cast<win::HRESULT>(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_protectedPrint == ProtectedPrint::kNoClass) return win::REGDB_E_CLASSNOTREG;
    if (enabled != nullptr) *enabled = m_protectedPrint == ProtectedPrint::kOn ? 1 : 0;
    return win::S_OK;
}

void SimSystemInfo::SetProtectedPrint(ProtectedPrint answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_protectedPrint = answer;
}

void SimSystemInfo::SetWow64(bool wow64) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wow64 = wow64;
}

bool SimSystemInfo::IsWow64() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_wow64;
}

void SimSystemInfo::SetHasIsWow64Process2(bool present) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hasIsWow64Process2 = present;
}

bool SimSystemInfo::HasIsWow64Process2Export() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasIsWow64Process2;
}

void SimSystemInfo::SetNativeMachine(win::USHORT machine) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nativeMachine = machine;
}

win::USHORT SimSystemInfo::NativeMachine() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nativeMachine;
}

std::string SimSystemInfo::ToString() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string out = "System: platform " + std::to_string(m_platformId) + ", version " + std::to_string(m_major) +
                      "." + std::to_string(m_minor) + "." + std::to_string(m_build);
    if (!m_csdVersion.empty()) out += " \"" + m_csdVersion + "\"";
    out += m_wow64 ? ", WOW64" : ", not WOW64";
    if (!m_hasIsWow64Process) out += ", no IsWow64Process";
    if (m_hasIsWow64Process2) out += ", native machine " + std::to_string(m_nativeMachine);
    else out += ", no IsWow64Process2";
    if (m_failure == kExtendedFormFails) out += ", GetVersionExA refuses the extended record";
    if (m_failure == kBothFormsFail) out += ", GetVersionExA fails";
    if (m_protectedPrint != ProtectedPrint::kNoClass)
        out += m_protectedPrint == ProtectedPrint::kOn ? ", protected print on" : ", protected print off";
    return out + "\n";
}

}  // namespace platform::sim
