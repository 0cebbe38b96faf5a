// Windows backend: files, folders and profile files, through kernel32.
#pragma once

#include "platform/files.h"

namespace platform::win32 {

class Win32Files : public Files {
public:
    DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer) override;
    win::UINT GetSystemDirectoryA(char* buffer, win::UINT size) override;
    win::UINT GetWindowsDirectoryA(char* buffer, win::UINT size) override;
    DWORD GetFileAttributesA(const char* fileName) override;
    BOOL CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists) override;
    BOOL Wow64DisableWow64FsRedirection(void** oldValue) override;
    BOOL Wow64RevertWow64FsRedirection(void* oldValue) override;
    BOOL DeleteFileA(const char* fileName) override;
    BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) override;
    BOOL CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) override;
    BOOL RemoveDirectoryA(const char* pathName) override;
    HANDLE FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) override;
    BOOL FindNextFileA(HANDLE findFile, win::WIN32_FIND_DATAA* findData) override;
    BOOL FindClose(HANDLE findFile) override;
    HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                       const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition, DWORD flagsAndAttributes,
                       HANDLE templateFile) override;
    BOOL GetFileInformationByHandle(HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written) override;
    BOOL CloseHandle(HANDLE file) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read) override;
    DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) override;
    BOOL GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD length, void* data) override;
    BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, win::UINT* length) override;

    DWORD GetPrivateProfileSectionNamesA(char* returnBuffer, DWORD size, const char* fileName) override;
    DWORD GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                   char* returnedString, DWORD size, const char* fileName) override;
    DWORD GetTempPath2A(DWORD bufferLength, char* buffer) override;
    DWORD GetModuleFileNameA(win::HMODULE module, char* fileName, DWORD size) override;
    DWORD GetCurrentProcessId() override;
    BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, DWORD revision, void** descriptor,
                                                              DWORD* size) override;
    void* LocalFree(void* memory) override;
};

}  // namespace platform::win32
