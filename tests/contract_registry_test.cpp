// Registry contract: the behaviour the installer relies on, asserted the way
// Wine's conformance tests assert Windows (the call, then the exact result).
// It runs against every machine the build can make; each test works in a
// fresh volatile key under HKEY_CURRENT_USER, so that a real registry is
// left clean when the session ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/machine.h"

#include "tests/support/contract_machines.h"

namespace {

using namespace win;

struct RegistryTarget {
    const char* name;
    std::function<std::unique_ptr<platform::Machine>()> make;
};

#ifndef _WIN32
// A simulated machine whose sandbox goes away with it.
std::unique_ptr<platform::Machine> MakeSimMachine() {
    return contract::MakeScratchSimMachine("registry");
}
std::unique_ptr<platform::Machine> MakeLoggedSimMachine() { return contract::MakeLogged(MakeSimMachine()); }
#else
std::unique_ptr<platform::Machine> MakeLoggedWin32Machine() { return contract::MakeLogged(e2e::MakeWin32Machine()); }
#endif

class RegistryContract : public ::testing::TestWithParam<RegistryTarget> {
protected:
    void SetUp() override {
        m_machine = GetParam().make();
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_scratchPath = "Software\\InstallerContractTest-" + std::to_string(stamp);
        ASSERT_EQ(ERROR_SUCCESS, reg().RegCreateKeyExA(HKEY_CURRENT_USER, m_scratchPath.c_str(), 0, nullptr,
                                                       REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_scratch,
                                                       nullptr));
    }
    void TearDown() override {
        if (m_scratch) reg().RegCloseKey(m_scratch);
    }

    platform::Registry& reg() { return m_machine->registry(); }

    HKEY CreateSub(const char* path, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, reg().RegCreateKeyExA(m_scratch, path, 0, nullptr, REG_OPTION_VOLATILE, access,
                                                       nullptr, &key, nullptr));
        return key;
    }
    void SetString(HKEY key, const char* name, const char* text) {
        ASSERT_EQ(ERROR_SUCCESS, reg().RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                                      static_cast<DWORD>(std::strlen(text) + 1)));
    }

    std::unique_ptr<platform::Machine> m_machine;
    std::string m_scratchPath;
    HKEY m_scratch = nullptr;
};

TEST_P(RegistryContract, OpeningAMissingKeyFailsAndClearsTheResult) {
    HKEY key = m_scratch;  // anything non-null
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg().RegOpenKeyExA(m_scratch, "Missing", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    // and the failed open created nothing
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg().RegOpenKeyExA(m_scratch, "Missing", 0, KEY_READ, &key));

    // Wine writes through a null result pointer (docs/wine-differences.md).
    if (!contract::UnderWine()) {
        EXPECT_EQ(ERROR_INVALID_PARAMETER, reg().RegOpenKeyExA(m_scratch, "Missing", 0, KEY_READ, nullptr));
    }
    key = m_scratch;
    EXPECT_EQ(ERROR_INVALID_HANDLE, reg().RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &key));
    EXPECT_EQ(m_scratch, key);
}

TEST_P(RegistryContract, CreateMakesIntermediateKeysAndReportsDisposition) {
    HKEY key = nullptr;
    DWORD disposition = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, reg().RegCreateKeyExA(m_scratch, "A\\B\\C", 0, nullptr, REG_OPTION_VOLATILE,
                                                   KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(key));

    disposition = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, reg().RegCreateKeyExA(m_scratch, "A\\B\\C", 0, nullptr, REG_OPTION_VOLATILE,
                                                   KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(key));

    ASSERT_EQ(ERROR_SUCCESS, reg().RegOpenKeyExA(m_scratch, "A\\B", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(key));
    // Trailing separators are ignored, a leading one is refused.
    ASSERT_EQ(ERROR_SUCCESS, reg().RegOpenKeyExA(m_scratch, "A\\B\\\\", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(key));
    EXPECT_EQ(161 /* ERROR_BAD_PATHNAME */, reg().RegCreateKeyExA(m_scratch, "\\Lead", 0, nullptr,
                                                                 REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                                                 &key, nullptr));
}

TEST_P(RegistryContract, ChildrenOfAVolatileKeyMustBeVolatile) {
    HKEY key = nullptr;
    EXPECT_EQ(1021 /* ERROR_CHILD_MUST_BE_VOLATILE */,
              reg().RegCreateKeyExA(m_scratch, "Lasting", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr));
}

TEST_P(RegistryContract, ClosingAnUnknownOrClosedHandleFails) {
    EXPECT_EQ(ERROR_INVALID_HANDLE, reg().RegCloseKey(nullptr));
    HKEY key = CreateSub("Closed");
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, reg().RegCloseKey(key));
    // A predefined key may be closed; it stays usable.
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegOpenKeyExA(HKEY_CURRENT_USER, m_scratchPath.c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegCloseKey(key));
}

TEST_P(RegistryContract, KeyAndValueNamesIgnoreCase) {
    HKEY key = CreateSub("MixedCase\\Inner");
    SetString(key, "PortName", "USB001");
    reg().RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, reg().RegOpenKeyExA(m_scratch, "MIXEDCASE\\inner", 0, KEY_READ, &key));
    char data[16] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, reg().RegQueryValueExA(key, "PORTNAME", nullptr, &type, reinterpret_cast<BYTE*>(data),
                                                    &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(7u, size);
    EXPECT_STREQ("USB001", data);
    reg().RegCloseKey(key);

    // Writing through another spelling replaces the value, keeping its name.
    key = CreateSub("mixedcase\\INNER");
    SetString(key, "portname", "USB002");
    char name[16] = {};
    DWORD cch = sizeof name;
    size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, reg().RegEnumValueA(key, 0, name, &cch, nullptr, nullptr,
                                                 reinterpret_cast<BYTE*>(data), &size));
    EXPECT_STREQ("PortName", name);
    EXPECT_STREQ("USB002", data);
    EXPECT_EQ(static_cast<LONG>(ERROR_NO_MORE_ITEMS),
              reg().RegEnumValueA(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr));
    reg().RegCloseKey(key);
}

