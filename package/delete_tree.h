// Recursive removal of the folder the package was unpacked into.
#pragma once

#include <string>

#include "platform/files.h"

namespace package {

// Deletes the files below `folder`, bottom-up, then the folder itself;
// returns whether the folder was removed. A link or junction is removed as
// a link, never followed. Failures are passed over: a file that cannot be
// deleted stays, and so does its folder.
bool DeleteTree(platform::Files& files, const std::string& folder);

}  // namespace package
