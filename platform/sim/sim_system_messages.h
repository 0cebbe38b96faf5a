// Simulated machine: the system's texts for error codes, as FormatMessageA
// gives them on an English Windows (without the trailing line break).
#pragma once

#include <string>

#include "platform/win_types.h"

namespace platform::sim {

// A code the system has no text for gives "Unknown error <code>.", the
// text the Windows backend also falls back to.
std::string SystemMessageText(win::DWORD code);

}  // namespace platform::sim
