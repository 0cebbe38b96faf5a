// What a driver DLL's bytes say about themselves: whether they are a PE
// image, for which processor, whether a DLL, and the names it exports.
// Pure byte work, every offset checked against the data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace driver_package {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct PeImage {
    bool isPe = false;  // the rest is meaningful only when true
    std::uint16_t machine = 0;
    bool isDll = false;
    bool exportsReadable = true;  // false when the export table points outside the file
    std::vector<std::string> exports;
};

PeImage InspectPeImage(std::string_view bytes);

// "i386", "x86-64" or the machine number in hex.
std::string MachineName(std::uint16_t machine);

}  // namespace driver_package
