// Windows backend: the driver package unpacked by the system's cabinet.dll.
#include "platform/win32/win32_archive.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/archive_paths.h"
#include "platform/win32/code_page.h"

namespace platform::win32 {

namespace {

using FdiCreateFunction = HFDI(DIAMONDAPI*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int,
                                            PERF);
using FdiCopyFunction = BOOL(DIAMONDAPI*)(HFDI, char*, char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
using FdiDestroyFunction = BOOL(DIAMONDAPI*)(HFDI);

::HMODULE Module(win::HMODULE module) { return reinterpret_cast<::HMODULE>(module); }

template <typename Function>
Function Export(win::HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(Module(module), name)));
}

// One extraction's state, shared by the notification callback (which gets
// it as its user pointer) and the file callbacks (which get nothing but a
// handle, hence the thread-local pointer).
struct Extraction {
    bool writing = false;  // false: the first pass, which checks and writes nothing
    std::string outputFolder;  // ends with a separator
    bool refused = false;
    bool writeFailed = false;
    HANDLE output = INVALID_HANDLE_VALUE;  // the file being written or compared, if any
    bool comparing = false;  // output is a file already in an entry's place, read to compare
    bool differs = false;  // what was compared so far is not the entry's bytes
    std::string temporaryName;  // its name until it is complete
    std::string targetName;  // the name it gets when complete
    unsigned long long expectedSize = 0;  // the entry's size, from the cabinet
    unsigned long long written = 0;  // what actually reached the file (or was compared)

    // The first pass's findings, used by the second.
    PackageEntryCheck check;
    std::set<std::string> checkedFolders;  // folders on the way already known to be real ones
    std::set<std::string> alreadyThere;  // targets that hold the entry's bytes already
    std::set<std::string> madeFolders;  // folders the second pass has made or found
    unsigned nextTemporary = 0;  // the number of the next temporary name to try
    std::vector<std::string> unpacked;  // the package's files, relative to the output folder
};

thread_local Extraction* t_extraction = nullptr;

FNALLOC(CabAllocate) { return std::malloc(cb); }
FNFREE(CabFree) { std::free(pv); }

FNOPEN(CabOpen) {
    // FDI opens only the cabinet itself through this; output files come from
    // the notification callback.
    if ((oflag & (_O_WRONLY | _O_RDWR)) != 0) return -1;
    HANDLE file = ::CreateFileW(Wide(pszFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

FNREAD(CabRead) {
    ::DWORD done = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr)) return static_cast<UINT>(-1);
    return done;
}

// In the first pass a file already in an entry's place is "written" by
// comparing: the cabinet's bytes are checked against the file's own.
UINT CompareWithFile(Extraction& extraction, HANDLE file, const void* data, UINT size) {
    std::vector<char> present(size);
    ::DWORD done = 0;
    if (!::ReadFile(file, present.data(), size, &done, nullptr) || done != size ||
        (size != 0 && std::memcmp(present.data(), data, size) != 0)) {
        extraction.differs = true;
    }
    extraction.written += size;
    return size;
}

FNWRITE(CabWrite) {
    if (t_extraction != nullptr && t_extraction->comparing && t_extraction->output == reinterpret_cast<HANDLE>(hf)) {
        return CompareWithFile(*t_extraction, reinterpret_cast<HANDLE>(hf), pv, cb);
    }
    ::DWORD done = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr)) return static_cast<UINT>(-1);
    if (t_extraction != nullptr && t_extraction->output == reinterpret_cast<HANDLE>(hf)) {
        t_extraction->written += done;
    }
    return done;
}

FNCLOSE(CabClose) {
    HANDLE file = reinterpret_cast<HANDLE>(hf);
    // FDI closes an output file itself when the data turn out to be corrupt.
    if (t_extraction != nullptr && t_extraction->output == file) t_extraction->output = INVALID_HANDLE_VALUE;
    return ::CloseHandle(file) ? 0 : -1;
}

FNSEEK(CabSeek) {
    // SEEK_SET, SEEK_CUR and SEEK_END have the values of FILE_BEGIN, FILE_CURRENT and FILE_END.
    ::DWORD position = ::SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, static_cast<::DWORD>(seektype));
    return position == INVALID_SET_FILE_POINTER ? -1 : static_cast<__LONG32>(position);
}

