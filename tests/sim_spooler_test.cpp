// The simulated print spooler: what the installer's sequences rely on.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/sim/sim_machine.h"

namespace platform::sim {
namespace {

using win::BYTE;
using win::DWORD;
using win::HANDLE;

constexpr DWORD kDeadBeef = 0xDEADBEEF;
constexpr char kX86Dir[] = "C:\\Windows\\System32\\spool\\drivers\\W32X86";
constexpr char kX64Dir[] = "C:\\Windows\\System32\\spool\\drivers\\x64";
constexpr char kPrintersKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
constexpr char kControlPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

// A 32-bit Windows 7 machine in a sandbox folder that goes away with it.
class SpoolerTestMachine {
public:
    SpoolerTestMachine() : m_dir(MakeSandbox()), m_machine(m_dir, SimPreset::kWindows7x86) {}
    ~SpoolerTestMachine() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    SimMachine& machine() { return m_machine; }
    SimSpooler& sim_spooler() { return m_machine.sim_spooler(); }
    SimRegistry& sim_registry() { return m_machine.sim_registry(); }
    SimEnv& env() { return m_machine.env(); }
    void SetSpoolerRunning(bool running) { m_machine.sim_services().SetRunning("Spooler", running); }
    bool WriteFile(const std::string& path, const std::string& bytes) {
        return m_machine.sim_files().WriteFile(path, bytes);
    }
    bool FileExists(const std::string& path) {
        const DWORD attributes = m_machine.sim_files().GetFileAttributesA(path.c_str());
        return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    bool IsDirectory(const std::string& path) {
        const DWORD attributes = m_machine.sim_files().GetFileAttributesA(path.c_str());
        return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

private:
    static std::string MakeSandbox() {
        static int s_counter = 0;
        const std::string dir = (std::filesystem::temp_directory_path() /
                                 ("sim-spooler-" + std::to_string(::getpid()) + "-" + std::to_string(++s_counter)))
                                    .string();
        std::filesystem::create_directories(dir);
        return dir;
    }

    std::string m_dir;
    SimMachine m_machine;
};

// A driver record whose strings live as long as the record.
struct DriverSpec {
    DWORD version = 3;
    std::string name = "Receipt 80";
    std::string environment = kSimEnvironmentX86;
    std::string driverPath;
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    std::string dependentFiles;  // '\0'-separated, the final '\0' added here
    std::string monitor;
    std::string dataType = "RAW";

    win::DRIVER_INFO_3 Info() {
        dependentFiles.push_back('\0');
        win::DRIVER_INFO_3 info{};
        info.cVersion = version;
        info.pName = name.data();
        info.pEnvironment = environment.data();
        info.pDriverPath = driverPath.data();
        info.pDataFile = dataFile.data();
        info.pConfigFile = configFile.data();
        info.pHelpFile = helpFile.data();
        info.pDependentFiles = dependentFiles.data();
        info.pMonitorName = monitor.data();
        info.pDefaultDataType = dataType.data();
        return info;
    }
};

class SimSpoolerTest : public ::testing::Test {
protected:
    SimSpooler& spooler() { return m_machine.sim_spooler(); }
    SimRegistry& registry() { return m_machine.sim_registry(); }
    SimEnv& env() { return m_machine.env(); }

    // Stages the receipt driver's files in the x86 driver directory and
    // returns the matching record.
    DriverSpec StageDriver(const std::string& name = "Receipt 80", const std::string& env = kSimEnvironmentX86) {
        const std::string dir = SimSpooler::DriverDirectory(env);
        for (const char* file : {"uniDRV.DLL", "R80.GPD", "uniDRVui.DLL", "uniDRV.HLP", "ttfsub.GPD", "FAM1.DLL"}) {
            EXPECT_TRUE(m_machine.WriteFile(dir + "\\" + file, file));
        }
        DriverSpec record;
        record.name = name;
        record.environment = env;
        record.driverPath = dir + "\\uniDRV.DLL";
        record.dataFile = dir + "\\R80.GPD";
        record.configFile = dir + "\\uniDRVui.DLL";
        record.helpFile = dir + "\\uniDRV.HLP";
        record.dependentFiles = std::string("\\ttfsub.GPD") + '\0' + "FAM1.DLL";
        return record;
    }

    BOOL AddDriver(DriverSpec record) {
        win::DRIVER_INFO_3 info = record.Info();
        return spooler().AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), win::APD_COPY_NEW_FILES);
    }

