// The system's unpacker for the driver package.
//
// The package is a Microsoft Cabinet file. On Windows it is unpacked by the
// system's own cabinet library, loaded from the system folder by its full
// path (never by bare name: a planted DLL in the working folder must not be
// picked up); on Linux by libarchive. Both check every entry's path before
// anything is written: nothing may land outside the output folder.
#pragma once

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
    // Returns 0 on success. An entry whose path would leave the output
    // folder fails the whole extraction, and no partial file is left behind.
    virtual int Extract(HMODULE module, const char* archivePath, const char* outputFolder) = 0;
    virtual BOOL FreeLibrary(HMODULE module) = 0;
};

}  // namespace platform