// The entry's name in code page 936, the program's narrow strings (paths
// reach the system converted from 936). Names flagged as UTF-8 are
// converted; a character 936 lacks refuses the name rather than letting a
// best-fit substitute (which could be a separator or a dot) through.
bool AnsiEntryName(const char* name, unsigned attributes, std::string* ansi) {
    if ((attributes & _A_NAME_IS_UTF) == 0) {
        *ansi = name;
        return true;
    }
    int wideLength = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide.data(), wideLength);
    BOOL usedDefault = FALSE;
    int length = ::WideCharToMultiByte(kProgramCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), -1, nullptr, 0, nullptr,
                                       &usedDefault);
    if (length <= 0 || usedDefault) return false;
    std::vector<char> narrow(static_cast<size_t>(length));
    ::WideCharToMultiByte(kProgramCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), -1, narrow.data(), length, nullptr,
                          &usedDefault);
    if (usedDefault) return false;
    ansi->assign(narrow.data());
    return true;
}

bool CreateFolder(const std::string& path) {
    return ::CreateDirectoryW(Wide(path).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// A new file beside the target, under a name of GetTempFileNameA's shape
// but made with one call: CREATE_NEW never takes a file that is there, so a
// taken name only moves on to the next number.
HANDLE CreateTemporaryFile(Extraction& extraction, const std::string& folder, std::string* name) {
    constexpr int kTries = 100;
    for (int i = 0; i < kTries; ++i) {
        char leaf[16];
        std::snprintf(leaf, sizeof leaf, "cab%04X.tmp", static_cast<unsigned>(extraction.nextTemporary++ & 0xFFFF));
        *name = folder + leaf;
        HANDLE file = ::CreateFileW(Wide(*name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const ::DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) break;
    }
    return INVALID_HANDLE_VALUE;
}

// fdintCOPY_FILE of the second pass: make the folders and open a temporary
// file beside the target. Returns the handle for FDI, or -1 to abort.
INT_PTR BeginFile(Extraction& extraction, const std::vector<std::string>& components, unsigned long long size) {
    std::string folder = extraction.outputFolder;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        folder += components[i];
        // Each folder is made once: a package has hundreds of files in a few.
        if (extraction.madeFolders.count(folder) == 0) {
            if (!CreateFolder(folder)) return -1;
            extraction.madeFolders.insert(folder);
        }
        folder += '\\';
    }
    std::string temporary;
    HANDLE file = CreateTemporaryFile(extraction, folder, &temporary);
    if (file == INVALID_HANDLE_VALUE) return -1;
    extraction.output = file;
    extraction.expectedSize = size;
    extraction.written = 0;
    extraction.temporaryName = temporary;
    extraction.targetName = folder + components.back();
    return reinterpret_cast<INT_PTR>(file);
}

// fdintCLOSE_FILE_INFO: the file is complete; give it its name. Wine's
// cabinet library reports a file complete when the data of a truncated
// cabinet ran out half-way, so the size is checked as well. The cabinet's
// attributes are not copied: a read-only file would outlive the clean-up
// that deletes the unpacked package.
bool FinishFile(Extraction& extraction, const FDINOTIFICATION& info) {
    HANDLE file = reinterpret_cast<HANDLE>(info.hf);
    if (extraction.written != extraction.expectedSize) {
        ::CloseHandle(file);
        extraction.output = INVALID_HANDLE_VALUE;
        ::DeleteFileW(Wide(extraction.temporaryName).c_str());
        extraction.temporaryName.clear();
        return false;
    }
    FILETIME local, utc;
    if (::DosDateTimeToFileTime(info.date, info.time, &local) && ::LocalFileTimeToFileTime(&local, &utc)) {
        ::SetFileTime(file, nullptr, nullptr, &utc);
    }
    ::CloseHandle(file);
    extraction.output = INVALID_HANDLE_VALUE;
    // Never over a file: the first pass found none in its place, and one
    // that appeared since is not the package's.
    bool renamed = ::MoveFileExW(Wide(extraction.temporaryName).c_str(), Wide(extraction.targetName).c_str(), 0) != 0;
    if (!renamed) ::DeleteFileW(Wide(extraction.temporaryName).c_str());
    extraction.temporaryName.clear();
    return renamed;
}

bool IsLinkOrJunction(::DWORD attributes) {
    // Windows reports junctions and symbolic links as reparse points, and so
    // does Wine for a host symbolic link (but only when the name is asked
    // for without a trailing separator: docs/wine-differences.md).
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// fdintCOPY_FILE of the first pass: the entry is checked against the rest
// of the package and against what is on the disk already. Returns 0 to go
// on without the entry's data, a handle to compare the data with a file
// already in its place, or -1 to stop.
INT_PTR CheckEntry(Extraction& extraction, const std::string& name, unsigned long long size) {
    std::vector<std::string> components;
    if (extraction.check.Add(name, size, false, &components) != PackageProblem::kNone) {
        extraction.refused = true;
        return -1;
    }
    std::string path = extraction.outputFolder;
    for (size_t i = 0; i < components.size(); ++i) {
        path += components[i];
        if (i + 1 == components.size()) break;
        if (extraction.checkedFolders.insert(path).second) {
            ::DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES &&
                (IsLinkOrJunction(attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)) {
                extraction.refused = true;
                return -1;
            }
        }
        path += '\\';
    }
    // CreateFileA could not make a longer name either.
    if (path.size() >= MAX_PATH) {
        extraction.refused = true;
        return -1;
    }
    ::DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (IsLinkOrJunction(attributes) || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        extraction.refused = true;
        return -1;
    }
    // Only a copy of the entry itself, left by an earlier run, may stand in
    // its place: anything else is the user's and is not overwritten.
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER present{};
    if (file == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file, &present) ||
        static_cast<unsigned long long>(present.QuadPart) != size) {
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
        extraction.refused = true;
        return -1;
    }
    extraction.output = file;
    extraction.comparing = true;
    extraction.differs = false;
    extraction.expectedSize = size;
    extraction.written = 0;
    extraction.targetName = path;
    return reinterpret_cast<INT_PTR>(file);
}

// fdintCLOSE_FILE_INFO of the first pass: the file in the entry's place
// has been read through.
bool FinishCompare(Extraction& extraction, const FDINOTIFICATION& info) {
    ::CloseHandle(reinterpret_cast<HANDLE>(info.hf));
    extraction.output = INVALID_HANDLE_VALUE;
    extraction.comparing = false;
    if (extraction.differs || extraction.written != extraction.expectedSize) {
        extraction.refused = true;
        return false;
    }
    extraction.alreadyThere.insert(extraction.targetName);
    return true;
}

FNFDINOTIFY(Notify) {
    Extraction& extraction = *static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
    case fdintCOPY_FILE: {
        std::string name;
        if (!AnsiEntryName(pfdin->psz1, pfdin->attribs, &name)) {
            extraction.refused = true;
            return -1;
        }
        const unsigned long long size = static_cast<unsigned long>(pfdin->cb);
        if (!extraction.writing) return CheckEntry(extraction, name, size);
        std::vector<std::string> components;
        if (CheckArchiveEntryPath(name, &components) != EntryPathProblem::kNone) {
            extraction.refused = true;
            return -1;
        }
        std::string relative;
        for (const std::string& component : components) relative += (relative.empty() ? "" : "\\") + component;
        extraction.unpacked.push_back(relative);
        if (extraction.alreadyThere.count(extraction.outputFolder + relative) != 0) return 0;
        INT_PTR handle = BeginFile(extraction, components, size);
        if (handle == -1) extraction.writeFailed = true;
        return handle;
    }
    case fdintCLOSE_FILE_INFO:
        if (!extraction.writing) return FinishCompare(extraction, *pfdin) ? TRUE : FALSE;
        if (FinishFile(extraction, *pfdin)) return TRUE;
        extraction.writeFailed = true;
        return FALSE;
    case fdintPARTIAL_FILE:
    case fdintNEXT_CABINET:
        // The package is one cabinet; a file split across cabinets is not ours.
        extraction.refused = true;
        return -1;
    default:
        return 0;
    }
}

// Splits "dir\name" into "dir\" and "name" for FDICopy, which joins them
// again. Code page 936 trail bytes can equal '\', so the scan steps over
// double-byte characters.
void SplitArchivePath(const std::string& path, std::string* folder, std::string* name) {
    size_t split = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
            split = i + 1;
        }
    }
    *folder = path.substr(0, split);
    *name = path.substr(split);
}

