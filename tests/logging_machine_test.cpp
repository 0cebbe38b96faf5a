// The logging machine over the simulated one: every call reaches the inner
// machine once and comes back with the same result and last error, however
// the log itself disturbs the last error; the calls that change the machine
// leave one line each.
#include "platform/logging/logging_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "tests/support/contract_machines.h"

namespace {

using namespace win;
using platform::Machine;

constexpr DWORD kFault = 4321;
constexpr DWORD kDeadBeef = 0xDEADBEEF;

// Keeps the lines, and changes the thread's last error as writing a file may.
class LinesLog : public platform::logging::CallLog {
public:
    explicit LinesLog(Machine& machine) : m_machine(machine) {}
    void Record(const std::string& line) override {
        lines.push_back(line);
        m_machine.SetLastError(0xBADF00D);
    }
    std::vector<std::string> lines;

private:
    Machine& m_machine;
};

class LoggingMachineTest : public ::testing::Test {
protected:
    LoggingMachineTest()
        : m_inner(contract::MakeScratchSimMachine("logging")),
          m_sim(static_cast<platform::sim::SimMachine&>(*m_inner)),
          m_log(*m_inner),
          m_logging(*m_inner, m_log) {}

    std::unique_ptr<Machine> m_inner;
    platform::sim::SimMachine& m_sim;
    LinesLog m_log;
    platform::logging::LoggingMachine m_logging;
};

long long Handle(void* handle) { return reinterpret_cast<long long>(handle); }
BYTE* Bytes(void* record) { return reinterpret_cast<BYTE*>(record); }
HANDLE const kStranger = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7770));
char kText[] = "LPT1:";

struct Row {
    const char* operation;                    // the simulated call that fails with kFault
    std::function<long long(Machine&)> call;  // any set-up, then that call
    const char* line;                         // what the call writes; null for a read that writes nothing of its own
};

HKEY LoggedKey(Machine& m) {
    HKEY key = nullptr;
    m.registry().RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Logged", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr);
    return key;
}
SC_HANDLE Spooler(Machine& m) {
    return m.services().OpenServiceA(m.services().OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), "Spooler",
                                     SERVICE_ALL_ACCESS);
}

