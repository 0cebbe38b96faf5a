// Windows backend: files, folders and profile files, through kernel32's W
// functions with the program's code page 936 paths converted at the call
// (platform/win32/code_page.h).
#include "platform/win32/win32_files.h"

#include <optional>
#include <string>

#include "platform/profile_text.h"
#include "platform/win32/code_page.h"

#include <sddl.h>

namespace platform::win32 {

namespace {

// A folder name asked of a W function that takes a buffer and its size,
// answered as the A function answers: the length copied, or the size needed
// (zero included) when the buffer is too small, or 0 on failure.
template <typename Call>
::DWORD NarrowFolder(Call call, char* buffer, ::DWORD size) {
    const ::DWORD wideNeeded = call(nullptr, 0);
    if (wideNeeded == 0) return 0;
    std::wstring wide(wideNeeded, L'\0');
    const ::DWORD length = call(&wide[0], wideNeeded);
    if (length == 0 || length >= wideNeeded) return 0;
    const std::string narrow = Narrow(wide.c_str(), length);
    if (buffer == nullptr || size < narrow.size() + 1) return static_cast<::DWORD>(narrow.size() + 1);
    std::memcpy(buffer, narrow.c_str(), narrow.size() + 1);
    return static_cast<::DWORD>(narrow.size());
}

// The W record's names in 936; a name longer than the A record holds is
// cut at a whole character.
void NarrowFindData(const WIN32_FIND_DATAW& wide, win::WIN32_FIND_DATAA* findData) {
    auto* narrow = reinterpret_cast<::WIN32_FIND_DATAA*>(findData);
    narrow->dwFileAttributes = wide.dwFileAttributes;
    narrow->ftCreationTime = wide.ftCreationTime;
    narrow->ftLastAccessTime = wide.ftLastAccessTime;
    narrow->ftLastWriteTime = wide.ftLastWriteTime;
    narrow->nFileSizeHigh = wide.nFileSizeHigh;
    narrow->nFileSizeLow = wide.nFileSizeLow;
    narrow->dwReserved0 = wide.dwReserved0;
    narrow->dwReserved1 = wide.dwReserved1;
    CopyWhole(Narrow(wide.cFileName), narrow->cFileName, sizeof narrow->cFileName);
    CopyWhole(Narrow(wide.cAlternateFileName), narrow->cAlternateFileName, sizeof narrow->cAlternateFileName);
}

// The profile file's bytes. A bare name is looked for in the Windows
// folder, as the profile functions do ("GetPrivateProfileString function").
std::optional<std::string> ReadProfile(const char* fileName) {
    if (fileName == nullptr || *fileName == '\0') return std::nullopt;
    std::wstring path = Wide(fileName);
    if (path.find_first_of(L"\\/") == std::wstring::npos && !(path.size() >= 2 && path[1] == L':')) {
        wchar_t windows[MAX_PATH] = {};
        const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return std::nullopt;
        path = std::wstring(windows, length) + L"\\" + path;
    }
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    ::DWORD done = 0;
    while (::ReadFile(file, chunk, sizeof chunk, &done, nullptr) && done > 0) bytes.append(chunk, done);
    ::CloseHandle(file);
    return bytes;
}

}  // namespace

DWORD Win32Files::GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
    return NarrowFolder([](wchar_t* out, ::DWORD size) { return ::GetCurrentDirectoryW(size, out); }, buffer,
                        bufferLength);
}

win::UINT Win32Files::GetSystemDirectoryA(char* buffer, win::UINT size) {
    return NarrowFolder([](wchar_t* out, ::DWORD n) { return static_cast<::DWORD>(::GetSystemDirectoryW(out, n)); },
                        buffer, size);
}

win::UINT Win32Files::GetWindowsDirectoryA(char* buffer, win::UINT size) {
    return NarrowFolder([](wchar_t* out, ::DWORD n) { return static_cast<::DWORD>(::GetWindowsDirectoryW(out, n)); },
                        buffer, size);
}

