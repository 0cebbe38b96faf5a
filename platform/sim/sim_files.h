// Simulated machine: the C:\ folder tree and its profile files.
//
// The tree lives in a host folder (sandboxRoot + "/c"). Windows paths are
// resolved onto it component by component without regard to case (ASCII
// letters only; a code page 936 double-byte character is compared as it
// is), '/' and '\' both separate and doubled separators count as one. Host
// symbolic links in the tree are listed as reparse points and never
// followed: an operation that would go through one is refused, so that
// nothing the installer does can reach outside the sandbox.
//
// A name is found at the same cost whatever its folder holds: as spelled on
// the host directly, otherwise through an index of the folder's names that
// the simulation's own changes keep current and that is read again when the
// folder's host status (inode, times, size, links) changes. A name made on
// the host behind the simulation's back within one tick of the host's
// timestamps may be found only by its exact spelling until the folder
// changes again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

struct stat;

#include "platform/files.h"
#include "platform/sim/sim_access.h"
#include "platform/sim/sim_env.h"

namespace platform::sim {

// Name rules of the simulated file system, shared with its profile reader.
// ASCII letters compare without case; a code page 936 lead byte (0x81-0xFE)
// and the byte after it are one character, compared as they are.
bool NamesEqualNoCase(const std::string& a, const std::string& b);
std::string UpperCaseKey(const std::string& name);  // sort key, NTFS-like
// "*" and "?" as FindFirstFileA takes them; "*.*" matches every name.
bool WildcardMatch(const std::string& pattern, const std::string& name);
// Splits a Windows path on drive C: into its components, relative paths
// taken from currentDirectory; doubled separators count as one and "." and
// ".." are applied. False for another drive or a UNC name.
bool SplitWindowsPath(const std::string& path, const std::string& currentDirectory,
                      std::vector<std::string>* components);

class SimFiles : public platform::Files {
public:
    SimFiles(SimEnv& env, std::string sandboxRoot);
    ~SimFiles() override;
    SimFiles(const SimFiles&) = delete;
    // (CreateFileA follows a link only to a file inside the sandbox, and
    // refuses any other, as the tree's other operations refuse links.)
    SimFiles& operator=(const SimFiles&) = delete;

    win::DWORD GetCurrentDirectoryA(win::DWORD bufferLength, char* buffer) override;
    win::UINT GetSystemDirectoryA(char* buffer, win::UINT size) override;
    win::UINT GetWindowsDirectoryA(char* buffer, win::UINT size) override;
    win::DWORD GetFileAttributesA(const char* fileName) override;
    win::BOOL CopyFileA(const char* existingFileName, const char* newFileName, win::BOOL failIfExists) override;
    win::BOOL Wow64DisableWow64FsRedirection(void** oldValue) override;
    win::BOOL Wow64RevertWow64FsRedirection(void* oldValue) override;
    win::BOOL DeleteFileA(const char* fileName) override;
    win::BOOL MoveFileExA(const char* existingFileName, const char* newFileName, win::DWORD flags) override;
    win::BOOL CreateDirectoryA(const char* pathName, const win::SECURITY_ATTRIBUTES* security) override;
    win::BOOL RemoveDirectoryA(const char* pathName) override;
    win::HANDLE FindFirstFileA(const char* fileName, win::WIN32_FIND_DATAA* findData) override;
    win::BOOL FindNextFileA(win::HANDLE findFile, win::WIN32_FIND_DATAA* findData) override;
    win::BOOL FindClose(win::HANDLE findFile) override;
    win::HANDLE CreateFileA(const char* fileName, win::DWORD desiredAccess, win::DWORD shareMode,
                            const win::SECURITY_ATTRIBUTES* security, win::DWORD creationDisposition,
                            win::DWORD flagsAndAttributes, win::HANDLE templateFile) override;
    win::BOOL GetFileInformationByHandle(win::HANDLE file, win::BY_HANDLE_FILE_INFORMATION* information) override;
    win::BOOL WriteFile(win::HANDLE file, const void* buffer, win::DWORD toWrite, win::DWORD* written) override;
    win::BOOL CloseHandle(win::HANDLE file) override;
    win::BOOL ReadFile(win::HANDLE file, void* buffer, win::DWORD toRead, win::DWORD* read) override;
    win::DWORD GetFileVersionInfoSizeA(const char* fileName, win::DWORD* handle) override;
    win::BOOL GetFileVersionInfoA(const char* fileName, win::DWORD handle, win::DWORD length, void* data) override;
    win::BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, win::UINT* length) override;

