// Simulated machine: the unpacker for the driver package, with libarchive.
//
// Reads a Microsoft Cabinet file (and the other formats libarchive knows,
// which tests use to build entries a cabinet cannot hold, such as links).
// Every entry is checked before anything is written; each file is written
// under a temporary name beside its target and renamed when complete.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/archive.h"
#include "platform/sim/sim_env.h"
#include "platform/sim/sim_files.h"

namespace platform::sim {

// Extract's failure results (0 is success).
constexpr int SIMARCHIVE_NOT_LOADED = 1;
constexpr int SIMARCHIVE_NO_ARCHIVE = 2;   // missing archive or output folder
constexpr int SIMARCHIVE_CORRUPT = 3;      // unreadable, truncated or not an archive
constexpr int SIMARCHIVE_REFUSED = 4;      // an entry's name or kind is unsafe
constexpr int SIMARCHIVE_WRITE_FAILED = 5; // a file or folder could not be written
constexpr int SIMARCHIVE_FAULT = 6;        // injected fault "Extract"

class SimArchive : public platform::ArchiveLibrary {
public:
    SimArchive(SimEnv& env, SimFiles& files);

    // Fault "LoadUnpacker" makes it fail with its error (ERROR_MOD_NOT_FOUND
    // for a missing library).
    win::HMODULE LoadUnpacker() override;
    bool HasEntryPoints(win::HMODULE module) override;
    int Extract(win::HMODULE module, const char* archivePath, const char* outputFolder,
                std::vector<std::string>* unpacked) override;
    win::BOOL FreeLibrary(win::HMODULE module) override;

    // A library that loads but lacks an entry point.
    void SetHasEntryPoints(bool hasEntryPoints);
    int LoadedCount() const;  // modules loaded and not yet freed
    // Why the last extraction failed, for test messages.
    std::string LastFailure() const;

private:
    int Fail(int result, const std::string& why);

    SimEnv& m_env;
    SimFiles& m_files;
    mutable std::mutex m_mutex;
    std::set<win::HMODULE> m_loaded;
    unsigned m_nextModule = 0x10000000u;
    bool m_hasEntryPoints = true;
    std::string m_lastFailure;
};

}  // namespace platform::sim
