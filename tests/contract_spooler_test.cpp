// Spooler contract: the behaviour the installer relies on, asserted the way
// Wine's conformance tests assert Windows (last error 0xdeadbeef, the call,
// then the exact result and last error). Only what a local spooler does
// on Windows and under Wine alike is asserted here; where Wine differs
// (no port check in AddPrinterA, no TCP/IP port wizard) the simulated
// spooler follows Windows and its own tests say so. Printers are named per
// run and removed again, so a real spooler is left as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine.h"

#include "tests/support/contract_machines.h"

namespace {

using namespace win;

constexpr DWORD kDeadBeef = 0xDEADBEEF;
constexpr DWORD kErrorInvalidLevel = 124;
constexpr DWORD kErrorInvalidEnvironment = 1805;

struct SpoolerTarget {
    const char* name;
    // A machine with its spooler running: 32-bit natively, of the test
    // program's own width on Windows.
    std::function<std::unique_ptr<platform::Machine>()> make;
    // Puts a file with these bytes at a Windows path (its folder exists).
    std::function<bool(platform::Machine&, const std::string&, const std::string&)> placeFile;
    // Where the drivers of the printers this process adds are registered.
    const char* environment;
};

#ifndef _WIN32
std::unique_ptr<platform::Machine> MakeSimMachine() {
    return contract::MakeScratchSimMachine("spooler", platform::sim::SimPreset::kWindows7x86);
}

std::unique_ptr<platform::Machine> MakeLoggedSimMachine() { return contract::MakeLogged(MakeSimMachine()); }

bool PlaceSimFile(platform::Machine& machine, const std::string& path, const std::string& bytes) {
    return static_cast<platform::sim::SimMachine&>(contract::Unwrapped(machine)).sim_files().WriteFile(path, bytes);
}
#else
std::unique_ptr<platform::Machine> MakeLoggedWin32Machine() { return contract::MakeLogged(e2e::MakeWin32Machine()); }
#endif

class SpoolerContract : public ::testing::TestWithParam<SpoolerTarget> {
protected:
    void SetUp() override {
        m_machine = GetParam().make();
        m_stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 100000000);
    }
    void TearDown() override {
        // Leave no printer behind, whatever the test got to.
        for (const std::string& name : m_printers) {
            HANDLE handle = nullptr;
            if (spooler().OpenPrinterA(name.c_str(), &handle, nullptr) == 1) {
                spooler().DeletePrinter(handle);
                spooler().ClosePrinter(handle);
            }
        }
    }

    platform::Spooler& spooler() { return m_machine->spooler(); }
    void SetLastError(DWORD code) { m_machine->SetLastError(code); }
    DWORD LastError() { return m_machine->GetLastError(); }
    std::string Unique(const std::string& base) { return base + " " + m_stamp; }

    std::string DriverDirectory() {
        char path[MAX_PATH] = {};
        DWORD needed = 0;
        EXPECT_EQ(1, spooler().GetPrinterDriverDirectoryA(nullptr, GetParam().environment, 1,
                                                          reinterpret_cast<BYTE*>(path), sizeof(path), &needed));
        return path;
    }

    // Registers a driver of placeholder files, as the installer stages them.
    std::string AddPlaceholderDriver() {
        const std::string dir = DriverDirectory();
        for (const char* file : {"ctdrv.dll", "ctdata.gpd", "ctui.dll"}) {
            EXPECT_TRUE(GetParam().placeFile(*m_machine, dir + "\\" + file, "placeholder"));
        }
        std::string name = Unique("Contract Driver");
        std::string environment = GetParam().environment;
        std::string driverPath = dir + "\\ctdrv.dll";
        std::string dataFile = dir + "\\ctdata.gpd";
        std::string configFile = dir + "\\ctui.dll";
        char noFiles[2] = {0, 0};
        char noMonitor[1] = {0};
        char raw[] = "RAW";
        DRIVER_INFO_3 info{};
        info.cVersion = 3;
        info.pName = name.data();
        info.pEnvironment = environment.data();
        info.pDriverPath = driverPath.data();
        info.pDataFile = dataFile.data();
        info.pConfigFile = configFile.data();
        info.pDependentFiles = noFiles;
        info.pMonitorName = noMonitor;
        info.pDefaultDataType = raw;
        SetLastError(kDeadBeef);
        EXPECT_EQ(1, spooler().AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES))
            << LastError();
        return name;
    }

    HANDLE AddPrinter(const std::string& name, const char* port, const std::string& driver) {
        m_printers.push_back(name);
        PRINTER_INFO_2 info{};
        info.pPrinterName = const_cast<char*>(name.c_str());
        info.pPortName = const_cast<char*>(port);
        info.pDriverName = const_cast<char*>(driver.c_str());
        info.pPrintProcessor = const_cast<char*>("WinPrint");
        info.pDatatype = const_cast<char*>("RAW");
        return spooler().AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    }

    std::unique_ptr<platform::Machine> m_machine;
    std::string m_stamp;
    std::vector<std::string> m_printers;
};

