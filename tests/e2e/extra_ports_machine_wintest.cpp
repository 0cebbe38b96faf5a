// The machine that adds TCP/IP ports to Wine's (the network port dialog's
// screenshot is taken over it): its EnumPortsA must pack like winspool, or
// the dialog would read garbage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_machine.h"
#include "tests/e2e/extra_ports_machine.h"

namespace {

using platform::win32::Win32Machine;

constexpr win::DWORD kErrorInsufficientBuffer = 122;

std::vector<e2e::ExtraPort> TwoTcpIpPorts() {
    return {{"IP_10.0.0.1", "Standard TCP/IP Port", "Standard TCP/IP Port"},
            {"IP_10.0.0.2", "Standard TCP/IP Port", "标准 TCP/IP 端口"}};
}

struct Listing {
    win::DWORD needed = 0;
    win::DWORD returned = 0;
    std::vector<win::BYTE> buffer;
};

Listing ListPorts(platform::Machine& machine, win::DWORD level) {
    Listing listing;
    machine.spooler().EnumPortsA(nullptr, level, nullptr, 0, &listing.needed, &listing.returned);
    listing.buffer.assign(listing.needed, 0);
    EXPECT_TRUE(machine.spooler().EnumPortsA(nullptr, level, listing.buffer.data(), listing.needed, &listing.needed,
                                             &listing.returned));
    return listing;
}

bool Inside(const Listing& listing, const char* text, size_t recordBytes) {
    const auto* begin = reinterpret_cast<const char*>(listing.buffer.data());
    if (text < begin + recordBytes || text >= begin + listing.buffer.size())
        return false;
    return text + std::strlen(text) < begin + listing.buffer.size();
}

TEST(ExtraPortsMachineTest, ListsTheSystemPortsThenTheExtraOnesInsideTheBuffer) {
    Win32Machine windows;
    const Listing real = ListPorts(windows, 2);
    e2e::ExtraPortsMachine machine(windows, TwoTcpIpPorts());

    win::DWORD needed = 0, returned = 7;
    machine.SetLastError(0);
    EXPECT_FALSE(machine.spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(machine.GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(returned, 0u);
    const size_t extraBytes = 2 * sizeof(win::PORT_INFO_2) + sizeof("IP_10.0.0.1") * 2 +
                              sizeof("Standard TCP/IP Port") * 3 + sizeof("标准 TCP/IP 端口");
    EXPECT_EQ(needed, real.needed + extraBytes);

    const Listing listing = ListPorts(machine, 2);
    ASSERT_EQ(listing.returned, real.returned + 2);
    const size_t recordBytes = listing.returned * sizeof(win::PORT_INFO_2);
    const auto* ports = reinterpret_cast<const win::PORT_INFO_2*>(listing.buffer.data());
    const auto* realPorts = reinterpret_cast<const win::PORT_INFO_2*>(real.buffer.data());
    for (win::DWORD i = 0; i < listing.returned; ++i) {
        EXPECT_TRUE(Inside(listing, ports[i].pPortName, recordBytes)) << i;
        EXPECT_TRUE(Inside(listing, ports[i].pMonitorName, recordBytes)) << i;
        EXPECT_TRUE(Inside(listing, ports[i].pDescription, recordBytes)) << i;
        if (i < real.returned) {
            EXPECT_STREQ(ports[i].pPortName, realPorts[i].pPortName);
        }
    }
    EXPECT_STREQ(ports[real.returned].pPortName, "IP_10.0.0.1");
    EXPECT_STREQ(ports[real.returned + 1].pPortName, "IP_10.0.0.2");
    EXPECT_STREQ(ports[real.returned + 1].pMonitorName, "Standard TCP/IP Port");
    EXPECT_STREQ(ports[real.returned + 1].pDescription, "标准 TCP/IP 端口");
}

TEST(ExtraPortsMachineTest, AShortBufferIsRefusedAndLeftUntouched) {
    Win32Machine windows;
    e2e::ExtraPortsMachine machine(windows, TwoTcpIpPorts());
    win::DWORD needed = 0, returned = 0;
    machine.spooler().EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    ASSERT_GT(needed, 1u);

    std::vector<win::BYTE> buffer(needed, 0xCD);
    win::DWORD reported = 0;
    returned = 7;
    EXPECT_FALSE(machine.spooler().EnumPortsA(nullptr, 2, buffer.data(), needed - 1, &reported, &returned));
    EXPECT_EQ(machine.GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(reported, needed);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(buffer, std::vector<win::BYTE>(needed, 0xCD));
}

TEST(ExtraPortsMachineTest, LevelOneHoldsTheNamesOnly) {
    Win32Machine windows;
    const Listing real = ListPorts(windows, 1);
    e2e::ExtraPortsMachine machine(windows, TwoTcpIpPorts());
    const Listing listing = ListPorts(machine, 1);
    ASSERT_EQ(listing.returned, real.returned + 2);
    EXPECT_EQ(listing.needed, real.needed + 2 * (sizeof(char*) + sizeof("IP_10.0.0.1")));
    const auto* names = reinterpret_cast<char* const*>(listing.buffer.data());
    EXPECT_STREQ(names[real.returned + 1], "IP_10.0.0.2");
    EXPECT_TRUE(Inside(listing, names[0], listing.returned * sizeof(char*)));
}

TEST(ExtraPortsMachineTest, WhatItDoesNotListGoesToTheSystem) {
    Win32Machine windows;
    e2e::ExtraPortsMachine machine(windows, TwoTcpIpPorts());
    win::DWORD needed = 0, returned = 0;
    windows.spooler().EnumPortsA(nullptr, 3, nullptr, 0, &needed, &returned);
    const win::DWORD systemsError = windows.GetLastError();
    machine.SetLastError(0);
    EXPECT_FALSE(machine.spooler().EnumPortsA(nullptr, 3, nullptr, 0, &needed, &returned));
    EXPECT_EQ(machine.GetLastError(), systemsError);
    // The added ports exist only in the listing.
    EXPECT_FALSE(machine.spooler().DeletePortA(nullptr, nullptr, "IP_10.0.0.1"));
}

}  // namespace
