// The simulated machine's unpacker on any bytes as DriverData.Drv: it may
// refuse them, but whatever it writes stays in the output folder, as
// regular files and folders, no temporary file is left behind, and what it
// reports unpacked is there.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_sandbox.h"
#include "platform/archive_paths.h"
#include "platform/sim/sim_archive.h"

namespace fs = std::filesystem;

namespace {

struct Sandbox {
    Sandbox() : root(fuzz::SandboxFolder()) {
        files = new platform::sim::SimFiles(env, root);
        archive = new platform::sim::SimArchive(env, *files);
        if (!files->WriteFile("C:\\DriverData.Drv", "")) std::abort();
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(fs::path(root) / "c")) {
            before.insert(entry.path());
        }
    }
    std::string root;
    std::set<fs::path> before;  // what the machine has of its own
    platform::sim::SimEnv env;
    platform::sim::SimFiles* files;
    platform::sim::SimArchive* archive;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static Sandbox sandbox;
    // The machine logs every call: a log that only grows costs a leak check a run.
    sandbox.env.ClearCalls();
    const fs::path drive = fs::path(sandbox.root) / "c";
    const fs::path output = drive / "out";
    if (!sandbox.files->WriteFile("C:\\DriverData.Drv", std::string(reinterpret_cast<const char*>(data), size))) {
        std::abort();
    }
    fs::create_directories(output);

    win::HMODULE module = sandbox.archive->LoadUnpacker();
    std::vector<std::string> unpacked;
    const int result = sandbox.archive->Extract(module, "C:\\DriverData.Drv", "C:\\out", &unpacked);
    sandbox.archive->FreeLibrary(module);
    if (result < 0 || result > platform::sim::SIMARCHIVE_FAULT) std::abort();

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto named = [&](const std::string& name) { return bytes.find(name) != std::string_view::npos; };
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(drive)) {
        if (sandbox.before.count(entry.path()) || entry.path() == output) continue;
        if (*entry.path().lexically_relative(drive).begin() != "out") std::abort();  // outside the output folder
        if (entry.is_symlink() || !(entry.is_regular_file() || entry.is_directory())) std::abort();
        // The unpacker's temporary names, unless the archive named one so.
        const std::string name = entry.path().filename().string();
        if (name.rfind(".~extract-", 0) == 0 && !named(name)) std::abort();
    }
    // What it reports unpacked is there, in the package's places.
    for (const std::string& file : result == 0 ? unpacked : std::vector<std::string>{}) {
        std::vector<std::string> parts;
        if (platform::CheckArchiveEntryPath(file, &parts) != platform::EntryPathProblem::kNone ||
            !platform::IsInPackageRoots(parts) || !sandbox.files->Exists("C:\\out\\" + file)) {
            std::abort();
        }
    }
    fs::remove_all(output);
    return 0;
}
