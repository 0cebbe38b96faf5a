// Simulated machine (Linux host): the C:\ tree in a sandbox folder.
#include "platform/sim/sim_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/sim/sim_version_info.h"
#include "platform/sim/sim_wow64.h"

namespace platform::sim {

namespace {

constexpr win::DWORD kErrorDirectory = 267;  // ERROR_DIRECTORY: not a folder
constexpr win::DWORD kErrorInsufficientBuffer = 122;
constexpr win::DWORD kErrorModNotFound = 126;
constexpr win::DWORD kErrorInvalidSecurityDescriptor = 1338;
// An elevated administrator's process owns what it makes as the group.
constexpr const char* kProcessOwner = "Administrators";

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool LstatOk(const std::string& path, struct stat* st) { return ::lstat(path.c_str(), st) == 0; }

std::vector<std::string> ListHostFolder(const std::string& hostPath) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(hostPath.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

bool WriteHostFileAtomically(const std::string& hostPath, const std::string& bytes, mode_t mode) {
    std::string temp = hostPath + ".~simtmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    ::fchmod(fd, mode);
    ::close(fd);
    if (::rename(temp.c_str(), hostPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool IsReadOnlyMode(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

bool IsLead(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x81 && u <= 0xFE;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// One character: a double-byte pair or a single byte.
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> units;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLead(text[i]) && i + 1 < text.size()) {
            units.push_back(text.substr(i, 2));
            ++i;
        } else {
            units.emplace_back(1, Upper(text[i]));
        }
    }
    return units;
}

bool MatchUnits(const std::vector<std::string>& pattern, size_t p, const std::vector<std::string>& name, size_t n) {
    while (p < pattern.size()) {
        if (pattern[p] == "*") {
            while (p < pattern.size() && pattern[p] == "*") ++p;
            if (p == pattern.size()) return true;
            for (size_t k = n; k <= name.size(); ++k) {
                if (MatchUnits(pattern, p, name, k)) return true;
            }
            return false;
        }
        if (n >= name.size()) return false;
        if (pattern[p] != "?" && pattern[p] != name[n]) return false;
        ++p;
        ++n;
    }
    return n == name.size();
}

void AppendComponents(const std::string& text, std::vector<std::string>* components) {
    std::string current;
    auto flush = [&]() {
        if (current.empty() || current == ".") {
        } else if (current == "..") {
            if (!components->empty()) components->pop_back();
        } else {
            components->push_back(current);
        }
        current.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLead(text[i]) && i + 1 < text.size()) {
            current.append(text, i, 2);
            ++i;
        } else if (IsSep(text[i])) {
            flush();
        } else {
            current.push_back(text[i]);
        }
    }
    flush();
}

}  // namespace

bool NamesEqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    return Characters(a) == Characters(b);
}

std::string UpperCaseKey(const std::string& name) {
    std::string key;
    for (const std::string& unit : Characters(name)) key += unit;
    return key;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    return MatchUnits(Characters(pattern), 0, Characters(name), 0);
}

bool SplitWindowsPath(const std::string& path, const std::string& currentDirectory,
                      std::vector<std::string>* components) {
    components->clear();
    if (path.empty()) return false;
    std::string rest = path;
    if (path.size() >= 2 && path[1] == ':') {
        if (path[0] != 'C' && path[0] != 'c') return false;
        rest = path.substr(2);
        if (rest.empty() || !IsSep(rest[0])) AppendComponents(currentDirectory.substr(2), components);
    } else if (path.size() >= 2 && IsSep(path[0]) && IsSep(path[1])) {
        return false;  // a UNC name: no network in this machine
    } else if (!IsSep(path[0])) {
        AppendComponents(currentDirectory.substr(2), components);
    }
    AppendComponents(rest, components);
    // Windows drops trailing dots and blanks from the last name.
    if (!components->empty()) {
        std::string& last = components->back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
        if (last.empty()) components->pop_back();
    }
    return true;
}

SimFiles::SimFiles(SimEnv& env, std::string sandboxRoot)
    : m_env(env),
      m_hostRoot(std::move(sandboxRoot) + "/c"),
      m_caller{kProcessOwner,
               {kPrincipalSystem, kPrincipalAdministrators, kPrincipalUsers, kPrincipalAuthenticatedUsers}} {
    ::mkdir(m_hostRoot.c_str(), 0755);
    for (const char* folder : {"C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\SysWOW64", "C:\\Windows\\Temp",
                               "C:\\Windows\\SystemTemp", "C:\\Setup"}) {
        CreateFolders(folder);
    }
}

SimFiles::~SimFiles() {
    for (const auto& file : m_openFiles) {
        if (file.second >= 0) ::close(file.second);
    }
}

win::HANDLE SimFiles::CreateFileA(const char* fileName, win::DWORD desiredAccess, win::DWORD,
                                  const win::SECURITY_ATTRIBUTES*, win::DWORD creationDisposition,
                                  win::DWORD flagsAndAttributes, win::HANDLE) {
    if (Fault("CreateFileA")) return win::INVALID_HANDLE_VALUE;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const bool writes = (desiredAccess & (win::GENERIC_WRITE | win::FILE_APPEND_DATA)) != 0;
    const bool reads = desiredAccess == win::GENERIC_READ;
    if (fileName == nullptr || (creationDisposition != win::OPEN_EXISTING && creationDisposition != win::OPEN_ALWAYS) ||
        writes == reads || (reads && creationDisposition != win::OPEN_EXISTING)) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return win::INVALID_HANDLE_VALUE;
    }
    const Resolution r = ResolveLocked(CallerPath(fileName));
    if (r.error || r.isRoot || r.isDirectory) {
        SetLastError(r.error ? r.error : win::ERROR_ACCESS_DENIED);
        return win::INVALID_HANDLE_VALUE;
    }
    if (!r.exists && creationDisposition == win::OPEN_EXISTING) {
        SetLastError(win::ERROR_FILE_NOT_FOUND);
        return win::INVALID_HANDLE_VALUE;
    }
    int fd = -1;
    if (r.isLink && (flagsAndAttributes & win::FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
        // The link itself: nothing is written through it here.
    } else {
        if (r.isLink) {
            // Windows follows it; the simulation only as far as its own tree.
            char* target = ::realpath(r.hostPath.c_str(), nullptr);
            char* root = ::realpath(m_hostRoot.c_str(), nullptr);
            const bool inside = target != nullptr && root != nullptr &&
                                std::strncmp(target, root, std::strlen(root)) == 0 &&
                                target[std::strlen(root)] == '/';
            std::free(target);
            std::free(root);
            if (!inside) {
                CountLinkRefusal();
                SetLastError(win::ERROR_ACCESS_DENIED);
                return win::INVALID_HANDLE_VALUE;
            }
        }
        const int append = (desiredAccess & win::GENERIC_WRITE) != 0 ? 0 : O_APPEND;
        fd = reads ? ::open(r.hostPath.c_str(), O_RDONLY | O_CLOEXEC)
                   : ::open(r.hostPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | append, 0644);
        if (fd < 0) {
            SetLastError(errno == ENOENT ? win::ERROR_PATH_NOT_FOUND : win::ERROR_ACCESS_DENIED);
            return win::INVALID_HANDLE_VALUE;
        }
        if (!r.exists) NoteEntryLocked(r.hostPath, true);
    }
    // The handle keeps the host path of a link, to report it.
    m_nextFindHandle += 4;
    m_openFiles[m_nextFindHandle] = fd;
    if (fd < 0) m_openLinks[m_nextFindHandle] = r.hostPath;
    SetLastError(r.exists && creationDisposition == win::OPEN_ALWAYS ? win::ERROR_ALREADY_EXISTS : win::ERROR_SUCCESS);
    return reinterpret_cast<win::HANDLE>(m_nextFindHandle);
}

win::BOOL SimFiles::GetFileInformationByHandle(win::HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) {
    if (Fault("GetFileInformationByHandle")) return 0;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_openFiles.find(reinterpret_cast<std::uintptr_t>(file));
    if (it == m_openFiles.end() || information == nullptr) {
        SetLastError(it == m_openFiles.end() ? win::ERROR_INVALID_HANDLE : win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct stat st;
    const bool ok = it->second >= 0 ? ::fstat(it->second, &st) == 0
                                    : ::lstat(m_openLinks[it->first].c_str(), &st) == 0;
    if (!ok) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return 0;
    }
    *information = {};
    information->dwFileAttributes =
        it->second >= 0 ? win::FILE_ATTRIBUTE_ARCHIVE : win::FILE_ATTRIBUTE_REPARSE_POINT | win::FILE_ATTRIBUTE_ARCHIVE;
    const auto size = static_cast<unsigned long long>(st.st_size);
    information->nFileSizeHigh = static_cast<win::DWORD>(size >> 32);
    information->nFileSizeLow = static_cast<win::DWORD>(size);
    information->nNumberOfLinks = static_cast<win::DWORD>(st.st_nlink);
    information->nFileIndexHigh = static_cast<win::DWORD>(static_cast<unsigned long long>(st.st_ino) >> 32);
    information->nFileIndexLow = static_cast<win::DWORD>(st.st_ino);
    return 1;
}

bool SimFiles::ResolveExistingLocked(const char* fileName, Resolution* r) const {
    *r = ResolveLocked(CallerPath(fileName));
    if (r->error) {
        SetLastError(r->error);
        return false;
    }
    if (!r->exists) {
        SetLastError(win::ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

bool SimFiles::OpenDescriptor(win::HANDLE file, int* fd) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_openFiles.find(reinterpret_cast<std::uintptr_t>(file));
    if (it == m_openFiles.end()) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return false;
    }
    *fd = it->second;
    return true;
}

win::BOOL SimFiles::WriteFile(win::HANDLE file, const void* buffer, win::DWORD toWrite, win::DWORD* written) {
    if (written != nullptr) *written = 0;
    if (Fault("WriteFile")) return 0;
    int fd = -1;
    if (!OpenDescriptor(file, &fd)) return 0;
    if (fd < 0) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    const char* bytes = static_cast<const char*>(buffer);
    win::DWORD done = 0;
    while (done < toWrite) {
        const ssize_t n = ::write(fd, bytes + done, toWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastError(errno == ENOSPC ? 112 /* ERROR_DISK_FULL */ : win::ERROR_ACCESS_DENIED);
            if (written != nullptr) *written = done;
            return 0;
        }
        done += static_cast<win::DWORD>(n);
    }
    if (written != nullptr) *written = done;
    return 1;
}

win::BOOL SimFiles::ReadFile(win::HANDLE file, void* buffer, win::DWORD toRead, win::DWORD* read) {
    if (read != nullptr) *read = 0;
    if (Fault("ReadFile")) return 0;
    int fd = -1;
    if (!OpenDescriptor(file, &fd)) return 0;
    ssize_t n = -1;
    if (fd >= 0) {
        do {
            n = ::read(fd, buffer, toRead);
        } while (n < 0 && errno == EINTR);
    }
    if (n < 0) {
        // A handle opened to write, or a link opened itself.
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    if (read != nullptr) *read = static_cast<win::DWORD>(n);
    return 1;
}

win::DWORD SimFiles::GetFileVersionInfoSizeA(const char* fileName, win::DWORD* handle) {
    if (handle != nullptr) *handle = 0;
    if (Fault("GetFileVersionInfoSizeA")) return 0;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const Resolution r = ResolveLocked(CallerPath(fileName));
    if (r.error || !r.exists || r.isDirectory || r.isLink) {
        SetLastError(r.error ? r.error : win::ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const std::optional<std::string> bytes = ReadHostFile(r.hostPath);
    const std::optional<std::string> block = bytes ? FindVersionBlock(*bytes) : std::nullopt;
    if (!block) {
        SetLastError(win::ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<win::DWORD>(block->size());
}

win::BOOL SimFiles::GetFileVersionInfoA(const char* fileName, win::DWORD, win::DWORD length, void* data) {
    if (Fault("GetFileVersionInfoA")) return 0;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const Resolution r = ResolveLocked(CallerPath(fileName));
    if (r.error || !r.exists || r.isDirectory || r.isLink || data == nullptr) {
        SetLastError(r.error ? r.error : data == nullptr ? win::ERROR_INVALID_PARAMETER : win::ERROR_FILE_NOT_FOUND);
        return 0;
    }
    const std::optional<std::string> bytes = ReadHostFile(r.hostPath);
    const std::optional<std::string> block = bytes ? FindVersionBlock(*bytes) : std::nullopt;
    if (!block) {
        SetLastError(win::ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    // A buffer shorter than the block gets its beginning, as on Windows.
    std::memcpy(data, block->data(), std::min<std::size_t>(length, block->size()));
    return 1;
}

win::BOOL SimFiles::VerQueryValueA(const void* block, const char* subBlock, void** buffer, win::UINT* length) {
    m_env.Record("VerQueryValueA");
    return QueryVersionBlock(block, subBlock, buffer, length);
}

bool SimFiles::SetFileVersion(const std::string& winPath, win::WORD major, win::WORD minor, win::WORD build,
                              win::WORD revision) {
    std::optional<std::string> bytes = ReadFile(winPath);
    if (!bytes) return false;
    return WriteFile(winPath, *bytes + VersionBlock(major, minor, build, revision));
}

win::BOOL SimFiles::CloseHandle(win::HANDLE file) {
    if (Fault("CloseHandle")) return 0;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_openFiles.find(reinterpret_cast<std::uintptr_t>(file));
    if (it == m_openFiles.end()) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return 0;
    }
    if (it->second >= 0) ::close(it->second);
    m_openLinks.erase(it->first);
    m_openFiles.erase(it);
    return 1;
}

bool SimFiles::Fault(const char* operation) {
    win::DWORD error = 0;
    if (m_env.TakeFault(operation, &error)) {
        SetLastError(error);
        return true;
    }
    return false;
}

void SimFiles::CountLinkRefusal() const { ++m_linkRefusals; }

int SimFiles::LinkRefusals() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_linkRefusals;
}

std::string SimFiles::CallerPath(const char* winPath) const {
    std::string path = winPath ? winPath : "";
    std::vector<std::string> components;
    if (!m_wow64Redirection || SimEnv::InternalScope::Active() ||
        m_redirectionOff.count(std::this_thread::get_id()) != 0 ||
        !SplitWindowsPath(path, m_currentDirectory, &components)) {
        return path;
    }
    std::string redirected = "C:";
    for (const std::string& name : Wow64FileComponents(std::move(components), m_hasSysnative)) {
        redirected += "\\" + name;
    }
    return redirected.size() == 2 ? "C:\\" : redirected;
}

namespace {

void StatusOf(const struct stat& st, std::uint64_t* status) {
    const std::uint64_t values[7] = {
        static_cast<std::uint64_t>(st.st_ino),          static_cast<std::uint64_t>(st.st_mtim.tv_sec),
        static_cast<std::uint64_t>(st.st_mtim.tv_nsec), static_cast<std::uint64_t>(st.st_ctim.tv_sec),
        static_cast<std::uint64_t>(st.st_ctim.tv_nsec), static_cast<std::uint64_t>(st.st_size),
        static_cast<std::uint64_t>(st.st_nlink)};
    std::copy(values, values + 7, status);
}

}  // namespace

bool SimFiles::FolderIndex::Matches(const struct stat& st) const {
    std::uint64_t now[7];
    StatusOf(st, now);
    return std::equal(now, now + 7, status);
}

void SimFiles::FolderIndex::Take(const struct stat& st) { StatusOf(st, status); }

// The host name of `component` in the folder: the entry that equals it
// without regard to case, or the component itself when there is none. A
// name spelled as on disk is found at once; any other spelling through the
// folder's index of names, so the cost does not grow with the folder. The
// index is rebuilt when the folder changed behind the simulation's back
// (its host status differs); the simulation's own changes keep it current
// (NoteEntryLocked).
std::string SimFiles::MatchInFolderLocked(const std::string& hostFolder, const std::string& component,
                                          bool* found) const {
    struct stat st;
    if (LstatOk(hostFolder + "/" + component, &st)) {
        *found = true;
        return component;
    }
    *found = false;
    if (!LstatOk(hostFolder, &st) || !S_ISDIR(st.st_mode)) return component;
    FolderIndex& index = m_folderIndex[hostFolder];
    const std::string key = UpperCaseKey(component);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0 || !index.built || !index.Matches(st)) {
            index.names.clear();
            for (const std::string& name : ListHostFolder(hostFolder)) index.names.emplace(UpperCaseKey(name), name);
            index.Take(st);
            index.built = true;
        }
        auto it = index.names.find(key);
        if (it == index.names.end()) return component;
        struct stat entry;
        if (LstatOk(hostFolder + "/" + it->second, &entry)) {
            *found = true;
            return it->second;
        }
    }
    return component;
}

void SimFiles::NoteEntryLocked(const std::string& hostPath, bool present) const {
    size_t cut = hostPath.find_last_of('/');
    if (cut == std::string::npos) return;
    auto it = m_folderIndex.find(hostPath.substr(0, cut));
    if (it == m_folderIndex.end()) return;
    FolderIndex& index = it->second;
    struct stat st;
    if (!index.built || !LstatOk(it->first, &st)) {
        m_folderIndex.erase(it);
        return;
    }
    const std::string name = hostPath.substr(cut + 1);
    if (present) {
        index.names.emplace(UpperCaseKey(name), name);
    } else {
        auto entry = index.names.find(UpperCaseKey(name));
        if (entry != index.names.end() && entry->second == name) index.names.erase(entry);
    }
    index.Take(st);
}

bool SimFiles::PlaceHostFile(const std::string& hostTemporary, const std::string& hostTarget) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (::rename(hostTemporary.c_str(), hostTarget.c_str()) != 0) return false;
    NoteEntryLocked(hostTarget, true);
    return true;
}

SimFiles::Resolution SimFiles::Resolve(const std::string& winPath) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return ResolveLocked(winPath);
}

SimFiles::Resolution SimFiles::ResolveLocked(const std::string& winPath) const {
    Resolution result;
    std::vector<std::string> components;
    if (!SplitWindowsPath(winPath, m_currentDirectory, &components)) {
        result.error = win::ERROR_PATH_NOT_FOUND;
        return result;
    }
    std::string host = m_hostRoot;
    std::string win = "C:";
    if (components.empty()) {
        result.winPath = "C:\\";
        result.hostPath = host;
        result.isRoot = result.exists = result.isDirectory = true;
        return result;
    }
    for (size_t i = 0; i < components.size(); ++i) {
        bool found = false;
        std::string name = MatchInFolderLocked(host, components[i], &found);
        std::string next = host + "/" + name;
        win += "\\" + name;
        bool last = i + 1 == components.size();
        struct stat st;
        if (!found || !LstatOk(next, &st)) {
            if (!last) {
                result.error = win::ERROR_PATH_NOT_FOUND;
                return result;
            }
            result.winPath = win;
            result.hostPath = next;
            return result;
        }
        if (last) {
            result.winPath = win;
            result.hostPath = next;
            result.exists = true;
            result.isLink = S_ISLNK(st.st_mode);
            result.isDirectory = S_ISDIR(st.st_mode);
            return result;
        }
        if (S_ISLNK(st.st_mode)) {
            CountLinkRefusal();
            result.error = win::ERROR_ACCESS_DENIED;
            return result;
        }
        if (!S_ISDIR(st.st_mode)) {
            result.error = win::ERROR_PATH_NOT_FOUND;
            return result;
        }
        host = next;
    }
    return result;
}

SimFiles::Resolution SimFiles::CreateFolders(const std::string& winPath) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<std::string> components;
    Resolution result;
    if (!SplitWindowsPath(winPath, m_currentDirectory, &components)) {
        result.error = win::ERROR_PATH_NOT_FOUND;
        return result;
    }
    std::string partial = "C:";
    for (const std::string& component : components) {
        partial += "\\" + component;
        Resolution step = ResolveLocked(partial);
        if (step.error) return step;
        if (step.isLink) {
            CountLinkRefusal();
            step.error = win::ERROR_ACCESS_DENIED;
            return step;
        }
        if (step.exists && !step.isDirectory) {
            step.error = win::ERROR_PATH_NOT_FOUND;
            return step;
        }
        if (!step.exists) {
            if (::mkdir(step.hostPath.c_str(), 0755) != 0) {
                step.error = win::ERROR_ACCESS_DENIED;
                return step;
            }
            NoteEntryLocked(step.hostPath, true);
            m_folderIndex.erase(step.hostPath);
        }
        partial = step.winPath;
    }
    return ResolveLocked(partial);
}

win::DWORD SimFiles::AttributesOf(const std::string& hostPath) const {
    struct stat st;
    if (!LstatOk(hostPath, &st)) return win::INVALID_FILE_ATTRIBUTES;
    if (S_ISLNK(st.st_mode)) {
        // Only the link's own kind is looked at: stat of the target reads
        // nothing from it.
        struct stat target;
        win::DWORD attributes = win::FILE_ATTRIBUTE_REPARSE_POINT;
        if (::stat(hostPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            attributes |= win::FILE_ATTRIBUTE_DIRECTORY;
        } else {
            attributes |= win::FILE_ATTRIBUTE_ARCHIVE;
        }
        return attributes;
    }
    win::DWORD attributes = S_ISDIR(st.st_mode) ? win::FILE_ATTRIBUTE_DIRECTORY : win::FILE_ATTRIBUTE_ARCHIVE;
    if (IsReadOnlyMode(st)) attributes |= win::FILE_ATTRIBUTE_READONLY;
    return attributes;
}

std::optional<std::string> SimFiles::ReadHostFile(const std::string& hostPath) const {
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char chunk[8192];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

win::UINT SimFiles::CopyOut(const std::string& text, char* buffer, win::UINT size) const {
    // Too small: the size needed with its zero byte, and nothing copied.
    if (!buffer || size < text.size() + 1) return static_cast<win::UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<win::UINT>(text.size());
}

win::DWORD SimFiles::GetCurrentDirectoryA(win::DWORD bufferLength, char* buffer) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetCurrentDirectoryA")) return 0;
    return CopyOut(m_currentDirectory, buffer, bufferLength);
}

win::UINT SimFiles::GetSystemDirectoryA(char* buffer, win::UINT size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetSystemDirectoryA")) return 0;
    return CopyOut(m_systemDirectory, buffer, size);
}

win::UINT SimFiles::GetWindowsDirectoryA(char* buffer, win::UINT size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetWindowsDirectoryA")) return 0;
    return CopyOut(m_windowsDirectory, buffer, size);
}

win::DWORD SimFiles::GetFileAttributesA(const char* fileName) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetFileAttributesA")) return win::INVALID_FILE_ATTRIBUTES;
    Resolution r;
    if (!ResolveExistingLocked(fileName, &r)) return win::INVALID_FILE_ATTRIBUTES;
    return AttributesOf(r.hostPath);
}

win::BOOL SimFiles::CopyFileA(const char* existingFileName, const char* newFileName, win::BOOL failIfExists) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("CopyFileA")) return 0;
    Resolution source;
    if (!ResolveExistingLocked(existingFileName, &source)) return 0;
    if (source.isLink) {
        CountLinkRefusal();
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    if (source.isDirectory) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    Resolution target = ResolveLocked(CallerPath(newFileName));
    if (target.error) {
        SetLastError(target.error);
        return 0;
    }
    if (target.exists) {
        if (target.hostPath == source.hostPath) {
            SetLastError(win::ERROR_SHARING_VIOLATION);
            return 0;
        }
        if (failIfExists) {
            SetLastError(win::ERROR_FILE_EXISTS);
            return 0;
        }
        if (target.isLink) {
            CountLinkRefusal();
            SetLastError(win::ERROR_ACCESS_DENIED);
            return 0;
        }
        if (target.isDirectory || (AttributesOf(target.hostPath) & win::FILE_ATTRIBUTE_READONLY)) {
            SetLastError(win::ERROR_ACCESS_DENIED);
            return 0;
        }
        // A loaded DLL may not be opened for writing.
        if (LoadedLocked(target.hostPath)) {
            SetLastError(win::ERROR_SHARING_VIOLATION);
            return 0;
        }
    }
    std::optional<std::string> bytes = ReadHostFile(source.hostPath);
    if (!bytes || !MayWriteLocked(target)) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    // The copy takes the source's read-only attribute along, as on Windows.
    bool readOnly = (AttributesOf(source.hostPath) & win::FILE_ATTRIBUTE_READONLY) != 0;
    if (!WriteHostFileAtomically(target.hostPath, *bytes, readOnly ? 0444 : 0644)) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    NoteEntryLocked(target.hostPath, true);
    if (!target.exists) m_access.NoteCreated(AccessKey(target.winPath), m_caller.owner, nullptr);
    return 1;
}

win::BOOL SimFiles::DeleteFileA(const char* fileName) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("DeleteFileA")) return 0;
    Resolution r;
    if (!ResolveExistingLocked(fileName, &r)) return 0;
    win::DWORD attributes = AttributesOf(r.hostPath);
    // A loaded DLL cannot be deleted (STATUS_CANNOT_DELETE, which the
    // system reports as ERROR_ACCESS_DENIED).
    if (r.isRoot || (attributes & win::FILE_ATTRIBUTE_DIRECTORY) || (attributes & win::FILE_ATTRIBUTE_READONLY) ||
        LoadedLocked(r.hostPath) || !MayWriteLocked(r)) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    // A link to a file goes, never what it points at.
    if (::unlink(r.hostPath.c_str()) != 0) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    NoteEntryLocked(r.hostPath, false);
    m_access.Forget(AccessKey(r.winPath));
    return 1;
}

win::BOOL SimFiles::MoveFileExA(const char* existingFileName, const char* newFileName, win::DWORD flags) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("MoveFileExA")) return 0;
    const bool atRestart = (flags & win::MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    if (existingFileName == nullptr || (newFileName == nullptr && !atRestart) ||
        (atRestart && (flags & win::MOVEFILE_COPY_ALLOWED) != 0)) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (atRestart) {
        // Kept in the registry's PendingFileRenameOperations, which only an
        // administrator may write ("MoveFileExA function").
        if (!IsElevated(m_token)) {
            SetLastError(win::ERROR_ACCESS_DENIED);
            return 0;
        }
        m_pendingRenames.emplace_back(CallerPath(existingFileName), newFileName ? CallerPath(newFileName) : "");
        return 1;
    }
    Resolution source;
    if (!ResolveExistingLocked(existingFileName, &source)) return 0;
    if (source.isRoot || source.isLink) {
        if (source.isLink) CountLinkRefusal();
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    Resolution target = ResolveLocked(CallerPath(newFileName));
    if (target.error) {
        SetLastError(target.error);
        return 0;
    }
    if (target.exists && target.hostPath != source.hostPath) {
        if ((flags & win::MOVEFILE_REPLACE_EXISTING) == 0) {
            SetLastError(win::ERROR_ALREADY_EXISTS);
            return 0;
        }
        if (target.isLink) CountLinkRefusal();
        if (target.isLink || target.isDirectory || source.isDirectory ||
            (AttributesOf(target.hostPath) & win::FILE_ATTRIBUTE_READONLY) || LoadedLocked(target.hostPath)) {
            SetLastError(win::ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    if (::rename(source.hostPath.c_str(), target.hostPath.c_str()) != 0) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    NoteEntryLocked(source.hostPath, false);
    NoteEntryLocked(target.hostPath, true);
    return 1;
}

win::BOOL SimFiles::CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("CreateDirectoryA")) return 0;
    Resolution r = ResolveLocked(CallerPath(pathName));
    if (r.error) {
        SetLastError(r.error);
        return 0;
    }
    if (r.exists) {
        SetLastError(win::ERROR_ALREADY_EXISTS);
        return 0;
    }
    // The folder gets the access list given, or what its parent passes on.
    const SimAcl* acl = nullptr;
    if (security != nullptr && security->lpSecurityDescriptor != nullptr) {
        auto given = m_descriptors.find(security->lpSecurityDescriptor);
        if (given == m_descriptors.end()) {
            SetLastError(kErrorInvalidSecurityDescriptor);
            return 0;
        }
        acl = given->second.get();
    }
    if (!MayWriteLocked(r) || ::mkdir(r.hostPath.c_str(), 0755) != 0) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    NoteEntryLocked(r.hostPath, true);
    m_folderIndex.erase(r.hostPath);
    m_access.NoteCreated(AccessKey(r.winPath), m_caller.owner, acl);
    return 1;
}

win::BOOL SimFiles::RemoveDirectoryA(const char* pathName) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("RemoveDirectoryA")) return 0;
    Resolution r;
    if (!ResolveExistingLocked(pathName, &r)) return 0;
    if (r.isRoot) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    win::DWORD attributes = AttributesOf(r.hostPath);
    if (!(attributes & win::FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(kErrorDirectory);
        return 0;
    }
    if (!MayWriteLocked(r)) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    if (r.isLink) {
        // Removing a link to a folder removes the link only.
        if (::unlink(r.hostPath.c_str()) != 0) {
            SetLastError(win::ERROR_ACCESS_DENIED);
            return 0;
        }
        NoteEntryLocked(r.hostPath, false);
        m_access.Forget(AccessKey(r.winPath));
        return 1;
    }
    if (attributes & win::FILE_ATTRIBUTE_READONLY) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    if (!ListHostFolder(r.hostPath).empty()) {
        SetLastError(win::ERROR_DIR_NOT_EMPTY);
        return 0;
    }
    // The process holds its current folder open.
    Resolution current = ResolveLocked(m_currentDirectory);
    if (current.hostPath == r.hostPath) {
        SetLastError(win::ERROR_SHARING_VIOLATION);
        return 0;
    }
    if (::rmdir(r.hostPath.c_str()) != 0) {
        SetLastError(win::ERROR_ACCESS_DENIED);
        return 0;
    }
    NoteEntryLocked(r.hostPath, false);
    m_folderIndex.erase(r.hostPath);
    m_access.Forget(AccessKey(r.winPath));
    return 1;
}

win::HANDLE SimFiles::FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("FindFirstFileA")) return win::INVALID_HANDLE_VALUE;
    std::string path = fileName ? fileName : "";
    size_t cut = path.find_last_of("\\/");
    std::string pattern = cut == std::string::npos ? path : path.substr(cut + 1);
    std::string folder = cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
    if (cut != std::string::npos && cut == 2 && path[1] == ':') folder = path.substr(0, 3);
    if (pattern.empty()) {
        SetLastError(win::ERROR_FILE_NOT_FOUND);
        return win::INVALID_HANDLE_VALUE;
    }
    Resolution dir = ResolveLocked(CallerPath(folder.c_str()));
    if (dir.error) {
        SetLastError(dir.error);
        return win::INVALID_HANDLE_VALUE;
    }
    if (dir.isLink) {
        CountLinkRefusal();
        SetLastError(win::ERROR_ACCESS_DENIED);
        return win::INVALID_HANDLE_VALUE;
    }
    if (!dir.exists || !dir.isDirectory) {
        SetLastError(win::ERROR_PATH_NOT_FOUND);
        return win::INVALID_HANDLE_VALUE;
    }

    auto makeEntry = [&](const std::string& name, const std::string& hostPath) {
        win::WIN32_FIND_DATAA data{};
        data.dwFileAttributes = AttributesOf(hostPath);
        struct stat st;
        if (LstatOk(hostPath, &st) && S_ISREG(st.st_mode)) {
            data.nFileSizeLow = static_cast<win::DWORD>(static_cast<std::uint64_t>(st.st_size) & 0xFFFFFFFFu);
            data.nFileSizeHigh = static_cast<win::DWORD>(static_cast<std::uint64_t>(st.st_size) >> 32);
        }
        std::snprintf(data.cFileName, sizeof data.cFileName, "%s", name.c_str());
        return data;
    };

    FindState state;
    // NTFS lists "." and ".." first in every folder but a drive's root.
    if (!dir.isRoot) {
        for (const char* dots : {".", ".."}) {
            if (WildcardMatch(pattern, dots)) state.entries.push_back(makeEntry(dots, dir.hostPath));
        }
    }
    std::vector<std::string> names = ListHostFolder(dir.hostPath);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return UpperCaseKey(a) < UpperCaseKey(b);
    });
    for (const std::string& name : names) {
        if (WildcardMatch(pattern, name)) state.entries.push_back(makeEntry(name, dir.hostPath + "/" + name));
    }
    if (state.entries.empty()) {
        SetLastError(win::ERROR_FILE_NOT_FOUND);
        return win::INVALID_HANDLE_VALUE;
    }
    if (findData) *findData = state.entries[0];
    state.next = 1;
    std::uintptr_t id = m_nextFindHandle;
    m_nextFindHandle += 4;
    m_finds[id] = std::move(state);
    return reinterpret_cast<win::HANDLE>(id);
}

