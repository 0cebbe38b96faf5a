// Loads the system's unpacker for the time of one extraction and runs it.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"

namespace package {

class ArchiveExtractor {
public:
    explicit ArchiveExtractor(platform::Machine& machine) : m_machine(machine) {}
    virtual ~ArchiveExtractor();
    ArchiveExtractor(const ArchiveExtractor&) = delete;
    ArchiveExtractor& operator=(const ArchiveExtractor&) = delete;

    // 1 when the unpacker was loaded, 0 when it was not.
    int Load();
    // True when the unpacker reported success. A missing unpacker, one that
    // lacks an entry point, or a missing archive fail without unpacking.
    bool Extract(const std::string& archivePath, const std::string& outputFolder);
    // After Extract: whether the archive was there to unpack (a missing one
    // is no fault of the archive's).
    bool FoundArchive() const { return m_foundArchive; }
    // After a successful Extract, every file of the package relative to the
    // output folder, also those an earlier run had left with the same bytes.
    const std::vector<std::string>& UnpackedFiles() const { return m_unpackedFiles; }
    void Unload();
    bool IsLoaded() const { return m_module != nullptr; }

private:
    platform::Machine& m_machine;
    win::HMODULE m_module = nullptr;
    std::vector<std::string> m_unpackedFiles;
    bool m_foundArchive = false;
};

}  // namespace package