TEST_P(RegistryContract, HandlesAllowOnlyTheAccessTheyWereOpenedWith) {
    HKEY writer = CreateSub("Access");
    SetString(writer, "Value", "x");
    reg().RegCloseKey(writer);

    HKEY reader = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, reg().RegOpenKeyExA(m_scratch, "Access", 0, KEY_QUERY_VALUE, &reader));
    const BYTE one[4] = {1, 0, 0, 0};
    EXPECT_EQ(ERROR_ACCESS_DENIED, reg().RegSetValueExA(reader, "Value", 0, REG_DWORD, one, 4));
    reg().RegCloseKey(reader);

    ASSERT_EQ(ERROR_SUCCESS, reg().RegOpenKeyExA(m_scratch, "Access", 0, KEY_SET_VALUE, &writer));
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, reg().RegQueryValueExA(writer, "Value", nullptr, nullptr, nullptr, &size));
    char name[16];
    DWORD cch = sizeof name;
    EXPECT_EQ(ERROR_ACCESS_DENIED, reg().RegEnumValueA(writer, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegSetValueExA(writer, "Value", 0, REG_DWORD, one, 4));
    reg().RegCloseKey(writer);
}

TEST_P(RegistryContract, QueryReportsTheSizeNeeded) {
    HKEY key = CreateSub("Query");
    SetString(key, "Port", "COM12:");  // 7 bytes with the zero
    DWORD type = 0xdeadbeef;
    DWORD size = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, reg().RegQueryValueExA(key, "Port", nullptr, &type, nullptr, &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(7u, size);

    BYTE data[16];
    std::memset(data, 'x', sizeof data);
    size = 6;
    EXPECT_EQ(ERROR_MORE_DATA, reg().RegQueryValueExA(key, "Port", nullptr, nullptr, data, &size));
    EXPECT_EQ(7u, size);

    size = 7;
    EXPECT_EQ(ERROR_SUCCESS, reg().RegQueryValueExA(key, "Port", nullptr, nullptr, data, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(0, std::memcmp(data, "COM12:", 7));

    EXPECT_EQ(ERROR_INVALID_PARAMETER, reg().RegQueryValueExA(key, "Port", nullptr, nullptr, data, nullptr));
    size = sizeof data;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg().RegQueryValueExA(key, "Missing", nullptr, nullptr, data, &size));

    // A DWORD read into the installer's 50-byte buffer: its low byte first.
    const BYTE online[4] = {1, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, reg().RegSetValueExA(key, "PrinterOnLine", 0, REG_DWORD, online, 4));
    BYTE flag[50] = {};
    size = sizeof flag;
    EXPECT_EQ(ERROR_SUCCESS, reg().RegQueryValueExA(key, "PrinterOnLine", nullptr, &type, flag, &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(1, flag[0]);
    reg().RegCloseKey(key);
}

TEST_P(RegistryContract, ValuesEnumerateInCreationOrder) {
    HKEY key = CreateSub("Order");
    SetString(key, "\\Device\\Serial1", "COM2");
    SetString(key, "\\Device\\Serial0", "COM1");
    SetString(key, "Alpha", "A");
    SetString(key, "\\Device\\Serial1", "COM9");  // rewriting keeps the place

    const char* expectedNames[] = {"\\Device\\Serial1", "\\Device\\Serial0", "Alpha"};
    const char* expectedData[] = {"COM9", "COM1", "A"};
    if (contract::UnderWine()) {
        // Wine keeps values sorted by name, without case (docs/wine-differences.md).
        std::swap(expectedNames[0], expectedNames[1]);
        std::swap(expectedData[0], expectedData[1]);
    }
    for (DWORD i = 0; i < 3; ++i) {
        char name[128];
        BYTE data[128];
        DWORD cch = sizeof name;
        DWORD size = sizeof data;
        DWORD type = 0;
        ASSERT_EQ(ERROR_SUCCESS, reg().RegEnumValueA(key, i, name, &cch, nullptr, &type, data, &size)) << i;
        EXPECT_STREQ(expectedNames[i], name);
        EXPECT_EQ(std::strlen(expectedNames[i]), cch);
        EXPECT_EQ(REG_SZ, type);
        // String data comes back with its zero byte.
        EXPECT_EQ(std::strlen(expectedData[i]) + 1, size);
        EXPECT_STREQ(expectedData[i], reinterpret_cast<char*>(data));
    }
    char name[128];
    DWORD cch = sizeof name;
    EXPECT_EQ(static_cast<LONG>(ERROR_NO_MORE_ITEMS),
              reg().RegEnumValueA(key, 3, name, &cch, nullptr, nullptr, nullptr, nullptr));
    reg().RegCloseKey(key);
}

TEST_P(RegistryContract, EnumerationOverflowCopiesNothing) {
    HKEY key = CreateSub("Overflow");
    SetString(key, "Test", "foobar");  // name 4, data 7 bytes

    char name[20];
    char data[20];
    DWORD cch;
    DWORD size;
    DWORD type;
    auto reset = [&](DWORD nameCount, DWORD dataCount) {
        std::strcpy(name, "xxxxxxxxxx");
        std::strcpy(data, "xxxxxxxxxx");
        cch = nameCount;
        size = dataCount;
        type = 1234;
    };

    // The data does not fit: its size is reported, nothing is copied.
    reset(20, 2);
    EXPECT_EQ(ERROR_MORE_DATA,
              reg().RegEnumValueA(key, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(20u, cch);
    EXPECT_EQ(7u, size);
    EXPECT_EQ(REG_SZ, type);
    EXPECT_STREQ("xxxxxxxxxx", name);
    EXPECT_STREQ("xxxxxxxxxx", data);

    // The name needs room for its zero byte: four characters do not fit in 4.
    reset(4, 20);
    EXPECT_EQ(ERROR_MORE_DATA,
              reg().RegEnumValueA(key, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(4u, cch);
    EXPECT_EQ(7u, size);

    // Both too small.
    reset(2, 2);
    EXPECT_EQ(ERROR_MORE_DATA,
              reg().RegEnumValueA(key, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(2u, cch);
    EXPECT_EQ(7u, size);
    EXPECT_STREQ("xxxxxxxxxx", name);
    EXPECT_STREQ("xxxxxxxxxx", data);

    // Exactly enough.
    reset(5, 7);
    EXPECT_EQ(ERROR_SUCCESS,
              reg().RegEnumValueA(key, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(4u, cch);
    EXPECT_EQ(7u, size);
    EXPECT_STREQ("Test", name);
    EXPECT_STREQ("foobar", data);

    // A name buffer is required.
    reset(20, 20);
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              reg().RegEnumValueA(key, 0, nullptr, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              reg().RegEnumValueA(key, 0, name, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    reg().RegCloseKey(key);
}

// What removing a record relies on: a key goes only once it has no subkeys,
// its values with it, and the counts say when a key is empty.
TEST_P(RegistryContract, DeleteKeyExTakesOnlyAKeyWithoutSubkeys) {
    HKEY parent = CreateSub("parent");
    HKEY child = CreateSub("parent\\child");
    SetString(parent, "ProgramVersion", "1.1.0");
    DWORD subKeys = 99, values = 99, longestName = 99;
    ASSERT_EQ(ERROR_SUCCESS, reg().RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                    &values, &longestName, nullptr, nullptr, nullptr));
    EXPECT_EQ(subKeys, 1u);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(longestName, 14u);

    EXPECT_EQ(ERROR_ACCESS_DENIED, reg().RegDeleteKeyExA(m_scratch, "parent", KEY_WOW64_64KEY, 0));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegDeleteKeyExA(m_scratch, "parent\\child", KEY_WOW64_64KEY, 0));
    EXPECT_EQ(1018 /* ERROR_KEY_DELETED */,
              reg().RegQueryInfoKeyA(child, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                     nullptr, nullptr, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, reg().RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                                    &values, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(ERROR_SUCCESS, reg().RegDeleteKeyExA(m_scratch, "parent", KEY_WOW64_64KEY, 0)) << "values go with it";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg().RegDeleteKeyExA(m_scratch, "parent", KEY_WOW64_64KEY, 0));
    reg().RegCloseKey(child);
    reg().RegCloseKey(parent);

    // Windows wants KEY_QUERY_VALUE ("RegQueryInfoKeyA function"); Wine
    // answers without it (docs/wine-differences.md).
    HKEY writeOnly = CreateSub("write-only", KEY_SET_VALUE);
    if (!contract::UnderWine()) {
        EXPECT_EQ(ERROR_ACCESS_DENIED, reg().RegQueryInfoKeyA(writeOnly, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                                              nullptr, &values, nullptr, nullptr, nullptr, nullptr));
    }
    reg().RegCloseKey(writeOnly);
}

// WOW64's registry redirection as this 32-bit program meets it on 64-bit
// Windows ("Registry Keys Affected by WOW64", "Accessing an Alternate
// Registry View"): HKLM\SOFTWARE is the WOW6432Node below it, except the
// shared keys the spooler and the installer both use. Volatile keys only.
class Wow64RegistryContract : public RegistryContract {
protected:
    void SetUp() override {
        RegistryContract::SetUp();
        BOOL wow64 = 0;
        platform::SystemInfo& system = m_machine->system();
        if (!system.HasIsWow64Process() || !system.IsWow64Process(m_machine->services().GetCurrentProcess(), &wow64) ||
            !wow64) {
            GTEST_SKIP() << "not a 32-bit program on 64-bit Windows";
        }
        m_name = m_scratchPath.substr(m_scratchPath.find('\\') + 1);
    }
    LONG Create(const std::string& path, REGSAM view = 0) {
        HKEY key = nullptr;
        const LONG result = reg().RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                                  KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
        if (result == ERROR_SUCCESS) reg().RegCloseKey(key);
        return result;
    }
    LONG Open(const std::string& path, REGSAM view) {
        HKEY key = reinterpret_cast<HKEY>(1);
        const LONG result = reg().RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key);
        if (result == ERROR_SUCCESS) reg().RegCloseKey(key);
        return result;
    }
    std::string m_name;
};

TEST_P(Wow64RegistryContract, SoftwareIsRedirectedBelowWow6432Node) {
    const std::string path = "SOFTWARE\\" + m_name;
    ASSERT_EQ(ERROR_SUCCESS, Create(path));
    EXPECT_EQ(ERROR_SUCCESS, Open(path, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(path, KEY_WOW64_64KEY));
    EXPECT_EQ(ERROR_SUCCESS, Open("SOFTWARE\\WOW6432Node\\" + m_name, KEY_WOW64_64KEY));
}

// The installation record is deleted in the view it was written in.
TEST_P(Wow64RegistryContract, DeleteKeyExDeletesInTheViewItNames) {
    const std::string path = "SOFTWARE\\" + m_name;
    ASSERT_EQ(ERROR_SUCCESS, Create(path, KEY_WOW64_64KEY));
    ASSERT_EQ(ERROR_SUCCESS, Create(path, KEY_WOW64_32KEY));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(path, KEY_WOW64_64KEY));
    EXPECT_EQ(ERROR_SUCCESS, Open(path, KEY_WOW64_32KEY));
    EXPECT_EQ(ERROR_SUCCESS, reg().RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(path, KEY_WOW64_32KEY));
}

TEST_P(Wow64RegistryContract, PrintAndPortsKeysAreShared) {
    for (const char* shared : {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print",
                               "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"}) {
        SCOPED_TRACE(shared);
        const std::string path = std::string(shared) + "\\" + m_name;
        ASSERT_EQ(ERROR_SUCCESS, Create(path));
        EXPECT_EQ(ERROR_SUCCESS, Open(path, KEY_WOW64_64KEY));
        EXPECT_EQ(ERROR_SUCCESS, Open(path, KEY_WOW64_32KEY));
    }
}


std::string TargetName(const ::testing::TestParamInfo<RegistryTarget>& info) { return info.param.name; }

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(Machines, RegistryContract,
                         ::testing::Values(RegistryTarget{"Simulated", MakeSimMachine},
                                           RegistryTarget{"Logged", MakeLoggedSimMachine}),
                         TargetName);
INSTANTIATE_TEST_SUITE_P(Machines, Wow64RegistryContract,
                         ::testing::Values(RegistryTarget{"Simulated", MakeSimMachine}), TargetName);
#else
// The real system under Wine (scripts/e2e-wine.sh).
INSTANTIATE_TEST_SUITE_P(Machines, RegistryContract,
                         ::testing::Values(RegistryTarget{"Win32", e2e::MakeWin32Machine},
                                           RegistryTarget{"Logged", MakeLoggedWin32Machine}),
                         TargetName);
INSTANTIATE_TEST_SUITE_P(Machines, Wow64RegistryContract,
                         ::testing::Values(RegistryTarget{"Win32", e2e::MakeWin32Machine}), TargetName);
#endif
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RegistryContract);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Wow64RegistryContract);

}  // namespace
