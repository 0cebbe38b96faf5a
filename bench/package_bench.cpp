// Unpacking and removing a package of many small files: the simulated file
// system resolves a name at the same cost whatever its folder holds, so
// the time grows with the number of files, not with its square.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "package/delete_tree.h"
#include "platform/sim/sim_archive.h"
#include "platform/sim/sim_files.h"
#include "tests/support/installer_harness.h"
#include "tests/support/package_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_UnpackAndRemoveManySmallFiles(benchmark::State& state) {
    std::map<std::string, std::string> entries;
    for (int i = 0; i < state.range(0); ++i) entries["Ticket/many/file" + std::to_string(i) + ".dat"] = "x";
    const std::string package = testing_support::BuildArchive(entries);
    for (auto _ : state) {
        const std::string dir = testing_support::MakeTempFolder("many");
        {
            platform::sim::SimEnv env;
            platform::sim::SimFiles files(env, dir);
            platform::sim::SimArchive archive(env, files);
            files.WriteFile("C:\\Setup\\DriverData.Drv", package);
            const auto start = Clock::now();
            win::HMODULE module = archive.LoadUnpacker();
            const int result = archive.Extract(module, "C:\\Setup\\DriverData.Drv", "C:\\", nullptr);
            archive.FreeLibrary(module);
            package::DeleteTree(files, "c:\\Ticket");
            const std::chrono::duration<double> elapsed = Clock::now() - start;
            state.SetIterationTime(elapsed.count());
            if (result != 0 || files.Exists("C:\\Ticket")) state.SkipWithError(archive.LastFailure().c_str());
        }
        std::filesystem::remove_all(dir);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UnpackAndRemoveManySmallFiles)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
