// What the contract suites share: the machines they run against. Natively
// a simulated machine in a scratch folder of its own; in the Windows test
// binary the real system (under Wine, where some answers differ: see
// docs/wine-differences.md). Either can be seen through a LoggingMachine,
// which must answer exactly as the machine inside.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/logging/logging_machine.h"
#include "platform/machine.h"

#ifndef _WIN32
#include <unistd.h>

#include <filesystem>

#include "platform/sim/sim_machine.h"
#else
#include "tests/e2e/contract_support_win.h"
#endif

namespace contract {

// A machine seen through a LoggingMachine whose log, like a log file being
// written, changes the thread's last error with every line.
class LoggedMachine : private platform::logging::CallLog, public platform::logging::LoggingMachine {
public:
    explicit LoggedMachine(std::unique_ptr<platform::Machine> inner)
        : LoggingMachine(*inner, *this), m_inner(std::move(inner)) {}

    platform::Machine& inner() { return *m_inner; }
    int LineCount() const { return m_lines; }

private:
    void Record(const std::string&) override {
        ++m_lines;
        m_inner->SetLastError(0xBADF00D);
    }

    std::unique_ptr<platform::Machine> m_inner;
    int m_lines = 0;
};

inline std::unique_ptr<platform::Machine> MakeLogged(std::unique_ptr<platform::Machine> inner) {
    return std::make_unique<LoggedMachine>(std::move(inner));
}

// The machine a LoggedMachine wraps, or the machine itself.
inline platform::Machine& Unwrapped(platform::Machine& machine) {
    auto* logged = dynamic_cast<LoggedMachine*>(&machine);
    return logged ? logged->inner() : machine;
}

#ifdef _WIN32
inline bool UnderWine() { return e2e::RunningUnderWine(); }
#else
constexpr bool UnderWine() { return false; }

// A simulated machine whose sandbox folder goes away with it; its Sleep
// returns at once.
class ScratchSimMachine : public platform::sim::SimMachine {
public:
    ScratchSimMachine(const std::string& dir, platform::sim::SimPreset preset) : SimMachine(dir, preset), m_dir(dir) {
        SetTimeScale(0);
    }
    ~ScratchSimMachine() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
};

inline std::unique_ptr<platform::Machine> MakeScratchSimMachine(
    const std::string& suite, platform::sim::SimPreset preset = platform::sim::SimPreset::kWindows10x64) {
    static int s_counter = 0;
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("contract-" + suite + "-" + std::to_string(::getpid()) + "-" + std::to_string(++s_counter)))
                                .string();
    std::filesystem::create_directories(dir);
    return std::make_unique<ScratchSimMachine>(dir, preset);
}

// Another simulated machine on the same sandbox folder, as a second process
// of the terminal front end would have.
inline std::unique_ptr<platform::Machine> SimSibling(platform::Machine& machine) {
    auto& scratch = dynamic_cast<ScratchSimMachine&>(Unwrapped(machine));
    auto sibling = std::make_unique<platform::sim::SimMachine>(scratch.Dir());
    sibling->SetTimeScale(0);
    return sibling;
}
#endif

}  // namespace contract
