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

// Memory in the process that owns a window: list view messages carry
// pointers that the list uses as they are, in its own address space.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (m_process) m_address = ::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBlock() {
        if (m_address) ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    LPARAM address() const { return reinterpret_cast<LPARAM>(m_address); }
    bool Write(const void* data, size_t size) {
        return m_address && ::WriteProcessMemory(m_process, m_address, data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) {
        return m_address &&
               ::ReadProcessMemory(m_process, static_cast<const char*>(m_address) + offset, data, size, nullptr);
    }

private:
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
};

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

// GetWindowText hands back only the caption the system keeps for a window
// of another process; an edit control keeps its text to itself, so its
// text has to be asked for with WM_GETTEXT.
std::wstring ItemText(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    if (!control || !::SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                                           SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &copied)) {
        return {};
    }
    return std::wstring(text, copied < 1024 ? copied : 1023);
}

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

bool SelectListRow(HWND list, int row) {
    RemoteBlock remote(list, sizeof(LVITEMA));
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    const bool done = remote.Write(&item, sizeof item) &&
                      ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.address()) != 0;
    return done && (::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

std::wstring ListItemText(HWND list, int row, int column) {
    constexpr int kMaxChars = 256;
    RemoteBlock remote(list, sizeof(LVITEMW) + kMaxChars * sizeof(wchar_t));
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(remote.address() + sizeof(LVITEMW));
    item.cchTextMax = kMaxChars;
    if (!remote.Write(&item, sizeof item)) return L"<unreadable>";
    const LRESULT length = ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), remote.address());
    wchar_t text[kMaxChars] = {};
    if (length < 0 || length >= kMaxChars || !remote.Read(sizeof(LVITEMW), text, sizeof text)) {
        return L"<unreadable>";
    }
    return std::wstring(text, static_cast<size_t>(length));
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
