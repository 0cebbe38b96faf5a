// Turning an archive entry's name into a safe relative Windows path.
//
// Both unpackers (libarchive on the simulated machine, the system's cabinet
// library on Windows) check every entry with this before anything is
// written, so that no entry can land outside the output folder or on a
// device. Pure string work: no system headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

enum class EntryPathProblem {
    kNone,
    kEmpty,               // no name, or only separators
    kAbsolute,            // leading '\' or '/', or a UNC name
    kColon,               // drive letter or alternate data stream
    kDotComponent,        // "." or ".."
    kTrailingDotOrSpace,  // Windows would silently strip it and alias another name
    kDeviceName,          // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$
    kBadCharacter,        // control characters and < > " | ? *
    kBrokenDoubleByte,    // a code page 936 lead byte without a proper trail byte
};

// Checks `entryName` ('/' and '\' both separate) and, when it is safe, sets
// *components to its folder and file names in order (doubled separators and a
// trailing separator, as a folder entry has, are dropped). Returns the first
// problem found, kNone when the name is safe.
EntryPathProblem CheckArchiveEntryPath(std::string_view entryName, std::vector<std::string>* components);

// The same, giving the relative path joined with '\' ("Ticket\x86\uniDRV.DLL").
EntryPathProblem MakeSafeEntryPath(std::string_view entryName, std::string* relativePath);

const char* DescribeEntryPathProblem(EntryPathProblem problem);

// Bounds far above any real driver package (tens of megabytes in a few
// thousand files): a package past either is refused before anything is
// written, like a corrupt one.
inline constexpr std::uint64_t kMaxArchiveTotalBytes = std::uint64_t{1} << 30;
inline constexpr std::size_t kMaxArchiveEntries = 100000;

// Whether a safe entry (its components, as CheckArchiveEntryPath gives
// them) lies in what a driver package is for: the model list
// "DriverName.cfg" and the folders "Ticket" and "Barcode", any case.
bool IsInPackageRoots(const std::vector<std::string>& components);

enum class PackageProblem {
    kNone,
    kEntryPath,       // the name itself is unsafe (see EntryPathProblem)
    kOutsideRoots,    // not DriverName.cfg, nor in the folder Ticket or Barcode
    kCollision,       // names the same file or folder as another entry, case aside
    kTooManyEntries,  // more than kMaxArchiveEntries
    kTooLarge,        // more than kMaxArchiveTotalBytes in all
};

// The whole package's entries, checked one by one as an unpacker's first
// pass reads them, before anything is written. The first problem sticks.
class PackageEntryCheck {
public:
    // Checks one entry; on success *components (if given) receives its
    // folder and file names as CheckArchiveEntryPath gives them.
    PackageProblem Add(std::string_view entryName, std::uint64_t size, bool isFolder,
                       std::vector<std::string>* components = nullptr);
    PackageProblem Problem() const { return m_problem; }
    // The problem and the entry it was found in, for diagnostics.
    std::string Describe() const;

private:
    PackageProblem Fail(PackageProblem problem, std::string_view entryName, const char* detail = nullptr);

    // Every path named so far, case-folded, and whether it is a folder.
    std::unordered_map<std::string, bool> m_seen;
    std::size_t m_entries = 0;
    std::uint64_t m_bytes = 0;
    PackageProblem m_problem = PackageProblem::kNone;
    std::string m_detail;
};

}  // namespace platform
