// Windows backend: the dialog toolkit on USER32 and comctl32.
#include "ui/win32/win32_toolkit.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/code_page.h"

namespace ui::win32 {

namespace {

using platform::win32::CopyWhole;
using platform::win32::Narrow;
using platform::win32::Wide;

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
// strings are code page 936, like every narrow string of the program.
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
            const std::wstring wide = Wide(text);
            if (message == kDlgInitComboBoxAddString) {
                ::SendDlgItemMessageW(dialog, controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            } else if (message == kDlgInitListBoxAddString) {
                ::SendDlgItemMessageW(dialog, controlId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
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
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(procedure));
        RunDialogInit(dialog, start->templateId);
        lParam = reinterpret_cast<::LPARAM>(procedure);
    } else {
        procedure = reinterpret_cast<DialogProcedure*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (procedure == nullptr) return FALSE;

    win::LRESULT result = 0;
    if (!procedure->HandleDialogMessage(Ours(dialog), message, wParam, lParam, &result)) return FALSE;
    if (ReturnsResultDirectly(message)) return result;
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

// A window's whole text, asked in UTF-16.
std::wstring WindowTextW(::HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

// A combo or list box item's text, asked in UTF-16; false when there is no
// such item.
bool ItemTextW(::HWND box, ::UINT lengthMessage, ::UINT textMessage, ::WPARAM index, std::wstring* text) {
    const LRESULT length = ::SendMessageW(box, lengthMessage, index, 0);
    if (length < 0) return false;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = ::SendMessageW(box, textMessage, index, reinterpret_cast<LPARAM>(buffer.data()));
    if (copied < 0) return false;
    text->assign(buffer.data(), static_cast<std::size_t>(copied));
    return true;
}

// The list-view A records are the W records but for the text's type, so a
// W copy needs only its text pointer replaced. The program's records stop
// early (ui/win_ui_types.h): only their own bytes are read or written, the
// later fields stay zero.
static_assert(sizeof(LVITEMA) == sizeof(LVITEMW) && sizeof(LVCOLUMNA) == sizeof(LVCOLUMNW), "list-view records");
constexpr std::size_t kItemBytes = sizeof(win::LVITEMA);
constexpr std::size_t kColumnBytes = sizeof(win::LVCOLUMNA);

LVITEMW WideItem(const LVITEMA& item, std::wstring* text, bool withText) {
    LVITEMW wide{};
    std::memcpy(&wide, &item, kItemBytes);
    if (withText && item.pszText != nullptr && item.pszText != LPSTR_TEXTCALLBACKA) {
        *text = Wide(item.pszText);
        wide.pszText = &(*text)[0];
    }
    return wide;
}

// Sends a list-view message that reads an item's text: the W message into
// a UTF-16 buffer, whose text then goes into the caller's record in 936.
LRESULT GetListViewItemText(::HWND list, ::UINT wideMessage, WPARAM wParam, LVITEMA* item) {
    if (item == nullptr || item->pszText == nullptr || item->cchTextMax <= 0) {
        return ::SendMessageW(list, wideMessage, wParam, reinterpret_cast<LPARAM>(item));
    }
    // A 936 text of n bytes is at most n UTF-16 units: whatever fits the
    // caller's buffer fits this one.
    std::vector<wchar_t> buffer(static_cast<std::size_t>(item->cchTextMax) + 1, L'\0');
    LVITEMW wide{};
    std::memcpy(&wide, item, kItemBytes);
    wide.pszText = buffer.data();
    wide.cchTextMax = item->cchTextMax;
    const LRESULT result = ::SendMessageW(list, wideMessage, wParam, reinterpret_cast<LPARAM>(&wide));
    char* const callersText = item->pszText;
    const int callersSize = item->cchTextMax;
    std::memcpy(item, &wide, kItemBytes);
    item->pszText = callersText;
    item->cchTextMax = callersSize;
    // LVM_GETITEM may point pszText at the list's own copy instead.
    const std::size_t copied =
        CopyWhole(Narrow(wide.pszText != nullptr ? wide.pszText : L""), callersText, static_cast<std::size_t>(callersSize));
    return wideMessage == LVM_GETITEMTEXTW ? static_cast<LRESULT>(copied) : result;
}

// The USER and list-view messages that carry the program's narrow text,
// sent as their W forms with the text converted; every other message is
// sent as it is (to a W window: its text messages have been taken here).
LRESULT SendTextMessage(::HWND window, ::UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* text = reinterpret_cast<const char*>(lParam);
    switch (message) {
    case WM_SETTEXT:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: {
        if (text == nullptr) return ::SendMessageW(window, message, wParam, lParam);
        const std::wstring wide = Wide(text);
        return ::SendMessageW(window, message, wParam, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(Narrow(WindowTextW(window)).size());
    case WM_GETTEXT:
        return static_cast<LRESULT>(
            CopyWhole(Narrow(WindowTextW(window)), reinterpret_cast<char*>(lParam), static_cast<std::size_t>(wParam)));
    case CB_GETLBTEXTLEN:
    case LB_GETTEXTLEN:
    case CB_GETLBTEXT:
    case LB_GETTEXT: {
        const bool combo = message == CB_GETLBTEXTLEN || message == CB_GETLBTEXT;
        std::wstring item;
        if (!ItemTextW(window, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, combo ? CB_GETLBTEXT : LB_GETTEXT, wParam,
                       &item)) {
            return combo ? CB_ERR : LB_ERR;
        }
        const std::string narrow = Narrow(item);
        // The A message trusts the caller's buffer to hold the whole text.
        if (message == CB_GETLBTEXT || message == LB_GETTEXT) {
            std::memcpy(reinterpret_cast<char*>(lParam), narrow.c_str(), narrow.size() + 1);
        }
        return static_cast<LRESULT>(narrow.size());
    }
    case LVM_INSERTITEMA:
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA: {
        auto* item = reinterpret_cast<LVITEMA*>(lParam);
        if (item == nullptr) break;
        std::wstring storage;
        LVITEMW wide = WideItem(*item, &storage, message == LVM_SETITEMTEXTA || (item->mask & LVIF_TEXT) != 0);
        const ::UINT wideMessage = message == LVM_INSERTITEMA ? LVM_INSERTITEMW
                                   : message == LVM_SETITEMA  ? LVM_SETITEMW
                                                              : LVM_SETITEMTEXTW;
        return ::SendMessageW(window, wideMessage, wParam, reinterpret_cast<LPARAM>(&wide));
    }
    case LVM_GETITEMTEXTA:
        return GetListViewItemText(window, LVM_GETITEMTEXTW, wParam, reinterpret_cast<LVITEMA*>(lParam));
    case LVM_GETITEMA: {
        auto* item = reinterpret_cast<LVITEMA*>(lParam);
        if (item == nullptr || (item->mask & LVIF_TEXT) == 0) break;
        return GetListViewItemText(window, LVM_GETITEMW, wParam, item);
    }
    case LVM_INSERTCOLUMNA:
    case LVM_SETCOLUMNA: {
        auto* column = reinterpret_cast<LVCOLUMNA*>(lParam);
        if (column == nullptr) break;
        LVCOLUMNW wide{};
        std::memcpy(&wide, column, kColumnBytes);
        std::wstring heading;
        if ((column->mask & LVCF_TEXT) != 0 && column->pszText != nullptr) {
            heading = Wide(column->pszText);
            wide.pszText = &heading[0];
        }
        return ::SendMessageW(window, message == LVM_INSERTCOLUMNA ? LVM_INSERTCOLUMNW : LVM_SETCOLUMNW, wParam,
                              reinterpret_cast<LPARAM>(&wide));
    }
    default:
        break;
    }
    return ::SendMessageW(window, message, wParam, lParam);
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
    // A W dialog: its controls keep their texts in UTF-16 and report to it
    // in the W forms, whatever the system's ANSI code page.
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialogTemplate.id), Native(parent),
                             DialogProc, reinterpret_cast<::LPARAM>(&start));
}

BOOL Win32Toolkit::EndDialog(HWND dialog, INT_PTR result) { return ::EndDialog(Native(dialog), result); }

LRESULT Win32Toolkit::SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendTextMessage(Native(window), message, wParam, lParam);
}

BOOL Win32Toolkit::PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(Native(window), message, wParam, lParam);
}

UINT Win32Toolkit::RegisterWindowMessage(const char* name) {
    return name != nullptr ? ::RegisterWindowMessageW(Wide(name).c_str()) : ::RegisterWindowMessageW(nullptr);
}

HWND Win32Toolkit::GetDlgItem(HWND dialog, int controlId) { return Ours(::GetDlgItem(Native(dialog), controlId)); }

BOOL Win32Toolkit::EnableWindow(HWND window, BOOL enable) { return ::EnableWindow(Native(window), enable); }

BOOL Win32Toolkit::IsWindowEnabled(HWND window) { return ::IsWindowEnabled(Native(window)); }

BOOL Win32Toolkit::SetWindowText(HWND window, const char* text) {
    if (text == nullptr) return ::SetWindowTextW(Native(window), nullptr);
    return ::SetWindowTextW(Native(window), Wide(text).c_str());
}

int Win32Toolkit::GetWindowText(HWND window, char* buffer, int bufferSize) {
    if (buffer == nullptr || bufferSize <= 0) return 0;
    return static_cast<int>(CopyWhole(Narrow(WindowTextW(Native(window))), buffer, static_cast<std::size_t>(bufferSize)));
}

UINT_PTR Win32Toolkit::SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs) {
    return ::SetTimer(Native(window), timerId, elapseMs, nullptr);
}

BOOL Win32Toolkit::KillTimer(HWND window, UINT_PTR timerId) { return ::KillTimer(Native(window), timerId); }

int Win32Toolkit::MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    const std::wstring wideText = Wide(text);
    const std::wstring wideCaption = Wide(caption);
    // A null caption is the system's "Error"; a null text an empty box.
    return ::MessageBoxW(Native(owner), wideText.c_str(), caption != nullptr ? wideCaption.c_str() : nullptr, type);
}

void Win32Toolkit::ServeSentMessages() {
    // PeekMessage delivers the messages other threads have sent to this
    // thread's windows before it looks at the queue; PM_QS_SENDMESSAGE keeps
    // it from touching posted messages and input.
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void Win32Toolkit::PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the loop that owns the thread.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        // The dialog manager's keys (Tab, Esc, Enter), as in the modal loop.
        const ::HWND top = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (top != nullptr && ::IsDialogMessageW(top, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace ui::win32