const std::vector<Row>& Rows() {
    static BYTE buffer[4096];
    static DWORD needed, count;
    static char name[64];
    static DRIVER_INFO_3 driver = {3,
                                   const_cast<char*>("Ticket Printer"),
                                   const_cast<char*>("Windows NT x86"),
                                   const_cast<char*>("UNIDRV.DLL"),
                                   const_cast<char*>("t.gpd"),
                                   const_cast<char*>("UNIDRVUI.DLL"),
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    static MONITOR_INFO_2 monitor = {const_cast<char*>("Ticket Monitor"), const_cast<char*>("Windows NT x86"),
                                     const_cast<char*>("tmon.dll")};
    static PRINTER_INFO_2 printer = {};
    printer.pPrinterName = const_cast<char*>("Ticket 58");
    printer.pPortName = kText;
    printer.pDriverName = const_cast<char*>("Ticket Printer");
    static const std::vector<Row> kRows = {
        // Spooler.
        {"EnumPortsA",
         [](Machine& m) { return m.spooler().EnumPortsA(nullptr, 2, buffer, sizeof(buffer), &needed, &count); },
         "EnumPortsA(level=2) -> 0, error 4321"},
        {"EnumPrintersA",
         [](Machine& m) {
             return m.spooler().EnumPrintersA(PRINTER_ENUM_LOCAL, "", 2, buffer, sizeof(buffer), &needed, &count);
         },
         "EnumPrintersA(flags=2, name=\"\", level=2) -> 0, error 4321"},
        {"AddPrinterDriverExA",
         [](Machine& m) { return m.spooler().AddPrinterDriverExA(nullptr, 3, Bytes(&driver), APD_COPY_NEW_FILES); },
         "AddPrinterDriverExA(level=3, name=\"Ticket Printer\", environment=\"Windows NT x86\", driver=\"UNIDRV.DLL\", "
         "data=\"t.gpd\", config=\"UNIDRVUI.DLL\", flags=4) -> 0, error 4321"},
        {"AddMonitorA", [](Machine& m) { return m.spooler().AddMonitorA(nullptr, 2, Bytes(&monitor)); },
         "AddMonitorA(level=2, name=\"Ticket Monitor\", environment=\"Windows NT x86\", dll=\"tmon.dll\") -> 0, error "
         "4321"},
        {"DeleteMonitorA", [](Machine& m) { return m.spooler().DeleteMonitorA(nullptr, nullptr, "Ticket Monitor"); },
         "DeleteMonitorA(environment=null, name=\"Ticket Monitor\") -> 0, error 4321"},
        {"SetPrinterA",
         [](Machine& m) { return m.spooler().SetPrinterA(kStranger, 0, nullptr, PRINTER_CONTROL_PURGE); },
         "SetPrinterA(printer=?, level=0, command=3) -> 0, error 4321"},
        {"DeletePrinter", [](Machine& m) { return m.spooler().DeletePrinter(kStranger); },
         "DeletePrinter(printer=?) -> 0, error 4321"},
        {"AddPrinterA", [](Machine& m) { return Handle(m.spooler().AddPrinterA(nullptr, 2, Bytes(&printer))); },
         "AddPrinterA(level=2, name=\"Ticket 58\", port=\"LPT1:\", driver=\"Ticket Printer\") -> null, error 4321"},
        {"AddPortA", [](Machine& m) { return m.spooler().AddPortA(nullptr, nullptr, "Standard TCP/IP Port"); },
         "AddPortA(monitor=\"Standard TCP/IP Port\") -> 0, error 4321"},
        {"ConfigurePortA", [](Machine& m) { return m.spooler().ConfigurePortA(nullptr, nullptr, "COM1:"); },
         "ConfigurePortA(port=\"COM1:\") -> 0, error 4321"},
        // A name can neither end the line nor lose its double-byte characters.
        {"DeletePortA", [](Machine& m) { return m.spooler().DeletePortA(nullptr, nullptr, "a\"b\nLPT\xB6\xCB"); },
         "DeletePortA(port=\"a\"\"b\\x0ALPT\xB6\xCB\") -> 0, error 4321"},
        {"DeletePrinterDriverExA",
         [](Machine& m) {
             return m.spooler().DeletePrinterDriverExA(nullptr, "Windows x64", "Ticket Printer",
                                                       DPD_DELETE_UNUSED_FILES, 0);
         },
         "DeletePrinterDriverExA(environment=\"Windows x64\", name=\"Ticket Printer\", flags=1, version=0) -> 0, "
         "error 4321"},
        {"XcvDataW",
         [](Machine& m) {
             static PORT_DATA_1 port{};
             std::copy_n(u"IP_1", 4, port.sztPortName);
             port.sztHostAddress[0] = u'1';
             port.dwProtocol = PROTOCOL_RAWTCP_TYPE;
             port.dwPortNumber = 9100;
             DWORD status = 0;
             return m.spooler().XcvDataW(kStranger, u"AddPort", Bytes(&port), sizeof(port), nullptr, 0, &needed,
                                         &status);
         },
         "XcvDataW(handle=?, command=\"AddPort\", port=\"IP_1\", host=\"1\", protocol=1, portNumber=9100) -> 0, "
         "error 4321"},
        // Registry: the code is the result, and keys are shown by their path.
        // (The reads of the spooler, the registry and the services are
        // checked through the logging machine by their contract suites.)
        {"RegCreateKeyExA",
         [](Machine& m) {
             HKEY software = nullptr, k;
             m.registry().RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software);
             return m.registry().RegCreateKeyExA(software, "Logged\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                                 nullptr);
         },
         "RegCreateKeyExA(key=\"HKCU\\Software\\Logged\\Sub\", options=0) -> 4321"},
        {"RegSetValueExA",
         [](Machine& m) {
             return m.registry().RegSetValueExA(LoggedKey(m), "Port", 0, REG_SZ, Bytes(kText), sizeof(kText));
         },
         "RegSetValueExA(key=\"HKCU\\Software\\Logged\", value=\"Port\", type=1, data=\"LPT1:\") -> 4321"},
        {"RegSetValueExA",
         [](Machine& m) {
             DWORD one = 1;
             return m.registry().RegSetValueExA(LoggedKey(m), "On", 0, REG_DWORD, Bytes(&one), 4);
         },
         "RegSetValueExA(key=\"HKCU\\Software\\Logged\", value=\"On\", type=4, data=1) -> 4321"},
        {"RegSetValueExA",
         [](Machine& m) {
             return m.registry().RegSetValueExA(LoggedKey(m), "Two", 0, REG_MULTI_SZ,
                                                Bytes(const_cast<char*>("a\0b\0")), 5);
         },
         "RegSetValueExA(key=\"HKCU\\Software\\Logged\", value=\"Two\", type=7, data=\"a\" \"b\") -> 4321"},
        // Services and the token.
        {"StartServiceA", [](Machine& m) { return m.services().StartServiceA(Spooler(m), 0, nullptr); },
         "StartServiceA(service=\"Spooler\") -> 0, error 4321"},
        {"ControlService",
         [](Machine& m) {
             SERVICE_STATUS s;
             return m.services().ControlService(Spooler(m), SERVICE_CONTROL_STOP, &s);
         },
         "ControlService(service=\"Spooler\", control=1) -> 0, error 4321"},
        {"AdjustTokenPrivileges",
         [](Machine& m) {
             TOKEN_PRIVILEGES p = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
             m.services().LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege", &p.Privileges[0].Luid);
             HANDLE t = nullptr;
             m.services().OpenProcessToken(m.services().GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &t);
             return m.services().AdjustTokenPrivileges(t, 0, &p, 0, nullptr, nullptr);
         },
         "AdjustTokenPrivileges(disableAll=0, privileges=\"SeLoadDriverPrivilege\":enabled) -> 0, error 4321"},
        {"GetVersionExA",
         [](Machine& m) {
             OSVERSIONINFOEXA v = {};
             v.dwOSVersionInfoSize = OSVERSIONINFOEXA_SIZE;
             return m.system().GetVersionExA(&v);
         },
         nullptr},
        // Files.
        {"CopyFileA", [](Machine& m) { return m.files().CopyFileA("C:\\a.txt", "C:\\b.txt", 1); },
         "CopyFileA(from=\"C:\\a.txt\", to=\"C:\\b.txt\", failIfExists=1) -> 0, error 4321"},
        {"DeleteFileA", [](Machine& m) { return m.files().DeleteFileA("C:\\a.txt"); },
         "DeleteFileA(file=\"C:\\a.txt\") -> 0, error 4321"},
        {"CreateDirectoryA", [](Machine& m) { return m.files().CreateDirectoryA("C:\\Ticket", nullptr); },
         "CreateDirectoryA(folder=\"C:\\Ticket\") -> 0, error 4321"},
        {"RemoveDirectoryA", [](Machine& m) { return m.files().RemoveDirectoryA("C:\\Ticket"); },
         "RemoveDirectoryA(folder=\"C:\\Ticket\") -> 0, error 4321"},
        {"GetFileAttributesA",
         [](Machine& m) { return static_cast<long long>(m.files().GetFileAttributesA("C:\\a.txt")); }, nullptr},
        {"FindFirstFileA",
         [](Machine& m) {
             WIN32_FIND_DATAA d;
             return Handle(m.files().FindFirstFileA("C:\\*", &d));
         },
         nullptr},
        {"GetPrivateProfileStringA",
         [](Machine& m) {
             return static_cast<long long>(
                 m.files().GetPrivateProfileStringA("a", "b", "", name, sizeof(name), "C:\\x.ini"));
         },
         nullptr},
        // The unpacker.
        {"LoadUnpacker", [](Machine& m) { return Handle(m.archive().LoadUnpacker()); }, nullptr},
        {"Extract",
         [](Machine& m) {
             return static_cast<long long>(m.archive().Extract(m.archive().LoadUnpacker(), "C:\\p.cab", "C:\\out", nullptr));
         },
         "Extract(archive=\"C:\\p.cab\", to=\"C:\\out\") -> 6, error 3735928559"},
        // Serial ports.
        {"CreateFileA",
         [](Machine& m) {
             return Handle(m.serial().CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
         },
         "CreateFileA(file=\"\\\\.\\COM1\") -> invalid, error 4321"},
        {"SetCommState",
         [](Machine& m) {
             DCB d = {};
             d.BaudRate = 9600;
             d.ByteSize = 8;
             return m.serial().SetCommState(kStranger, &d);
         },
         "SetCommState(port=?, baud=9600, bits=8, parity=0, stopBits=0) -> 0, error 4321"},
        {"WriteFile",
         [](Machine& m) {
             DWORD n;
             return m.serial().WriteFile(kStranger, "abc", 3, &n, nullptr);
         },
         "WriteFile(port=?, bytes=3) -> 0, error 4321"},
        {"ReadFile",
         [](Machine& m) {
             DWORD n;
             return m.serial().ReadFile(kStranger, buffer, 3, &n, nullptr);
         },
         nullptr},
        {"SetupComm", [](Machine& m) { return m.serial().SetupComm(kStranger, 64, 64); }, nullptr},
        // The named mutex.
        {"CreateMutexA", [](Machine& m) { return Handle(m.sync().CreateMutexA(nullptr, 1, "Installer")); },
         "CreateMutexA(initialOwner=1, name=\"Installer\") -> null, error 4321"},
        {"ReleaseMutex",
         [](Machine& m) { return m.sync().ReleaseMutex(m.sync().CreateMutexA(nullptr, 1, "Installer")); },
         "ReleaseMutex(name=\"Installer\") -> 0, error 4321"},
    };
    return kRows;
}

struct Outcome {
    long long result;
    DWORD error;
    int calls;  // of the operation, as the simulated machine counted them
};

TEST_F(LoggingMachineTest, EveryCallIsForwardedOnceAndChangesLeaveALine) {
    auto run = [this](Machine& machine, const Row& row) {
        m_sim.env().InjectFault(row.operation, kFault);
        const int before = m_sim.env().CallCount(row.operation);
        machine.SetLastError(kDeadBeef);
        const long long result = row.call(machine);
        const DWORD error = machine.GetLastError();
        m_sim.env().ClearFaults();
        return Outcome{result, error, m_sim.env().CallCount(row.operation) - before};
    };
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.line ? row.line : row.operation);
        const Outcome direct = run(*m_inner, row);
        const std::size_t linesBefore = m_log.lines.size();
        const Outcome logged = run(m_logging, row);
        EXPECT_EQ(1, direct.calls);
        EXPECT_EQ(1, logged.calls);
        EXPECT_EQ(direct.result, logged.result);
        EXPECT_EQ(direct.error, logged.error);
        if (row.line) {
            ASSERT_LT(linesBefore, m_log.lines.size());
            EXPECT_EQ(row.line, m_log.lines.back());
        } else {
            for (std::size_t i = linesBefore; i < m_log.lines.size(); ++i) {
                EXPECT_NE(0u, m_log.lines[i].rfind(std::string(row.operation) + "(", 0)) << m_log.lines[i];
            }
        }
    }
}

