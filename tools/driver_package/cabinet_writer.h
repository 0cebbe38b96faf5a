// Writing a driver package as a Microsoft Cabinet file with libgcab: one
// MSZIP folder, which both the system's cabinet library and libarchive read.
#pragma once

#include <string>
#include <vector>

#include "tools/driver_package/package_check.h"

namespace driver_package {

// Writes the files under their package paths to `outputPath`, through a
// temporary file beside it: on failure nothing is left there. False, with
// *why set, when it cannot be written.
bool WriteCabinet(const std::vector<SafeFile>& files, const std::string& outputPath, std::string* why);

}  // namespace driver_package