win::BOOL SimFiles::FindNextFileA(win::HANDLE findFile, win::WIN32_FIND_DATAA* findData) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("FindNextFileA")) return 0;
    auto it = m_finds.find(reinterpret_cast<std::uintptr_t>(findFile));
    if (it == m_finds.end()) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return 0;
    }
    FindState& state = it->second;
    if (state.next >= state.entries.size()) {
        SetLastError(win::ERROR_NO_MORE_FILES);
        return 0;
    }
    if (findData) *findData = state.entries[state.next];
    ++state.next;
    return 1;
}

win::BOOL SimFiles::FindClose(win::HANDLE findFile) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("FindClose")) return 0;
    if (m_finds.erase(reinterpret_cast<std::uintptr_t>(findFile)) == 0) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

bool SimFiles::WriteFile(const std::string& winPath, const std::string& bytes) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::string path = winPath;
    size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos) {
        Resolution folder = CreateFolders(path.substr(0, cut + 1));
        if (folder.error) return false;
    }
    Resolution r = ResolveLocked(winPath);
    if (r.error || r.isRoot || r.isDirectory || r.isLink) return false;
    if (!WriteHostFileAtomically(r.hostPath, bytes, 0644)) return false;
    NoteEntryLocked(r.hostPath, true);
    return true;
}

