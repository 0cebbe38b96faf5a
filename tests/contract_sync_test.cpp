// Named mutex contract: what telling a second run of the installer from the
// first relies on, asserted the way Wine's conformance tests assert Windows
// (last error 0xdeadbeef, the call, then the exact result and last error).
// Names carry a stamp of the run, so a real system's names never collide.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/machine.h"

#include "tests/support/contract_machines.h"

namespace {

using namespace win;

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;
constexpr DWORD kDeadBeef = 0xDEADBEEF;
constexpr DWORD kErrorNotOwner = 288;

struct SyncTarget {
    const char* name;
    std::function<std::unique_ptr<platform::Machine>()> make;
    // A second machine that shares the first one's named objects.
    std::function<std::unique_ptr<platform::Machine>(platform::Machine&)> sibling;
    // Whether the system has private namespaces.
    std::function<bool()> privateNamespaces;
};

#ifndef _WIN32
std::unique_ptr<platform::Machine> MakeSimMachine() { return contract::MakeScratchSimMachine("sync"); }
std::unique_ptr<platform::Machine> MakeLoggedSimMachine() { return contract::MakeLogged(MakeSimMachine()); }
// As Windows XP and Wine are.
std::unique_ptr<platform::Machine> MakeSimMachineWithoutNamespaces() {
    auto machine = MakeSimMachine();
    static_cast<platform::sim::SimMachine&>(*machine).sim_sync().SetPrivateNamespaces(false);
    return machine;
}
bool Always() { return true; }
bool Never() { return false; }
#else
// Wine 8 has none (docs/wine-differences.md); Windows since Vista has them.
bool OffWine() { return !contract::UnderWine(); }
std::unique_ptr<platform::Machine> MakeLoggedWin32Machine() { return contract::MakeLogged(e2e::MakeWin32Machine()); }
std::unique_ptr<platform::Machine> Win32Sibling(platform::Machine&) { return e2e::MakeWin32Machine(); }
#endif

class SyncContract : public ::testing::TestWithParam<SyncTarget> {
protected:
    void SetUp() override {
        m_machine = GetParam().make();
        m_stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    }

    platform::Sync& sync() { return m_machine->sync(); }
    DWORD LastError() { return m_machine->GetLastError(); }
    void SetLastError(DWORD code) { m_machine->SetLastError(code); }
    std::string Name(const char* what) { return std::string("InstallerContract-") + what + "-" + m_stamp; }

    // The handle, with *error the last error the call left.
    HANDLE Create(platform::Machine& machine, const std::string& name, DWORD* error) {
        machine.SetLastError(kDeadBeef);
        HANDLE handle = machine.sync().CreateMutexA(nullptr, kTrue, name.c_str());
        *error = machine.GetLastError();
        return handle;
    }

    std::unique_ptr<platform::Machine> m_machine;
    std::string m_stamp;
};

TEST_P(SyncContract, ANamedMutexIsCreatedOnceAndFoundAfterwards) {
    const std::string name = Name("once");
    DWORD error = 0;
    HANDLE first = Create(*m_machine, name, &error);
    ASSERT_NE(nullptr, first) << error;
    EXPECT_EQ(ERROR_SUCCESS, error);

    // Even the creating thread only opens it a second time.
    HANDLE second = Create(*m_machine, name, &error);
    ASSERT_NE(nullptr, second) << error;
    EXPECT_NE(first, second);
    EXPECT_EQ(ERROR_ALREADY_EXISTS, error);

    // "Local\" is the namespace a bare name lives in; case tells names apart.
    const struct {
        std::string name;
        DWORD error;
    } kNames[] = {
        {"Local\\" + name, ERROR_ALREADY_EXISTS},
        {Name("ONCE"), ERROR_SUCCESS},
    };
    for (const auto& row : kNames) {
        HANDLE other = Create(*m_machine, row.name, &error);
        ASSERT_NE(nullptr, other) << row.name;
        EXPECT_EQ(row.error, error) << row.name;
        EXPECT_EQ(kTrue, sync().CloseHandle(other));
    }

    // Unnamed mutexes are never found again.
    for (int i = 0; i < 2; ++i) {
        SetLastError(kDeadBeef);
        HANDLE unnamed = sync().CreateMutexA(nullptr, kTrue, nullptr);
        ASSERT_NE(nullptr, unnamed);
        EXPECT_EQ(ERROR_SUCCESS, LastError());
        EXPECT_EQ(kTrue, sync().CloseHandle(unnamed));
    }

    EXPECT_EQ(kTrue, sync().CloseHandle(first));
    EXPECT_EQ(kTrue, sync().CloseHandle(second));
    SetLastError(kDeadBeef);
    EXPECT_EQ(kFalse, sync().CloseHandle(second));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());

