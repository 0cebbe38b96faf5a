// The package file a run uses, and its fingerprint for the log and the
// installation record.
#pragma once

#include <string>

#include "platform/files.h"

namespace package {

// The package's path: DriverData.Drv in the working folder, or beside the
// program when the working folder has none; the working folder's path
// (which may not exist) when neither has one, and empty when not even the
// working folder can be read. The one place that decides which file the
// run unpacks and fingerprints.
std::string PackageFilePath(platform::Files& files);

// The SHA-256 of the file at `path` (64 lower-case hex digits), read through
// `files`; empty when it cannot be opened or read to its end.
std::string HashFile(platform::Files& files, const std::string& path);

}  // namespace package