    void InstallDriver(const std::string& name = "Receipt 80", const std::string& env = kSimEnvironmentX86) {
        ASSERT_TRUE(AddDriver(StageDriver(name, env))) << LastError() << "\n" << spooler().ToString();
    }

    HANDLE AddPrinter(const char* name, const char* port, const char* driver) {
        win::PRINTER_INFO_2 info{};
        info.pPrinterName = const_cast<char*>(name);
        info.pPortName = const_cast<char*>(port);
        info.pDriverName = const_cast<char*>(driver);
        info.pPrintProcessor = const_cast<char*>("WinPrint");
        info.pDatatype = const_cast<char*>("RAW");
        return spooler().AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    }

    // Enumerates with the installer's two calls and returns the buffer.
    std::vector<BYTE> EnumPorts(DWORD level, DWORD* count) {
        DWORD needed = 0;
        spooler().EnumPortsA(nullptr, level, nullptr, 0, &needed, count);
        std::vector<BYTE> buffer(needed);
        EXPECT_TRUE(spooler().EnumPortsA(nullptr, level, buffer.data(), needed, &needed, count));
        return buffer;
    }

    SpoolerTestMachine m_machine;
};

// ------------------------------------------------------------- sizing

TEST_F(SimSpoolerTest, EnumPortsSizingProtocol) {
    DWORD needed = 0;
    DWORD count = 77;
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(win::ERROR_INSUFFICIENT_BUFFER, LastError());
    EXPECT_EQ(0u, count);
    // Eight default ports, each with "Local Port" twice.
    const DWORD expected = 8 * sizeof(win::PORT_INFO_2) + 5 * 6 + 3 * 6 + 8 * 2 * 11;
    EXPECT_EQ(expected, needed);

    std::vector<BYTE> buffer(needed);
    SetLastError(kDeadBeef);
    ASSERT_TRUE(spooler().EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count));
    EXPECT_EQ(kDeadBeef, LastError());  // success leaves the caller's error alone
    ASSERT_EQ(8u, count);
    const auto* ports = reinterpret_cast<const win::PORT_INFO_2*>(buffer.data());
    const char* names[] = {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"};
    for (DWORD i = 0; i < count; ++i) {
        EXPECT_STREQ(names[i], ports[i].pPortName);
        EXPECT_STREQ("Local Port", ports[i].pMonitorName);
        EXPECT_STREQ("Local Port", ports[i].pDescription);
    }

    // Level 1: the names alone.
    buffer = EnumPorts(1, &count);
    ASSERT_EQ(8u, count);
    EXPECT_EQ(8 * sizeof(char*) + 5 * 6 + 3 * 6, buffer.size());
    EXPECT_STREQ("LPT3:", reinterpret_cast<char* const*>(buffer.data())[7]);
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().EnumPortsA(nullptr, 2, nullptr, 100, &needed, &count));
    EXPECT_EQ(kSimErrorNullRefPointer, LastError());
}

TEST_F(SimSpoolerTest, EnumPrintersSizingAndRecords) {
    InstallDriver();
    HANDLE a = AddPrinter("Receipt A", "LPT1:", "Receipt 80");
    HANDLE b = AddPrinter("Receipt B", "COM2:", "Receipt 80");
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);

    const DWORD flags = win::PRINTER_ENUM_LOCAL | win::PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 5;
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(win::ERROR_INSUFFICIENT_BUFFER, LastError());
    EXPECT_EQ(0u, count);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(spooler().EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &count));
    ASSERT_EQ(2u, count);
    const auto* printers = reinterpret_cast<const win::PRINTER_INFO_2*>(buffer.data());
    EXPECT_STREQ("Receipt A", printers[0].pPrinterName);
    EXPECT_STREQ("COM2:", printers[1].pPortName);
    EXPECT_STREQ("WinPrint", printers[1].pPrintProcessor);
    EXPECT_EQ(nullptr, printers[0].pServerName);

    EXPECT_TRUE(spooler().ClosePrinter(a));
    EXPECT_TRUE(spooler().ClosePrinter(b));
}

// ------------------------------------------------------ service, faults

