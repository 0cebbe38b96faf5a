// What the contract suites share: the machines they run against. Natively
// a simulated machine in a scratch folder of its own; in the Windows test
// binary the real system (under Wine, where some answers differ: see
// docs/wine-differences.md).
#pragma once

#include <memory>
#include <string>

#include "platform/machine.h"

#ifndef _WIN32
#include <unistd.h>

#include <filesystem>

#include "platform/sim/sim_machine.h"
#else
#include "tests/e2e/contract_support_win.h"
#endif

namespace contract {

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
#endif

}  // namespace contract
