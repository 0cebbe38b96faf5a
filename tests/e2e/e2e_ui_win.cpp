// Windows (the end-to-end driver under Wine): window helpers.
#include "tests/e2e/e2e_ui_win.h"

#include <commctrl.h>

#include <cstdio>

namespace e2e {

namespace {

int g_failures = 0;

struct Search {
    DWORD processId;
    const std::wstring* caption;
    bool wantBox;
    HWND found;
};

bool IsDialogOf(HWND window, DWORD processId) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != processId || !::IsWindowVisible(window)) return false;
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    return std::wstring(className) == L"#32770";
}

BOOL CALLBACK VisitTopWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (!IsDialogOf(window, search->processId)) return TRUE;
    const bool isBox = ::GetDlgItem(window, 0xFFFF) != nullptr;
    if (search->wantBox ? isBox : (!isBox && WindowText(window) == *search->caption)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), length, nullptr,
                          nullptr);
    return out;
}

bool Check(bool passed, const std::string& what) {
    std::printf("%s %s\n", passed ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!passed) ++g_failures;
    return passed;
}

int Failures() { return g_failures; }

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    if (window) ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ItemText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

HWND FindDialog(DWORD processId, const std::wstring& caption) {
    Search search{processId, &caption, false, nullptr};
    ::EnumWindows(VisitTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMessageBox(DWORD processId) {
    Search search{processId, nullptr, true, nullptr};
    ::EnumWindows(VisitTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring MessageBoxText(HWND box) { return ItemText(box, 0xFFFF); }

void PostCommand(HWND dialog, int id) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void PostClick(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        items.push_back(text);
    }
    return items;
}

bool PickComboItem(HWND dialog, int comboId, const std::wstring& text) {
    HWND combo = ::GetDlgItem(dialog, comboId);
    const std::vector<std::wstring> items = ComboItems(combo);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] != text) continue;
        ::SendMessageW(combo, CB_SETCURSEL, i, 0);
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        return true;
    }
    return false;
}

// The item record must live in the list's own process.
bool SelectListRow(HWND list, int row) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return false;
    void* remote = ::VirtualAllocEx(process, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE);
    bool done = false;
    if (remote) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        if (::WriteProcessMemory(process, remote, &item, sizeof item, nullptr)) {
            done = ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
        }
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    return done && (::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

int ListRowCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

// The script polls for C:\e2e-shot.req ("name x y width height"), takes the
// picture and deletes the request.
void Screenshot(HWND window, const char* name) {
    const char request[] = "C:\\e2e-shot.req";
    RECT box{};
    ::GetWindowRect(window, &box);
    char line[256];
    const int length = std::snprintf(line, sizeof line, "%s %ld %ld %ld %ld\n", name, box.left, box.top,
                                     box.right - box.left, box.bottom - box.top);
    const char partial[] = "C:\\e2e-shot.tmp";
    HANDLE file = ::CreateFileA(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    ::CloseHandle(file);
    ::MoveFileExA(partial, request, MOVEFILE_REPLACE_EXISTING);
    // Give the window time to paint before the picture.
    const bool taken = WaitFor([&] { return ::GetFileAttributesA(request) == INVALID_FILE_ATTRIBUTES; }, 20000);
    if (!taken) ::DeleteFileA(request);
    std::printf("   screenshot %s %s\n", name, taken ? "taken" : "not taken (no watcher)");
}

}  // namespace e2e
