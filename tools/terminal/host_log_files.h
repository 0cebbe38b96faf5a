// The terminal front end's log stays a file of this Linux machine (its /LOG
// paths are host paths), under the rules the program's log keeps on
// Windows: a symbolic link at the log's name is opened as itself, never
// followed (O_NOFOLLOW), and the number of names is the host's link count.
// Only what the log needs is here; every other call fails with
// ERROR_NOT_SUPPORTED.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/files.h"

namespace terminal {

class HostLogFiles : public platform::Files {
public:
    ~HostLogFiles() override;

    win::HANDLE CreateFileA(const char* fileName, win::DWORD desiredAccess, win::DWORD shareMode,
                            const win::SECURITY_ATTRIBUTES* security, win::DWORD creationDisposition,
                            win::DWORD flagsAndAttributes, win::HANDLE templateFile) override;
    win::BOOL GetFileInformationByHandle(win::HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) override;
    win::BOOL WriteFile(win::HANDLE file, const void* buffer, win::DWORD toWrite, win::DWORD* written) override;
    win::BOOL CloseHandle(win::HANDLE file) override;
    win::DWORD GetFileAttributesA(const char* fileName) override;
    win::BOOL CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) override;

    win::DWORD GetCurrentDirectoryA(win::DWORD, char*) override { return Unsupported(); }
    win::UINT GetSystemDirectoryA(char*, win::UINT) override { return Unsupported(); }
    win::UINT GetWindowsDirectoryA(char*, win::UINT) override { return Unsupported(); }
    win::BOOL CopyFileA(const char*, const char*, win::BOOL) override { return Unsupported(); }
    win::BOOL DeleteFileA(const char*) override { return Unsupported(); }
    win::BOOL MoveFileExA(const char*, const char*, win::DWORD) override { return Unsupported(); }
    win::BOOL RemoveDirectoryA(const char*) override { return Unsupported(); }
    win::HANDLE FindFirstFileA(const char*, win::WIN32_FIND_DATAA*) override {
        Unsupported();
        return win::INVALID_HANDLE_VALUE;
    }
    win::BOOL FindNextFileA(win::HANDLE, win::WIN32_FIND_DATAA*) override { return Unsupported(); }
    win::BOOL FindClose(win::HANDLE) override { return Unsupported(); }
    win::BOOL Wow64DisableWow64FsRedirection(void**) override { return Unsupported(); }
    win::BOOL Wow64RevertWow64FsRedirection(void*) override { return Unsupported(); }
    win::BOOL ReadFile(win::HANDLE, void*, win::DWORD, win::DWORD*) override { return Unsupported(); }
    win::DWORD GetFileVersionInfoSizeA(const char*, win::DWORD*) override { return Unsupported(); }
    win::BOOL GetFileVersionInfoA(const char*, win::DWORD, win::DWORD, void*) override { return Unsupported(); }
    win::BOOL VerQueryValueA(const void*, const char*, void**, win::UINT*) override { return Unsupported(); }
    win::DWORD GetPrivateProfileSectionNamesA(char*, win::DWORD, const char*) override { return Unsupported(); }
    win::DWORD GetPrivateProfileStringA(const char*, const char*, const char*, char*, win::DWORD,
                                        const char*) override {
        return Unsupported();
    }
    win::DWORD GetTempPath2A(win::DWORD, char*) override { return Unsupported(); }
    win::DWORD GetModuleFileNameA(win::HMODULE, char*, win::DWORD) override { return Unsupported(); }
    win::DWORD GetCurrentProcessId() override { return Unsupported(); }
    win::BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char*, win::DWORD, void**,
                                                                   win::DWORD*) override {
        return Unsupported();
    }
    void* LocalFree(void* memory) override { return memory; }

    // The error the last failed call of this thread left.
    static win::DWORD LastError();

private:
    static int Unsupported();

    std::mutex m_mutex;
    // A descriptor, or -1 for a link opened as itself (its path kept).
    std::map<std::uintptr_t, int> m_files;
    std::map<std::uintptr_t, std::string> m_links;
    std::uintptr_t m_next = 0x7000;
};

}  // namespace terminal
