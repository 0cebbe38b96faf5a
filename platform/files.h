// Files, folders and profile files, in the ANSI forms of the kernel32 calls.
// Paths are Windows paths ("C:\Ticket\x86\uniDRV.DLL"); names compare without
// regard to case, and '/' is a separator as well as '\'.
#pragma once

#include "platform/win_types.h"

namespace platform {

using win::BOOL;
using win::DWORD;
using win::HANDLE;

class Files {
public:
    virtual ~Files() = default;

    virtual DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer) = 0;
    virtual win::UINT GetSystemDirectoryA(char* buffer, win::UINT size) = 0;
    virtual win::UINT GetWindowsDirectoryA(char* buffer, win::UINT size) = 0;
    virtual DWORD GetFileAttributesA(const char* fileName) = 0;
    virtual BOOL CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists) = 0;
    virtual BOOL DeleteFileA(const char* fileName) = 0;
    // Renames a file or folder ("MoveFileExA function"). A file held open
    // by a running program, a loaded DLL among them, may be renamed where it
    // may be neither replaced nor deleted. MOVEFILE_DELAY_UNTIL_REBOOT
    // records the rename (a null new name: the deletion) for the next
    // start of the system, and needs an administrator (ERROR_ACCESS_DENIED
    // otherwise).
    virtual BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) = 0;
    virtual BOOL CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) = 0;
    virtual BOOL RemoveDirectoryA(const char* pathName) = 0;
    virtual HANDLE FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) = 0;
    virtual BOOL FindNextFileA(HANDLE findFile, win::WIN32_FIND_DATAA* findData) = 0;
    virtual BOOL FindClose(HANDLE findFile) = 0;

    // WOW64's file-system redirection of the calling thread, as kernel32's
    // calls of these names ("File System Redirector"): off until reverted,
    // for every file call of the thread. Fails with ERROR_INVALID_FUNCTION
    // in a process that is not under WOW64, and where kernel32 lacks them.
    virtual BOOL Wow64DisableWow64FsRedirection(void** oldValue) = 0;
    virtual BOOL Wow64RevertWow64FsRedirection(void* oldValue) = 0;

    // A file opened to append to (the run's log), or to read (the package,
    // for its fingerprint). The simulated machine takes GENERIC_WRITE or
    // FILE_APPEND_DATA, OPEN_EXISTING or OPEN_ALWAYS (ERROR_ALREADY_EXISTS
    // when it was there), or GENERIC_READ alone with OPEN_EXISTING, and the flag
    // FILE_FLAG_OPEN_REPARSE_POINT, which opens a link itself; without it a
    // link is followed. INVALID_HANDLE_VALUE on failure.
    virtual HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                               const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                               DWORD flagsAndAttributes, HANDLE templateFile) = 0;
    // Its attributes (FILE_ATTRIBUTE_REPARSE_POINT for a link), size and
    // number of names (hard links).
    virtual BOOL GetFileInformationByHandle(HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) = 0;
    // Appends when opened with FILE_APPEND_DATA; no overlapped writes.
    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written) = 0;
    virtual BOOL CloseHandle(HANDLE file) = 0;
    // Reads from a file opened with GENERIC_READ; *read is 0 at its end. No
    // overlapped reads.
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read) = 0;

    // A file's version resource, as version.dll's calls of these names
    // ("GetFileVersionInfoSizeA function", "GetFileVersionInfoA function",
    // "VerQueryValueA function"). The size is 0 with the last error set for
    // a file without one. The program reads the root block ("\\", the
    // VS_FIXEDFILEINFO) only; the simulated machine answers no other.
    virtual DWORD GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) = 0;
    virtual BOOL GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD length, void* data) = 0;
    virtual BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, win::UINT* length) = 0;

    virtual DWORD GetPrivateProfileSectionNamesA(char* returnBuffer, DWORD size, const char* fileName) = 0;
    virtual DWORD GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                           char* returnedString, DWORD size, const char* fileName) = 0;

    // --- A private folder for the driver package, and the program's own ---
    // The system's temporary folder, ending in '\': GetTempPath2A where
    // kernel32 has it (a process of SYSTEM then gets C:\Windows\SystemTemp,
    // which standard users cannot write), else GetTempPathA. Length copied,
    // or the size needed when the buffer is too small, 0 on failure.
    virtual DWORD GetTempPath2A(DWORD bufferLength, char* buffer) = 0;
    // The program's own file (module nullptr only), as kernel32's call.
    virtual DWORD GetModuleFileNameA(win::HMODULE module, char* fileName, DWORD size) = 0;
    virtual DWORD GetCurrentProcessId() = 0;
    // advapi32's conversion of an SDDL text (revision 1) into a security
    // descriptor for SECURITY_ATTRIBUTES, to be freed with LocalFree. The
    // simulated machine understands the subset in platform/sim/sim_access.h.
    virtual BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, DWORD revision,
                                                                      void** descriptor, DWORD* size) = 0;
    virtual void* LocalFree(void* memory) = 0;
};

}  // namespace platform
