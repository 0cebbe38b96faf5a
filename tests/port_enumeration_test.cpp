// Sorting the spooler's ports by kind, the port-type row the main list
// starts on, and the serial ports of the device map.
#include <gtest/gtest.h>

#include <filesystem>

#include "ports/port_types.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_spooler.h"
#include "ports/port_enumeration.h"
#include "tests/support/installer_harness.h"

namespace {

using Names = std::vector<std::string>;

const char* const kDeviceMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char* const kTcp = "Standard TCP/IP Port";

class PortEnumerationTest : public ::testing::Test {
protected:
    PortEnumerationTest() : m_folder(testing_support::MakeTempFolder("ports")), m_machine(m_folder) {
        m_machine.sim_spooler().ClearPorts();
        m_machine.sim_registry().DeleteKey(win::HKEY_LOCAL_MACHINE, kDeviceMap);
        m_machine.sim_registry().CreateKey(win::HKEY_LOCAL_MACHINE, kDeviceMap);
    }
    ~PortEnumerationTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    ports::PortClasses Classify(const std::vector<std::pair<std::string, std::string>>& ports) {
        for (const auto& [name, description] : ports) m_machine.sim_spooler().AddPort(name, "Local Port", description);
        return ports::ClassifyPorts(ports::SpoolerPorts(m_machine.spooler()));
    }
    Names DeviceMap() { return ports::ReadSerialDeviceMap(m_machine.registry()); }

    std::string m_folder;
    platform::sim::SimMachine m_machine;
};

struct ClassCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> ports;
    Names usb, tcp, lpt;
    int defaultType;
};

TEST_F(PortEnumerationTest, TheNameDecidesBeforeTheDescriptionAndTheDefaultRowFollowsTheKinds) {
    const ClassCase cases[] = {
        {"USB name with the TCP/IP description", {{"USB001", kTcp}, {"COM1:", ""}}, {"USB001"}, {}, {},
         ports::PORTTYPE_USB},
        {"LPT name with the TCP/IP description", {{"LPT1:", kTcp}, {"LPT2:", ""}}, {}, {"LPT1:"}, {"LPT2:"},
         ports::PORTTYPE_PARALLEL},
        {"names compare with case", {{"usb001", ""}, {"lpt1:", ""}, {"com1:", ""}, {"file:", ""}}, {}, {}, {},
         ports::PORTTYPE_SERIAL},
        {"COM only", {{"COM1:", ""}, {"COM2:", ""}}, {}, {}, {}, ports::PORTTYPE_SERIAL},
        {"LPT only", {{"LPT1:", ""}}, {}, {}, {"LPT1:"}, ports::PORTTYPE_PARALLEL},
        {"FILE only", {{"FILE:", ""}}, {}, {}, {}, ports::PORTTYPE_NETWORK},
        {"no ports", {}, {}, {}, {}, ports::PORTTYPE_SERIAL},
        {"COM before LPT before FILE", {{"FILE:", ""}, {"LPT1:", ""}, {"COM1:", ""}}, {}, {}, {"LPT1:"},
         ports::PORTTYPE_SERIAL},
        {"TCP/IP alone", {{"IP_1", kTcp}, {"IP_2", "标准 TCP/IP 端口"}, {"IP_3", "Standard TCP/IP  Port"}}, {},
         {"IP_1", "IP_2"}, {}, ports::PORTTYPE_SERIAL},
    };
    for (const ClassCase& c : cases) {
        m_machine.sim_spooler().ClearPorts();
        const ports::PortClasses classes = Classify(c.ports);
        EXPECT_EQ(classes.usb, c.usb) << c.what;
        EXPECT_EQ(classes.tcp, c.tcp) << c.what;
        EXPECT_EQ(classes.lpt, c.lpt) << c.what;
        EXPECT_EQ(classes.all.size(), c.ports.size()) << c.what;
        EXPECT_EQ(classes.defaultType, c.defaultType) << c.what;
    }
}

