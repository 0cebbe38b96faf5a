// Reading a driver package from disk: a cabinet (with libarchive, as the
// simulated machine unpacks it) or a folder laid out like one. The entry
// count and size bounds of the unpackers apply while reading, so that an
// oversized package is never held in memory.
#pragma once

#include <string>

#include "tools/driver_package/package_contents.h"

namespace driver_package {

// False, with *why set, when the package cannot be read: missing, not an
// archive, damaged, or past the unpackers' bounds.
bool ReadPackage(const std::string& path, PackageContents* contents, std::string* why);

}  // namespace driver_package