TEST_F(SimSpoolerTest, EveryCallFailsWhileTheSpoolerIsStopped) {
    m_machine.SetSpoolerRunning(false);
    DWORD needed = 0;
    DWORD count = 0;
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(kSimErrorServerUnavailable, LastError());
    SetLastError(kDeadBeef);
    EXPECT_EQ(nullptr, AddPrinter("P", "LPT1:", "Receipt 80"));
    EXPECT_EQ(kSimErrorServerUnavailable, LastError());
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().DeleteMonitorA(nullptr, kSimEnvironmentX86, "Advanced Language Monitor"));
    EXPECT_EQ(kSimErrorServerUnavailable, LastError());
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().AddPortA(nullptr, nullptr, kSimTcpMonitor));
    EXPECT_EQ(kSimErrorServerUnavailable, LastError());

    m_machine.SetSpoolerRunning(true);
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(win::ERROR_INSUFFICIENT_BUFFER, LastError());
}

TEST_F(SimSpoolerTest, AddPrinterReportsARegistryFailure) {
    InstallDriver();
    // A printers key that takes no lasting subkeys: the spooler cannot
    // record the printer. (Injected faults are the caller's, never the
    // spooler's own registry work, so the failure is made in the registry.)
    ASSERT_TRUE(registry().MarkVolatile(win::HKEY_LOCAL_MACHINE,
                                        "SYSTEM\\ControlSet001\\Control\\Print\\Printers"));
    SetLastError(kDeadBeef);
    EXPECT_EQ(nullptr, AddPrinter("P", "LPT1:", "Receipt 80"));
    EXPECT_EQ(static_cast<win::DWORD>(platform::sim::SimRegistry::kErrorChildMustBeVolatile), LastError());
    EXPECT_FALSE(spooler().FindPrinter("P"));
    EXPECT_EQ(0u, registry().OpenHandleCount());
}

TEST_F(SimSpoolerTest, EnumeratesWhilePortsChange) {
    std::atomic<bool> stop{false};
    std::thread changer([&] {
        for (int i = 0; !stop; ++i) {
            spooler().AddPort("USB" + std::to_string(i % 50), "USB Monitor", "Virtual printer port for USB");
            spooler().RemovePort("USB" + std::to_string((i + 25) % 50));
        }
    });
    int complete = 0;
    for (int round = 0; round < 300; ++round) {
        DWORD needed = 0;
        DWORD count = 0;
        spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed);
        if (!spooler().EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &count)) {
            // The list grew between the calls: the size and count say so.
            EXPECT_EQ(win::ERROR_INSUFFICIENT_BUFFER, LastError());
            EXPECT_EQ(0u, count);
            continue;
        }
        ++complete;
        const auto* ports = reinterpret_cast<const win::PORT_INFO_2*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            ASSERT_LT(reinterpret_cast<const BYTE*>(ports[i].pDescription), buffer.data() + buffer.size());
        }
    }
    stop = true;
    changer.join();
    EXPECT_GT(complete, 0);
}

// ------------------------------------------------------ driver directory

TEST_F(SimSpoolerTest, DriverDirectoryPerEnvironment) {
    char path[255] = {};
    DWORD needed = 0;
    ASSERT_TRUE(spooler().GetPrinterDriverDirectoryA(nullptr, kSimEnvironmentX86, 1,
                                                     reinterpret_cast<BYTE*>(path), sizeof(path), &needed));
    EXPECT_STREQ(kX86Dir, path);
    EXPECT_TRUE(m_machine.IsDirectory(kX86Dir));

    ASSERT_TRUE(spooler().GetPrinterDriverDirectoryA(nullptr, kSimEnvironmentX64, 1,
                                                     reinterpret_cast<BYTE*>(path), sizeof(path), &needed));
    EXPECT_STREQ(kX64Dir, path);
    EXPECT_TRUE(m_machine.IsDirectory(kX64Dir));
}

// --------------------------------------------------------------- drivers

TEST_F(SimSpoolerTest, AddDriverCopiesItsFilesIntoTheVersionFolder) {
    InstallDriver();
    const auto driver = spooler().FindDriver("Receipt 80", kSimEnvironmentX86);
    ASSERT_TRUE(driver) << spooler().ToString();
    EXPECT_EQ(3u, driver->version);
    EXPECT_EQ(std::string(kX86Dir) + "\\R80.GPD", driver->dataFile);
    EXPECT_EQ((std::vector<std::string>{"\\ttfsub.GPD", "FAM1.DLL"}), driver->dependentFiles);
    EXPECT_EQ("", driver->monitorName);
    EXPECT_EQ("RAW", driver->defaultDataType);
    for (const char* file : {"uniDRV.DLL", "R80.GPD", "uniDRVui.DLL", "uniDRV.HLP", "ttfsub.GPD", "FAM1.DLL"}) {
        EXPECT_TRUE(m_machine.FileExists(std::string(kX86Dir) + "\\3\\" + file)) << file;
    }
    EXPECT_EQ(6u, driver->installedFiles.size());
    EXPECT_TRUE(spooler().DriverNames(kSimEnvironmentX64).empty());

    DriverSpec nt4 = StageDriver("Receipt NT4");
    nt4.version = 2;
    ASSERT_TRUE(AddDriver(nt4));
    EXPECT_TRUE(m_machine.FileExists(std::string(kX86Dir) + "\\2\\FAM1.DLL"));
}

