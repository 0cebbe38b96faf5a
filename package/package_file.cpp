#include "package/package_file.h"

#include <vector>

#include "package/sha256.h"

namespace package {

namespace {
const char* const kPackageFileName = "\\DriverData.Drv";
// Read in pieces: the package may be tens of megabytes.
constexpr win::DWORD kReadChunk = 64 * 1024;
}  // namespace

std::string PackageFilePath(platform::Files& files) {
    char folder[win::MAX_PATH] = {};
    const win::DWORD length = files.GetCurrentDirectoryA(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder)) return std::string();
    return std::string(folder, length) + kPackageFileName;
}

std::string HashFile(platform::Files& files, const std::string& path) {
    if (path.empty()) return std::string();
    win::HANDLE file = files.CreateFileA(path.c_str(), win::GENERIC_READ, win::FILE_SHARE_READ, nullptr,
                                         win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == win::INVALID_HANDLE_VALUE) return std::string();
    Sha256 hash;
    std::vector<char> buffer(kReadChunk);
    bool complete = false;
    for (;;) {
        win::DWORD read = 0;
        if (!files.ReadFile(file, buffer.data(), kReadChunk, &read)) break;
        if (read == 0) {
            complete = true;
            break;
        }
        hash.Update(buffer.data(), read);
    }
    files.CloseHandle(file);
    return complete ? hash.FinishHex() : std::string();
}

}  // namespace package
