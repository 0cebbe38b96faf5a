// Windows (the contract suites under Wine): the real machine for the shared
// contract suites.
#include "tests/e2e/contract_support_win.h"

#include <gtest/gtest.h>

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

win::DWORD Win32FilesTraits::LastError() { return m_machine->GetLastError(); }

void Win32FilesTraits::SetLastError(win::DWORD code) { m_machine->SetLastError(code); }

}  // namespace e2e
