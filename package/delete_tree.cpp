#include "package/delete_tree.h"

#include <cstring>

namespace package {

namespace {

std::string Join(const std::string& folder, const char* name) {
    // Two forward slashes, which the file system takes as one separator.
    return folder + "//" + name;
}

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

bool IsLink(win::DWORD attributes) { return (attributes & win::FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool IsFolder(win::DWORD attributes) { return (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Calls visit(path, attributes) for every entry of `folder`.
template <class Visit>
void ForEachEntry(platform::Files& files, const std::string& folder, Visit visit) {
    const std::string pattern = folder + "//*.*";
    win::WIN32_FIND_DATAA found{};
    win::HANDLE search = files.FindFirstFileA(pattern.c_str(), &found);
    if (search == win::INVALID_HANDLE_VALUE) return;
    do {
        found.cFileName[sizeof(found.cFileName) - 1] = '\0';
        if (!IsDotEntry(found.cFileName)) visit(Join(folder, found.cFileName), found.dwFileAttributes);
    } while (files.FindNextFileA(search, &found));
    files.FindClose(search);
}

}  // namespace

bool DeleteTree(platform::Files& files, const std::string& folder) {
    // A link in the place of the folder is removed as a link; what it points
    // at is not ours.
    const win::DWORD attributes = files.GetFileAttributesA(folder.c_str());
    if (attributes != win::INVALID_FILE_ATTRIBUTES && !IsLink(attributes)) {
        ForEachEntry(files, folder, [&](const std::string& path, win::DWORD entryAttributes) {
            if (IsFolder(entryAttributes)) {
                DeleteTree(files, path);
            } else {
                files.DeleteFileA(path.c_str());
            }
        });
    }
    return files.RemoveDirectoryA(folder.c_str()) != 0;
}

}  // namespace package
