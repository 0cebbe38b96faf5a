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

void Collect(platform::Files& files, const std::string& folder, std::vector<std::string>* out) {
    ForEachEntry(files, folder, [&](const std::string& path, win::DWORD attributes) {
        out->push_back(path);
        if (IsFolder(attributes) && !IsLink(attributes)) Collect(files, path, out);
    });
}

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string PathKey(const std::string& path) {
    std::string key;
    key.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < path.size()) {
            // A double-byte character of code page 936: taken as it is.
            key.append(path, i, 2);
            ++i;
        } else if (IsSeparator(path[i])) {
            if (key.empty() || key.back() != '\\') key.push_back('\\');
        } else {
            key.push_back(FoldCase(path[i]));
        }
    }
    return key;
}

namespace {

bool SamePath(const std::string& a, const std::string& b) { return PathKey(a) == PathKey(b); }

}  // namespace

std::vector<std::string> CollectTree(platform::Files& files, const std::string& folder) {
    std::vector<std::string> paths;
    const win::DWORD attributes = files.GetFileAttributesA(folder.c_str());
    if (attributes == win::INVALID_FILE_ATTRIBUTES) return paths;
    paths.push_back(folder);
    if (IsFolder(attributes) && !IsLink(attributes)) Collect(files, folder, &paths);
    return paths;
}

bool ContainsPath(const std::vector<std::string>& paths, const std::string& path) {
    for (const std::string& candidate : paths) {
        if (SamePath(candidate, path)) return true;
    }
    return false;
}

bool DeleteTree(platform::Files& files, const std::string& folder, const std::vector<std::string>& spare) {
    // A link in the place of the folder is removed as a link; what it points
    // at is not ours.
    const win::DWORD attributes = files.GetFileAttributesA(folder.c_str());
    if (attributes != win::INVALID_FILE_ATTRIBUTES && !IsLink(attributes)) {
        ForEachEntry(files, folder, [&](const std::string& path, win::DWORD entryAttributes) {
            if (IsFolder(entryAttributes)) {
                // A spared folder is still emptied of what was not there
                // before; it is only not removed itself.
                DeleteTree(files, path, spare);
            } else if (!ContainsPath(spare, path)) {
                files.DeleteFileA(path.c_str());
            }
        });
    }
    if (ContainsPath(spare, folder)) return false;
    return files.RemoveDirectoryA(folder.c_str()) != 0;
}

}  // namespace package
