// Archive entry names: whatever a package's headers hold.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/archive_paths.h"

using platform::EntryPathProblem;

namespace {

// What a safe name's parts can never hold, whatever the unpacker.
bool SafePart(const std::string& part) {
    if (part.empty() || part == "." || part == "..") return false;
    if (part.back() == '.' || part.back() == ' ') return false;
    for (size_t i = 0; i < part.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(part[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;  // the trail byte of a double-byte character
            continue;
        }
        if (c < 0x20 || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    const EntryPathProblem problem = platform::CheckArchiveEntryPath(name, &parts);
    std::string joined;
    if (platform::MakeSafeEntryPath(name, &joined) != problem) std::abort();
    if (platform::DescribeEntryPathProblem(problem) == nullptr) std::abort();
    if (problem != EntryPathProblem::kNone) return 0;

    if (parts.empty()) std::abort();
    std::string expected;
    for (const std::string& part : parts) {
        if (!SafePart(part)) std::abort();
        if (!expected.empty()) expected += '\\';
        expected += part;
    }
    if (joined != expected) std::abort();
    // The joined path is what gets written: it must read back the same.
    std::vector<std::string> again;
    if (platform::CheckArchiveEntryPath(joined, &again) != EntryPathProblem::kNone || again != parts) std::abort();
    platform::IsInPackageRoots(parts);
    return 0;
}
