// Windows backend: the driver package unpacked by the system's cabinet.dll.
#pragma once

#include "platform/archive.h"

namespace platform::win32 {

// Extract's results; anything but kExtractOk is a failure.
enum Win32ExtractResult : int {
    kExtractOk = 0,
    kExtractNoEntryPoints = 1,  // the module lacks FDICreate, FDICopy or FDIDestroy
    kExtractNoArchive = 2,      // the archive or the output folder cannot be used
    kExtractRefusedEntry = 3,   // refused before writing: an entry's name, place or size, or what is in its place
    kExtractFailed = 4,         // not a cabinet, corrupt data, or a file that cannot be written
};

// Loads cabinet.dll by its full path in the system folder and unpacks with
// its FDI functions in two passes: the first checks every entry (its name,
// the package's roots and bounds, links or junctions on the way, and a
// file already in its place, compared byte for byte) and refuses the whole
// archive for one bad entry (nothing is written), the
// second writes each file under a temporary name in its target folder and
// renames it when complete, so that a failure never leaves a partial file.
class Win32Archive : public ArchiveLibrary {
public:
    HMODULE LoadUnpacker() override;
    bool HasEntryPoints(HMODULE module) override;
    int Extract(HMODULE module, const char* archivePath, const char* outputFolder,
                std::vector<std::string>* unpacked) override;
    BOOL FreeLibrary(HMODULE module) override;
};

}  // namespace platform::win32
