// The simulated machine as a whole: what a fresh machine holds, its
// presets, the wiring between its services and its time scale.
#include "platform/sim/sim_machine.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

namespace platform::sim {
namespace {

using namespace win;

// A sandbox folder of its own for each test.
class SandboxDir {
public:
    SandboxDir() {
        static int s_counter = 0;
        m_path = (std::filesystem::temp_directory_path() /
                  ("sim-machine-" + std::to_string(::getpid()) + "-" + std::to_string(++s_counter)))
                     .string();
        std::filesystem::create_directories(m_path);
    }
    ~SandboxDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

DWORD VersionCode(SystemInfo& system, DWORD size, OSVERSIONINFOEXA* info) {
    *info = OSVERSIONINFOEXA{};
    info->dwOSVersionInfoSize = size;
    return static_cast<DWORD>(system.GetVersionExA(info));
}

class SimMachineTest : public ::testing::Test {
protected:
    SandboxDir m_dir;
    SimMachine m_machine{m_dir.path()};
};

TEST_F(SimMachineTest, FreshMachineHasTheKeysTheInstallerOpens) {
    SimRegistry& registry = m_machine.sim_registry();
    const struct {
        HKEY root;
        const char* path;
    } kKeys[] = {
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"},
        {HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Print\\Printers"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers"},
        {HKEY_CURRENT_CONFIG, "System\\CurrentControlSet\\Control\\Print\\Printers"},
    };
    for (const auto& key : kKeys) {
        HKEY handle = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, m_machine.registry().RegOpenKeyExA(key.root, key.path, 0, KEY_READ, &handle))
            << key.path << "\n"
            << m_machine.ToString();
        m_machine.registry().RegCloseKey(handle);
    }
    EXPECT_TRUE(registry.ValueNames(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM").empty());
    EXPECT_TRUE(m_machine.sim_services().IsRunning("Spooler"));
}

TEST_F(SimMachineTest, DefaultIsWindows10UnderWow64) {
    OSVERSIONINFOEXA info;
    ASSERT_EQ(1u, VersionCode(m_machine.system(), OSVERSIONINFOEXA_SIZE, &info));
    EXPECT_EQ(VER_PLATFORM_WIN32_NT, info.dwPlatformId);
    EXPECT_EQ(10u, info.dwMajorVersion);
    EXPECT_EQ(0u, info.dwMinorVersion);
    EXPECT_EQ(19045u, info.dwBuildNumber);
    ASSERT_TRUE(m_machine.system().HasIsWow64Process());
    BOOL wow64 = 0;
    EXPECT_EQ(1, m_machine.system().IsWow64Process(m_machine.services().GetCurrentProcess(), &wow64));
    EXPECT_EQ(1, wow64);
    EXPECT_EQ(kSimEnvironmentX64, m_machine.sim_spooler().NativeEnvironment());
}

TEST(SimMachinePresetTest, Windows7x86) {
    SandboxDir dir;
    SimMachine machine(dir.path(), SimPreset::kWindows7x86);
    OSVERSIONINFOEXA info;
    ASSERT_EQ(1u, VersionCode(machine.system(), OSVERSIONINFOEXA_SIZE, &info));
    EXPECT_EQ(6u, info.dwMajorVersion);
    EXPECT_EQ(1u, info.dwMinorVersion);
    EXPECT_STREQ("Service Pack 1", info.szCSDVersion);
    EXPECT_EQ(1, info.wServicePackMajor);
    BOOL wow64 = 1;
    EXPECT_EQ(1, machine.system().IsWow64Process(machine.services().GetCurrentProcess(), &wow64));
    EXPECT_EQ(0, wow64);
    EXPECT_EQ(kSimEnvironmentX86, machine.sim_spooler().NativeEnvironment());

    // Nothing redirected: System32 is System32, Sysnative and WOW6432Node
    // are nobody's.
    ASSERT_TRUE(machine.sim_files().WriteFile("C:\\Setup\\m.dll", "m"));
    EXPECT_EQ(1, machine.files().CopyFileA("C:\\Setup\\m.dll", "C:\\Windows\\System32\\m.dll", 0));
    EXPECT_TRUE(machine.sim_files().Exists("C:\\Windows\\System32\\m.dll"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, machine.files().GetFileAttributesA("C:\\Windows\\Sysnative\\m.dll"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, machine.registry().RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, nullptr, 0,
                                                                KEY_ALL_ACCESS, nullptr, &key, nullptr));
    machine.registry().RegCloseKey(key);
    EXPECT_TRUE(machine.sim_registry().KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
}

TEST_F(SimMachineTest, VersionRecordFormsAndFailures) {
    m_machine.SetWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    OSVERSIONINFOEXA info;
    // The plain form leaves the extended fields alone.
    info = OSVERSIONINFOEXA{};
    info.dwOSVersionInfoSize = OSVERSIONINFOA_SIZE;
    info.wServicePackMajor = 0x5a5a;
    info.wProductType = 0x77;
    ASSERT_EQ(1, m_machine.system().GetVersionExA(&info));
    EXPECT_EQ(VER_PLATFORM_WIN32_WINDOWS, info.dwPlatformId);
    EXPECT_EQ(10u, info.dwMinorVersion);
    EXPECT_EQ(0x5a5a, info.wServicePackMajor);
    EXPECT_EQ(0x77, info.wProductType);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, VersionCode(m_machine.system(), 100, &info));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, LastError());
}

TEST_F(SimMachineTest, Wow64AndItsQueryCanBeTakenAway) {
    m_machine.SetWow64(false);
    EXPECT_EQ(kSimEnvironmentX86, m_machine.sim_spooler().NativeEnvironment());
    m_machine.SetHasIsWow64Process(false);
    EXPECT_FALSE(m_machine.system().HasIsWow64Process());
    BOOL wow64 = 7;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, m_machine.system().IsWow64Process(m_machine.services().GetCurrentProcess(), &wow64));
    EXPECT_EQ(ERROR_PROC_NOT_FOUND, LastError());
    EXPECT_EQ(7, wow64);
}

TEST_F(SimMachineTest, SerialDevicesEnumerateInTheOrderAdded) {
    m_machine.AddSerialDevice("\\Device\\Serial1", "COM2");
    m_machine.AddSerialDevice("\\Device\\Serial0", "COM1");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, m_machine.registry().RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                                                0, KEY_READ, &key));
    char name[128];
    BYTE data[128];
    DWORD cch = sizeof name;
    DWORD size = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, m_machine.registry().RegEnumValueA(key, 0, name, &cch, nullptr, nullptr, data, &size));
    EXPECT_STREQ("\\Device\\Serial1", name);
    EXPECT_STREQ("COM2", reinterpret_cast<char*>(data));
    m_machine.registry().RegCloseKey(key);
}

