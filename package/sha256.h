// SHA-256 (FIPS 180-4), fed in pieces of any size: the package's
// fingerprint in the log and in the installation record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace package {

class Sha256 {
public:
    Sha256();

    void Update(const void* data, std::size_t size);
    // The digest of everything fed so far; the object is spent after it.
    std::array<std::uint8_t, 32> Finish();
    // Finish(), as 64 lower-case hexadecimal digits.
    std::string FinishHex();

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_block{};
    std::size_t m_blockUsed = 0;
    std::uint64_t m_totalBytes = 0;
};

}  // namespace package
