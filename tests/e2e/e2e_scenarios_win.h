// Windows (the end-to-end driver under Wine): the scenarios.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct ScenarioArgs {
    std::string installer;
    std::string workingFolder;
    // Serial scenarios: the COM entries as the installer lists them.
    std::vector<std::string> ports;
};

struct Scenario {
    const char* name;
    void (*run)(const ScenarioArgs&);
};

const std::vector<Scenario>& Scenarios();
// Runs started with options (tests/e2e/e2e_silent_win.cpp).
const std::vector<Scenario>& SilentScenarios();

}  // namespace e2e
