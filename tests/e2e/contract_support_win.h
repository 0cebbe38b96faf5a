// Windows (the contract suites under Wine): what the shared contract suites
// need of the real machine beyond the seam itself. Only seam types appear
// here, so the suites include it without windows.h.
#pragma once

#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/machine.h"
#include "platform/win_types.h"

namespace e2e {

std::unique_ptr<platform::Machine> MakeWin32Machine();

// True under Wine (ntdll exports wine_get_version): where Wine is known to
// differ from Windows (docs/wine-differences.md) the suites assert Wine's
// behaviour there and Windows' everywhere else.
bool RunningUnderWine();

// The spooler environment of this program's width: "Windows x64" for the
// 64-bit build, "Windows NT x86" for the 32-bit one. A printer's driver must
// be registered there: Windows looks in the system's environment, Wine in
// the caller's, and in a prefix of the program's own width the two agree
// (docs/wine-differences.md).
const char* OwnSpoolerEnvironment();

// Writes a file with these bytes at a Windows path whose folder exists.
bool PlaceWin32File(platform::Machine& machine, const std::string& path, const std::string& bytes);

// Traits of the typed Files suite: a fresh folder under the temporary
// folder, removed with everything in it afterwards.
class Win32FilesTraits {
public:
    Win32FilesTraits();
    ~Win32FilesTraits();
    Win32FilesTraits(const Win32FilesTraits&) = delete;
    Win32FilesTraits& operator=(const Win32FilesTraits&) = delete;

    platform::Files& files();
    std::string Root() { return m_root; }
    void Write(const std::string& path, const std::string& bytes);
    void SetReadOnly(const std::string& path, bool on);
    // A file with a version resource: the system's kernel32.dll.
    std::string Versioned(const std::string& path);
    win::DWORD LastError();
    void SetLastError(win::DWORD code);

private:
    std::unique_ptr<platform::Machine> m_machine;
    std::string m_root;
};

// Traits of the typed unpacker suite: the machine, a fresh scratch folder
// (a Windows path without a trailing '\'), and an output folder whose
// "Ticket" is a link to an empty folder elsewhere. Windows makes a
// directory symbolic link (skipped without the right to); under Wine, which
// cannot make one, scripts/e2e-wine.sh leaves a host symbolic link at
// INSTALLER_CONTRACT_LINK\Ticket.
class Win32ArchiveTraits {
public:
    Win32ArchiveTraits();
    ~Win32ArchiveTraits();
    Win32ArchiveTraits(const Win32ArchiveTraits&) = delete;
    Win32ArchiveTraits& operator=(const Win32ArchiveTraits&) = delete;

    platform::Machine& machine() { return *m_machine; }
    std::string Root() { return m_root; }
    bool Write(const std::string& path, const std::string& bytes);
    std::string Read(const std::string& path);  // "<missing>" when it cannot be read
    // False when no link can be made here.
    bool LinkedOutput(std::string* output);
    // Whether the link's target holds nothing, looked at through the link.
    bool LinkTargetIsEmpty();

private:
    std::unique_ptr<platform::Machine> m_machine;
    std::string m_root;
    std::string m_linkedOutput;
    bool m_ownLink = false;
};

}  // namespace e2e
