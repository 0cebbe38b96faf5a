#include "tools/terminal/host_log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace terminal {

namespace {

thread_local win::DWORD t_lastError = 0;

template <typename Result>
Result Fail(win::DWORD error, Result result) {
    t_lastError = error;
    return result;
}

win::DWORD FromErrno(int error) {
    return error == ENOENT ? win::ERROR_FILE_NOT_FOUND : error == ENOTDIR ? win::ERROR_PATH_NOT_FOUND
                                                                            : win::ERROR_ACCESS_DENIED;
}

}  // namespace

HostLogFiles::~HostLogFiles() {
    for (const auto& file : m_files) {
        if (file.second >= 0) ::close(file.second);
    }
}

win::DWORD HostLogFiles::LastError() { return t_lastError; }

int HostLogFiles::Unsupported() { return Fail(win::ERROR_NOT_SUPPORTED, 0); }

win::HANDLE HostLogFiles::CreateFileA(const char* fileName, win::DWORD desiredAccess, win::DWORD,
                                      const win::SECURITY_ATTRIBUTES*, win::DWORD creationDisposition,
                                      win::DWORD flagsAndAttributes, win::HANDLE) {
    if (fileName == nullptr || (creationDisposition != win::OPEN_EXISTING && creationDisposition != win::OPEN_ALWAYS)) {
        return Fail(win::ERROR_INVALID_PARAMETER, win::INVALID_HANDLE_VALUE);
    }
    struct stat st;
    const bool existed = ::lstat(fileName, &st) == 0;
    int fd = -1;
    if (existed && S_ISLNK(st.st_mode) && (flagsAndAttributes & win::FILE_FLAG_OPEN_REPARSE_POINT) != 0) {
        // The link as itself: nothing is written through it.
    } else {
        const int append = (desiredAccess & win::GENERIC_WRITE) != 0 ? 0 : O_APPEND;
        const int create = creationDisposition == win::OPEN_ALWAYS ? O_CREAT : 0;
        fd = ::open(fileName, O_WRONLY | O_CLOEXEC | append | create, 0644);
        if (fd < 0) return Fail(FromErrno(errno), win::INVALID_HANDLE_VALUE);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_next += 4;
    m_files[m_next] = fd;
    if (fd < 0) m_links[m_next] = fileName;
    t_lastError = existed && creationDisposition == win::OPEN_ALWAYS ? win::ERROR_ALREADY_EXISTS : 0;
    return reinterpret_cast<win::HANDLE>(m_next);
}

win::BOOL HostLogFiles::GetFileInformationByHandle(win::HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_files.find(reinterpret_cast<std::uintptr_t>(file));
    if (it == m_files.end() || information == nullptr) return Fail(win::ERROR_INVALID_HANDLE, 0);
    struct stat st;
    if ((it->second >= 0 ? ::fstat(it->second, &st) : ::lstat(m_links[it->first].c_str(), &st)) != 0) {
        return Fail(FromErrno(errno), 0);
    }
    *information = {};
    information->dwFileAttributes = win::FILE_ATTRIBUTE_ARCHIVE;
    if (S_ISLNK(st.st_mode)) information->dwFileAttributes |= win::FILE_ATTRIBUTE_REPARSE_POINT;
    const auto size = static_cast<unsigned long long>(st.st_size);
    information->nFileSizeHigh = static_cast<win::DWORD>(size >> 32);
    information->nFileSizeLow = static_cast<win::DWORD>(size);
    information->nNumberOfLinks = static_cast<win::DWORD>(st.st_nlink);
    return 1;
}

win::BOOL HostLogFiles::WriteFile(win::HANDLE file, const void* buffer, win::DWORD toWrite, win::DWORD* written) {
    if (written != nullptr) *written = 0;
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_files.find(reinterpret_cast<std::uintptr_t>(file));
        if (it == m_files.end()) return Fail(win::ERROR_INVALID_HANDLE, 0);
        fd = it->second;
    }
    if (fd < 0) return Fail(win::ERROR_ACCESS_DENIED, 0);
    win::DWORD done = 0;
    while (done < toWrite) {
        const ssize_t n = ::write(fd, static_cast<const char*>(buffer) + done, toWrite - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (written != nullptr) *written = done;
            return Fail(win::ERROR_ACCESS_DENIED, 0);
        }
        done += static_cast<win::DWORD>(n);
    }
    if (written != nullptr) *written = done;
    return 1;
}

win::BOOL HostLogFiles::CloseHandle(win::HANDLE file) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_files.find(reinterpret_cast<std::uintptr_t>(file));
    if (it == m_files.end()) return Fail(win::ERROR_INVALID_HANDLE, 0);
    if (it->second >= 0) ::close(it->second);
    m_links.erase(it->first);
    m_files.erase(it);
    return 1;
}

win::DWORD HostLogFiles::GetFileAttributesA(const char* fileName) {
    struct stat st;
    if (fileName == nullptr || ::lstat(fileName, &st) != 0) return Fail(FromErrno(errno), win::INVALID_FILE_ATTRIBUTES);
    if (S_ISLNK(st.st_mode)) return win::FILE_ATTRIBUTE_REPARSE_POINT;
    return S_ISDIR(st.st_mode) ? win::FILE_ATTRIBUTE_DIRECTORY : win::FILE_ATTRIBUTE_ARCHIVE;
}

win::BOOL HostLogFiles::CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES*) {
    if (pathName == nullptr || ::mkdir(pathName, 0755) != 0) {
        return Fail(errno == EEXIST ? win::ERROR_ALREADY_EXISTS : FromErrno(errno), 0);
    }
    return 1;
}

}  // namespace terminal
