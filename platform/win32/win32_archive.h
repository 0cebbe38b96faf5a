// Windows backend: the driver package unpacked by the system's cabinet.dll.
#pragma once

#include "platform/archive.h"

namespace platform::win32 {

// Extract's results; anything but kExtractOk is a failure.
enum Win32ExtractResult : int {
    kExtractOk = 0,
    kExtractNoEntryPoints = 1,  // the module lacks FDICreate, FDICopy or FDIDestroy
    kExtractNoArchive = 2,      // the archive or the output folder cannot be used
    kExtractRefusedEntry = 3,   // an entry's name would leave the output folder
    kExtractFailed = 4,         // not a cabinet, corrupt data, or a file that cannot be written
};

// Loads cabinet.dll by its full path in the system folder and unpacks with
// its FDI functions in two passes: the first reads every entry's name and
// refuses the whole archive if any name is unsafe (nothing is written), the
// second writes each file under a temporary name in its target folder and
// renames it when complete, so that a failure never leaves a partial file.
class Win32Archive : public ArchiveLibrary {
public:
    HMODULE LoadUnpacker() override;
    bool HasEntryPoints(HMODULE module) override;
    int Extract(HMODULE module, const char* archivePath, const char* outputFolder) override;
    BOOL FreeLibrary(HMODULE module) override;
};

}  // namespace platform::win32
