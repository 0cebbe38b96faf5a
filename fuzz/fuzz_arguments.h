// A command line from fuzzer bytes: the arguments separated by zero bytes,
// as a process receives them (no input: no argument at all).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

inline std::vector<std::string> ArgumentsFromBytes(const std::uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    const char* text = reinterpret_cast<const char*>(data);
    for (size_t start = 0; start <= size && size > 0;) {
        const char* zero = static_cast<const char*>(std::find(text + start, text + size, '\0'));
        arguments.emplace_back(text + start, zero);
        start = static_cast<size_t>(zero - text) + 1;
    }
    return arguments;
}

}  // namespace fuzz