std::optional<std::string> SimFiles::ReadFile(const std::string& winPath) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Resolution r = ResolveLocked(winPath);
    if (r.error || !r.exists || r.isLink || r.isDirectory) return std::nullopt;
    return ReadHostFile(r.hostPath);
}

bool SimFiles::Exists(const std::string& winPath) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Resolution r = ResolveLocked(winPath);
    return !r.error && r.exists;
}

bool SimFiles::SetReadOnly(const std::string& winPath, bool readOnly) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Resolution r = ResolveLocked(winPath);
    if (r.error || !r.exists || r.isLink) return false;
    mode_t mode = r.isDirectory ? (readOnly ? 0555 : 0755) : (readOnly ? 0444 : 0644);
    return ::chmod(r.hostPath.c_str(), mode) == 0;
}

std::string SimFiles::HostPath(const std::string& winPath) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Resolution r = ResolveLocked(winPath);
    return r.error ? std::string() : r.hostPath;
}

bool SimFiles::MakeLink(const std::string& winPath, const std::string& hostTarget) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Resolution r = ResolveLocked(winPath);
    if (r.error || r.exists) return false;
    if (::symlink(hostTarget.c_str(), r.hostPath.c_str()) != 0) return false;
    NoteEntryLocked(r.hostPath, true);
    return true;
}

