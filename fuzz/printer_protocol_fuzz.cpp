// The printer emulator's request matcher: the installer's bytes in any
// amount and split over reads in any way.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tools/printer_sim/printer_emulator.h"

using printer_sim::PrinterKind;
using printer_sim::PrinterProtocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const PrinterKind kind = (data[0] & 1) ? PrinterKind::kLabel : PrinterKind::kReceipt;
    // Byte 1 seeds the read sizes, the rest is the line's bytes.
    unsigned seed = data[1];
    const std::uint8_t* bytes = data + 2;
    const size_t length = size - 2;

    PrinterProtocol whole(kind);
    const int once = whole.Feed(bytes, length);

    PrinterProtocol split(kind);
    int inParts = 0;
    for (size_t at = 0; at < length;) {
        seed = seed * 1103515245u + 12345u;
        const size_t chunk = std::min<size_t>(length - at, 1 + (seed >> 16) % 7);
        inParts += split.Feed(bytes + at, chunk);
        at += chunk;
    }
    if (inParts != once) std::abort();

    // The requests cannot overlap one another: each complete one counts.
    static const std::uint8_t kReceipt[3] = {0x10, 0x04, 0x01};
    static const std::uint8_t kLabel[3] = {0x1B, 0x21, 0x3F};
    const std::uint8_t* request = kind == PrinterKind::kReceipt ? kReceipt : kLabel;
    int expected = 0;
    for (const std::uint8_t* at = bytes; (at = std::search(at, bytes + length, request, request + 3)) != bytes + length;
         at += 3) {
        ++expected;
    }
    if (once != expected) std::abort();
    return 0;
}