DWORD Win32Files::GetFileAttributesA(const char* fileName) { return ::GetFileAttributesW(WideArg(fileName).get()); }

BOOL Win32Files::CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists) {
    return ::CopyFileW(WideArg(existingFileName).get(), WideArg(newFileName).get(), failIfExists);
}

BOOL Win32Files::Wow64DisableWow64FsRedirection(void** oldValue) {
    using Function = ::BOOL(WINAPI*)(::PVOID*);
    const auto disable = Kernel32Function<Function>("Wow64DisableWow64FsRedirection");
    if (disable == nullptr) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    return disable(oldValue);
}

BOOL Win32Files::Wow64RevertWow64FsRedirection(void* oldValue) {
    using Function = ::BOOL(WINAPI*)(::PVOID);
    const auto revert = Kernel32Function<Function>("Wow64RevertWow64FsRedirection");
    if (revert == nullptr) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    return revert(oldValue);
}

HANDLE Win32Files::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                               const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                               DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileW(WideArg(fileName).get(), desiredAccess, shareMode,
                         reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security)),
                         creationDisposition, flagsAndAttributes, templateFile);
}

BOOL Win32Files::GetFileInformationByHandle(HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) {
    static_assert(sizeof(win::BY_HANDLE_FILE_INFORMATION) == sizeof(::BY_HANDLE_FILE_INFORMATION),
                  "layout of BY_HANDLE_FILE_INFORMATION");
    return ::GetFileInformationByHandle(file, reinterpret_cast<::BY_HANDLE_FILE_INFORMATION*>(information));
}

BOOL Win32Files::WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written) {
    ::DWORD done = 0;
    const ::BOOL result = ::WriteFile(file, buffer, toWrite, &done, nullptr);
    if (written != nullptr) *written = done;
    return result;
}

BOOL Win32Files::CloseHandle(HANDLE file) { return ::CloseHandle(file); }

BOOL Win32Files::ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read) {
    ::DWORD done = 0;
    const ::BOOL result = ::ReadFile(file, buffer, toRead, &done, nullptr);
    if (read != nullptr) *read = done;
    return result;
}

// version.dll is loaded by its full path when first needed: the program
// imports only the system's known DLLs (scripts/check-pe.sh), and one
// planted beside the package must never be loaded. The file's path goes
// through the W form, in the program's code page; VerQueryValueA reads the
// block either form returns.
namespace {
template <typename Function>
Function VersionFunction(const char* name) {
    static const ::HMODULE version = LoadSystemLibrary("version.dll");
    if (version == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(version, name)));
}
}  // namespace

DWORD Win32Files::GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) {
    using Function = ::DWORD(WINAPI*)(::LPCWSTR, ::LPDWORD);
    const auto size = VersionFunction<Function>("GetFileVersionInfoSizeW");
    if (size == nullptr) return 0;
    ::DWORD ignored = 0;
    const ::DWORD result = size(WideArg(fileName).get(), &ignored);
    if (handle != nullptr) *handle = ignored;
    return result;
}

BOOL Win32Files::GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD length, void* data) {
    using Function = ::BOOL(WINAPI*)(::LPCWSTR, ::DWORD, ::DWORD, ::LPVOID);
    const auto info = VersionFunction<Function>("GetFileVersionInfoW");
    if (info == nullptr) return FALSE;
    return info(WideArg(fileName).get(), handle, length, data);
}

BOOL Win32Files::VerQueryValueA(const void* block, const char* subBlock, void** buffer, win::UINT* length) {
    using Function = ::BOOL(WINAPI*)(::LPCVOID, ::LPCSTR, ::LPVOID*, ::PUINT);
    const auto query = VersionFunction<Function>("VerQueryValueA");
    if (query == nullptr) return FALSE;
    return query(block, subBlock, buffer, length);
}

BOOL Win32Files::DeleteFileA(const char* fileName) { return ::DeleteFileW(WideArg(fileName).get()); }

BOOL Win32Files::MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
    return ::MoveFileExW(WideArg(existingFileName).get(), WideArg(newFileName).get(), flags);
}

