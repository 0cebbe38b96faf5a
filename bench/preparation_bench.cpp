// Preparation is unpacking plus nothing noticeable: the time from start to
// Install enabled, next to the reference tool unpacking the same package.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "tests/support/installer_harness.h"

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::InstallerHarness;

void BM_StartToInstallEnabled(benchmark::State& state) {
    for (auto _ : state) {
        InstallerHarness harness;
        // Real time, as a user would see it.
        harness.Machine().SetTimeScale(1.0);
        const auto start = Clock::now();
        harness.Start();
        if (!harness.WaitUntilReady()) {
            state.SkipWithError("the installer did not get ready");
            return;
        }
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        harness.Toolkit().CloseWindow(harness.MainWindow());
        harness.WaitForEnd();
    }
}
BENCHMARK(BM_StartToInstallEnabled)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// bsdtar (libarchive's own tool) unpacking the same cabinet.
void BM_ReferenceUnpack(benchmark::State& state) {
    const std::string package = testing_support::SamplePackagePath();
    for (auto _ : state) {
        const std::string out = testing_support::MakeTempFolder("bsdtar");
        const auto start = Clock::now();
        const pid_t child = fork();
        if (child == 0) {
            execlp("bsdtar", "bsdtar", "-xf", package.c_str(), "-C", out.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        std::filesystem::remove_all(out);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("bsdtar failed");
            return;
        }
    }
}
BENCHMARK(BM_ReferenceUnpack)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
