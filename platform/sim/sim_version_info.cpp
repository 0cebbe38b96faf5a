#include "platform/sim/sim_version_info.h"

#include <cstring>

namespace platform::sim {

namespace {

// wLength, wValueLength, wType, L"VS_VERSION_INFO" with its zero, padding to
// a DWORD boundary: the fixed part starts 40 bytes in.
constexpr std::size_t kKeyOffset = 6;
constexpr std::size_t kFixedOffset = 40;
constexpr char16_t kKey[] = u"VS_VERSION_INFO";

std::string KeyBytes() {
    std::string bytes;
    for (char16_t c : kKey) {  // the terminating zero included
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

void PutWord(std::string* out, std::size_t at, win::WORD value) {
    (*out)[at] = static_cast<char>(value & 0xFF);
    (*out)[at + 1] = static_cast<char>(value >> 8);
}

win::WORD GetWord(const unsigned char* bytes) { return static_cast<win::WORD>(bytes[0] | (bytes[1] << 8)); }

}  // namespace

std::string VersionBlock(win::WORD major, win::WORD minor, win::WORD build, win::WORD revision) {
    const std::size_t total = kFixedOffset + sizeof(win::VS_FIXEDFILEINFO);
    std::string block(total, '\0');
    PutWord(&block, 0, static_cast<win::WORD>(total));
    PutWord(&block, 2, static_cast<win::WORD>(sizeof(win::VS_FIXEDFILEINFO)));
    PutWord(&block, 4, 0);  // binary data
    const std::string key = KeyBytes();
    block.replace(kKeyOffset, key.size(), key);
    win::VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = win::VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = fixed.dwProductVersionMS = (win::DWORD{major} << 16) | minor;
    fixed.dwFileVersionLS = fixed.dwProductVersionLS = (win::DWORD{build} << 16) | revision;
    fixed.dwFileOS = 0x40004;  // VOS_NT_WINDOWS32
    fixed.dwFileType = 3;      // VFT_DRV
    std::memcpy(&block[kFixedOffset], &fixed, sizeof fixed);
    return block;
}

std::optional<std::string> FindVersionBlock(const std::string& bytes) {
    const std::string key = KeyBytes();
    for (std::size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
        if (at < kKeyOffset) continue;
        const std::size_t start = at - kKeyOffset;
        const auto* head = reinterpret_cast<const unsigned char*>(bytes.data() + start);
        const std::size_t length = GetWord(head);
        if (length < kFixedOffset + sizeof(win::VS_FIXEDFILEINFO) || start + length > bytes.size()) continue;
        if (GetWord(head + 2) != sizeof(win::VS_FIXEDFILEINFO)) continue;
        win::DWORD signature = 0;
        std::memcpy(&signature, head + kFixedOffset, sizeof signature);
        if (signature != win::VS_FFI_SIGNATURE) continue;
        return bytes.substr(start, length);
    }
    return std::nullopt;
}

win::BOOL QueryVersionBlock(const void* block, const char* subBlock, void** buffer, win::UINT* length) {
    if (block == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr) return 0;
    const auto* bytes = static_cast<const unsigned char*>(block);
    const bool root = std::strcmp(subBlock, "\\") == 0 || std::strcmp(subBlock, "/") == 0;
    if (!root || GetWord(bytes + 2) != sizeof(win::VS_FIXEDFILEINFO)) return 0;
    *buffer = const_cast<unsigned char*>(bytes + kFixedOffset);
    *length = sizeof(win::VS_FIXEDFILEINFO);
    return 1;
}

}  // namespace platform::sim