TEST_F(SimSpoolerTest, AddDriverFailsWhenANamedFileIsMissing) {
    for (int field = 0; field < 5; ++field) {
        DriverSpec record = StageDriver();
        const std::string missing = std::string(kX86Dir) + "\\missing.bin";
        switch (field) {
            case 0: record.driverPath = missing; break;
            case 1: record.dataFile = missing; break;
            case 2: record.configFile = missing; break;
            case 3: record.helpFile = missing; break;
            case 4: record.dependentFiles += std::string(1, '\0') + "missing.bin"; break;
        }
        SetLastError(kDeadBeef);
        EXPECT_FALSE(AddDriver(record)) << field;
        EXPECT_EQ(win::ERROR_FILE_NOT_FOUND, LastError()) << field;
    }
    EXPECT_TRUE(spooler().DriverNames(kSimEnvironmentX86).empty());
}

TEST_F(SimSpoolerTest, AddDriverAgainReplacesTheEntry) {
    InstallDriver();
    DriverSpec again = StageDriver();
    again.dataType = "NT EMF 1.008";
    ASSERT_TRUE(AddDriver(again));
    EXPECT_EQ(std::vector<std::string>{"Receipt 80"}, spooler().DriverNames(kSimEnvironmentX86));
    EXPECT_EQ("NT EMF 1.008", spooler().FindDriver("receipt 80", kSimEnvironmentX86)->defaultDataType);

    // The same name in the other environment is a separate driver.
    InstallDriver("Receipt 80", kSimEnvironmentX64);
    EXPECT_EQ(std::vector<std::string>{"Receipt 80"}, spooler().DriverNames(kSimEnvironmentX64));
    EXPECT_TRUE(m_machine.FileExists(std::string(kX64Dir) + "\\3\\uniDRV.DLL"));
}

TEST_F(SimSpoolerTest, AddDriverChecksItsRecord) {
    DriverSpec record = StageDriver();
    record.monitor = "Advanced Language Monitor";
    SetLastError(kDeadBeef);
    EXPECT_FALSE(AddDriver(record));
    EXPECT_EQ(win::ERROR_UNKNOWN_PRINT_MONITOR, LastError());

    record = StageDriver();
    record.environment = "Windows 4.0";
    EXPECT_FALSE(AddDriver(record));
    EXPECT_EQ(kSimErrorInvalidEnvironment, LastError());

    record = StageDriver();
    record.name.clear();
    EXPECT_FALSE(AddDriver(record));
    EXPECT_EQ(win::ERROR_INVALID_PARAMETER, LastError());
}

// -------------------------------------------------------------- monitors

