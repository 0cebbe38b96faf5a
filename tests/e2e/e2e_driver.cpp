// End-to-end test driver (a Windows console program, run under Wine): starts
// the installer, waits for its window to become ready, reads it the way a
// person would, closes it by the close box, and checks what the run left
// on the machine.
//
// Usage: e2e_driver INSTALLER.exe WORKING_FOLDER
//   Prints one line per check ("ok ..." / "FAIL ...") as UTF-8 and exits
//   with 0 when every check passed. While the window is ready it creates
//   C:\e2e-ready and waits up to 20 s for C:\e2e-continue, so that the
//   calling script can take a screenshot.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Control ids of the main dialog (template 103).
constexpr int kSeriesCombo = 1000;
constexpr int kStatusLine = 1011;
constexpr int kInstallButton = 1012;

const wchar_t kMainCaption[] = L"设置并安装票据/标签 驱动";
const wchar_t kUserFolder[] = L"C:\\e2e-user-folder";
const wchar_t kUserFile[] = L"C:\\e2e-user-folder\\keep.txt";

int g_failures = 0;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), length, nullptr,
                          nullptr);
    return out;
}

void Check(bool passed, const std::string& what) {
    std::printf("%s %s\n", passed ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!passed) ++g_failures;
}

bool Exists(const wchar_t* path) { return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

// Polls until the condition holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, DWORD milliseconds) {
    for (DWORD waited = 0;; waited += 50) {
        if (condition()) return true;
        if (waited >= milliseconds) return false;
        ::Sleep(50);
    }
}

// The model list, read across processes with the W messages (the A form
// hands back raw UTF-16 under Wine 8).
std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        items.push_back(text);
    }
    return items;
}

void HoldForScreenshot() {
    const wchar_t ready[] = L"C:\\e2e-ready";
    const wchar_t proceed[] = L"C:\\e2e-continue";
    ::DeleteFileW(proceed);
    HANDLE marker = ::CreateFileW(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    WaitFor([&] { return Exists(proceed); }, 20000);
    ::DeleteFileW(ready);
    ::DeleteFileW(proceed);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: e2e_driver INSTALLER.exe WORKING_FOLDER\n");
        return 2;
    }
    // A folder of the user's own under C:\ that the clean-up must not touch.
    ::CreateDirectoryW(kUserFolder, nullptr);
    HANDLE userFile = ::CreateFileW(kUserFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    Check(userFile != INVALID_HANDLE_VALUE, "user folder prepared");
    if (userFile != INVALID_HANDLE_VALUE) ::CloseHandle(userFile);

    std::string commandLine = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, argv[2], &startup,
                          &process)) {
        Check(false, "installer started (error " + std::to_string(::GetLastError()) + ")");
        return 1;
    }
    ::WaitForInputIdle(process.hProcess, 10000);

    HWND main = nullptr;
    Check(WaitFor([&] { return (main = ::FindWindowW(L"#32770", kMainCaption)) != nullptr; }, 20000),
          "main window \"" + Utf8(kMainCaption) + "\" found");
    if (main == nullptr) {
        ::TerminateProcess(process.hProcess, 1);
        return 1;
    }

    HWND install = ::GetDlgItem(main, kInstallButton);
    Check(WaitFor([&] { return ::IsWindowEnabled(install) != FALSE; }, 60000),
          "Install becomes enabled when the preparation has finished");
    Check(WindowText(install) == L"安装(&I)", "Install caption \"" + Utf8(WindowText(install)) + "\"");

    std::wstring status = WindowText(::GetDlgItem(main, kStatusLine));
    Check(status.rfind(L"当前系统为", 0) == 0, "status line \"" + Utf8(status) + "\"");

    std::vector<std::wstring> models = ComboItems(::GetDlgItem(main, kSeriesCombo));
    Check(!models.empty(), "model list holds " + std::to_string(models.size()) + " names");
    for (size_t i = 0; i < models.size() && i < 3; ++i) std::printf("   model %zu: %s\n", i, Utf8(models[i]).c_str());

    Check(Exists(L"C:\\DriverName.cfg") && Exists(L"C:\\Ticket\\x86") && Exists(L"C:\\Barcode\\Common"),
          "package unpacked into C:\\");

    HoldForScreenshot();

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    bool ended = ::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
    Check(ended, "installer ends after WM_CLOSE");
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    Check(exitCode == IDCANCEL, "exit code " + std::to_string(exitCode) + " (IDCANCEL)");
    if (!ended) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    Check(!Exists(L"C:\\Ticket") && !Exists(L"C:\\Barcode") && !Exists(L"C:\\DriverName.cfg"),
          "unpacked files removed");
    Check(Exists(kUserFile), "user folder survives");
    ::DeleteFileW(kUserFile);
    ::RemoveDirectoryW(kUserFolder);

    std::printf("%s: %d failure(s)\n", g_failures == 0 ? "PASS" : "FAIL", g_failures);
    return g_failures == 0 ? 0 : 1;
}
