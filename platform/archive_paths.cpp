// Archive entry names checked before an unpacker writes anything.
#include "platform/archive_paths.h"

namespace platform {

namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

// Windows opens the device whatever the extension ("nul.txt") and ignores
// blanks before it ("CON .log").
bool IsDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (EqualsNoCase(base, device)) return true;
    }
    if (base.size() == 4 && base[3] >= '1' && base[3] <= '9') {
        std::string_view stem = base.substr(0, 3);
        if (EqualsNoCase(stem, "COM") || EqualsNoCase(stem, "LPT")) return true;
    }
    return false;
}

EntryPathProblem CheckComponent(std::string_view component) {
    if (component == "." || component == "..") return EntryPathProblem::kDotComponent;
    char last = component.back();
    if (last == '.' || last == ' ') return EntryPathProblem::kTrailingDotOrSpace;
    if (IsDeviceName(component)) return EntryPathProblem::kDeviceName;
    return EntryPathProblem::kNone;
}

}  // namespace

EntryPathProblem CheckArchiveEntryPath(std::string_view entryName, std::vector<std::string>* components) {
    std::vector<std::string> parts;
    if (entryName.empty()) return EntryPathProblem::kEmpty;
    if (IsSeparator(entryName.front())) return EntryPathProblem::kAbsolute;

    std::string current;
    for (size_t i = 0; i < entryName.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(entryName[i]);
        if (IsLeadByte(c)) {
            // A '\' after a lead byte is a trail byte to the cabinet library
            // and a separator to libarchive: refuse what the two could read
            // differently, and a lead byte with nothing after it.
            if (i + 1 >= entryName.size()) return EntryPathProblem::kBrokenDoubleByte;
            unsigned char trail = static_cast<unsigned char>(entryName[i + 1]);
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF || trail == '\\') {
                return EntryPathProblem::kBrokenDoubleByte;
            }
            current.push_back(static_cast<char>(c));
            current.push_back(static_cast<char>(trail));
            ++i;
            continue;
        }
        if (c < 0x20) return EntryPathProblem::kBadCharacter;
        if (c == ':') return EntryPathProblem::kColon;
        if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
            return EntryPathProblem::kBadCharacter;
        }
        if (IsSeparator(static_cast<char>(c))) {
            if (!current.empty()) {
                EntryPathProblem problem = CheckComponent(current);
                if (problem != EntryPathProblem::kNone) return problem;
                parts.push_back(current);
                current.clear();
            }
            continue;
        }
        current.push_back(static_cast<char>(c));
    }
    if (!current.empty()) {
        EntryPathProblem problem = CheckComponent(current);
        if (problem != EntryPathProblem::kNone) return problem;
        parts.push_back(current);
    }
    if (parts.empty()) return EntryPathProblem::kEmpty;
    if (components) *components = std::move(parts);
    return EntryPathProblem::kNone;
}

EntryPathProblem MakeSafeEntryPath(std::string_view entryName, std::string* relativePath) {
    std::vector<std::string> parts;
    EntryPathProblem problem = CheckArchiveEntryPath(entryName, &parts);
    if (problem != EntryPathProblem::kNone) return problem;
    if (relativePath) {
        relativePath->clear();
        for (const std::string& part : parts) {
            if (!relativePath->empty()) relativePath->push_back('\\');
            relativePath->append(part);
        }
    }
    return EntryPathProblem::kNone;
}

bool IsInPackageRoots(const std::vector<std::string>& components) {
    if (components.empty()) return false;
    const std::string& top = components.front();
    if (components.size() == 1 && EqualsNoCase(top, "DriverName.cfg")) return true;
    return EqualsNoCase(top, "Ticket") || EqualsNoCase(top, "Barcode");
}

