// Logging machine: files and folders.
#include "platform/logging/logging_files.h"

namespace platform::logging {

DWORD LoggingFiles::GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
    return inner().GetCurrentDirectoryA(bufferLength, buffer);
}

win::UINT LoggingFiles::GetSystemDirectoryA(char* buffer, win::UINT size) {
    return inner().GetSystemDirectoryA(buffer, size);
}

win::UINT LoggingFiles::GetWindowsDirectoryA(char* buffer, win::UINT size) {
    return inner().GetWindowsDirectoryA(buffer, size);
}

// The run's log is written through these: its own writes are not logged.
HANDLE LoggingFiles::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                                 const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                                 DWORD flagsAndAttributes, HANDLE templateFile) {
    return inner().CreateFileA(fileName, desiredAccess, shareMode, security, creationDisposition, flagsAndAttributes,
                               templateFile);
}

BOOL LoggingFiles::GetFileInformationByHandle(HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) {
    return inner().GetFileInformationByHandle(file, information);
}

BOOL LoggingFiles::WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written) {
    return inner().WriteFile(file, buffer, toWrite, written);
}

BOOL LoggingFiles::CloseHandle(HANDLE file) { return inner().CloseHandle(file); }

// Reads change nothing: not logged.
BOOL LoggingFiles::ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read) {
    return inner().ReadFile(file, buffer, toRead, read);
}

DWORD LoggingFiles::GetFileVersionInfoSizeA(const char* fileName, DWORD* handle) {
    return inner().GetFileVersionInfoSizeA(fileName, handle);
}

BOOL LoggingFiles::GetFileVersionInfoA(const char* fileName, DWORD handle, DWORD length, void* data) {
    return inner().GetFileVersionInfoA(fileName, handle, length, data);
}

BOOL LoggingFiles::VerQueryValueA(const void* block, const char* subBlock, void** buffer, win::UINT* length) {
    return inner().VerQueryValueA(block, subBlock, buffer, length);
}

DWORD LoggingFiles::GetFileAttributesA(const char* fileName) { return inner().GetFileAttributesA(fileName); }

BOOL LoggingFiles::CopyFileA(const char* existingFileName, const char* newFileName, BOOL failIfExists) {
    const BOOL result = inner().CopyFileA(existingFileName, newFileName, failIfExists);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("CopyFileA")
                         .Text("from", existingFileName)
                         .Text("to", newFileName)
                         .Number("failIfExists", failIfExists ? 1 : 0)
                         .Returns(result, error));
    return result;
}

BOOL LoggingFiles::Wow64DisableWow64FsRedirection(void** oldValue) {
    const BOOL result = inner().Wow64DisableWow64FsRedirection(oldValue);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("Wow64DisableWow64FsRedirection").Returns(result, error));
    return result;
}

BOOL LoggingFiles::Wow64RevertWow64FsRedirection(void* oldValue) {
    const BOOL result = inner().Wow64RevertWow64FsRedirection(oldValue);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("Wow64RevertWow64FsRedirection").Returns(result, error));
    return result;
}

BOOL LoggingFiles::DeleteFileA(const char* fileName) {
    const BOOL result = inner().DeleteFileA(fileName);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("DeleteFileA").Text("file", fileName).Returns(result, error));
    return result;
}

BOOL LoggingFiles::MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
    const BOOL result = inner().MoveFileExA(existingFileName, newFileName, flags);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("MoveFileExA")
                         .Text("from", existingFileName)
                         .Text("to", newFileName)
                         .Number("flags", flags)
                         .Returns(result, error));
    return result;
}

BOOL LoggingFiles::CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) {
    const BOOL result = inner().CreateDirectoryA(pathName, security);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("CreateDirectoryA").Text("folder", pathName).Returns(result, error));
    return result;
}

BOOL LoggingFiles::RemoveDirectoryA(const char* pathName) {
    const BOOL result = inner().RemoveDirectoryA(pathName);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("RemoveDirectoryA").Text("folder", pathName).Returns(result, error));
    return result;
}

HANDLE LoggingFiles::FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) {
    return inner().FindFirstFileA(fileName, findData);
}

BOOL LoggingFiles::FindNextFileA(HANDLE findFile, win::WIN32_FIND_DATAA* findData) {
    return inner().FindNextFileA(findFile, findData);
}

BOOL LoggingFiles::FindClose(HANDLE findFile) { return inner().FindClose(findFile); }

DWORD LoggingFiles::GetPrivateProfileSectionNamesA(char* returnBuffer, DWORD size, const char* fileName) {
    return inner().GetPrivateProfileSectionNamesA(returnBuffer, size, fileName);
}

DWORD LoggingFiles::GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                             char* returnedString, DWORD size, const char* fileName) {
    return inner().GetPrivateProfileStringA(appName, keyName, defaultValue, returnedString, size, fileName);
}

DWORD LoggingFiles::GetTempPath2A(DWORD bufferLength, char* buffer) {
    return inner().GetTempPath2A(bufferLength, buffer);
}

DWORD LoggingFiles::GetModuleFileNameA(win::HMODULE module, char* fileName, DWORD size) {
    return inner().GetModuleFileNameA(module, fileName, size);
}

DWORD LoggingFiles::GetCurrentProcessId() { return inner().GetCurrentProcessId(); }


// The access list a new folder is to get is logged with the conversion.
BOOL LoggingFiles::ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, DWORD revision,
                                                                        void** descriptor, DWORD* size) {
    const BOOL result = inner().ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, revision, descriptor, size);
    KeptError error(m_recorder.inner());
    m_recorder.Write(
        CallLine("ConvertStringSecurityDescriptorToSecurityDescriptorA").Text("sddl", sddl).Returns(result, error));
    return result;
}

void* LoggingFiles::LocalFree(void* memory) { return inner().LocalFree(memory); }

}  // namespace platform::logging
