// Test support: minimal Microsoft Cabinet files (see cabinet_writer.h).
#include "tests/e2e/cabinet_writer.h"

namespace e2e {

namespace {

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kFolderSize = 8;
constexpr std::size_t kMaxBlock = 32768;

void Put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// The cabinet checksum: 32-bit little-endian words XORed together, a tail
// of 1 to 3 bytes taken big-end first, as every reader computes it.
std::uint32_t Checksum(const std::string& bytes, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        sum ^= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 3])) << 24;
    }
    std::uint32_t tail = 0;
    for (; i < bytes.size(); ++i) tail = (tail << 8) | static_cast<unsigned char>(bytes[i]);
    return sum ^ tail;
}

}  // namespace

std::string MakeCabinet(const std::vector<CabinetEntry>& entries) {
    std::string stream;
    std::string files;
    for (const CabinetEntry& entry : entries) {
        Put32(files, static_cast<std::uint32_t>(entry.data.size()));
        Put32(files, static_cast<std::uint32_t>(stream.size()));  // offset in the folder's data
        Put16(files, 0);                                          // folder 0
        Put16(files, 0x5A21);                                     // 2025-01-01
        Put16(files, 0x6000);                                     // 12:00:00
        Put16(files, entry.attributes);
        files += entry.name;
        files += '\0';
        stream += entry.data;
    }
    std::string blocks;
    std::uint16_t blockCount = 0;
    std::size_t at = 0;
    do {
        std::string chunk = stream.substr(at, kMaxBlock);
        std::string sizes;
        Put16(sizes, static_cast<std::uint16_t>(chunk.size()));  // stored: packed size = unpacked size
        Put16(sizes, static_cast<std::uint16_t>(chunk.size()));
        Put32(blocks, Checksum(sizes, Checksum(chunk, 0)));
        blocks += sizes;
        blocks += chunk;
        at += chunk.size();
        ++blockCount;
    } while (at < stream.size());

    const std::size_t filesOffset = kHeaderSize + kFolderSize;
    const std::size_t dataOffset = filesOffset + files.size();
    const std::size_t total = dataOffset + blocks.size();
    std::string cab = "MSCF";
    Put32(cab, 0);
    Put32(cab, static_cast<std::uint32_t>(total));
    Put32(cab, 0);
    Put32(cab, static_cast<std::uint32_t>(filesOffset));
    Put32(cab, 0);
    cab += static_cast<char>(3);  // version 1.3
    cab += static_cast<char>(1);
    Put16(cab, 1);  // folders
    Put16(cab, static_cast<std::uint16_t>(entries.size()));
    Put16(cab, 0);  // flags
    Put16(cab, 0x1234);  // set id
    Put16(cab, 0);  // cabinet number
    Put32(cab, static_cast<std::uint32_t>(dataOffset));
    Put16(cab, blockCount);
    Put16(cab, 0);  // stored
    cab += files;
    cab += blocks;
    return cab;
}

}  // namespace e2e
