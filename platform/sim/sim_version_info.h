// Simulated machine: files' version resources. The simulation has no PE
// loader, so a file's version resource is a VS_VERSIONINFO block among its
// bytes (SimFiles::SetFileVersion appends one); it travels with every copy,
// as a real resource does. Only the root block with its VS_FIXEDFILEINFO is
// written or read ("VS_VERSIONINFO structure").
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace platform::sim {

// The block for version a.b.c.d (file and product version alike).
std::string VersionBlock(win::WORD major, win::WORD minor, win::WORD build, win::WORD revision);
// The first well-formed block among `bytes`; nullopt when there is none.
std::optional<std::string> FindVersionBlock(const std::string& bytes);
// VerQueryValueA on a block: "\\" gives its VS_FIXEDFILEINFO; any other
// sub-block is not found (FALSE).
win::BOOL QueryVersionBlock(const void* block, const char* subBlock, void** buffer, win::UINT* length);

}  // namespace platform::sim