TEST_F(SimMachineTest, SleepFollowsTheTimeScale) {
    m_machine.SetTimeScale(0);
    const auto start = std::chrono::steady_clock::now();
    m_machine.Sleep(60000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(60000u, m_machine.SleptMilliseconds());
    EXPECT_EQ(1, m_machine.env().CallCount("Sleep"));

    m_machine.SetTimeScale(0.5);
    const auto scaled = std::chrono::steady_clock::now();
    m_machine.Sleep(40);
    EXPECT_GE(std::chrono::steady_clock::now() - scaled, std::chrono::milliseconds(20));
}

TEST_F(SimMachineTest, LastErrorBelongsToTheCallingThread) {
    m_machine.SetLastError(5);
    DWORD other = 0xdeadbeef;
    std::thread([&] {
        m_machine.SetLastError(87);
        other = m_machine.GetLastError();
    }).join();
    EXPECT_EQ(87u, other);
    EXPECT_EQ(5u, m_machine.GetLastError());
}

// The terminal front end may run twice at once on one machine folder: a
// named mutex is seen from the other process, and goes with a process that
// ends without closing it.
TEST_F(SimMachineTest, NamedMutexesReachOtherProcessesOnTheSameFolder) {
    HANDLE mine = m_machine.sync().CreateMutexA(nullptr, 1, "Global\\Installer");
    ASSERT_NE(nullptr, mine);
    std::fflush(nullptr);  // or the child's exit could print our buffered output again
    const pid_t child = ::fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        SimMachine other(m_dir.path());
        const bool seen = other.sync().CreateMutexA(nullptr, 1, "Global\\Installer") && other.GetLastError() == 183;
        const bool created = other.sync().CreateMutexA(nullptr, 1, "Left open") && other.GetLastError() == 0;
        ::_exit(seen && created ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(nullptr, m_machine.sync().CreateMutexA(nullptr, 1, "Left open"));
    EXPECT_EQ(ERROR_SUCCESS, m_machine.GetLastError());
}

}  // namespace
}  // namespace platform::sim