bool SimFiles::MakeHardLink(const std::string& winPath, const std::string& existingWinPath) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const Resolution existing = ResolveLocked(existingWinPath);
    const Resolution r = ResolveLocked(winPath);
    if (existing.error || !existing.exists || existing.isLink || existing.isDirectory || r.error || r.exists) {
        return false;
    }
    if (::link(existing.hostPath.c_str(), r.hostPath.c_str()) != 0) return false;
    NoteEntryLocked(r.hostPath, true);
    return true;
}

bool SimFiles::SetCurrentDirectory(const std::string& winPath) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Resolution r = ResolveLocked(winPath);
    if (r.error || !r.exists || !r.isDirectory) return false;
    m_currentDirectory = r.winPath;
    return true;
}

void SimFiles::SetLoadedFiles(const std::vector<std::string>& winPaths) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_loaded.clear();
    for (const std::string& winPath : winPaths) {
        Resolution r = ResolveLocked(winPath);
        struct stat st {};
        if (r.error == 0 && r.exists && !r.isLink && LstatOk(r.hostPath, &st)) {
            m_loaded.emplace(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
        }
    }
}

bool SimFiles::LoadedLocked(const std::string& hostPath) const {
    struct stat st {};
    return !m_loaded.empty() && LstatOk(hostPath, &st) &&
           m_loaded.count({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}) != 0;
}

