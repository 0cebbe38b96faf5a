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

}  // namespace platform
