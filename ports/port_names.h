// How the installer reads port names and descriptions.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace ports {

// Whether `name` begins with `prefix`, compared exactly and with case.
bool BeginsWith(const char* name, const char* prefix);
inline bool BeginsWith(const std::string& name, const char* prefix) { return BeginsWith(name.c_str(), prefix); }

// Descriptions of standard TCP/IP ports, on English and Chinese systems.
bool IsTcpIpDescription(const char* description);
// A standard TCP/IP port: its monitor is "Standard TCP/IP Port", a name
// Windows does not translate, or its description is one of the above (the
// description is translated with the display language).
bool IsTcpIpPort(const char* monitor, const char* description);

// The string held by registry data of `size` bytes, which may or may not
// carry its terminating zero.
std::string StringFromRegistryData(const win::BYTE* data, win::DWORD size);

// The number n of a serial entry "COMn:", or 0 when the entry is not of
// that form or the number is out of range.
int ParseComPortNumber(const std::string& entry);

}  // namespace ports