TEST_F(SimSpoolerTest, MonitorRegistration) {
    std::string name = "Advanced Language Monitor";
    std::string environment = kSimEnvironmentX86;
    std::string dll = "qmtNLMNT.dll";
    win::MONITOR_INFO_2 info{name.data(), environment.data(), dll.data()};
    ASSERT_TRUE(m_machine.WriteFile("C:\\Windows\\System32\\qmtNLMNT.dll", "monitor"));
    SetLastError(kDeadBeef);
    EXPECT_TRUE(spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    EXPECT_EQ(0u, LastError());
    EXPECT_EQ("C:\\Windows\\System32\\qmtNLMNT.dll", spooler().FindMonitor(name)->dllPath);

    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    EXPECT_EQ(win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED, LastError());

    // Now a driver may name it.
    DriverSpec record = StageDriver("Label 50");
    record.monitor = name;
    EXPECT_TRUE(AddDriver(record));

    SetLastError(kDeadBeef);
    EXPECT_TRUE(spooler().DeleteMonitorA(nullptr, kSimEnvironmentX86, name.c_str()));
    EXPECT_EQ(kDeadBeef, LastError());

    // A port monitor that ports still use stays.
    EXPECT_FALSE(spooler().DeleteMonitorA(nullptr, kSimEnvironmentX86, "Local Port"));
    EXPECT_EQ(kSimErrorMonitorInUse, LastError());
}

// The spooler keeps a monitor's DLL loaded from its registration until it
// starts again without it: the file can be renamed, not replaced or deleted.
TEST_F(SimSpoolerTest, RegisteredMonitorStaysLoadedUntilTheNextStart) {
    std::string name = "Advanced Language Monitor";
    std::string environment = kSimEnvironmentX86;
    std::string dll = "qmtNLMNT.dll";
    const std::string path = "C:\\Windows\\System32\\qmtNLMNT.dll";
    const std::string aside = path + ".old-1";
    win::MONITOR_INFO_2 info{name.data(), environment.data(), dll.data()};
    platform::Files& files = m_machine.machine().files();
    ASSERT_TRUE(m_machine.WriteFile(path, "monitor"));
    ASSERT_TRUE(m_machine.WriteFile("C:\\new.dll", "monitor 2"));
    ASSERT_TRUE(spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));

    EXPECT_FALSE(files.CopyFileA("C:\\new.dll", path.c_str(), 0));
    EXPECT_EQ(win::ERROR_SHARING_VIOLATION, LastError());
    EXPECT_FALSE(files.DeleteFileA(path.c_str()));
    EXPECT_EQ(win::ERROR_ACCESS_DENIED, LastError());
    ASSERT_TRUE(files.MoveFileExA(path.c_str(), aside.c_str(), win::MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(files.CopyFileA("C:\\new.dll", path.c_str(), 0));

    // Deleted, the monitor is still loaded, under its new name.
    ASSERT_TRUE(spooler().DeleteMonitorA(nullptr, kSimEnvironmentX86, name.c_str()));
    EXPECT_FALSE(files.DeleteFileA(aside.c_str()));
    spooler().OnSpoolerStarted();
    EXPECT_TRUE(files.DeleteFileA(aside.c_str()));
    EXPECT_TRUE(files.DeleteFileA(path.c_str()));
}

TEST_F(SimSpoolerTest, MonitorEnvironmentFollowsTheMachine) {
    ASSERT_TRUE(m_machine.WriteFile("C:\\Windows\\SysWOW64\\qmtNLM64.dll", "monitor"));
    std::string name = "Advanced Language Monitor";
    std::string environment = kSimEnvironmentX64;
    std::string dll = "qmtNLM64.dll";
    win::MONITOR_INFO_2 info{name.data(), environment.data(), dll.data()};

    // A 32-bit spooler cannot load a 64-bit monitor.
    EXPECT_FALSE(spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    EXPECT_EQ(kSimErrorInvalidEnvironment, LastError());

    ASSERT_TRUE(spooler().SetNativeEnvironment(kSimEnvironmentX64));
    EXPECT_FALSE(spooler().SetNativeEnvironment("Windows IA64"));
    // The 64-bit spooler loads monitors from its own system folder only,
    // by file name, whatever folder the caller names.
    for (const char* path : {"qmtNLM64.dll", "C:\\Windows\\SysWOW64\\qmtNLM64.dll"}) {
        dll = path;
        info.pDLLName = dll.data();
        EXPECT_FALSE(spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info))) << path;
        EXPECT_EQ(win::ERROR_MOD_NOT_FOUND, LastError()) << path;
    }
    ASSERT_TRUE(m_machine.WriteFile("C:\\Windows\\System32\\qmtNLM64.dll", "monitor"));
    EXPECT_TRUE(spooler().AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    EXPECT_EQ(kSimEnvironmentX64, spooler().FindMonitor(name)->environment);
    EXPECT_EQ("C:\\Windows\\System32\\qmtNLM64.dll", spooler().FindMonitor(name)->dllPath);
}

// -------------------------------------------------------------- printers

TEST_F(SimSpoolerTest, AddPrinterChecksInOrder) {
    InstallDriver();
    HANDLE existing = AddPrinter("Taken", "LPT1:", "Receipt 80");
    ASSERT_NE(nullptr, existing);
    spooler().ClosePrinter(existing);

    struct Case {
        const char* name;
        const char* port;
        const char* driver;
        DWORD error;
    };
    const Case cases[] = {
        {nullptr, "NOPORT", "No Driver", win::ERROR_INVALID_PRINTER_NAME},
        {"", "NOPORT", "No Driver", win::ERROR_INVALID_PRINTER_NAME},
        {"Bad,Name", "LPT1:", "Receipt 80", win::ERROR_INVALID_PRINTER_NAME},
        {"TAKEN", "NOPORT", "No Driver", win::ERROR_PRINTER_ALREADY_EXISTS},
        {"New", "NOPORT", "No Driver", win::ERROR_UNKNOWN_PORT},
        {"New", nullptr, "Receipt 80", win::ERROR_UNKNOWN_PORT},
        {"New", "LPT1:", "No Driver", win::ERROR_UNKNOWN_PRINTER_DRIVER},
    };
    for (const Case& c : cases) {
        SetLastError(kDeadBeef);
        EXPECT_EQ(nullptr, AddPrinter(c.name, c.port, c.driver)) << (c.name ? c.name : "(null)");
        EXPECT_EQ(c.error, LastError()) << (c.name ? c.name : "(null)");
    }
    EXPECT_EQ(std::vector<std::string>{"Taken"}, spooler().PrinterNames());

    SetLastError(kDeadBeef);
    HANDLE printer = AddPrinter("New", "lpt2:", "Receipt 80");
    ASSERT_NE(nullptr, printer);
    EXPECT_EQ(kDeadBeef, LastError());
    EXPECT_EQ("LPT2:", spooler().FindPrinter("New")->port);
    EXPECT_TRUE(spooler().ClosePrinter(printer));
}

TEST_F(SimSpoolerTest, AddPrinterWritesTheSpoolerRegistryData) {
    InstallDriver();
    // "票据" in CP936: its second character's trail byte is '\' (0x5C),
    // which must not count as a path separator.
    const std::string name = "\xC6\xB1\xBE\xDD\x81\x5C";
    HANDLE printer = AddPrinter(name.c_str(), "COM1:", "Receipt 80");
    ASSERT_NE(nullptr, printer) << LastError();
    spooler().ClosePrinter(printer);

    EXPECT_EQ("COM1:", registry().GetString(win::HKEY_LOCAL_MACHINE, kPrintersKey + name, "Port"));
    EXPECT_EQ("COM1:", registry().GetString(win::HKEY_LOCAL_MACHINE, kPrintersKey + name + "\\DsSpooler", "portName"));
    EXPECT_EQ(name, registry().GetString(win::HKEY_LOCAL_MACHINE, kPrintersKey + name + "\\DsSpooler", "printerName"));
    const std::string control = std::string("SYSTEM\\ControlSet001\\Control\\Print\\Printers\\") + name;
    EXPECT_EQ("COM1:", registry().GetString(win::HKEY_LOCAL_MACHINE, control, "Port"));
    EXPECT_EQ(name, registry().GetString(win::HKEY_LOCAL_MACHINE, control, "Name"));
    EXPECT_EQ("Receipt 80", registry().GetString(win::HKEY_LOCAL_MACHINE, control, "Printer Driver"));
    // The same key through the CurrentControlSet link.
    EXPECT_EQ("COM1:", registry().GetString(win::HKEY_LOCAL_MACHINE, kControlPrintersKey + name, "Port"));
    EXPECT_EQ(0u, registry().OpenHandleCount());

    // A lower-case trail byte makes a different character: not the same name.
    const std::string other = "\xC6\xB1\xBE\xDD\x81\x7C";
    HANDLE second = AddPrinter(other.c_str(), "COM1:", "Receipt 80");
    EXPECT_NE(nullptr, second);
    spooler().ClosePrinter(second);
}

TEST_F(SimSpoolerTest, AddPrinterFindsTheNativeDriver) {
    ASSERT_TRUE(spooler().SetNativeEnvironment(kSimEnvironmentX64));
    InstallDriver("Receipt 80", kSimEnvironmentX86);
    SetLastError(kDeadBeef);
    EXPECT_EQ(nullptr, AddPrinter("P", "LPT1:", "Receipt 80"));
    EXPECT_EQ(win::ERROR_UNKNOWN_PRINTER_DRIVER, LastError());

    InstallDriver("Receipt 80", kSimEnvironmentX64);
    HANDLE printer = AddPrinter("P", "LPT1:", "Receipt 80");
    EXPECT_NE(nullptr, printer);
    spooler().ClosePrinter(printer);
}

TEST_F(SimSpoolerTest, OpenPurgeDeleteClose) {
    InstallDriver();
    spooler().ClosePrinter(AddPrinter("P", "LPT1:", "Receipt 80"));

    HANDLE handle = nullptr;
    win::PRINTER_DEFAULTS defaults{const_cast<char*>("RAW"), nullptr, win::PRINTER_ALL_ACCESS};
    ASSERT_TRUE(spooler().OpenPrinterA("p", &handle, &defaults));
    EXPECT_TRUE(spooler().SetPrinterA(handle, 0, nullptr, win::PRINTER_CONTROL_PURGE));
    EXPECT_TRUE(spooler().DeletePrinter(handle));
    EXPECT_FALSE(spooler().FindPrinter("P"));

    // The old handle does not reach a new printer of the same name.
    HANDLE fresh = AddPrinter("P", "LPT2:", "Receipt 80");
    ASSERT_NE(nullptr, fresh);
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().DeletePrinter(handle));
    EXPECT_EQ(win::ERROR_INVALID_PRINTER_NAME, LastError());
    EXPECT_TRUE(spooler().FindPrinter("P"));
    EXPECT_TRUE(spooler().ClosePrinter(handle));
    EXPECT_TRUE(spooler().ClosePrinter(fresh));
}

TEST_F(SimSpoolerTest, DeletePrinterRemovesItsKeysThroughTheRemover) {
    SimMachine& machine = m_machine.machine();
    SimSpooler own(env(), registry(), machine.sim_files(), [] { return true; },
                   [this](win::HKEY root, const std::string& path) { registry().DeleteKey(root, path); });
    DriverSpec record = StageDriver();
    win::DRIVER_INFO_3 info = record.Info();
    ASSERT_TRUE(own.AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), 0));
    win::PRINTER_INFO_2 printer{};
    printer.pPrinterName = const_cast<char*>("P");
    printer.pPortName = const_cast<char*>("LPT1:");
    printer.pDriverName = const_cast<char*>("Receipt 80");
    HANDLE handle = own.AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    ASSERT_NE(nullptr, handle);
    own.OnSpoolerStarted();
    ASSERT_TRUE(registry().KeyExists(win::HKEY_CURRENT_CONFIG, kControlPrintersKey + std::string("P")));

    EXPECT_TRUE(own.DeletePrinter(handle));
    EXPECT_TRUE(own.ClosePrinter(handle));
    EXPECT_FALSE(registry().KeyExists(win::HKEY_LOCAL_MACHINE, kControlPrintersKey + std::string("P")));
    EXPECT_FALSE(registry().KeyExists(win::HKEY_LOCAL_MACHINE, kPrintersKey + std::string("P")));
    EXPECT_FALSE(registry().KeyExists(win::HKEY_CURRENT_CONFIG, kControlPrintersKey + std::string("P")));
    // The parents the machine set up stay.
    EXPECT_TRUE(registry().KeyExists(win::HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Print\\Printers"));
}

// --------------------------------------------------------- spooler start

TEST_F(SimSpoolerTest, RestartRebindsPrintersAndWritesTheOnLineFlag) {
    spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    spooler().AddPort("USB002", "USB Monitor", "Virtual printer port for USB");
    spooler().AttachUsbPrinter("USB002");
    InstallDriver();
    spooler().ClosePrinter(AddPrinter("P", "USB001", "Receipt 80"));
    const std::string online = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\" +
                               std::string(kControlPrintersKey) + "P";

    spooler().OnSpoolerStarted();
    EXPECT_EQ(0u, registry().GetDword(win::HKEY_CURRENT_CONFIG, kControlPrintersKey + std::string("P"),
                                      "PrinterOnLine"));
    EXPECT_EQ(0u, registry().GetDword(win::HKEY_LOCAL_MACHINE, online, "PrinterOnLine"));

    // Written while the spooler runs, taken up when the service starts
    // again; the spooler's own registry work spends none of the caller's
    // faults and leaves the caller's last error alone.
    registry().SetString(win::HKEY_LOCAL_MACHINE, kControlPrintersKey + std::string("P"), "Port", "USB002");
    EXPECT_EQ("USB001", spooler().FindPrinter("P")->port);
    env().InjectFault("RegOpenKeyExA", win::ERROR_ACCESS_DENIED);
    platform::Services& services = m_machine.machine().services();
    win::SC_HANDLE manager = services.OpenSCManagerA(nullptr, "ServicesActive", win::SC_MANAGER_ALL_ACCESS);
    win::SC_HANDLE service = services.OpenServiceA(manager, "Spooler", win::SERVICE_ALL_ACCESS);
    win::SERVICE_STATUS status = {};
    ASSERT_TRUE(services.ControlService(service, win::SERVICE_CONTROL_STOP, &status));
    services.QueryServiceStatus(service, &status);
    ASSERT_TRUE(services.StartServiceA(service, 0, nullptr));
    SetLastError(1234);
    services.QueryServiceStatus(service, &status);
    ASSERT_EQ(win::SERVICE_RUNNING, status.dwCurrentState);
    EXPECT_EQ(1234u, LastError());
    services.CloseServiceHandle(service);
    services.CloseServiceHandle(manager);
    EXPECT_EQ("USB002", spooler().FindPrinter("P")->port);
    EXPECT_EQ(1u, registry().GetDword(win::HKEY_LOCAL_MACHINE, online, "PrinterOnLine"));
    win::HKEY key = nullptr;
    EXPECT_EQ(win::ERROR_ACCESS_DENIED, registry().RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, "SOFTWARE", 0,
                                                                 win::KEY_READ, &key));

    spooler().DetachUsbPrinter("USB002");
    spooler().OnSpoolerStarted();
    EXPECT_EQ(0u, registry().GetDword(win::HKEY_LOCAL_MACHINE, online, "PrinterOnLine"));
    EXPECT_EQ(0u, registry().OpenHandleCount());
}

