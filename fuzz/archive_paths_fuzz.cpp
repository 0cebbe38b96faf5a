// Archive entry names: whatever a package's headers hold, one a line, each
// checked alone and then all of them as one package.
#include <algorithm>
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

void CheckName(std::string_view name) {
    std::vector<std::string> parts;
    const EntryPathProblem problem = platform::CheckArchiveEntryPath(name, &parts);
    std::string joined;
    if (platform::MakeSafeEntryPath(name, &joined) != problem) std::abort();
    if (platform::DescribeEntryPathProblem(problem) == nullptr) std::abort();
    if (problem != EntryPathProblem::kNone) return;

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
}

bool IsFolderEntry(std::string_view name) { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> names;
    for (size_t start = 0; start <= size;) {
        const size_t end = std::min(text.find('\n', start), size);
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    platform::PackageEntryCheck package;
    for (std::string_view name : names) {
        CheckName(name);
        const platform::PackageProblem before = package.Problem();
        std::vector<std::string> parts;
        const platform::PackageProblem problem = package.Add(name, 0, IsFolderEntry(name), &parts);
        if (before != platform::PackageProblem::kNone && problem != before) std::abort();  // the first one sticks
        if (problem != platform::PackageProblem::kNone) continue;
        // What the package accepts is a safe name in its places, and only once.
        if (!platform::IsInPackageRoots(parts)) std::abort();
        if (platform::CheckArchiveEntryPath(name, nullptr) != EntryPathProblem::kNone) std::abort();
        if (!IsFolderEntry(name)) {
            platform::PackageEntryCheck twice = package;
            if (twice.Add(name, 0, false) != platform::PackageProblem::kCollision) std::abort();
        }
    }
    return 0;
}