void SimFiles::SetCaller(SimToken caller) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_token = caller;
}

std::vector<std::pair<std::string, std::string>> SimFiles::PendingRenames() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_pendingRenames;
}

void SimFiles::SetSystemDirectory(const std::string& winPath) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_systemDirectory = winPath;
}

void SimFiles::SetWow64Redirection(bool on) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_wow64Redirection = on;
}

void SimFiles::SetHasSysnative(bool present) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_hasSysnative = present;
}

win::BOOL SimFiles::Wow64DisableWow64FsRedirection(void** oldValue) {
    if (Fault("Wow64DisableWow64FsRedirection")) return 0;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_wow64Redirection) {
        SetLastError(win::ERROR_INVALID_FUNCTION);
        return 0;
    }
    // The old value is opaque to the caller: whether it was off before.
    const bool wasOff = !m_redirectionOff.insert(std::this_thread::get_id()).second;
    if (oldValue != nullptr) *oldValue = wasOff ? this : nullptr;
    return 1;
}

win::BOOL SimFiles::Wow64RevertWow64FsRedirection(void* oldValue) {
    if (Fault("Wow64RevertWow64FsRedirection")) return 0;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_wow64Redirection) {
        SetLastError(win::ERROR_INVALID_FUNCTION);
        return 0;
    }
    if (oldValue == nullptr) m_redirectionOff.erase(std::this_thread::get_id());
    return 1;
}

