// Test support: writes small Microsoft Cabinet files with stored (not
// compressed) data, so that a test can make entries no packer would: names
// that climb out of the folder, devices, truncated data.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct CabinetEntry {
    std::string name;  // as stored, bytes unchanged
    std::string data;
    std::uint16_t attributes = 0x20;  // _A_ARCH
};

// The whole cabinet: one folder, stored data in blocks of up to 32 KiB.
std::string MakeCabinet(const std::vector<CabinetEntry>& entries);

}  // namespace e2e