bool EndsWithSeparator(const std::string& path) {
    bool separator = false;
    for (size_t i = 0; i < path.size(); ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
            separator = false;
        } else {
            separator = path[i] == '\\' || path[i] == '/';
        }
    }
    return separator;
}

// Runs one FDICopy pass and releases whatever the pass left open.
bool RunPass(FdiCopyFunction fdiCopy, HFDI fdi, const std::string& folder, const std::string& name,
             Extraction& extraction) {
    extraction.output = INVALID_HANDLE_VALUE;
    extraction.comparing = false;
    std::string cabinetName = name;
    std::string cabinetFolder = folder;
    t_extraction = &extraction;
    BOOL copied = fdiCopy(fdi, cabinetName.data(), cabinetFolder.data(), 0, Notify, nullptr, &extraction);
    t_extraction = nullptr;
    if (extraction.output != INVALID_HANDLE_VALUE) {
        ::CloseHandle(extraction.output);
        extraction.output = INVALID_HANDLE_VALUE;
    }
    if (!extraction.temporaryName.empty()) {
        ::DeleteFileW(Wide(extraction.temporaryName).c_str());
        extraction.temporaryName.clear();
    }
    return copied != 0 && !extraction.refused && !extraction.writeFailed;
}

}  // namespace

HMODULE Win32Archive::LoadUnpacker() {
    return reinterpret_cast<HMODULE>(LoadSystemLibrary("cabinet.dll"));
}