TEST_P(SpoolerContract, EnumPortsTwoCallSizing) {
    DWORD needed = 0;
    DWORD returned = 77;
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, LastError());
    EXPECT_EQ(0u, returned);
    ASSERT_GT(needed, 0u);

    std::vector<BYTE> buffer(needed);
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().EnumPortsA(nullptr, 2, buffer.data(), needed - 1, &needed, &returned));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, LastError());

    ASSERT_EQ(1, spooler().EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned));
    ASSERT_GE(returned, 1u);
    const auto* ports = reinterpret_cast<const PORT_INFO_2*>(buffer.data());
    const char* begin = reinterpret_cast<const char*>(buffer.data());
    const char* end = begin + buffer.size();
    bool sawLpt1 = false;
    for (DWORD i = 0; i < returned; ++i) {
        for (const char* text : {ports[i].pPortName, ports[i].pMonitorName, ports[i].pDescription}) {
            ASSERT_NE(nullptr, text);
            EXPECT_GE(text, begin);
            EXPECT_LT(text + std::strlen(text), end);
        }
        if (std::strcmp(ports[i].pPortName, "LPT1:") == 0) {
            sawLpt1 = true;
            // Wine names its local monitor in the user's language (docs/wine-differences.md).
            if (!contract::UnderWine()) {
                EXPECT_STREQ("Local Port", ports[i].pMonitorName);
            }
        }
    }
    EXPECT_TRUE(sawLpt1);

    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().EnumPortsA(nullptr, 3, nullptr, 0, &needed, &returned));
    EXPECT_EQ(kErrorInvalidLevel, LastError());
}

TEST_P(SpoolerContract, DriverDirectory) {
    char path[MAX_PATH] = {};
    DWORD needed = 0;
    ASSERT_EQ(1, spooler().GetPrinterDriverDirectoryA(nullptr, "Windows NT x86", 1, reinterpret_cast<BYTE*>(path),
                                                      sizeof(path), &needed));
    const std::string directory = path;
    EXPECT_EQ(directory.size() + 1, needed);
    std::string tail = directory.substr(directory.size() - std::strlen("\\spool\\drivers\\w32x86"));
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    EXPECT_EQ("\\spool\\drivers\\w32x86", tail);

    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().GetPrinterDriverDirectoryA(nullptr, "Windows NT x86", 1, reinterpret_cast<BYTE*>(path),
                                                      needed - 1, &needed));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, LastError());
    EXPECT_EQ(directory.size() + 1, needed);

    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().GetPrinterDriverDirectoryA(nullptr, "Windows Contract", 1, reinterpret_cast<BYTE*>(path),
                                                      sizeof(path), &needed));
    EXPECT_EQ(kErrorInvalidEnvironment, LastError());
}

TEST_P(SpoolerContract, MonitorErrors) {
    std::string name = Unique("Contract Monitor");
    std::string environment = "Windows NT x86";
    std::string dll = "contract_no_such_monitor.dll";
    MONITOR_INFO_2 info{name.data(), environment.data(), dll.data()};
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    EXPECT_EQ(ERROR_MOD_NOT_FOUND, LastError());

    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().DeleteMonitorA(nullptr, "Windows NT x86", name.c_str()));
    EXPECT_EQ(ERROR_UNKNOWN_PRINT_MONITOR, LastError());
}

TEST_P(SpoolerContract, PortCalls) {
    SetLastError(kDeadBeef);
    EXPECT_EQ(1, spooler().ConfigurePortA(nullptr, nullptr, "COM1:"));

    const std::string port = Unique("CT_NO_PORT");
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().DeletePortA(nullptr, nullptr, port.c_str()));
    EXPECT_EQ(ERROR_NOT_SUPPORTED, LastError());
}

TEST_P(SpoolerContract, PrinterHandles) {
    HANDLE handle = reinterpret_cast<HANDLE>(1);
    const std::string nobody = Unique("Contract Nobody");
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().OpenPrinterA(nobody.c_str(), &handle, nullptr));
    EXPECT_EQ(ERROR_INVALID_PRINTER_NAME, LastError());

    int notAPrinter = 0;
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().ClosePrinter(&notAPrinter));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());
}

