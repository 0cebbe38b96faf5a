// The serial search over k ports: k probes of 700 ms, two spooler restarts
// and nothing more. Reports what the search took beyond k x 700 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>

#include "dialogs/dialog_ids.h"
#include "install/driver_catalogue.h"
#include "tests/support/installer_harness.h"
#include "tools/printer_sim/printer_emulator.h"
#include "tools/printer_sim/pty_pair.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::InstallerHarness;

void BM_SerialSearchOverhead(benchmark::State& state) {
    const int ports = static_cast<int>(state.range(0));
    for (auto _ : state) {
        InstallerHarness harness;
        harness.Machine().SetTimeScale(1.0);
        std::vector<std::unique_ptr<printer_sim::PtyPair>> lines;
        for (int i = 1; i <= ports; ++i) {
            lines.push_back(std::make_unique<printer_sim::PtyPair>());
            harness.Machine().sim_serial().MapPort(i, lines.back()->slavePath());
            harness.Machine().AddSerialDevice("\\Device\\Serial" + std::to_string(i), "COM" + std::to_string(i));
        }
        // The printer answers on the last port, so that every port is probed.
        printer_sim::PrinterEmulator printer(lines.back()->master(), printer_sim::PrinterOptions{});
        printer.Start();

        harness.Start();
        harness.WaitUntilReady();
        harness.ChoosePortType(0);
        harness.ChooseModel(install::ReceiptSeriesNames[0]);
        // With one port there is no prompt: the search is part of the
        // Install click, and the time counts from the click (so it includes
        // staging and registering the driver).
        auto start = Clock::now();
        harness.Install();
        ui::HWND prompt = harness.SecondaryDialog().hwnd;
        if (prompt != nullptr) {
            start = Clock::now();
            harness.Toolkit().Click(prompt, dialogs::IDC_SERIAL_YES);
        }
        harness.Toolkit().WaitFor([&](const auto&) { return harness.InstallCaption() == "完成"; }, 60s);
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        const double probes = ports > 1 ? 0.7 * ports : 0.0;
        state.counters["overhead_ms"] = (elapsed.count() - probes) * 1000.0;
        printer.Stop();
    }
}
BENCHMARK(BM_SerialSearchOverhead)->Arg(1)->Arg(4)->Arg(16)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