    win::DWORD GetPrivateProfileSectionNamesA(char* returnBuffer, win::DWORD size, const char* fileName) override;
    win::DWORD GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                        char* returnedString, win::DWORD size, const char* fileName) override;
    win::DWORD GetTempPath2A(win::DWORD bufferLength, char* buffer) override;
    win::DWORD GetModuleFileNameA(win::HMODULE module, char* fileName, win::DWORD size) override;
    win::DWORD GetCurrentProcessId() override;
    win::BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(const char* sddl, win::DWORD revision,
                                                                   void** descriptor, win::DWORD* size) override;
    void* LocalFree(void* memory) override;

    // Machine set-up and test helpers. They record nothing and inject no
    // faults; paths are Windows paths like the calls above.
    bool WriteFile(const std::string& winPath, const std::string& bytes);  // creates missing folders
    std::optional<std::string> ReadFile(const std::string& winPath) const;
    bool Exists(const std::string& winPath) const;
    bool SetReadOnly(const std::string& winPath, bool readOnly);
    // Gives an existing file the version a.b.c.d (sim_version_info.h).
    bool SetFileVersion(const std::string& winPath, win::WORD major, win::WORD minor, win::WORD build,
                        win::WORD revision);
    std::string HostPath(const std::string& winPath) const;  // empty when it cannot be resolved
    // A host symbolic link at winPath (its folder must exist) to hostTarget.
    bool MakeLink(const std::string& winPath, const std::string& hostTarget);
    // A second name (a hard link) at winPath for the file at existingWinPath.
    bool MakeHardLink(const std::string& winPath, const std::string& existingWinPath);
    bool SetCurrentDirectory(const std::string& winPath);  // an existing folder
    // What GetSystemDirectoryA reports ("C:\Windows\System32" by default).
    void SetSystemDirectory(const std::string& winPath);
    // The caller is a 32-bit program on 64-bit Windows: the calls above
    // (not these helpers, nor the machine's own services) see the folders
    // through WOW64's file-system redirection (sim_wow64.h).
    void SetWow64Redirection(bool on);
    // Whether WOW64 offers the Sysnative alias (the default).
    void SetHasSysnative(bool present);
    // What GetTempPath2A reports ("C:\Windows\SystemTemp\" by default: a
    // process of SYSTEM on current Windows).
    void SetTempFolder(const std::string& winPath);
    // What GetModuleFileNameA reports ("C:\Tools\DriverSetup.exe").
    void SetProgramPath(const std::string& winPath);
    // Who made the file or folder ("Administrators" for the installer's own
    // calls); empty when the machine's set-up made it.
    std::string OwnerOf(const std::string& winPath) const;

    // A second, standard user signed in to the machine: the calls a test
    // makes through it are checked against the access lists (sim_access.h)
    // as that user's, while the installer's own calls are an elevated
    // administrator's. Each returns 0 or the error (ERROR_ACCESS_DENIED).
    class User {
    public:
        User(SimFiles& files, std::string name) : m_files(files), m_name(std::move(name)) {}
        win::DWORD CreateFolder(const std::string& winPath);
        // Creates the file or replaces its bytes.
        win::DWORD WriteFile(const std::string& winPath, const std::string& bytes);
        // Renames a file or folder to a name that is free.
        win::DWORD Rename(const std::string& fromWinPath, const std::string& toWinPath);
        // A file, or an empty folder.
        win::DWORD Delete(const std::string& winPath);

    private:
        SimFiles& m_files;
        std::string m_name;
    };
    User AsUser(const std::string& name) { return User(*this, name); }

    // How many times an operation refused to go through a link.
    int LinkRefusals() const;
    // The files a running program keeps loaded (the spooler its monitors'
    // DLLs), replacing the ones it kept before. A loaded file is held by
    // what it is, not by its name: a copy over it fails with
    // ERROR_SHARING_VIOLATION and a deletion with ERROR_ACCESS_DENIED, while
    // a rename goes through and the file stays loaded under its new name.
    void SetLoadedFiles(const std::vector<std::string>& winPaths);
    // Who calls: MOVEFILE_DELAY_UNTIL_REBOOT needs an administrator.
    void SetCaller(SimToken caller);  // default: an elevated administrator
    // The renames MoveFileExA recorded for the next start of the system, in
    // order: {from, to}, `to` empty for a deletion.
    std::vector<std::pair<std::string, std::string>> PendingRenames() const;
    const std::string& HostRoot() const { return m_hostRoot; }
    // A readable listing of the C:\ tree, for failing tests.
    std::string ToString() const;

    // Where a Windows path lands on the host. Used by the simulated unpacker.
    struct Resolution {
        win::DWORD error = 0;   // nonzero when the path cannot be resolved
        std::string winPath;    // normalised: "C:\Ticket\x86" (existing components spelled as on disk)
        std::string hostPath;   // host path of the last component, existing or not
        bool isRoot = false;
        bool exists = false;
        bool isLink = false;    // the last component is a host symbolic link
        bool isDirectory = false;  // a real folder (never true for a link)
    };
    Resolution Resolve(const std::string& winPath) const;
    // Renames a finished host file onto its target (the unpacker's last
    // step), keeping the index of names of the target's folder current.
    bool PlaceHostFile(const std::string& hostTemporary, const std::string& hostTarget);
    // Resolves a folder, creating the missing ones; never through a link.
    Resolution CreateFolders(const std::string& winPath);

