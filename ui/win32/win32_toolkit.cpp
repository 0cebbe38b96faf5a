// Windows backend: the dialog toolkit on USER32 and comctl32.
#include "ui/win32/win32_toolkit.h"

#include <cstring>

#include "platform/win32/windows_support.h"

namespace ui::win32 {

namespace {

// Dialog-init resources (RT_DLGINIT, as the resource script writes them):
// records of control id, message, data length and data, ended by a zero id.
// The messages are the 16-bit numbers of LB_ADDSTRING and CB_ADDSTRING.
constexpr WORD kDlgInitResourceType = 240;
constexpr WORD kDlgInitListBoxAddString = 0x0401;
constexpr WORD kDlgInitComboBoxAddString = 0x0403;

::HWND Native(ui::HWND window) { return reinterpret_cast<::HWND>(window); }
ui::HWND Ours(::HWND window) { return reinterpret_cast<ui::HWND>(window); }

// What DialogBox hands to the dialog procedure through WM_INITDIALOG.
struct DialogStart {
    DialogProcedure* procedure;
    int templateId;
};

// Adds the template's initial combo and list box strings before the
// dialog's own WM_INITDIALOG handling, as MFC's ExecuteDlgInit does. The
// strings are in the ANSI code page, so they go to the A messages as they are.
void RunDialogInit(::HWND dialog, int templateId) {
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(kDlgInitResourceType));
    if (resource == nullptr) return;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const BYTE* data = loaded != nullptr ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (data == nullptr) return;
    const ::DWORD size = ::SizeofResource(module, resource);
    ::DWORD offset = 0;
    while (offset + sizeof(WORD) <= size) {
        WORD controlId;
        std::memcpy(&controlId, data + offset, sizeof controlId);
        if (controlId == 0 || offset + 8 > size) break;
        WORD message;
        ::DWORD length;
        std::memcpy(&message, data + offset + 2, sizeof message);
        std::memcpy(&length, data + offset + 4, sizeof length);
        offset += 8;
        if (length > size - offset) break;  // a damaged record: stop rather than read past the resource
        const char* text = reinterpret_cast<const char*>(data + offset);
        if (length > 0 && text[length - 1] == '\0') {
            if (message == kDlgInitComboBoxAddString) {
                ::SendDlgItemMessageA(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            } else if (message == kDlgInitListBoxAddString) {
                ::SendDlgItemMessageA(dialog, controlId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            }
        }
        offset += length;
    }
}

// Messages whose result a dialog procedure returns itself instead of
// leaving it in DWLP_MSGRESULT.
bool ReturnsResultDirectly(::UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

// The one procedure of every dialog: it finds the dialog's object in
// DWLP_USER and forwards each message to it.
INT_PTR CALLBACK DialogProc(::HWND dialog, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    DialogProcedure* procedure = nullptr;
    if (message == WM_INITDIALOG) {
        const auto* start = reinterpret_cast<const DialogStart*>(lParam);
        procedure = start->procedure;
        ::SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(procedure));
        RunDialogInit(dialog, start->templateId);
        lParam = reinterpret_cast<::LPARAM>(procedure);
    } else {
        procedure = reinterpret_cast<DialogProcedure*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (procedure == nullptr) return FALSE;

    win::LRESULT result = 0;
    if (!procedure->HandleDialogMessage(Ours(dialog), message, wParam, lParam, &result)) return FALSE;
    if (ReturnsResultDirectly(message)) return result;
    ::SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace

Win32Toolkit::Win32Toolkit() {
    // The list views and progress bars of the templates are comctl32's
    // classes, which exist only once registered.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
}

INT_PTR Win32Toolkit::DialogBox(const DialogTemplate& dialogTemplate, HWND parent, DialogProcedure& procedure) {
    DialogStart start{&procedure, dialogTemplate.id};
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogTemplate.id), Native(parent),
                             DialogProc, reinterpret_cast<::LPARAM>(&start));
}

BOOL Win32Toolkit::EndDialog(HWND dialog, INT_PTR result) { return ::EndDialog(Native(dialog), result); }

LRESULT Win32Toolkit::SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(Native(window), message, wParam, lParam);
}

BOOL Win32Toolkit::PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(Native(window), message, wParam, lParam);
}

UINT Win32Toolkit::RegisterWindowMessage(const char* name) { return ::RegisterWindowMessageA(name); }

HWND Win32Toolkit::GetDlgItem(HWND dialog, int controlId) { return Ours(::GetDlgItem(Native(dialog), controlId)); }

BOOL Win32Toolkit::EnableWindow(HWND window, BOOL enable) { return ::EnableWindow(Native(window), enable); }

BOOL Win32Toolkit::IsWindowEnabled(HWND window) { return ::IsWindowEnabled(Native(window)); }

BOOL Win32Toolkit::SetWindowText(HWND window, const char* text) { return ::SetWindowTextA(Native(window), text); }

int Win32Toolkit::GetWindowText(HWND window, char* buffer, int bufferSize) {
    return ::GetWindowTextA(Native(window), buffer, bufferSize);
}

UINT_PTR Win32Toolkit::SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs) {
    return ::SetTimer(Native(window), timerId, elapseMs, nullptr);
}

BOOL Win32Toolkit::KillTimer(HWND window, UINT_PTR timerId) { return ::KillTimer(Native(window), timerId); }

int Win32Toolkit::MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(Native(owner), text, caption, type);
}

void Win32Toolkit::ServeSentMessages() {
    // PeekMessage delivers the messages other threads have sent to this
    // thread's windows before it looks at the queue; PM_QS_SENDMESSAGE keeps
    // it from touching posted messages and input.
    MSG message;
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace ui::win32
