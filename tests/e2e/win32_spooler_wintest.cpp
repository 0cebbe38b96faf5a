// The spooler pass-through against the system's spooler, and the project's
// language monitor DLL as a spooler loads it (the copy beside this test
// program is the one of the program's width that the build put into the
// driver package).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_machine.h"

// After the seam headers; from here on the Windows macros (REG_SZ, ...)
// stand for the names.
#include "platform/win32/windows_support.h"

namespace {

using platform::win32::Win32Machine;

const char kMonitorName[] = "Contract Test Language Monitor";
const char kMonitorDll[] = "qmtNLMNT_test.dll";

std::string BesideThisProgram(const char* name) {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1) + name;
}

TEST(Win32SpoolerTest, EnumPortsSizesThenFillsTheBuffer) {
    Win32Machine machine;
    win::DWORD needed = 0, returned = 0;
    machine.SetLastError(0xdeadbeef);
    EXPECT_FALSE(machine.spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(machine.GetLastError(), static_cast<win::DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, 0u);
    std::vector<win::BYTE> buffer(needed);
    ASSERT_TRUE(machine.spooler().EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned));
    ASSERT_GT(returned, 0u);
    const auto* ports = reinterpret_cast<const win::PORT_INFO_2*>(buffer.data());
    bool lpt1 = false;
    for (win::DWORD i = 0; i < returned; ++i) lpt1 = lpt1 || std::string(ports[i].pPortName) == "LPT1:";
    EXPECT_TRUE(lpt1);
}

TEST(Win32SpoolerTest, LanguageMonitorDllLoadsAsAPrintMonitor) {
    Win32Machine machine;
    char system[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    std::string installed = std::string(system) + "\\" + kMonitorDll;
    // A spooler loads the monitor into a process of the system's width (Wine:
    // into the caller); the tests run in a prefix of their own width.
    std::string built = BesideThisProgram(sizeof(void*) == 8 ? "qmtNLM64.dll" : "qmtNLMNT.dll");
    ASSERT_NE(::GetFileAttributesA(built.c_str()), INVALID_FILE_ATTRIBUTES) << "no " << built;
    ASSERT_TRUE(::CopyFileA(built.c_str(), installed.c_str(), FALSE)) << ::GetLastError();

    win::MONITOR_INFO_2 info{const_cast<char*>(kMonitorName), nullptr, const_cast<char*>(kMonitorDll)};
    machine.SetLastError(0xdeadbeef);
    EXPECT_TRUE(machine.spooler().AddMonitorA(nullptr, 2, reinterpret_cast<win::BYTE*>(&info)))
        << machine.GetLastError();
    machine.SetLastError(0xdeadbeef);
    EXPECT_FALSE(machine.spooler().AddMonitorA(nullptr, 2, reinterpret_cast<win::BYTE*>(&info)));
    EXPECT_EQ(machine.GetLastError(), static_cast<win::DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));

    EXPECT_TRUE(machine.spooler().DeleteMonitorA(nullptr, nullptr, kMonitorName));
    machine.SetLastError(0xdeadbeef);
    EXPECT_FALSE(machine.spooler().DeleteMonitorA(nullptr, nullptr, kMonitorName));
    EXPECT_EQ(machine.GetLastError(), static_cast<win::DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
    ::DeleteFileA(installed.c_str());
}

TEST(Win32SystemInfoTest, VersionAndWow64AreLookedUpAtRunTime) {
    Win32Machine machine;
    win::OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = win::OSVERSIONINFOEXA_SIZE;
    ASSERT_TRUE(machine.system().GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, 2u);
    EXPECT_GE(info.dwMajorVersion, 5u);
    ASSERT_TRUE(machine.system().HasIsWow64Process());
    win::BOOL wow64 = -1;
    EXPECT_TRUE(machine.system().IsWow64Process(machine.services().GetCurrentProcess(), &wow64));
    // A 64-bit process never runs under WOW64; a 32-bit one does exactly when
    // the system beneath it is 64-bit (a 64-bit prefix).
    SYSTEM_INFO native{};
    ::GetNativeSystemInfo(&native);
    const bool system64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    EXPECT_EQ(wow64, sizeof(void*) == 4 && system64 ? TRUE : FALSE);
    // Where kernel32 has IsWow64Process2, it agrees: a WOW64 process is I386
    // (any other is "unknown") and the processor is the one its system is for.
    if (!machine.system().HasIsWow64Process2()) return;
    win::USHORT processMachine = 0xFFFF, nativeMachine = 0xFFFF;
    ASSERT_TRUE(machine.system().IsWow64Process2(machine.services().GetCurrentProcess(), &processMachine,
                                                 &nativeMachine));
    EXPECT_EQ(processMachine, wow64 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_UNKNOWN);
    EXPECT_EQ(nativeMachine, system64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
}

TEST(Win32RegistryTest, OutParametersReachTheCaller) {
    Win32Machine machine;
    win::HKEY key = nullptr;
    win::DWORD disposition = 0;
    ASSERT_EQ(0, machine.registry().RegCreateKeyExA(reinterpret_cast<win::HKEY>(HKEY_CURRENT_USER), "Software\\DriverSetupBackendTest", 0,
                                                    nullptr, 1 /* volatile */, KEY_ALL_ACCESS, nullptr, &key,
                                                    &disposition));
    EXPECT_NE(key, nullptr);
    EXPECT_TRUE(disposition == REG_CREATED_NEW_KEY || disposition == REG_OPENED_EXISTING_KEY);
    const char value[] = "COM3:";
    ASSERT_EQ(0, machine.registry().RegSetValueExA(key, "Port", 0, REG_SZ,
                                                   reinterpret_cast<const win::BYTE*>(value), sizeof value));
    char read[16] = {};
    win::DWORD type = 0, size = 3;
    EXPECT_EQ(static_cast<win::LONG>(ERROR_MORE_DATA),
              machine.registry().RegQueryValueExA(key, "Port", nullptr, &type,
                                                  reinterpret_cast<win::BYTE*>(read), &size));
    EXPECT_EQ(size, sizeof value);
    size = sizeof read;
    EXPECT_EQ(0, machine.registry().RegQueryValueExA(key, "Port", nullptr, &type, reinterpret_cast<win::BYTE*>(read),
                                                     &size));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_STREQ(read, "COM3:");
    EXPECT_EQ(0, machine.registry().RegCloseKey(key));
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\DriverSetupBackendTest");
}

}  // namespace
