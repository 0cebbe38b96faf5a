// A driver package as read from a cabinet or a folder: its entries with
// their bytes, before any rule is applied to them.
#pragma once

#include <string>
#include <vector>

namespace driver_package {

enum class EntryKind {
    kFile,
    kFolder,
    kOther,  // a link or a device: no unpacker writes one
};

struct PackageEntry {
    std::string name;  // as stored: "Ticket\x86\uniDRV.DLL" ('/' in a folder read)
    EntryKind kind = EntryKind::kFile;
    std::string bytes;
};

struct PackageContents {
    std::vector<PackageEntry> entries;
};

}  // namespace driver_package