BOOL Win32Files::CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) {
    auto* attributes = reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security));
    return ::CreateDirectoryW(WideArg(pathName).get(), attributes);
}

BOOL Win32Files::RemoveDirectoryA(const char* pathName) { return ::RemoveDirectoryW(WideArg(pathName).get()); }

HANDLE Win32Files::FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) {
    if (findData == nullptr) return ::FindFirstFileW(WideArg(fileName).get(), nullptr);
    WIN32_FIND_DATAW wide{};
    HANDLE found = ::FindFirstFileW(WideArg(fileName).get(), &wide);
    if (found != INVALID_HANDLE_VALUE) NarrowFindData(wide, findData);
    return found;
}

BOOL Win32Files::FindNextFileA(HANDLE findFile, win::WIN32_FIND_DATAA* findData) {
    if (findData == nullptr) return ::FindNextFileW(findFile, nullptr);
    WIN32_FIND_DATAW wide{};
    const BOOL found = ::FindNextFileW(findFile, &wide);
    if (found) NarrowFindData(wide, findData);
    return found;
}

BOOL Win32Files::FindClose(HANDLE findFile) { return ::FindClose(findFile); }

// The program's profile files are code page 936, which the system's own
// functions would read in the ANSI code page: they are read here, by the
// same rules (platform/profile_text.h).
DWORD Win32Files::GetPrivateProfileSectionNamesA(char* returnBuffer, DWORD size, const char* fileName) {
    if (returnBuffer == nullptr || size == 0) return 0;
    return ProfileSectionNames(ReadProfile(fileName), returnBuffer, size);
}

DWORD Win32Files::GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                           char* returnedString, DWORD size, const char* fileName) {
    if (returnedString == nullptr || size == 0) return 0;
    return ProfileString(ReadProfile(fileName), appName, keyName, defaultValue, returnedString, size);
}

// GetTempPath2W came with Windows 11 (and an update of Windows 10); it is
// looked up, never imported.
DWORD Win32Files::GetTempPath2A(DWORD bufferLength, char* buffer) {
    using Function = ::DWORD(WINAPI*)(::DWORD, ::LPWSTR);
    const auto temp2 = Kernel32Function<Function>("GetTempPath2W");
    return NarrowFolder(
        [temp2](wchar_t* out, ::DWORD size) { return temp2 != nullptr ? temp2(size, out) : ::GetTempPathW(size, out); },
        buffer, bufferLength);
}

// As the A function: a buffer too small gets the name cut, with its zero
// byte, and ERROR_INSUFFICIENT_BUFFER.
DWORD Win32Files::GetModuleFileNameA(win::HMODULE module, char* fileName, DWORD size) {
    std::wstring wide(32768, L'\0');
    const ::DWORD length =
        ::GetModuleFileNameW(reinterpret_cast<::HMODULE>(module), &wide[0], static_cast<::DWORD>(wide.size()));
    if (length == 0 || length >= wide.size()) return 0;
    if (fileName == nullptr || size == 0) return 0;
    const std::string narrow = Narrow(wide.c_str(), length);
    if (narrow.size() >= size) {
        std::memcpy(fileName, narrow.data(), size - 1);
        fileName[size - 1] = '\0';
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, narrow.c_str(), narrow.size() + 1);
    return static_cast<DWORD>(narrow.size());
}

DWORD Win32Files::GetCurrentProcessId() { return ::GetCurrentProcessId(); }


BOOL Win32Files::ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, DWORD revision,
                                                                      void** descriptor, DWORD* size) {
    ::ULONG length = 0;
    const ::BOOL done = ::ConvertStringSecurityDescriptorToSecurityDescriptorA(
        sddl, revision, reinterpret_cast<::PSECURITY_DESCRIPTOR*>(descriptor), &length);
    if (size != nullptr) *size = length;
    return done;
}

void* Win32Files::LocalFree(void* memory) { return ::LocalFree(memory); }

}  // namespace platform::win32