void SimFiles::SetTempFolder(const std::string& winPath) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_tempFolder = winPath;
}

void SimFiles::SetProgramPath(const std::string& winPath) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_programPath = winPath;
}

std::string SimFiles::OwnerOf(const std::string& winPath) const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const Resolution r = ResolveLocked(winPath);
    return r.error || !r.exists ? std::string() : m_access.OwnerOf(AccessKey(r.winPath));
}

win::DWORD SimFiles::GetTempPath2A(win::DWORD bufferLength, char* buffer) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetTempPath2A")) return 0;
    return CopyOut(m_tempFolder, buffer, bufferLength);
}

// A buffer too small gets the name cut, with its zero byte, and the error
// ERROR_INSUFFICIENT_BUFFER ("GetModuleFileNameA function").
win::DWORD SimFiles::GetModuleFileNameA(win::HMODULE module, char* fileName, win::DWORD size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetModuleFileNameA")) return 0;
    if (module != nullptr) {
        SetLastError(kErrorModNotFound);
        return 0;
    }
    if (fileName == nullptr || size == 0) return 0;
    if (m_programPath.size() >= size) {
        std::memcpy(fileName, m_programPath.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(kErrorInsufficientBuffer);
        return size;
    }
    std::memcpy(fileName, m_programPath.c_str(), m_programPath.size() + 1);
    return static_cast<win::DWORD>(m_programPath.size());
}

win::DWORD SimFiles::GetCurrentProcessId() { return m_processId; }


win::BOOL SimFiles::ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, win::DWORD revision,
                                                                         void** descriptor, win::DWORD* size) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("ConvertStringSecurityDescriptorToSecurityDescriptorA")) return 0;
    std::optional<SimAcl> acl = sddl != nullptr ? ParseSddl(sddl) : std::nullopt;
    if (descriptor == nullptr || revision != 1 || !acl) {
        SetLastError(win::ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto owned = std::make_unique<SimAcl>(std::move(*acl));
    *descriptor = owned.get();
    if (size != nullptr) *size = static_cast<win::DWORD>(sizeof(SimAcl));
    m_descriptors[owned.get()] = std::move(owned);
    return 1;
}

void* SimFiles::LocalFree(void* memory) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_descriptors.erase(memory);
    return nullptr;
}

