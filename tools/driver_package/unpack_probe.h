// Unpacking a package file with the simulated machine's own unpacker, the
// one the installer uses on Linux: it also checks what reading alone does
// not (a cabinet's block checksums), so that `check` never passes a package
// the installer would refuse.
#pragma once

#include <string>

namespace driver_package {

// False, with *why set, when the unpacker refuses the package.
bool InstallerUnpacks(const std::string& bytes, std::string* why);

}  // namespace driver_package