// The monitor's name is not translated; descriptions are, with the display
// language (French and German ones here).
TEST_F(PortEnumerationTest, TcpIpPortsAreKnownByTheirMonitorInAnyLanguage) {
    auto& spooler = m_machine.sim_spooler();
    spooler.AddPort("IP_10.0.0.1", kTcp, "Port TCP/IP standard");
    spooler.AddPort("IP_10.0.0.2", kTcp, "Standard-TCP/IP-Anschluss");
    spooler.AddPort("IP_10.0.0.3", "Local Port", kTcp);
    spooler.AddPort("USB001", kTcp, "");
    spooler.AddPort("LPT1:", "Local Port", "Druckeranschluss");
    const ports::PortClasses classes = ports::ClassifyPorts(ports::SpoolerPorts(m_machine.spooler()));
    EXPECT_EQ(classes.tcp, (Names{"IP_10.0.0.1", "IP_10.0.0.2", "IP_10.0.0.3"}));
    EXPECT_EQ(classes.usb, (Names{"USB001"}));
    EXPECT_EQ(classes.lpt, (Names{"LPT1:"}));
}

TEST_F(PortEnumerationTest, APortAddedBetweenTheSizeAndTheRecordsIsListedToo) {
    m_machine.sim_spooler().AddPortAfterNextEnumeration({"USB001", "USB Monitor", "Virtual printer port for USB"});
    const ports::PortClasses classes = Classify({{"COM1:", ""}, {"LPT1:", ""}});
    EXPECT_EQ(classes.all, (Names{"COM1:", "LPT1:", "USB001"}));
    EXPECT_EQ(classes.defaultType, ports::PORTTYPE_USB);
}

TEST_F(PortEnumerationTest, OnlyTheFirst256PortsCount) {
    std::vector<std::pair<std::string, std::string>> ports;
    for (int i = 0; i < 256; ++i) ports.emplace_back("FILE" + std::to_string(i) + ":", "");
    ports.emplace_back("USB001", "");
    ports.emplace_back("LPT1:", "");
    const ports::PortClasses classes = Classify(ports);
    EXPECT_EQ(classes.all.size(), 256u);
    EXPECT_TRUE(classes.usb.empty());
    EXPECT_TRUE(classes.lpt.empty());
    EXPECT_EQ(classes.defaultType, ports::PORTTYPE_NETWORK);
}

TEST_F(PortEnumerationTest, DeviceMapKeepsTheRegistryOrderAndSkipsWhatIsNoComPort) {
    auto& registry = m_machine.sim_registry();
    const auto set = [&](const std::string& name, const std::string& value) {
        registry.SetString(win::HKEY_LOCAL_MACHINE, kDeviceMap, name, value);
    };
    set("\\Device\\Serial1", "COM7");
    set("Serial2", "COM8");  // not a device name
    registry.SetDword(win::HKEY_LOCAL_MACHINE, kDeviceMap, "\\Device\\Serial3", 9);  // not a string
    set("\\Device\\Serial4", std::string(200, 'C'));  // data too long for the buffer
    set("\\Device\\" + std::string(130, 'x'), "COM9");  // name too long for the buffer
    set("\\Device\\Serial5", "");  // empty
    set("\\Device\\Serial0", "COM2");
    EXPECT_EQ(DeviceMap(), (Names{"COM7:", "COM2:"}));
}

TEST_F(PortEnumerationTest, DeviceMapEndsAtAFailureThatIsNotMoreData) {
    auto& registry = m_machine.sim_registry();
    for (const char* com : {"COM1", "COM2", "COM3"})
        registry.SetString(win::HKEY_LOCAL_MACHINE, kDeviceMap, std::string("\\Device\\") + com, com);
    // The second index fails: a key that fails once is not read past.
    m_machine.env().InjectFault("RegEnumValueA", win::ERROR_ACCESS_DENIED, 1, 1);
    EXPECT_EQ(DeviceMap(), (Names{"COM1:"}));
    m_machine.env().InjectFault("RegEnumValueA", win::ERROR_MORE_DATA, 1, 1);
    EXPECT_EQ(DeviceMap(), (Names{"COM1:", "COM3:"}));
}

}  // namespace