TEST_P(SpoolerContract, DriverWithAMissingFileIsRefused) {
    const std::string dir = DriverDirectory();
    std::string name = Unique("Contract Broken Driver");
    std::string environment = "Windows NT x86";
    std::string missing = dir + "\\contract_missing.dll";
    DRIVER_INFO_3 info{};
    info.cVersion = 3;
    info.pName = name.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = missing.data();
    info.pDataFile = missing.data();
    info.pConfigFile = missing.data();
    SetLastError(kDeadBeef);
    const BOOL added = spooler().AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES);
    if (contract::UnderWine()) {
        // Wine registers a driver without looking for its files (docs/wine-differences.md).
        EXPECT_EQ(1, added);
        return;
    }
    EXPECT_EQ(0, added);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, LastError());
}

// The installer's sequence: driver, printer, the same name again, then the
// removal of an existing printer before it is created anew.
TEST_P(SpoolerContract, PrinterLifeCycle) {
    const std::string driver = AddPlaceholderDriver();
    // "样例" in 936: the name must read back the same whatever the ANSI code page.
    const std::string name = Unique("Contract Printer \xD1\xF9\xC0\xFD");

    SetLastError(kDeadBeef);
    EXPECT_EQ(nullptr, AddPrinter(name, "LPT1:", Unique("Contract No Driver")));
    // The backend asks AddPrinterW, which answers as Windows does also under
    // Wine (its AddPrinterA says 87: docs/wine-differences.md).
    EXPECT_EQ(ERROR_UNKNOWN_PRINTER_DRIVER, LastError());

    HANDLE created = AddPrinter(name, "LPT1:", driver);
    ASSERT_NE(nullptr, created) << LastError();
    EXPECT_EQ(1, spooler().ClosePrinter(created));

    SetLastError(kDeadBeef);
    HANDLE again = AddPrinter(name, "LPT1:", driver);
    if (contract::UnderWine()) {
        // Wine hands out a handle to the printer that exists (docs/wine-differences.md).
        ASSERT_NE(nullptr, again);
        spooler().ClosePrinter(again);
    } else {
        EXPECT_EQ(nullptr, again);
        EXPECT_EQ(ERROR_PRINTER_ALREADY_EXISTS, LastError());
    }

    DWORD needed = 0;
    DWORD returned = 0;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    spooler().EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    ASSERT_EQ(1, spooler().EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &returned));
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2*>(buffer.data());
    bool listed = false;
    for (DWORD i = 0; i < returned; ++i) {
        if (name != printers[i].pPrinterName) continue;
        listed = true;
        EXPECT_STREQ("LPT1:", printers[i].pPortName);
        EXPECT_EQ(driver, printers[i].pDriverName);
    }
    EXPECT_TRUE(listed);

    char raw[] = "RAW";
    PRINTER_DEFAULTS defaults{raw, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    ASSERT_EQ(1, spooler().OpenPrinterA(name.c_str(), &handle, &defaults));
    // Wine does not purge through level 0 (docs/wine-differences.md).
    EXPECT_EQ(contract::UnderWine() ? 0 : 1, spooler().SetPrinterA(handle, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(1, spooler().DeletePrinter(handle));
    EXPECT_EQ(1, spooler().ClosePrinter(handle));

    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().OpenPrinterA(name.c_str(), &handle, &defaults));
    EXPECT_EQ(ERROR_INVALID_PRINTER_NAME, LastError());
}

// What a removal relies on: every environment's drivers listed with their
// monitor, a driver refused while a printer uses it, deleted with its
// unused files once none does, and unknown afterwards.
TEST_P(SpoolerContract, DriverRemoval) {
    const std::string driver = AddPlaceholderDriver();
    const std::string name = Unique("Contract Removal");
    HANDLE created = AddPrinter(name, "LPT1:", driver);
    ASSERT_NE(nullptr, created) << LastError();

    DWORD needed = 0;
    DWORD returned = 0;
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().EnumPrinterDriversA(nullptr, "all", 3, nullptr, 0, &needed, &returned));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, LastError());
    std::vector<BYTE> buffer(needed);
    ASSERT_EQ(1, spooler().EnumPrinterDriversA(nullptr, "all", 3, buffer.data(), needed, &needed, &returned));
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_3*>(buffer.data());
    int listed = 0;
    std::string environment;
    for (DWORD i = 0; i < returned; ++i) {
        if (driver != drivers[i].pName) continue;
        ++listed;
        environment = drivers[i].pEnvironment;
        // A 64-bit process under Wine gets its own environment whatever it
        // asked for (docs/wine-differences.md); the removal deletes from
        // the environment listed.
        if (!contract::UnderWine() || sizeof(void*) == 4) {
            EXPECT_EQ("Windows NT x86", environment);
        }
        EXPECT_STREQ("", drivers[i].pMonitorName);
        EXPECT_GE(reinterpret_cast<const BYTE*>(drivers[i].pName), buffer.data() + returned * sizeof(DRIVER_INFO_3));
    }
    EXPECT_EQ(1, listed);

    if (!contract::UnderWine()) {
        SetLastError(kDeadBeef);
        EXPECT_EQ(0, spooler().DeletePrinterDriverExA(nullptr, "Windows NT x86", driver.c_str(),
                                                      DPD_DELETE_UNUSED_FILES, 0));
        EXPECT_EQ(ERROR_PRINTER_DRIVER_IN_USE, LastError());
    }
    EXPECT_EQ(1, spooler().DeletePrinter(created));
    EXPECT_EQ(1, spooler().ClosePrinter(created));
    SetLastError(kDeadBeef);
    const BOOL deleted =
        spooler().DeletePrinterDriverExA(nullptr, environment.c_str(), driver.c_str(), DPD_DELETE_UNUSED_FILES, 0);
    if (contract::UnderWine()) {
        // Wine deletes no files with a driver; the removal then takes the
        // registration alone (docs/wine-differences.md).
        EXPECT_EQ(0, deleted);
        EXPECT_EQ(ERROR_INVALID_PARAMETER, LastError());
        EXPECT_EQ(1, spooler().DeletePrinterDriverExA(nullptr, environment.c_str(), driver.c_str(), 0, 0));
    } else {
        EXPECT_EQ(1, deleted) << LastError();
    }
    SetLastError(kDeadBeef);
    EXPECT_EQ(0, spooler().DeletePrinterDriverExA(nullptr, environment.c_str(), driver.c_str(), 0, 0));
    if (!contract::UnderWine()) {
        EXPECT_EQ(ERROR_UNKNOWN_PRINTER_DRIVER, LastError());
    }
}