SimFiles::Caller SimFiles::UserCaller(const std::string& name) {
    return Caller{name, {name, kPrincipalUsers, kPrincipalAuthenticatedUsers}};
}

std::string SimFiles::AccessKey(const std::string& winPath) {
    size_t start = winPath.size() >= 2 && winPath[1] == ':' ? 2 : 0;
    while (start < winPath.size() && IsSep(winPath[start])) ++start;
    return UpperCaseKey(winPath.substr(start));
}

std::string SimFiles::FolderKey(const std::string& winPath) {
    const std::string key = AccessKey(winPath);
    const size_t cut = key.find_last_of('\\');
    return cut == std::string::npos ? std::string() : key.substr(0, cut);
}

bool SimFiles::MayWriteLocked(const Resolution& r) const {
    return r.exists ? m_access.MayModify(AccessKey(r.winPath), m_caller.principals)
                    : m_access.MayAdd(FolderKey(r.winPath), m_caller.principals);
}

win::DWORD SimFiles::AsCaller(const std::string& name, const std::function<win::BOOL()>& call) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const Caller installer = m_caller;
    m_caller = UserCaller(name);
    SetLastError(0);
    const win::BOOL done = call();
    m_caller = installer;
    return done ? 0 : LastError();
}

win::DWORD SimFiles::User::CreateFolder(const std::string& winPath) {
    return m_files.AsCaller(m_name, [&] { return m_files.CreateDirectoryA(winPath.c_str(), nullptr); });
}