private:
    struct FindState {
        std::vector<win::WIN32_FIND_DATAA> entries;
        size_t next = 0;
    };

    // The names of one host folder by their case-folded key, and the folder's
    // host status when they were read: a folder whose status differs has
    // changed behind the simulation's back and is read again.
    struct FolderIndex {
        std::unordered_map<std::string, std::string> names;
        bool built = false;
        std::uint64_t status[7] = {};  // inode, modification and change times (s, ns), size, links
        bool Matches(const struct stat& st) const;
        void Take(const struct stat& st);
    };

    Resolution ResolveLocked(const std::string& winPath) const;
    // The path a calling program means, after WOW64's redirection.
    std::string CallerPath(const char* winPath) const;
    std::string MatchInFolderLocked(const std::string& hostFolder, const std::string& component, bool* found) const;
    // The simulation itself added (present) or removed the entry at hostPath.
    void NoteEntryLocked(const std::string& hostPath, bool present) const;
    bool Fault(const char* operation);
    // Whether the file at hostPath is one a running program keeps loaded.
    bool LoadedLocked(const std::string& hostPath) const;
    win::DWORD AttributesOf(const std::string& hostPath) const;
    std::optional<std::string> ReadHostFile(const std::string& hostPath) const;
    void CountLinkRefusal() const;
    win::UINT CopyOut(const std::string& text, char* buffer, win::UINT size) const;
    // Reads a profile file's bytes; nullopt when it is missing or refused.
    std::optional<std::string> ReadProfileLocked(const char* fileName) const;

    // Who makes the calls: the owner of what they create, and the
    // principals the access lists are checked against.
    struct Caller {
        std::string owner;
        std::set<std::string> principals;
    };
    static Caller UserCaller(const std::string& name);
    // The key of a resolved path in the access lists, and of its folder.
    static std::string AccessKey(const std::string& winPath);
    static std::string FolderKey(const std::string& winPath);
    // Whether the caller may add `r` (which does not exist) or change it.
    bool MayWriteLocked(const Resolution& r) const;
    win::DWORD UserWriteFile(const std::string& name, const std::string& winPath, const std::string& bytes);
    win::DWORD UserRename(const std::string& name, const std::string& from, const std::string& to);
    win::DWORD AsCaller(const std::string& name, const std::function<win::BOOL()>& call);
    // An existing name, resolved for the caller; false, with the last error
    // set (the resolution's, else ERROR_FILE_NOT_FOUND), when it is not.
    bool ResolveExistingLocked(const char* fileName, Resolution* r) const;
    // The host descriptor of an open file (-1 for a link opened itself);
    // false, with ERROR_INVALID_HANDLE, for a handle that is not open.
    bool OpenDescriptor(win::HANDLE file, int* fd);

    SimEnv& m_env;
    std::string m_hostRoot;
    SimAccess m_access;
    Caller m_caller;
    // The descriptors ConvertStringSecurityDescriptorToSecurityDescriptorA
    // handed out, by their address.
    std::map<const void*, std::unique_ptr<SimAcl>> m_descriptors;
    std::string m_tempFolder = "C:\\Windows\\SystemTemp\\";
    std::string m_programPath = "C:\\Tools\\DriverSetup.exe";
    win::DWORD m_processId = 4242;
    std::string m_currentDirectory = "C:\\Setup";
    std::string m_systemDirectory = "C:\\Windows\\System32";
    std::string m_windowsDirectory = "C:\\Windows";
    std::map<std::uintptr_t, FindState> m_finds;
    // Open files: a host descriptor, or -1 for a link opened itself.
    std::map<std::uintptr_t, int> m_openFiles;
    std::map<std::uintptr_t, std::string> m_openLinks;  // the host path of each link opened itself
    std::uintptr_t m_nextFindHandle = 0x1000;
    mutable int m_linkRefusals = 0;
    // The loaded files, by host device and inode.
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_loaded;
    SimToken m_token = SimToken::kElevatedAdministrator;  // whether the caller is elevated
    std::vector<std::pair<std::string, std::string>> m_pendingRenames;
    bool m_wow64Redirection = false;
    bool m_hasSysnative = true;
    // The threads that have turned the redirection off.
    std::set<std::thread::id> m_redirectionOff;
    mutable std::unordered_map<std::string, FolderIndex> m_folderIndex;  // by host folder
    mutable std::recursive_mutex m_mutex;
};

}  // namespace platform::sim