// Creating a standard TCP/IP port without a window: the monitor's
// transceive interface ("TCPMON Xcv Interface"), which Wine does not have.
TEST_P(SpoolerContract, TcpMonitorAddsAPortOnce) {
    PRINTER_DEFAULTS defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    HANDLE xcv = nullptr;
    const BOOL opened = spooler().OpenPrinterA(",XcvMonitor Standard TCP/IP Port", &xcv, &defaults);
    if (contract::UnderWine()) {
        EXPECT_EQ(0, opened);
        return;
    }
    ASSERT_EQ(1, opened) << LastError();
    const std::string port = "CT_" + m_stamp;
    PORT_DATA_1 data{};
    for (size_t i = 0; i < port.size(); ++i) data.sztPortName[i] = static_cast<WCHAR>(port[i]);
    for (size_t i = 0; i < 9; ++i) data.sztHostAddress[i] = static_cast<WCHAR>("192.0.2.1"[i]);
    data.dwVersion = 1;
    data.dwProtocol = PROTOCOL_RAWTCP_TYPE;
    data.cbSize = sizeof(data);
    data.dwPortNumber = 9100;
    for (DWORD expected : {ERROR_SUCCESS, ERROR_ALREADY_EXISTS}) {
        DWORD needed = 77;
        DWORD status = 77;
        EXPECT_EQ(1, spooler().XcvDataW(xcv, u"AddPort", reinterpret_cast<BYTE*>(&data), sizeof(data), nullptr, 0,
                                        &needed, &status));
        EXPECT_EQ(expected, status);
    }
    EXPECT_EQ(1, spooler().ClosePrinter(xcv));
    EXPECT_EQ(1, spooler().DeletePortA(nullptr, nullptr, port.c_str()));
}

std::string TargetName(const ::testing::TestParamInfo<SpoolerTarget>& info) { return info.param.name; }

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(Machines, SpoolerContract,
                         ::testing::Values(SpoolerTarget{"Simulated", MakeSimMachine, PlaceSimFile, "Windows NT x86"},
                                           SpoolerTarget{"Logged", MakeLoggedSimMachine, PlaceSimFile,
                                                         "Windows NT x86"}),
                         TargetName);
#else
// The real system under Wine (scripts/e2e-wine.sh).
INSTANTIATE_TEST_SUITE_P(Machines, SpoolerContract,
                         ::testing::Values(SpoolerTarget{"Win32", e2e::MakeWin32Machine, e2e::PlaceWin32File,
                                                         e2e::OwnSpoolerEnvironment()},
                                           SpoolerTarget{"Logged", MakeLoggedWin32Machine, e2e::PlaceWin32File,
                                                         e2e::OwnSpoolerEnvironment()}),
                         TargetName);
#endif
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SpoolerContract);

}  // namespace
