// Windows backend: files, folders and profile files, through kernel32.
#include "platform/win32/win32_files.h"

#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {
::WIN32_FIND_DATAA* FindData(win::WIN32_FIND_DATAA* data) { return reinterpret_cast<::WIN32_FIND_DATAA*>(data); }

// 32-bit Windows XP and earlier lack these: looked up, never imported.
template <typename Function>
Function Kernel32Function(const char* name) {
    ::HMODULE kernel32 = ::GetModuleHandleA("kernel32");
    return kernel32 != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)))
                               : nullptr;
}
}  // namespace

DWORD Win32Files::GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
    return ::GetCurrentDirectoryA(bufferLength, buffer);
}

win::UINT Win32Files::GetSystemDirectoryA(char* buffer, win::UINT size) { return ::GetSystemDirectoryA(buffer, size); }

win::UINT Win32Files::GetWindowsDirectoryA(char* buffer, win::UINT size) {
    return ::GetWindowsDirectoryA(buffer, size);
}

HANDLE Win32Files::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                               const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                               DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileA(fileName, desiredAccess, shareMode,
                         reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security)),
                         creationDisposition, flagsAndAttributes, templateFile);
}

BOOL Win32Files::GetFileInformationByHandle(HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) {
    static_assert(sizeof(win::BY_HANDLE_FILE_INFORMATION) == sizeof(::BY_HANDLE_FILE_INFORMATION),
                  "layout of BY_HANDLE_FILE_INFORMATION");
    return ::GetFileInformationByHandle(file, reinterpret_cast<::BY_HANDLE_FILE_INFORMATION*>(information));
}

BOOL Win32Files::WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written) {
    return ::WriteFile(file, buffer, toWrite, Out(written).get(), nullptr);
}

BOOL Win32Files::CloseHandle(HANDLE file) { return ::CloseHandle(file); }

DWORD Win32Files::GetFileAttributesA(const char* fileName) { return ::GetFileAttributesA(fileName); }

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

BOOL Win32Files::CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists) {
    return ::CopyFileA(existingFileName, newFileName, failIfExists);
}

BOOL Win32Files::DeleteFileA(const char* fileName) { return ::DeleteFileA(fileName); }

BOOL Win32Files::CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) {
    auto* attributes = reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security));
    return ::CreateDirectoryA(pathName, attributes);
}

BOOL Win32Files::RemoveDirectoryA(const char* pathName) { return ::RemoveDirectoryA(pathName); }

HANDLE Win32Files::FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) {
    return ::FindFirstFileA(fileName, FindData(findData));
}

BOOL Win32Files::FindNextFileA(HANDLE findFile, win::WIN32_FIND_DATAA* findData) {
    return ::FindNextFileA(findFile, FindData(findData));
}

BOOL Win32Files::FindClose(HANDLE findFile) { return ::FindClose(findFile); }

DWORD Win32Files::GetPrivateProfileSectionNamesA(char* returnBuffer, DWORD size, const char* fileName) {
    return ::GetPrivateProfileSectionNamesA(returnBuffer, size, fileName);
}

DWORD Win32Files::GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                           char* returnedString, DWORD size, const char* fileName) {
    return ::GetPrivateProfileStringA(appName, keyName, defaultValue, returnedString, size, fileName);
}

}  // namespace platform::win32
