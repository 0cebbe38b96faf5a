// The package's fingerprint: SHA-256 against the standard's own examples
// (FIPS 180-4; the vectors of its example document and NIST's test data).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "package/sha256.h"

namespace {

std::string Digest(const std::string& message) {
    package::Sha256 hash;
    hash.Update(message.data(), message.size());
    return hash.FinishHex();
}

TEST(Sha256, StandardVectors) {
    EXPECT_EQ(Digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 448 bits: the padding no longer fits the block and takes one more.
    EXPECT_EQ(Digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    // A million 'a', fed in pieces that never line up with the 64-byte blocks.
    package::Sha256 streamed;
    const std::string chunk(997, 'a');
    std::size_t fed = 0;
    for (std::size_t size = 1; fed < 1000000; size = size % 131 + 7) {
        const std::size_t take = std::min<std::size_t>({size, chunk.size(), 1000000 - fed});
        streamed.Update(chunk.data(), take);
        fed += take;
    }
    EXPECT_EQ(streamed.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
