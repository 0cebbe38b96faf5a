// Recursive removal of an unpacked folder, and the record of what existed
// before, which the removal spares.
#pragma once

#include <string>
#include <vector>

#include "platform/files.h"

namespace package {

// Every file and folder below `folder` (and the folder itself, when it
// exists), named the way DeleteTree names them. Links and junctions are
// listed but never entered.
std::vector<std::string> CollectTree(platform::Files& files, const std::string& folder);

// Deletes the files below `folder`, bottom-up, then the folder itself;
// returns whether the folder was removed. Paths in `spare` are left alone
// (and so are the folders that still hold them). A link or junction is
// removed as a link, never followed. Failures are passed over: a file that
// cannot be deleted stays, and so does its folder.
bool DeleteTree(platform::Files& files, const std::string& folder, const std::vector<std::string>& spare = {});

// The path as Windows compares file names: ASCII letters in upper case, a
// run of separators ("c:\\Ticket//x86") as one '\'. Equal keys, same file.
std::string PathKey(const std::string& path);

// Whether `path` is in `paths`, compared as Windows compares file names.
bool ContainsPath(const std::vector<std::string>& paths, const std::string& path);

}  // namespace package
