// Windows (the contract suites under Wine): the real machine for the shared
// contract suites.
#include "tests/e2e/contract_support_win.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win32/win32_machine.h"

// After the seam headers.
#include "platform/win32/windows_support.h"

namespace e2e {

namespace {

// Read-only files first lose the attribute, or the tree would stay behind.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const char* OwnSpoolerEnvironment() { return sizeof(void*) == 8 ? "Windows x64" : "Windows NT x86"; }

std::unique_ptr<platform::Machine> MakeWin32Machine() { return std::make_unique<platform::win32::Win32Machine>(); }

bool PlaceWin32File(platform::Machine&, const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

Win32FilesTraits::Win32FilesTraits() : m_machine(MakeWin32Machine()) {
    static int s_counter = 0;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string base = temp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    m_root = base + "\\contract-files-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_counter);
    RemoveTree(m_root);
    EXPECT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr)) << m_root << " " << ::GetLastError();
}

Win32FilesTraits::~Win32FilesTraits() { RemoveTree(m_root); }

platform::Files& Win32FilesTraits::files() { return m_machine->files(); }

void Win32FilesTraits::Write(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(PlaceWin32File(*m_machine, path, bytes)) << path << " " << ::GetLastError();
}

void Win32FilesTraits::SetReadOnly(const std::string& path, bool on) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
    const DWORD wanted = on ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), wanted)) << path << " " << ::GetLastError();
}

std::string Win32FilesTraits::Versioned(const std::string&) {
    char system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system, length) + "\\kernel32.dll";
}

win::DWORD Win32FilesTraits::LastError() { return m_machine->GetLastError(); }

void Win32FilesTraits::SetLastError(win::DWORD code) { m_machine->SetLastError(code); }

namespace {

std::string ScratchFolder(const char* suite) {
    static int s_counter = 0;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string base = temp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    return base + "\\" + suite + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_counter);
}

}  // namespace

Win32ArchiveTraits::Win32ArchiveTraits() : m_machine(MakeWin32Machine()), m_root(ScratchFolder("contract-archive")) {
    RemoveTree(m_root);
    EXPECT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr)) << m_root << " " << ::GetLastError();
}

Win32ArchiveTraits::~Win32ArchiveTraits() {
    if (m_ownLink) {
        // The link goes first, as a link, so that the removal never enters it.
        ::RemoveDirectoryA((m_linkedOutput + "\\Ticket").c_str());
        RemoveTree(m_linkedOutput);
        RemoveTree(m_root + "-target");
    } else if (!m_linkedOutput.empty()) {
        ::DeleteFileA((m_linkedOutput + "\\DriverName.cfg").c_str());
    }
    RemoveTree(m_root);
}

bool Win32ArchiveTraits::Write(const std::string& path, const std::string& bytes) {
    return PlaceWin32File(*m_machine, path, bytes);
}

std::string Win32ArchiveTraits::Read(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buffer[4096];
    DWORD done = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &done, nullptr) && done > 0) data.append(buffer, done);
    ::CloseHandle(file);
    return data;
}

bool Win32ArchiveTraits::LinkedOutput(std::string* output) {
    if (RunningUnderWine()) {
        const char* prepared = std::getenv("INSTALLER_CONTRACT_LINK");
        if (prepared == nullptr) return false;
        m_linkedOutput = prepared;
    } else {
        using CreateLinkFunction = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
        auto createLink = reinterpret_cast<CreateLinkFunction>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
        const std::string output = m_root + "-linked";
        const std::string target = m_root + "-target";
        if (createLink == nullptr || !::CreateDirectoryA(output.c_str(), nullptr) ||
            !::CreateDirectoryA(target.c_str(), nullptr)) {
            return false;
        }
        m_linkedOutput = output;
        m_ownLink = true;
        // SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
        if (!createLink((output + "\\Ticket").c_str(), target.c_str(), 0x1 | 0x2)) return false;
    }
    const DWORD attributes = ::GetFileAttributesA((m_linkedOutput + "\\Ticket").c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    *output = m_linkedOutput;
    return true;
}

bool Win32ArchiveTraits::LinkTargetIsEmpty() {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((m_linkedOutput + "\\Ticket\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") empty = false;
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return empty;
}

}  // namespace e2e