TEST_F(LoggingMachineTest, SuccessesShowWhatWasFoundCreatedOrAlreadyThere) {
    DWORD needed = 0, count = 0;
    m_logging.spooler().EnumPortsA(nullptr, 1, nullptr, 0, &needed, &count);  // the size probe: no line
    std::vector<BYTE> ports(needed);
    ASSERT_EQ(1, m_logging.spooler().EnumPortsA(nullptr, 1, ports.data(), needed, &needed, &count));
    HANDLE first = m_logging.sync().CreateMutexA(nullptr, 1, "Global\\Installer");
    HANDLE second = m_logging.sync().CreateMutexA(nullptr, 1, "Global\\Installer");
    HKEY key = nullptr;
    DWORD disposition = 0;
    for (int i = 0; i < 2; ++i) {
        m_logging.registry().RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ticket", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, &disposition);
    }
    m_logging.SetLastError(0);
    m_logging.sync().CloseHandle(second);
    m_logging.sync().CloseHandle(first);

    const std::vector<std::string> expected = {
        // A success shows no error, not even the size probe's 122 it leaves.
        "EnumPortsA(level=1) -> 1, 8 found: \"COM1:\", \"COM2:\", \"COM3:\", \"COM4:\", \"FILE:\", "
        "\"LPT1:\", \"LPT2:\", \"LPT3:\"",
        "CreateMutexA(initialOwner=1, name=\"Global\\Installer\") -> handle",
        "CreateMutexA(initialOwner=1, name=\"Global\\Installer\") -> handle, already exists",
        "RegCreateKeyExA(key=\"HKLM\\SOFTWARE\\Ticket\", options=0) -> 0, created",
        "RegCreateKeyExA(key=\"HKLM\\SOFTWARE\\Ticket\", options=0) -> 0, existed",
        "CloseHandle(mutex=\"Global\\Installer\") -> 1",
        "CloseHandle(mutex=\"Global\\Installer\") -> 1",
    };
    EXPECT_EQ(expected, m_log.lines);
}

TEST_F(LoggingMachineTest, LinesFromThreadsAtOnceStayWhole) {
    constexpr int kCallsPerThread = 200;
    auto deleteFiles = [this] {
        for (int i = 0; i < kCallsPerThread; ++i) m_logging.files().DeleteFileA("C:\\none.txt");
    };
    std::thread other(deleteFiles);
    deleteFiles();
    other.join();
    ASSERT_EQ(2u * kCallsPerThread, m_log.lines.size());
    for (const std::string& line : m_log.lines) {
        EXPECT_EQ("DeleteFileA(file=\"C:\\none.txt\") -> 0, error 2 (The system cannot find the file specified.)", line);
    }
}

}  // namespace
