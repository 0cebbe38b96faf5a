// The package file a run uses, and its fingerprint for the log and the
// installation record.
#pragma once

#include <string>

#include "platform/files.h"

namespace package {

// The package's path: DriverData.Drv in the working folder. Empty when the
// working folder cannot be read or does not fit a path. The one place that
// decides it for the fingerprint.
std::string PackageFilePath(platform::Files& files);

// The SHA-256 of the file at `path` (64 lower-case hex digits), read through
// `files`; empty when it cannot be opened or read to its end.
std::string HashFile(platform::Files& files, const std::string& path);

}  // namespace package
