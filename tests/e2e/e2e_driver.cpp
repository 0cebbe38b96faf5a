// Windows (the end-to-end driver under Wine): runs the installer and drives
// it like a person, one scenario per run, then checks what Wine's spooler,
// registry and file system hold afterwards.
//
// Usage: e2e_driver SCENARIO INSTALLER.exe WORKING_FOLDER [PORT...]
//   Scenarios: see kScenarios below. Prints one line per check ("ok ..." /
//   "FAIL ...") as UTF-8 and exits with 0 when every check passed.
//   bench-prepare and bench-run time a run instead (bench/e2e_bench_win.cpp).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/e2e_scenarios_win.h"
#include "tests/e2e/e2e_ui_win.h"

namespace e2e {
int RunBench(int argc, char** argv);  // bench/e2e_bench_win.cpp: -1 when argv names no benchmark
}

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: e2e_driver SCENARIO INSTALLER.exe WORKING_FOLDER [PORT...]\n");
        return 2;
    }
    if (const int benchmark = e2e::RunBench(argc, argv); benchmark != -1) return benchmark;
    e2e::ScenarioArgs args;
    args.installer = argv[2];
    args.workingFolder = argv[3];
    for (int i = 4; i < argc; ++i) args.ports.push_back(argv[i]);
    for (const auto* list : {&e2e::Scenarios(), &e2e::SilentScenarios()}) {
        for (const e2e::Scenario& scenario : *list) {
            if (std::strcmp(scenario.name, argv[1]) != 0) continue;
            scenario.run(args);
            std::printf("%s: %d failure(s)\n", e2e::Failures() == 0 ? "PASS" : "FAIL", e2e::Failures());
            return e2e::Failures() == 0 ? 0 : 1;
        }
    }
    std::fprintf(stderr, "e2e_driver: no scenario %s\n", argv[1]);
    return 2;
}
