// Windows (the end-to-end driver under Wine): timings for
// scripts/bench-package.sh, one run per call, printed as "name value" lines.
//
//   e2e_driver bench-prepare INSTALLER.exe WORKING_FOLDER
//       from the installer's start to Install enabled, and its peak working
//       set until then; then closes it (its clean-up is not timed).
//   e2e_driver bench-run PROGRAM.exe WORKING_FOLDER [ARGUMENT...]
//       from a program's start to its end, and its peak working set.
// Both start the program the same way (CreateProcess), so the process start
// Wine costs is in both numbers.
#define PSAPI_VERSION 2  // GetProcessMemoryInfo from kernel32
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/e2e/e2e_installer_win.h"

namespace e2e {

namespace {

// Fine enough to time a preparation of a second or more to a few ms.
constexpr DWORD kPollMs = 2;

class Stopwatch {
public:
    Stopwatch() {
        ::QueryPerformanceFrequency(&m_frequency);
        ::QueryPerformanceCounter(&m_start);
    }
    double Milliseconds() const {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(m_frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_frequency{};
    LARGE_INTEGER m_start{};
};

// The process's peak working set so far, in KiB (0 when it cannot be read).
SIZE_T PeakKib(HANDLE process, SIZE_T seen) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) return seen;
    return std::max(seen, static_cast<SIZE_T>(counters.PeakWorkingSetSize / 1024));
}

int BenchPrepare(const std::string& installer, const std::string& folder) {
    const Stopwatch watch;
    InstallerRun run;
    if (!run.Start(installer, folder)) return 1;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run.processId());
    SIZE_T peak = 0;
    for (;;) {
        if (process) peak = PeakKib(process, peak);
        if (run.InstallEnabled()) break;
        if (watch.Milliseconds() > 600000) {
            std::printf("the installer did not get ready\n");
            return 1;
        }
        ::Sleep(kPollMs);
    }
    const double elapsed = watch.Milliseconds();
    if (process) peak = PeakKib(process, peak);
    std::printf("start_to_install_ms %.1f\npeak_working_set_kib %lu\n", elapsed, static_cast<unsigned long>(peak));
    std::fflush(stdout);
    ::PostMessageW(run.main(), WM_CLOSE, 0, 0);
    const long code = run.WaitExit(120000);
    if (process) ::CloseHandle(process);
    return code == -1 ? 1 : 0;
}

int BenchRun(int argc, char** argv) {
    std::string commandLine = "\"" + std::string(argv[2]) + "\"";
    for (int i = 4; i < argc; ++i) commandLine += std::string(" ") + argv[i];
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const Stopwatch watch;
    if (!::CreateProcessA(argv[2], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, argv[3], &startup,
                          &process)) {
        std::printf("cannot start %s (error %lu)\n", argv[2], ::GetLastError());
        return 1;
    }
    SIZE_T peak = 0;
    do {
        peak = PeakKib(process.hProcess, peak);
    } while (::WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT);
    const double elapsed = watch.Milliseconds();
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    std::printf("run_ms %.1f\npeak_working_set_kib %lu\nexit_code %lu\n", elapsed, static_cast<unsigned long>(peak),
                code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code == 0 ? 0 : 1;
}

}  // namespace

int RunBench(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "bench-prepare") == 0) return BenchPrepare(argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "bench-run") == 0) return BenchRun(argc, argv);
    return -1;
}

}  // namespace e2e
