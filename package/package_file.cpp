#include "package/package_file.h"

#include <vector>

#include "package/sha256.h"

namespace package {

namespace {
const char* const kPackageFileName = "\\DriverData.Drv";
// Read in pieces: the package may be tens of megabytes.
constexpr win::DWORD kReadChunk = 64 * 1024;

// The folder part of a path, never cut inside a character of code page 936
// (whose second byte may be the separator's).
std::string FolderOf(const std::string& path) {
    size_t cut = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            cut = i;
        }
    }
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

std::string PackageFilePath(platform::Files& files) {
    // Without a working folder that fits the buffer there is none there
    // (never one at the root of the drive).
    std::string inWorkingFolder;
    char folder[win::MAX_PATH] = {};
    const win::DWORD length = files.GetCurrentDirectoryA(sizeof(folder), folder);
    if (length != 0 && length < sizeof(folder)) inWorkingFolder = std::string(folder) + kPackageFileName;
    // A package in the working folder is the one meant, usable or not: one
    // beside the program is never taken in place of a broken one, which
    // would install other drivers than those brought, without a word.
    if (!inWorkingFolder.empty() && files.GetFileAttributesA(inWorkingFolder.c_str()) != win::INVALID_FILE_ATTRIBUTES) {
        return inWorkingFolder;
    }
    // A deployment script or a program started from a share has another
    // working folder: the package lies beside the program.
    char program[win::MAX_PATH] = {};
    const win::DWORD programLength = files.GetModuleFileNameA(nullptr, program, sizeof(program));
    if (programLength != 0 && programLength < sizeof(program)) {
        const std::string programFolder = FolderOf(std::string(program, programLength));
        const std::string beside = programFolder + kPackageFileName;
        if (!programFolder.empty() && files.GetFileAttributesA(beside.c_str()) != win::INVALID_FILE_ATTRIBUTES) {
            return beside;
        }
    }
    return inWorkingFolder;
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
