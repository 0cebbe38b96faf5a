// One start of the installer on the simulated machine with a given driver
// package, in a process of its own so that its peak memory is the
// preparation's: prints the time from start to Install enabled and the
// process's peak resident memory before the start and at the end.
//
//     real_package_prepare <DriverData.Drv>
//
// scripts/bench-package.sh runs it next to bsdtar on the same package.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win_types.h"
#include "tests/support/installer_harness.h"

namespace {

// The high-water mark of this process's resident memory, in KiB.
long PeakResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <DriverData.Drv>\n", argv[0]);
        return 2;
    }
    testing_support::InstallerHarness harness;
    // Real time, as a user would see it.
    harness.Machine().SetTimeScale(1.0);
    char folder[win::MAX_PATH] = {};
    harness.Machine().files().GetCurrentDirectoryA(sizeof(folder), folder);
    // Copied on disk, not through memory: the peak below is the installer's.
    const std::string target = harness.Machine().sim_files().HostPath(std::string(folder) + "\\DriverData.Drv");
    std::error_code error;
    std::filesystem::copy_file(argv[1], target, std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        std::fprintf(stderr, "cannot copy %s: %s\n", argv[1], error.message().c_str());
        return 2;
    }
    const long before = PeakResidentKib();
    const auto start = std::chrono::steady_clock::now();
    harness.Start();
    if (!harness.WaitUntilReady(std::chrono::minutes(5))) {
        std::fprintf(stderr, "the installer did not get ready: %s\n", harness.Status().c_str());
        return 1;
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    const long peak = PeakResidentKib();
    std::printf("start_to_install_ms %.1f\nrss_before_start_kib %ld\npeak_rss_kib %ld\n", elapsed.count(), before,
                peak);
    harness.Toolkit().CloseWindow(harness.MainWindow());
    harness.WaitForEnd(std::chrono::minutes(1));
    return 0;
}
