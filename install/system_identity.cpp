// Which Windows the installer runs on, and whether it runs under WOW64.
#include "install/system_identity.h"

#include <cstdio>

namespace install {

int SystemIdentity::GetWindowsVersionCode() {
    win::OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = win::OSVERSIONINFOEXA_SIZE;
    platform::SystemInfo& system = m_machine.system();
    if (!system.GetVersionExA(&info)) {
        info.dwOSVersionInfoSize = win::OSVERSIONINFOA_SIZE;
        if (!system.GetVersionExA(&info)) return -1;
    }

    const win::DWORD major = info.dwMajorVersion;
    const win::DWORD minor = info.dwMinorVersion;
    switch (info.dwPlatformId) {
    case win::VER_PLATFORM_WIN32_WINDOWS:
        if (major != 4) return -1;
        if (minor == 0) return 1;
        if (minor == 10) return 2;
        if (minor == 90) return 3;
        return -1;
    case win::VER_PLATFORM_WIN32_NT:
        if (major <= 4) return 4;
        if (major == 5) {
            if (minor == 0) return 5;
            if (minor == 1) return 6;
            if (minor == 2) return 7;
            return -1;
        }
        if (major == 6) {
            if (minor == 0) return 8;
            if (minor == 1) return 9;
            return 10;
        }
        if (major == 10) return 11;
        return -1;
    default:
        return 5;
    }
}

void SystemIdentity::ShowSystemInfo() {
    static const char* const kSystemNames[] = {
        "",
        "Microsoft Windows 95 ",
        "Microsoft Windows 98 ",
        "Microsoft Windows Me ",
        "Microsoft Windows NT ",
        "Microsoft Windows 2000 ",
        "Microsoft Windows XP ",
        "Microsoft Windows 2003 ",
        "Microsoft Windows vista ",
        "Microsoft Windows 7 ",
        "Microsoft Windows 8 ",
        "Microsoft Windows 10 ",
    };

    const char* bitness = "32位";
    platform::SystemInfo& system = m_machine.system();
    if (system.HasIsWow64Process()) {
        win::BOOL wow64 = 0;
        system.IsWow64Process(m_machine.services().GetCurrentProcess(), &wow64);
        m_isWow64 = wow64;
    }
    // An x86 program runs emulated on ARM64 Windows, where IsWow64Process
    // answers as on x64: only IsWow64Process2 (Windows 10 version 1511 and
    // later) names the processor.
    if (system.HasIsWow64Process2()) {
        win::USHORT processMachine = 0;
        win::USHORT nativeMachine = 0;
        if (system.IsWow64Process2(m_machine.services().GetCurrentProcess(), &processMachine, &nativeMachine)) {
            m_nativeMachine = nativeMachine;
        }
    }

    if (OnX64Windows()) bitness = "64位";

    const int code = GetWindowsVersionCode();
    const char* name = (code >= 1 && code <= 11) ? kSystemNames[code] : "";

    char text[128];
    std::snprintf(text, sizeof(text), "%s%s %s", "当前系统为", name, bitness);
    m_view.PublishStatus(text);
}

bool SystemIdentity::OnX64Windows() const {
    return m_isWow64 != 0 || m_nativeMachine == win::IMAGE_FILE_MACHINE_AMD64;
}

std::string SystemIdentity::UnsupportedProcessor() const {
    switch (m_nativeMachine) {
    case win::IMAGE_FILE_MACHINE_UNKNOWN:
    case win::IMAGE_FILE_MACHINE_I386:
    case win::IMAGE_FILE_MACHINE_AMD64:
        return std::string();
    case win::IMAGE_FILE_MACHINE_ARM64: return "ARM64";
    case win::IMAGE_FILE_MACHINE_ARMNT: return "ARM";
    case win::IMAGE_FILE_MACHINE_IA64: return "IA64";
    default: {
        char code[16];
        std::snprintf(code, sizeof(code), "0x%04X", m_nativeMachine);
        return code;
    }
    }
}

}  // namespace install