bool Win32Archive::HasEntryPoints(HMODULE module) {
    return module != nullptr && Export<FdiCreateFunction>(module, "FDICreate") != nullptr &&
           Export<FdiCopyFunction>(module, "FDICopy") != nullptr &&
           Export<FdiDestroyFunction>(module, "FDIDestroy") != nullptr;
}

int Win32Archive::Extract(HMODULE module, const char* archivePath, const char* outputFolder,
                          std::vector<std::string>* unpacked) {
    if (unpacked != nullptr) unpacked->clear();
    if (!HasEntryPoints(module)) return kExtractNoEntryPoints;
    if (archivePath == nullptr || outputFolder == nullptr || *outputFolder == '\0') return kExtractNoArchive;
    ::DWORD attributes = ::GetFileAttributesW(WideArg(archivePath).get());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return kExtractNoArchive;
    }
    auto fdiCreate = Export<FdiCreateFunction>(module, "FDICreate");
    auto fdiCopy = Export<FdiCopyFunction>(module, "FDICopy");
    auto fdiDestroy = Export<FdiDestroyFunction>(module, "FDIDestroy");

    std::string folder, name;
    SplitArchivePath(archivePath, &folder, &name);
    std::string output = outputFolder;
    if (!EndsWithSeparator(output)) output += '\\';

    ERF error{};
    HFDI fdi = fdiCreate(CabAllocate, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek, cpuUNKNOWN, &error);
    if (fdi == nullptr) return kExtractFailed;

    int result = kExtractOk;
    Extraction extraction;
    extraction.outputFolder = output;
    if (!RunPass(fdiCopy, fdi, folder, name, extraction)) {
        result = extraction.refused ? kExtractRefusedEntry : kExtractFailed;
    } else {
        extraction.writing = true;
        if (!RunPass(fdiCopy, fdi, folder, name, extraction)) {
            result = extraction.refused ? kExtractRefusedEntry : kExtractFailed;
        }
    }
    fdiDestroy(fdi);
    if (result == kExtractOk && unpacked != nullptr) *unpacked = std::move(extraction.unpacked);
    return result;
}

BOOL Win32Archive::FreeLibrary(HMODULE module) { return ::FreeLibrary(Module(module)); }

}  // namespace platform::win32
