// Simulated machine: which Windows it pretends to be.
#pragma once

#include <mutex>
#include <string>

#include "platform/sim/sim_env.h"
#include "platform/system_info.h"

namespace platform::sim {

// Faults: "GetVersionExA", "IsWow64Process", "IsWow64Process2" and
// "QueryProtectedPrintEnabled" (its HRESULT) through SimEnv.
class SimSystemInfo : public platform::SystemInfo {
public:
    // Which forms of the version record GetVersionExA refuses, as systems
    // before NT 4.0 SP6 refuse the extended one.
    enum VersionFailure { kNoFailure, kExtendedFormFails, kBothFormsFail };

    explicit SimSystemInfo(SimEnv& env);

    // platform::SystemInfo
    BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) override;
    bool HasIsWow64Process() override;
    BOOL IsWow64Process(HANDLE process, BOOL* wow64) override;
    bool HasIsWow64Process2() override;
    BOOL IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) override;
    win::HRESULT QueryProtectedPrintEnabled(BOOL* enabled) override;

    void SetVersion(win::DWORD platformId, win::DWORD major, win::DWORD minor, win::DWORD build = 0,
                    const std::string& csdVersion = std::string());
    void SetServicePack(win::WORD major, win::WORD minor);
    void SetVersionFailure(VersionFailure failure);
    void SetHasIsWow64Process(bool present);
    void SetWow64(bool wow64);
    bool IsWow64() const;
    void SetHasIsWow64Process2(bool present);
    bool HasIsWow64Process2Export() const;
    // The processor IsWow64Process2 reports (IMAGE_FILE_MACHINE_...).
    void SetNativeMachine(win::USHORT machine);
    win::USHORT NativeMachine() const;

    // What the Windows Runtime says of Windows protected print mode: no such
    // class (before Windows 11 version 24H2, and Wine), or the class's answer.
    enum class ProtectedPrint { kNoClass, kOff, kOn };
    void SetProtectedPrint(ProtectedPrint answer);

    std::string ToString() const;

private:
    SimEnv& m_env;
    mutable std::mutex m_mutex;
    win::DWORD m_platformId = win::VER_PLATFORM_WIN32_NT;
    win::DWORD m_major = 10;
    win::DWORD m_minor = 0;
    win::DWORD m_build = 19045;
    std::string m_csdVersion;
    win::WORD m_servicePackMajor = 0;
    win::WORD m_servicePackMinor = 0;
    VersionFailure m_failure = kNoFailure;
    bool m_hasIsWow64Process = true;
    bool m_wow64 = true;
    bool m_hasIsWow64Process2 = true;
    win::USHORT m_nativeMachine = win::IMAGE_FILE_MACHINE_AMD64;
    ProtectedPrint m_protectedPrint = ProtectedPrint::kNoClass;
};

}  // namespace platform::sim