namespace {

// The name as NTFS compares it: ASCII letters, and the full-width Latin,
// Greek and Cyrillic letters of code page 936, folded to upper case.
std::string FoldForCollision(const std::string& name) {
    std::string folded;
    folded.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            unsigned char trail = static_cast<unsigned char>(name[i + 1]);
            const bool lower = (c == 0xA3 && trail >= 0xE1 && trail <= 0xFA) ||  // full-width Latin
                               (c == 0xA6 && trail >= 0xC1 && trail <= 0xD8);    // Greek
            if (lower) trail = static_cast<unsigned char>(trail - 0x20);
            if (c == 0xA7 && trail >= 0xD1 && trail <= 0xF1) trail = static_cast<unsigned char>(trail - 0x30);  // Cyrillic
            folded.push_back(static_cast<char>(c));
            folded.push_back(static_cast<char>(trail));
            ++i;
            continue;
        }
        folded.push_back(AsciiUpper(static_cast<char>(c)));
    }
    return folded;
}

}  // namespace

PackageProblem PackageEntryCheck::Fail(PackageProblem problem, std::string_view entryName, const char* detail) {
    if (m_problem == PackageProblem::kNone) {
        m_problem = problem;
        m_detail = std::string(entryName);
        if (detail != nullptr) m_detail += std::string(" (") + detail + ")";
    }
    return problem;
}

PackageProblem PackageEntryCheck::Add(std::string_view entryName, std::uint64_t size, bool isFolder,
                                      std::vector<std::string>* components) {
    if (m_problem != PackageProblem::kNone) return m_problem;
    std::vector<std::string> parts;
    EntryPathProblem pathProblem = CheckArchiveEntryPath(entryName, &parts);
    if (pathProblem != EntryPathProblem::kNone) {
        return Fail(PackageProblem::kEntryPath, entryName, DescribeEntryPathProblem(pathProblem));
    }
    // A folder entry of a root itself ("Ticket\") is in the roots too.
    if (!IsInPackageRoots(parts)) return Fail(PackageProblem::kOutsideRoots, entryName);
    if (++m_entries > kMaxArchiveEntries) return Fail(PackageProblem::kTooManyEntries, entryName);
    if (size > kMaxArchiveTotalBytes - m_bytes) return Fail(PackageProblem::kTooLarge, entryName);
    m_bytes += size;

    // Each folder on the way must not be a file of another entry, and the
    // entry itself must not be named twice (two folder entries may be).
    std::string key;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) key.push_back('\\');
        key += FoldForCollision(parts[i]);
        const bool folder = isFolder || i + 1 < parts.size();
        auto [it, inserted] = m_seen.emplace(key, folder);
        if (!inserted && !(it->second && folder)) return Fail(PackageProblem::kCollision, entryName);
    }
    if (components != nullptr) *components = std::move(parts);
    return PackageProblem::kNone;
}

std::string PackageEntryCheck::Describe() const {
    const char* what = "";
    switch (m_problem) {
        case PackageProblem::kNone: return "no problem";
        case PackageProblem::kEntryPath: what = "unsafe name"; break;
        case PackageProblem::kOutsideRoots: what = "outside DriverName.cfg, Ticket and Barcode"; break;
        case PackageProblem::kCollision: what = "names the same file or folder as another entry"; break;
        case PackageProblem::kTooManyEntries: what = "too many entries"; break;
        case PackageProblem::kTooLarge: what = "too many bytes in all"; break;
    }
    return std::string(what) + ": " + m_detail;
}

const char* DescribeEntryPathProblem(EntryPathProblem problem) {
    switch (problem) {
        case EntryPathProblem::kNone: return "safe";
        case EntryPathProblem::kEmpty: return "empty name";
        case EntryPathProblem::kAbsolute: return "absolute path";
        case EntryPathProblem::kColon: return "drive letter or stream name";
        case EntryPathProblem::kDotComponent: return "'.' or '..' component";
        case EntryPathProblem::kTrailingDotOrSpace: return "name ending in '.' or ' '";
        case EntryPathProblem::kDeviceName: return "device name";
        case EntryPathProblem::kBadCharacter: return "character not allowed in a file name";
        case EntryPathProblem::kBrokenDoubleByte: return "broken double-byte character";
    }
    return "unknown";
}

}  // namespace platform
