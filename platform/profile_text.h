// Profile (.ini) files as the Windows profile functions read them, from the
// file's bytes: what GetPrivateProfileSectionNamesA and
// GetPrivateProfileStringA answer. Both backends use it, so that the
// program's code page 936 files read the same whatever the system's ANSI
// code page (the system's own functions read a file in that code page).
//
// The rules: lines end in CR, LF or CRLF, the last one need not; blanks
// around section names, keys and values are dropped; "[name]" starts a
// section (the name runs to the line's last ']'); a line without '=' names
// no value; lines starting with ';' are comments. Names compare without
// case (ASCII letters; a lead byte 0x81-0xFE and the byte after it are one
// character, compared as they are); only the first section of a duplicated
// name is searched, but every one is listed. The bytes pass through
// unchanged.
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace platform {

// `file` is the file's bytes, or nothing when there is no such file.
// `buffer` is not null and `size` not 0.
win::DWORD ProfileSectionNames(const std::optional<std::string>& file, char* buffer, win::DWORD size);
win::DWORD ProfileString(const std::optional<std::string>& file, const char* appName, const char* keyName,
                         const char* defaultValue, char* buffer, win::DWORD size);

}  // namespace platform
