// Driver packages for tests: the sample tree with some entries replaced,
// added or left out, packed as a tar archive (the simulated unpacker reads
// it as it reads cabinets).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Entry names use '/' ("Ticket/x86/uniDRV.DLL"); nullopt leaves it out.
using PackageChanges = std::map<std::string, std::optional<std::string>>;

std::string BuildPackage(const PackageChanges& changes = {});

// An archive of exactly these entries, nothing of the sample tree.
std::string BuildArchive(const std::map<std::string, std::string>& entries);

// A DriverName.cfg (CP936 bytes) from its sections, each a name and its
// printer names under PrintName1, PrintName2, ...
std::string ConfigFile(const std::vector<std::pair<std::string, std::vector<std::string>>>& sections);

}  // namespace testing_support
