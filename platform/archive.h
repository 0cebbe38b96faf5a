// The system's unpacker for the driver package.
//
// The package is a Microsoft Cabinet file. On Windows it is unpacked by the
// system's own cabinet library, loaded from the system folder by its full
// path (never by bare name: a planted DLL in the working folder must not be
// picked up); on Linux by libarchive. Both check every entry before
// anything is written: nothing may land outside the package's places.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

using win::BOOL;
using win::HMODULE;

class ArchiveLibrary {
public:
    virtual ~ArchiveLibrary() = default;

    // Null when the library cannot be loaded; the last error says why.
    virtual HMODULE LoadUnpacker() = 0;
    // Whether the loaded library offers every entry point an extraction uses.
    virtual bool HasEntryPoints(HMODULE module) = 0;
    // Unpacks the archive with its folder structure into outputFolder.
    // Returns 0 on success. The whole package is refused before anything is
    // written (like a corrupt one) for an entry whose path is unsafe or lies
    // outside DriverName.cfg, Ticket\ and Barcode\, for entries that name
    // the same file case aside, for more entries or bytes than the bounds of
    // archive_paths.h, for a link or junction on the way to an entry, and
    // for a file already in an entry's place that does not hold the entry's
    // bytes (only a copy left by an earlier run is taken as the package's).
    // No partial file is ever left behind. On success, *unpacked (when
    // given) lists every file of the package relative to outputFolder
    // ("Ticket\x86\uniDRV.DLL"), also those that were already there.
    virtual int Extract(HMODULE module, const char* archivePath, const char* outputFolder,
                        std::vector<std::string>* unpacked) = 0;
    virtual BOOL FreeLibrary(HMODULE module) = 0;
};

}  // namespace platform
