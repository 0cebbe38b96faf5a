// The printer's reply on the simulated machine: bytes of any value reach
// the line in pieces of any size, and the installer's port hands back
// exactly those bytes, in order, however it asks for them. A lost byte
// hangs the read, which the fuzzer reports as a timeout.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/sim/sim_serial.h"
#include "tools/printer_sim/pty_pair.h"

namespace {

struct Line {
    Line() {
        if (!printer.ok()) std::abort();
        serial.MapPort(1, printer.slavePath());
        port = serial.CreateFileA("\\\\.\\COM1", win::GENERIC_READ | win::GENERIC_WRITE, 0, nullptr,
                                  win::OPEN_EXISTING, win::FILE_FLAG_OVERLAPPED, nullptr);
        done = serial.CreateEventA(nullptr, 1, 0, nullptr);
        if (port == win::INVALID_HANDLE_VALUE || done == nullptr) std::abort();
    }
    platform::sim::SimEnv env;
    platform::sim::SimSerial serial{env};
    printer_sim::PtyPair printer;
    win::HANDLE port = nullptr;
    win::HANDLE done = nullptr;
};

// Reads `count` bytes in reads of at most `step`, as they come.
std::vector<std::uint8_t> Receive(Line& line, size_t count, size_t step) {
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < count) {
        std::uint8_t buffer[64];
        const auto wanted = static_cast<win::DWORD>(std::min(count - bytes.size(), step));
        win::OVERLAPPED overlap{};
        overlap.hEvent = line.done;
        win::DWORD got = 0;
        if (!line.serial.ReadFile(line.port, buffer, wanted, &got, &overlap)) {
            if (platform::sim::LastError() != win::ERROR_IO_PENDING) std::abort();
            if (!line.serial.GetOverlappedResult(line.port, &overlap, &got, 1)) std::abort();
        }
        if (got == 0 || got > wanted) std::abort();
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static Line line;
    if (size < 2) return 0;
    line.env.ClearCalls();
    // Byte 0: the size of the port's reads; byte 1 seeds the pieces the
    // line delivers; the rest is the reply.
    const size_t step = 1 + data[0] % 64;
    unsigned seed = data[1];
    for (size_t at = 2; at < size;) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = std::min<size_t>(size - at, 1 + (seed >> 16) % 97);
        const std::vector<std::uint8_t> sent(data + at, data + at + piece);
        line.printer.Write(sent);
        if (Receive(line, piece, step) != sent) std::abort();
        win::DWORD errors = 0;
        win::COMSTAT status{};
        if (!line.serial.ClearCommError(line.port, &errors, &status) || status.cbInQue != 0) std::abort();
        at += piece;
    }
    return 0;
}