TEST_F(SimSpoolerTest, RestartKeepsThePortWhenTheRegistryHasNone) {
    InstallDriver();
    spooler().ClosePrinter(AddPrinter("P", "LPT1:", "Receipt 80"));
    ASSERT_TRUE(registry().DeleteValue(win::HKEY_LOCAL_MACHINE, kControlPrintersKey + std::string("P"), "Port"));
    spooler().OnSpoolerStarted();
    EXPECT_EQ("LPT1:", spooler().FindPrinter("P")->port);
}

// ------------------------------------------------------------ port wizard

TEST_F(SimSpoolerTest, PortWizardModes) {
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().AddPortA(nullptr, nullptr, kSimTcpMonitor));
    EXPECT_EQ(win::ERROR_CANCELLED, LastError());

    spooler().SetPortWizard(SimSpooler::kFail, win::ERROR_ADAP_HDW_ERR);
    EXPECT_FALSE(spooler().AddPortA(nullptr, nullptr, kSimTcpMonitor));
    EXPECT_EQ(win::ERROR_ADAP_HDW_ERR, LastError());

    const std::string chinese = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";  // 标准 TCP/IP 端口
    spooler().SetPortWizard(SimSpooler::kCreate, "IP_10.0.0.7", chinese);
    SetLastError(kDeadBeef);
    EXPECT_TRUE(spooler().AddPortA(nullptr, nullptr, kSimTcpMonitor));
    EXPECT_EQ(kDeadBeef, LastError());
    const auto ports = spooler().Ports();
    ASSERT_EQ(9u, ports.size());
    EXPECT_EQ("IP_10.0.0.7", ports.back().name);
    EXPECT_EQ(kSimTcpMonitor, ports.back().monitor);
    EXPECT_EQ(chinese, ports.back().description);
    // The same name cannot be created twice.
    EXPECT_FALSE(spooler().AddPortA(nullptr, nullptr, kSimTcpMonitor));
    EXPECT_EQ(win::ERROR_ALREADY_EXISTS, LastError());

    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().AddPortA(nullptr, nullptr, "Advanced Language Monitor"));
    EXPECT_EQ(win::ERROR_NOT_SUPPORTED, LastError());
}

