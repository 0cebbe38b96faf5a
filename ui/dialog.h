// The dialog base class: one procedure for every dialog, MFC-style hooks
// (OnInitDialog, DoDataExchange, OnOK, OnCancel) and a message map per
// dialog class that routes (message, control id, notification) to handlers.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "ui/controls.h"
#include "ui/toolkit.h"

namespace ui {

class Dialog;

constexpr UINT LoWord(WPARAM value) { return static_cast<UINT>(value & 0xFFFF); }
constexpr UINT HiWord(WPARAM value) { return static_cast<UINT>((value >> 16) & 0xFFFF); }
constexpr WPARAM MakeWParam(UINT low, UINT high) { return static_cast<WPARAM>((low & 0xFFFF) | ((high & 0xFFFF) << 16)); }

// Copies between a dialog's members and its controls, in the direction that
// UpdateData asks for; also binds control wrappers to their controls.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_saveAndValidate(saveAndValidate) {}
    bool Saving() const { return m_saveAndValidate; }

    void Control(int controlId, Window& control);
    void Check(int controlId, int& value);
    void Text(int controlId, std::string& value);

private:
    Dialog& m_dialog;
    bool m_saveAndValidate;
};

class Dialog : public DialogProcedure {
public:
    Dialog(Toolkit& toolkit, const DialogTemplate& dialogTemplate, HWND parent = nullptr);
    ~Dialog() override = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally and returns its end code.
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hwnd.load(); }
    HWND GetParentHwnd() const { return m_parent; }
    Toolkit& GetToolkit() const { return m_toolkit; }
    const DialogTemplate& GetTemplate() const { return m_template; }

    // Messages to this dialog's own window; callable from any thread.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    void EndDialog(INT_PTR result);
    BOOL UpdateData(BOOL saveAndValidate = 1);
    HWND GetDlgItem(int controlId) const;
    UINT_PTR SetTimer(UINT_PTR timerId, UINT elapseMs);
    BOOL KillTimer(UINT_PTR timerId);
    // A message box owned by this dialog.
    int MessageBox(const std::string& text, const std::string& caption, UINT type);

protected:
    virtual void DoDataExchange(DataExchange& dx) {}
    // Default: UpdateData(FALSE), focus to the first tab stop (returns TRUE).
    virtual BOOL OnInitDialog();
    // Default: UpdateData(TRUE), then EndDialog(IDOK).
    virtual void OnOK();
    // Default: EndDialog(IDCANCEL).
    virtual void OnCancel();
    // The derived class's message map; true when the message was handled.
    virtual bool OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) { return false; }

private:
    bool HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) final;

    Toolkit& m_toolkit;
    const DialogTemplate& m_template;
    HWND m_parent;
    std::atomic<HWND> m_hwnd{nullptr};
};

// Message maps: a static table of entries per dialog class, dispatched by
// DispatchMessageMap from the class's OnDialogMessage.
template <class T>
struct MessageMapEntry {
    enum class Kind { Command, Message, RegisteredMessage };
    Kind kind;
    UINT message;            // Message
    UINT T::*registered;     // RegisteredMessage: the number, known at run time
    UINT notifyCode;         // Command
    int controlId;           // Command
    void (T::*command)();
    LRESULT (T::*handler)(WPARAM, LPARAM);
};

template <class T>
constexpr MessageMapEntry<T> MapCommand(UINT notifyCode, int controlId, void (T::*command)()) {
    return {MessageMapEntry<T>::Kind::Command, win::WM_COMMAND, nullptr, notifyCode, controlId, command, nullptr};
}

template <class T>
constexpr MessageMapEntry<T> MapMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
    return {MessageMapEntry<T>::Kind::Message, message, nullptr, 0, 0, nullptr, handler};
}

template <class T>
constexpr MessageMapEntry<T> MapRegisteredMessage(UINT T::*message, LRESULT (T::*handler)(WPARAM, LPARAM)) {
    return {MessageMapEntry<T>::Kind::RegisteredMessage, 0, message, 0, 0, nullptr, handler};
}

template <class T, std::size_t N>
bool DispatchMessageMap(T& self, const MessageMapEntry<T> (&map)[N], UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT* result) {
    using Kind = typename MessageMapEntry<T>::Kind;
    for (const MessageMapEntry<T>& entry : map) {
        switch (entry.kind) {
        case Kind::Command:
            if (message == win::WM_COMMAND && HiWord(wParam) == entry.notifyCode &&
                static_cast<int>(LoWord(wParam)) == entry.controlId) {
                (self.*entry.command)();
                *result = 0;
                return true;
            }
            break;
        case Kind::Message:
            if (message == entry.message) {
                *result = (self.*entry.handler)(wParam, lParam);
                return true;
            }
            break;
        case Kind::RegisteredMessage:
            if (self.*entry.registered != 0 && message == self.*entry.registered) {
                *result = (self.*entry.handler)(wParam, lParam);
                return true;
            }
            break;
        }
    }
    return false;
}

}  // namespace ui
