// The simulated registry's own behaviour: its links, name folding, deleted
// keys, injected faults and concurrent use. What Windows does the same way
// is in contract_registry_test.cpp.
#include "platform/sim/sim_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace platform::sim {
namespace {

using namespace win;

class SimRegistryTest : public ::testing::Test {
protected:
    SimEnv m_env;
    SimRegistry m_registry{m_env};
};

TEST_F(SimRegistryTest, CurrentControlSetIsTheSameKeyAsControlSet001) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, m_registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                                                        "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1",
                                                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const char port[] = "USB002";
    ASSERT_EQ(ERROR_SUCCESS, m_registry.RegSetValueExA(key, "Port", 0, REG_SZ,
                                                       reinterpret_cast<const BYTE*>(port), sizeof port));
    m_registry.RegCloseKey(key);

    EXPECT_EQ("USB002",
              m_registry.GetString(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\P1", "Port"));
    // And the other way round.
    m_registry.SetString(HKEY_LOCAL_MACHINE, "system\\controlset001\\Control\\Print\\Printers\\P1", "Port", "LPT1:");
    EXPECT_EQ("LPT1:", m_registry.GetString(HKEY_LOCAL_MACHINE,
                                            "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1", "Port"));
}

TEST_F(SimRegistryTest, CurrentConfigIsTheCurrentHardwareProfile) {
    // Written the way SetPrinterPort marks a printer off line...
    HKEY key = nullptr;
    DWORD disposition = 0;
    const SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, 1};
    ASSERT_EQ(ERROR_SUCCESS,
              m_registry.RegCreateKeyExA(HKEY_CURRENT_CONFIG, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1",
                                         0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security, &key,
                                         &disposition));
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    const BYTE offline[4] = {0, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, m_registry.RegSetValueExA(key, "PrinterOnLine", 0, REG_DWORD, offline, 4));
    m_registry.RegCloseKey(key);

    // ...and read the way AutoSelectUsbPort reads it back.
    const char* profilePath =
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers"
        "\\P1";
    EXPECT_EQ(0u, m_registry.GetDword(HKEY_LOCAL_MACHINE, profilePath, "PrinterOnLine"));
    m_registry.SetDword(HKEY_LOCAL_MACHINE, profilePath, "PrinterOnLine", 1);
    ASSERT_EQ(ERROR_SUCCESS, m_registry.RegOpenKeyExA(HKEY_CURRENT_CONFIG,
                                                      "System\\CurrentControlSet\\Control\\Print\\Printers\\P1", 0,
                                                      KEY_QUERY_VALUE, &key));
    BYTE flag[50] = {};
    DWORD size = sizeof flag;
    EXPECT_EQ(ERROR_SUCCESS, m_registry.RegQueryValueExA(key, "PrinterOnLine", nullptr, nullptr, flag, &size));
    EXPECT_EQ(1, flag[0]);
    m_registry.RegCloseKey(key);
    // Through both links, the data sits under ControlSet001 only.
    EXPECT_EQ(1u, m_registry.GetDword(HKEY_LOCAL_MACHINE,
                                      "SYSTEM\\ControlSet001\\Hardware Profiles\\Current\\System\\CurrentControlSet"
                                      "\\Control\\Print\\Printers\\P1",
                                      "PrinterOnLine"));
}

TEST_F(SimRegistryTest, FoldsOnlyAsciiLettersOfCp936Names) {
    // 0xC4 0x41 and 0xC4 0x61 are two different characters whose trail
    // bytes happen to be 'A' and 'a'.
    const std::string upper = "Printer\xC4" "A";
    const std::string lower = "Printer\xC4" "a";
    m_registry.SetString(HKEY_LOCAL_MACHINE, "Software\\" + upper, "Port", "USB001");
    m_registry.SetString(HKEY_LOCAL_MACHINE, "Software\\" + lower, "Port", "USB002");
    EXPECT_EQ("USB001", m_registry.GetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\PRINTER\xC4" "A", "port"));
    EXPECT_EQ("USB002", m_registry.GetString(HKEY_LOCAL_MACHINE, "software\\printer\xC4" "a", "PORT"));
}

TEST_F(SimRegistryTest, HandlesOfADeletedKeyReportIt) {
    m_registry.SetString(HKEY_CURRENT_USER, "Software\\Gone\\Below", "Name", "x");
    HKEY key = nullptr;
    HKEY below = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, m_registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Gone", 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, m_registry.RegOpenKeyExA(key, "Below", 0, KEY_ALL_ACCESS, &below));
    ASSERT_TRUE(m_registry.DeleteKey(HKEY_CURRENT_USER, "Software\\Gone"));

    EXPECT_FALSE(m_registry.KeyExists(HKEY_CURRENT_USER, "Software\\Gone"));
    DWORD size = 0;
    EXPECT_EQ(SimRegistry::kErrorKeyDeleted,
              m_registry.RegQueryValueExA(below, "Name", nullptr, nullptr, nullptr, &size));
    const BYTE one[4] = {1};
    EXPECT_EQ(SimRegistry::kErrorKeyDeleted, m_registry.RegSetValueExA(key, "Name", 0, REG_DWORD, one, 4));
    EXPECT_EQ(2u, m_registry.OpenHandleCount());
    EXPECT_EQ(ERROR_SUCCESS, m_registry.RegCloseKey(below));
    EXPECT_EQ(ERROR_SUCCESS, m_registry.RegCloseKey(key));
    EXPECT_EQ(0u, m_registry.OpenHandleCount());
}

TEST_F(SimRegistryTest, InjectedFaultsReturnTheirErrorOnce) {
    m_registry.SetString(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0", "COM1");
    HKEY key = nullptr;
    m_env.InjectFault("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              m_registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key));
    ASSERT_EQ(ERROR_SUCCESS,
              m_registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_ALL_ACCESS, &key));

    m_env.InjectFault("RegCloseKey", ERROR_INVALID_HANDLE);
    EXPECT_EQ(ERROR_INVALID_HANDLE, m_registry.RegCloseKey(key));
    EXPECT_EQ(ERROR_SUCCESS, m_registry.RegCloseKey(key));  // the fault did not close it

    HKEY created = nullptr;
    m_env.InjectFault("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED, m_registry.RegCreateKeyExA(HKEY_CURRENT_CONFIG, "New", 0, nullptr, 0,
                                                              KEY_ALL_ACCESS, nullptr, &created, nullptr));
    EXPECT_FALSE(m_registry.KeyExists(HKEY_CURRENT_CONFIG, "New"));
    EXPECT_EQ(0u, m_registry.OpenHandleCount());
    EXPECT_EQ(2, m_env.CallCount("RegOpenKeyExA"));
}

TEST_F(SimRegistryTest, TestHelpersReadOnlyMatchingTypes) {
    m_registry.SetDword(HKEY_CURRENT_USER, "K", "D", 7);
    m_registry.SetValue(HKEY_CURRENT_USER, "K", "B", REG_BINARY, {1, 2});
    m_registry.SetString(HKEY_CURRENT_USER, "K", "S", "text");
    EXPECT_EQ(7u, m_registry.GetDword(HKEY_CURRENT_USER, "k", "d"));
    EXPECT_FALSE(m_registry.GetString(HKEY_CURRENT_USER, "K", "D"));
    EXPECT_FALSE(m_registry.GetDword(HKEY_CURRENT_USER, "K", "B"));
    EXPECT_FALSE(m_registry.GetString(HKEY_CURRENT_USER, "Missing", "S"));
    EXPECT_EQ(REG_BINARY, m_registry.GetType(HKEY_CURRENT_USER, "K", "B"));
    EXPECT_EQ((std::vector<std::string>{"D", "B", "S"}), m_registry.ValueNames(HKEY_CURRENT_USER, "K"));
    EXPECT_TRUE(m_registry.DeleteValue(HKEY_CURRENT_USER, "K", "b"));
    EXPECT_EQ((std::vector<std::string>{"D", "S"}), m_registry.ValueNames(HKEY_CURRENT_USER, "K"));
}

TEST_F(SimRegistryTest, TwoThreadsWriteWithoutLosingValues) {
    constexpr int kWrites = 200;
    auto writer = [this](const char* prefix) {
        for (int i = 0; i < kWrites; ++i) {
            HKEY key = nullptr;
            if (m_registry.RegCreateKeyExA(HKEY_CURRENT_USER, "Shared", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &key, nullptr) != ERROR_SUCCESS) {
                return;
            }
            const std::string name = prefix + std::to_string(i);
            m_registry.RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                      static_cast<DWORD>(name.size() + 1));
            m_registry.RegCloseKey(key);
        }
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    EXPECT_EQ(2u * kWrites, m_registry.ValueNames(HKEY_CURRENT_USER, "Shared").size());
    EXPECT_EQ(0u, m_registry.OpenHandleCount());
}

}  // namespace
}  // namespace platform::sim
