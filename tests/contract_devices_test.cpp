// Devices contract: listing the present USB printing interfaces, asserted
// the way Wine's conformance tests assert Windows. Under Wine and on a bare
// simulated machine no USB printer is plugged in, so the list is empty; on
// a real Windows machine it holds what is plugged in.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine.h"

#include "tests/support/contract_machines.h"

namespace {

using namespace win;

struct DevicesTarget {
    const char* name;
    std::function<std::unique_ptr<platform::Machine>()> make;
    bool knownEmpty;  // no USB printer can be there
};

class DevicesContract : public ::testing::TestWithParam<DevicesTarget> {};

TEST_P(DevicesContract, ListingSucceedsAndLeavesTheLastErrorAlone) {
    std::unique_ptr<platform::Machine> machine = GetParam().make();
    std::vector<platform::UsbPrintInterface> interfaces{{"stale", 7}};
    machine->SetLastError(0xdeadbeef);
    EXPECT_EQ(1, machine->devices().EnumPresentUsbPrintInterfaces(&interfaces));
    EXPECT_EQ(0xdeadbeefu, machine->GetLastError());
    if (GetParam().knownEmpty || contract::UnderWine()) {
        EXPECT_TRUE(interfaces.empty()) << interfaces.front().baseName << interfaces.front().portNumber;
    }

    machine->SetLastError(0xdeadbeef);
    EXPECT_EQ(0, machine->devices().EnumPresentUsbPrintInterfaces(nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, machine->GetLastError());
}

std::string TargetName(const ::testing::TestParamInfo<DevicesTarget>& info) { return info.param.name; }

#ifndef _WIN32
std::unique_ptr<platform::Machine> MakeSimMachine() { return contract::MakeScratchSimMachine("devices"); }
INSTANTIATE_TEST_SUITE_P(Machines, DevicesContract, ::testing::Values(DevicesTarget{"Simulated", MakeSimMachine, true}),
                         TargetName);
#else
// The real system; under Wine (scripts/e2e-wine.sh) it has no USB printer.
INSTANTIATE_TEST_SUITE_P(Machines, DevicesContract,
                         ::testing::Values(DevicesTarget{"Win32", e2e::MakeWin32Machine, false}), TargetName);
#endif

}  // namespace