    // Gone with its last handle.
    HANDLE again = Create(*m_machine, name, &error);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(ERROR_SUCCESS, error);
    EXPECT_EQ(kTrue, sync().CloseHandle(again));
}

TEST_P(SyncContract, OnlyTheOwningThreadReleasesAndOnlyAsOftenAsItOwns) {
    DWORD error = 0;
    HANDLE mutex = Create(*m_machine, Name("owner"), &error);
    ASSERT_NE(nullptr, mutex) << error;

    BOOL otherResult = kTrue;
    DWORD otherError = 0;
    std::thread other([&] {
        SetLastError(kDeadBeef);
        otherResult = sync().ReleaseMutex(mutex);
        otherError = LastError();
    });
    other.join();
    EXPECT_EQ(kFalse, otherResult);
    EXPECT_EQ(kErrorNotOwner, otherError);

    EXPECT_EQ(kTrue, sync().ReleaseMutex(mutex)) << LastError();
    SetLastError(kDeadBeef);
    EXPECT_EQ(kFalse, sync().ReleaseMutex(mutex));
    EXPECT_EQ(kErrorNotOwner, LastError());
    EXPECT_EQ(kTrue, sync().CloseHandle(mutex));

    SetLastError(kDeadBeef);
    EXPECT_EQ(kFalse, sync().ReleaseMutex(mutex));
    EXPECT_EQ(ERROR_INVALID_HANDLE, LastError());
}

TEST_P(SyncContract, AnotherMachineFindsTheMutexWhileAHandleIsOpen) {
    const std::string name = Name("shared");
    std::unique_ptr<platform::Machine> sibling = GetParam().sibling(*m_machine);
    DWORD error = 0;
    HANDLE mine = Create(*m_machine, name, &error);
    ASSERT_NE(nullptr, mine) << error;

    HANDLE theirs = Create(*sibling, name, &error);
    ASSERT_NE(nullptr, theirs) << error;
    EXPECT_EQ(ERROR_ALREADY_EXISTS, error);

    // Still there while theirs is open, gone when both are closed.
    EXPECT_EQ(kTrue, sync().CloseHandle(mine));
    mine = Create(*m_machine, name, &error);
    EXPECT_EQ(ERROR_ALREADY_EXISTS, error);
    EXPECT_EQ(kTrue, sync().CloseHandle(mine));
    EXPECT_EQ(kTrue, sibling->sync().CloseHandle(theirs));
    theirs = Create(*sibling, name, &error);
    EXPECT_EQ(ERROR_SUCCESS, error);
    EXPECT_EQ(kTrue, sibling->sync().CloseHandle(theirs));
}

TEST_P(SyncContract, ABackslashPastTheNamespaceIsAMissingFolder) {
    for (const std::string& name : {Name("folder") + "\\inside", "Local\\" + Name("folder") + "\\inside"}) {
        DWORD error = 0;
        EXPECT_EQ(nullptr, Create(*m_machine, name, &error)) << name;
        EXPECT_EQ(ERROR_PATH_NOT_FOUND, error) << name;
    }
}

