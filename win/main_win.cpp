// Windows program: the entry point. The installer's logic on the real
// machine (Win32 backends); its windows through USER32, except on a silent
// run, which has none.
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_machine.h"
#include "ui/win32/win32_toolkit.h"
#include "unattended/program.h"

#include "platform/win32/windows_support.h"

namespace {

// The program is started from the folder that holds the driver package,
// which a standard user may be able to write; a DLL planted there must not
// be loaded in place of a system one. The executable imports only known
// DLLs (which never come from the program's folder); what else is loaded is
// loaded by full path, and anything a system DLL loads by name later is
// searched for in System32 alone. SetDefaultDllDirectories came with
// Windows 8 (and an update to 7), SetDllDirectoryA with XP SP1: both are
// looked up, and the second still takes the working folder out where the
// first is missing.
void KeepWritableFoldersOutOfDllSearch() {
    using SetDllDirectoryAFunction = BOOL(WINAPI*)(LPCSTR);
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE kernel32 = ::GetModuleHandleA("kernel32");
    if (kernel32 == nullptr) return;
    FARPROC address = ::GetProcAddress(kernel32, "SetDllDirectoryA");
    if (address != nullptr) {
        reinterpret_cast<SetDllDirectoryAFunction>(reinterpret_cast<void*>(address))("");
    }
    address = ::GetProcAddress(kernel32, "SetDefaultDllDirectories");
    if (address != nullptr) {
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(address))(kSearchSystem32);
    }
}

// The program's texts are code page 936 whatever the system's code page.
constexpr UINT kTextCodePage = 936;

std::wstring Widen(const std::string& text) {
    const int length = ::MultiByteToWideChar(kTextCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        ::MultiByteToWideChar(kTextCodePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    }
    return wide;
}

class WindowsHost : public unattended::ProgramHost {
public:
    platform::Machine& Machine() override { return m_machine; }

    ui::Toolkit& ScreenToolkit() override {
        if (!m_toolkit) m_toolkit = std::make_unique<ui::win32::Win32Toolkit>();
        return *m_toolkit;
    }

    // A GUI program has no console of its own: output that was redirected
    // goes to its handle as it is; otherwise the text goes to the console
    // of the process that started the program, when there is one.
    void WriteConsole(const std::string& text) override {
        HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD written = 0;
        DWORD mode = 0;
        if (out != nullptr && out != INVALID_HANDLE_VALUE && !::GetConsoleMode(out, &mode)) {
            ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            return;
        }
        if (!m_consoleAttached) m_consoleAttached = ::AttachConsole(ATTACH_PARENT_PROCESS) != 0;
        if (!m_consoleAttached) return;
        HANDLE console = ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (console == INVALID_HANDLE_VALUE) return;
        const std::wstring wide = Widen(text);
        ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        ::CloseHandle(console);
    }

    // The system's temporary folder as the Files seam chooses it: for a
    // process of SYSTEM where the system has GetTempPath2A, one standard
    // users cannot write.
    std::string DefaultLogPath() override {
        char folder[MAX_PATH + 1] = {};
        const DWORD length = m_machine.files().GetTempPath2A(sizeof(folder), folder);
        std::string path = (length > 0 && length < sizeof(folder)) ? std::string(folder, length) : std::string("C:\\");
        if (path.back() != '\\') path += '\\';
        return path + "DriverSetup.log";
    }

    std::string ToUtf8(const std::string& text) override {
        const std::wstring wide = Widen(text);
        const int length =
            ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
        if (length > 0) {
            ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], length, nullptr,
                                  nullptr);
        }
        return utf8;
    }

private:
    platform::win32::Win32Machine m_machine;
    std::unique_ptr<ui::win32::Win32Toolkit> m_toolkit;
    bool m_consoleAttached = false;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    KeepWritableFoldersOutOfDllSearch();
    // The C runtime has split the command line by the usual rules, in the
    // system's ANSI code page.
    std::vector<std::string> arguments;
    for (int i = 1; i < __argc; ++i) arguments.emplace_back(__argv[i]);
    WindowsHost host;
    return unattended::RunProgram(arguments, host);
}