win::DWORD SimFiles::User::Delete(const std::string& winPath) {
    return m_files.AsCaller(m_name, [&] {
        const win::DWORD attributes = m_files.GetFileAttributesA(winPath.c_str());
        if (attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY)) {
            return m_files.RemoveDirectoryA(winPath.c_str());
        }
        return m_files.DeleteFileA(winPath.c_str());
    });
}

win::DWORD SimFiles::User::WriteFile(const std::string& winPath, const std::string& bytes) {
    return m_files.AsCaller(m_name, [&]() -> win::BOOL {
        const Resolution r = m_files.ResolveLocked(winPath);
        if (r.error || r.isRoot || r.isDirectory || r.isLink || !m_files.MayWriteLocked(r) ||
            (r.exists && (m_files.AttributesOf(r.hostPath) & win::FILE_ATTRIBUTE_READONLY)) ||
            !WriteHostFileAtomically(r.hostPath, bytes, 0644)) {
            SetLastError(r.error ? r.error : win::ERROR_ACCESS_DENIED);
            return 0;
        }
        m_files.NoteEntryLocked(r.hostPath, true);
        if (!r.exists) m_files.m_access.NoteCreated(AccessKey(r.winPath), m_name, nullptr);
        return 1;
    });
}

// As MoveFileExA without flags: the new name must be free.
win::DWORD SimFiles::User::Rename(const std::string& fromWinPath, const std::string& toWinPath) {
    return m_files.AsCaller(m_name, [&]() -> win::BOOL {
        const Resolution from = m_files.ResolveLocked(fromWinPath);
        const Resolution to = m_files.ResolveLocked(toWinPath);
        if (from.error || to.error || !from.exists || to.exists) {
            SetLastError(from.error   ? from.error
                         : to.error   ? to.error
                         : to.exists  ? win::ERROR_ALREADY_EXISTS
                                      : win::ERROR_FILE_NOT_FOUND);
            return 0;
        }
        if (from.isRoot || !m_files.MayWriteLocked(from) || !m_files.MayWriteLocked(to) ||
            ::rename(from.hostPath.c_str(), to.hostPath.c_str()) != 0) {
            SetLastError(win::ERROR_ACCESS_DENIED);
            return 0;
        }
        m_files.NoteEntryLocked(from.hostPath, false);
        m_files.NoteEntryLocked(to.hostPath, true);
        m_files.m_folderIndex.erase(from.hostPath);
        m_files.m_access.Move(AccessKey(from.winPath), AccessKey(to.winPath));
        return 1;
    });
}

std::string SimFiles::ToString() const {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::ostringstream out;
    out << "C:\\  (host " << m_hostRoot << ")\n";
    // Depth-first, in the order FindFirstFileA lists.
    struct Walker {
        const SimFiles& files;
        std::ostringstream& out;
        void Walk(const std::string& host, int depth) {
            std::vector<std::string> names = ListHostFolder(host);
            std::sort(names.begin(), names.end(),
                      [](const std::string& a, const std::string& b) { return UpperCaseKey(a) < UpperCaseKey(b); });
            for (const std::string& name : names) {
                std::string path = host + "/" + name;
                struct stat st;
                if (!LstatOk(path, &st)) continue;
                out << std::string(static_cast<size_t>(depth) * 2 + 2, ' ') << name;
                if (S_ISLNK(st.st_mode)) {
                    char target[4096];
                    ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
                    out << " -> " << std::string(target, n > 0 ? static_cast<size_t>(n) : 0) << " (link)\n";
                } else if (S_ISDIR(st.st_mode)) {
                    out << "\\" << (IsReadOnlyMode(st) ? " (read-only)" : "") << "\n";
                    Walk(path, depth + 1);
                } else {
                    out << "  " << st.st_size << " bytes" << (IsReadOnlyMode(st) ? " (read-only)" : "") << "\n";
                }
            }
        }
    };
    Walker{*this, out}.Walk(m_hostRoot, 0);
    out << "current directory " << m_currentDirectory << ", system directory " << m_systemDirectory
        << (m_wow64Redirection ? ", WOW64 redirection" : "") << "\n";
    return out.str();
}

}  // namespace platform::sim