TEST_P(SyncContract, ThePrivateNamespaceMutexIsOneObjectForEveryProcessWhereTheSystemHasThem) {
    const std::string alias = Name("space");
    HANDLE space = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(kDeadBeef));
    SetLastError(kDeadBeef);
    HANDLE first = sync().CreatePrivateNamespaceMutex(kTrue, alias.c_str(), "run", &space);
    if (!GetParam().privateNamespaces()) {
        // Said plainly, with nothing held, and the process still running.
        EXPECT_EQ(nullptr, first);
        EXPECT_EQ(nullptr, space);
        EXPECT_EQ(ERROR_NOT_SUPPORTED, LastError());
        return;
    }
    ASSERT_NE(nullptr, first) << LastError();
    EXPECT_EQ(ERROR_SUCCESS, LastError());
    ASSERT_NE(nullptr, space);

    std::unique_ptr<platform::Machine> sibling = GetParam().sibling(*m_machine);
    HANDLE theirSpace = nullptr;
    sibling->SetLastError(kDeadBeef);
    HANDLE theirs = sibling->sync().CreatePrivateNamespaceMutex(kTrue, alias.c_str(), "run", &theirSpace);
    ASSERT_NE(nullptr, theirs) << sibling->GetLastError();
    EXPECT_EQ(ERROR_ALREADY_EXISTS, sibling->GetLastError());
    EXPECT_NE(nullptr, theirSpace);
    // Not the owner: they found it, they did not take it.
    SetLastError(kDeadBeef);
    EXPECT_EQ(kFalse, sibling->sync().ReleaseMutex(theirs));
    EXPECT_EQ(kErrorNotOwner, sibling->GetLastError());

    // The same words as a global or local name are another object.
    DWORD error = 0;
    for (const std::string& name : {"Global\\" + alias, alias}) {
        HANDLE other = Create(*m_machine, name, &error);
        ASSERT_NE(nullptr, other) << name;
        EXPECT_EQ(ERROR_SUCCESS, error) << name;
        EXPECT_EQ(kTrue, sync().CloseHandle(other));
    }

    EXPECT_EQ(kTrue, sync().ReleaseMutex(first));
    for (auto* machine : {m_machine.get(), sibling.get()}) {
        HANDLE mutex = machine == m_machine.get() ? first : theirs;
        HANDLE ns = machine == m_machine.get() ? space : theirSpace;
        EXPECT_EQ(kTrue, machine->sync().CloseHandle(mutex));
        EXPECT_EQ(kTrue, machine->sync().ClosePrivateNamespace(ns, 0));
    }
    // Gone with the last handles: made anew.
    HANDLE again = sync().CreatePrivateNamespaceMutex(kTrue, alias.c_str(), "run", &space);
    ASSERT_NE(nullptr, again) << LastError();
    EXPECT_EQ(ERROR_SUCCESS, LastError());
    EXPECT_EQ(kTrue, sync().CloseHandle(again));
    EXPECT_EQ(kTrue, sync().ClosePrivateNamespace(space, 0));
}

std::string TargetName(const ::testing::TestParamInfo<SyncTarget>& info) { return info.param.name; }

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(Machines, SyncContract,
                         ::testing::Values(SyncTarget{"Simulated", MakeSimMachine, contract::SimSibling, Always},
                                           SyncTarget{"Logged", MakeLoggedSimMachine, contract::SimSibling, Always},
                                           SyncTarget{"SimulatedWithoutNamespaces", MakeSimMachineWithoutNamespaces,
                                                      contract::SimSibling, Never}),
                         TargetName);
#else
// The real system under Wine (scripts/e2e-wine.sh).
INSTANTIATE_TEST_SUITE_P(Machines, SyncContract,
                         ::testing::Values(SyncTarget{"Win32", e2e::MakeWin32Machine, Win32Sibling, OffWine},
                                           SyncTarget{"Logged", MakeLoggedWin32Machine, Win32Sibling, OffWine}),
                         TargetName);
#endif
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SyncContract);

}  // namespace