TEST_F(SimSpoolerTest, ConfigureAndDeletePorts) {
    SetLastError(kDeadBeef);
    EXPECT_FALSE(spooler().ConfigurePortA(nullptr, nullptr, "IP_1.2.3.4"));
    EXPECT_EQ(win::ERROR_NOT_SUPPORTED, LastError());
    env().InjectFault("ConfigurePortA", win::ERROR_ADAP_HDW_ERR);
    EXPECT_FALSE(spooler().ConfigurePortA(nullptr, nullptr, "COM1:"));
    EXPECT_EQ(win::ERROR_ADAP_HDW_ERR, LastError());

    spooler().AddPort("IP_1.2.3.4", kSimTcpMonitor, kSimTcpMonitor);
    EXPECT_TRUE(spooler().DeletePortA(nullptr, nullptr, "IP_1.2.3.4"));

    // A port in use keeps its printer reachable.
    InstallDriver();
    spooler().ClosePrinter(AddPrinter("P", "LPT3:", "Receipt 80"));
    EXPECT_FALSE(spooler().DeletePortA(nullptr, nullptr, "LPT3:"));
    EXPECT_EQ(kSimErrorBusy, LastError());
    EXPECT_EQ(8u, spooler().Ports().size());
}

}  // namespace
}  // namespace platform::sim
