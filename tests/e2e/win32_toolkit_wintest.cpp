// The USER32 toolkit with the program's own resources linked in: dialogs
// come from the generated resource script, dialog-init strings reach the
// combo box, results travel back through DWLP_MSGRESULT, and messages sent
// from another thread are handled on the dialog's thread.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_templates.h"
#include "ui/win32/win32_toolkit.h"

#include "platform/win32/windows_support.h"

namespace {

using ui::win32::Win32Toolkit;

constexpr UINT kPingResult = 0x4242;
constexpr UINT_PTR kTimerId = 7;

// A dialog procedure whose WM_INITDIALOG runs the test's body; the body
// ends the dialog when it is done.
class ScriptedProcedure : public ui::DialogProcedure {
public:
    ScriptedProcedure(Win32Toolkit& toolkit, std::function<void(ui::HWND)> onInit)
        : m_toolkit(toolkit), m_onInit(std::move(onInit)) {}

    bool HandleDialogMessage(ui::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                             win::LRESULT* result) override {
        m_messages.push_back(message);
        if (message == WM_INITDIALOG) {
            m_initThread = ::GetCurrentThreadId();
            m_onInit(dialog);
            *result = TRUE;
            return true;
        }
        if (m_ping != 0 && message == m_ping) {
            m_pingThreads.push_back(::GetCurrentThreadId());
            *result = kPingResult;
            return true;
        }
        if (message == WM_TIMER && wParam == kTimerId) {
            m_toolkit.KillTimer(dialog, kTimerId);
            m_toolkit.EndDialog(dialog, 0x1205);
            *result = 0;
            return true;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            m_toolkit.EndDialog(dialog, IDCANCEL);
            *result = 0;
            return true;
        }
        return false;
    }

    Win32Toolkit& m_toolkit;
    std::function<void(ui::HWND)> m_onInit;
    UINT m_ping = 0;
    DWORD m_initThread = 0;
    std::vector<DWORD> m_pingThreads;
    std::vector<UINT> m_messages;
};

std::string ComboItem(Win32Toolkit& toolkit, ui::HWND combo, int index) {
    char text[64] = {};
    toolkit.SendMessage(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(Win32ToolkitTest, SerialPromptGetsItsRatesFromTheDialogInitResource) {
    Win32Toolkit toolkit;
    std::vector<std::string> items;
    ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) {
        ui::HWND combo = toolkit.GetDlgItem(dialog, 1034);
        int count = static_cast<int>(toolkit.SendMessage(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) items.push_back(ComboItem(toolkit, combo, i));
        toolkit.EndDialog(dialog, 0x1200);
    });
    EXPECT_EQ(0x1200, toolkit.DialogBox(app::SerialPromptDialogTemplate(), nullptr, procedure));
    EXPECT_EQ(items, (std::vector<std::string>{"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600",
                                               "115200"}));
}

TEST(Win32ToolkitTest, EveryTemplateOpensWithItsControlsAndTexts) {
    Win32Toolkit toolkit;
    for (const ui::DialogTemplate* dialogTemplate : app::AllDialogTemplates()) {
        SCOPED_TRACE(dialogTemplate->id);
        std::string caption;
        std::vector<std::string> missing;
        ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) {
            char text[256] = {};
            toolkit.GetWindowText(dialog, text, sizeof text);
            caption = text;
            for (const ui::ControlTemplate& control : dialogTemplate->controls) {
                if (control.id == ui::kNoControlId) continue;
                ui::HWND item = toolkit.GetDlgItem(dialog, control.id);
                char itemText[256] = {};
                if (item != nullptr) toolkit.GetWindowText(item, itemText, sizeof itemText);
                if (item == nullptr || std::string(itemText) != control.text) {
                    missing.push_back(std::to_string(control.id));
                }
            }
            toolkit.EndDialog(dialog, 1);
        });
        ASSERT_EQ(1, toolkit.DialogBox(*dialogTemplate, nullptr, procedure));
        EXPECT_EQ(caption, dialogTemplate->caption);  // CP936 both
        EXPECT_TRUE(missing.empty()) << "controls without their id or text: " << missing.front();
    }
}

TEST(Win32ToolkitTest, InstallButtonStartsDisabledAndCanBeEnabled) {
    Win32Toolkit toolkit;
    BOOL before = TRUE, after = FALSE;
    ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) {
        ui::HWND install = toolkit.GetDlgItem(dialog, 1012);
        before = toolkit.IsWindowEnabled(install);
        toolkit.EnableWindow(install, TRUE);
        after = toolkit.IsWindowEnabled(install);
        toolkit.SetWindowText(install, "\xCD\xEA\xB3\xC9");  // 完成 in CP936
        char text[16] = {};
        toolkit.GetWindowText(install, text, sizeof text);
        EXPECT_STREQ(text, "\xCD\xEA\xB3\xC9");
        toolkit.EndDialog(dialog, 1);
    });
    toolkit.DialogBox(app::InstallerDialogTemplate(), nullptr, procedure);
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
}

TEST(Win32ToolkitTest, SentMessagesReturnTheHandlersResultOnTheDialogsThread) {
    Win32Toolkit toolkit;
    win::LRESULT sameThread = 0;
    win::LRESULT otherThread = 0;
    std::thread sender;
    ScriptedProcedure* self = nullptr;
    ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) {
        self->m_ping = toolkit.RegisterWindowMessage("MyUpdateData");
        sameThread = toolkit.SendMessage(dialog, self->m_ping, 0, 0);
        // A worker's send blocks until the modal loop has run the handler;
        // the timer then ends the dialog.
        sender = std::thread([&, dialog] {
            otherThread = toolkit.SendMessage(dialog, self->m_ping, 0, 0);
            toolkit.PostMessage(dialog, WM_NULL, 0, 0);
        });
        toolkit.SetTimer(dialog, kTimerId, 200);
    });
    self = &procedure;
    EXPECT_EQ(0x1205, toolkit.DialogBox(app::ParallelPortDialogTemplate(), nullptr, procedure));
    sender.join();
    EXPECT_EQ(sameThread, static_cast<win::LRESULT>(kPingResult));
    EXPECT_EQ(otherThread, static_cast<win::LRESULT>(kPingResult));
    ASSERT_EQ(procedure.m_pingThreads.size(), 2u);
    EXPECT_EQ(procedure.m_pingThreads[1], procedure.m_initThread);
    EXPECT_EQ(procedure.m_ping, static_cast<UINT>(::RegisterWindowMessageA("MyUpdateData")));
}

TEST(Win32ToolkitTest, CloseBoxGoesThroughTheCancelCommand) {
    Win32Toolkit toolkit;
    ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) { toolkit.PostMessage(dialog, WM_CLOSE, 0, 0); });
    EXPECT_EQ(IDCANCEL, toolkit.DialogBox(app::NetworkPortDialogTemplate(), nullptr, procedure));
}

// Esc reaches the dialog manager from the queue; a WM_TIMER posted behind
// it ends the dialog with 0x1205 if Esc did nothing.
INT_PTR PressEscape(const ui::DialogTemplate& dialogTemplate, bool disableCancel) {
    Win32Toolkit toolkit;
    ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) {
        if (disableCancel) toolkit.EnableWindow(toolkit.GetDlgItem(dialog, IDCANCEL), FALSE);
        toolkit.PostMessage(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        toolkit.PostMessage(dialog, WM_TIMER, kTimerId, 0);
    });
    return toolkit.DialogBox(dialogTemplate, nullptr, procedure);
}

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

TEST(Win32ToolkitTest, EscapeGivesTheCancelCommandUnlessCancelIsDisabled) {
    EXPECT_EQ(IDCANCEL, PressEscape(app::InstallerDialogTemplate(), false));
    EXPECT_EQ(IDCANCEL, PressEscape(app::NetworkPortDialogTemplate(), false)) << "no button with IDCANCEL";
    // Windows beeps and drops the key (docs/wine-differences.md).
    EXPECT_EQ(UnderWine() ? IDCANCEL : 0x1205, PressEscape(app::InstallerDialogTemplate(), true)) << "Cancel disabled";
}

TEST(Win32ToolkitTest, ServeSentMessagesRunsAPendingSendWithoutALoop) {
    Win32Toolkit toolkit;
    bool served = false;
    ScriptedProcedure* self = nullptr;
    ScriptedProcedure procedure(toolkit, [&](ui::HWND dialog) {
        self->m_ping = toolkit.RegisterWindowMessage("ServeSentMessagesTest");
        HANDLE sent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        // With a time limit, so that a toolkit that fails to serve makes the
        // test fail rather than hang.
        std::thread worker([&, dialog] {
            ::SetEvent(sent);
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutA(reinterpret_cast<HWND>(dialog), self->m_ping, 0, 0, SMTO_NORMAL, 3000, &ignored);
        });
        // Wait the way a thread that joins a worker must: serving sends.
        ::WaitForSingleObject(sent, 5000);
        for (int i = 0; i < 500 && self->m_pingThreads.empty(); ++i) {
            toolkit.ServeSentMessages();
            ::Sleep(2);
        }
        served = !self->m_pingThreads.empty();
        worker.join();
        ::CloseHandle(sent);
        toolkit.EndDialog(dialog, 1);
    });
    self = &procedure;
    toolkit.DialogBox(app::ParallelPortDialogTemplate(), nullptr, procedure);
    EXPECT_TRUE(served);
}

// The manifest linked in is the program's: every processorArchitecture in
// it must name this build's width or any ("*"). One that names another width
// keeps the program from starting where the system has both (0xc000007b).
TEST(Win32ToolkitTest, ManifestNamesNoOtherProcessorArchitecture) {
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, resource);
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, resource)));
    ASSERT_NE(nullptr, data);
    const std::string manifest(data, ::SizeofResource(module, resource));
    const std::string own = sizeof(void*) == 8 ? "amd64" : "x86";
    const std::string key = "processorArchitecture=\"";
    int found = 0;
    for (size_t at = manifest.find(key); at != std::string::npos; at = manifest.find(key, at + 1)) {
        const size_t begin = at + key.size();
        const std::string value = manifest.substr(begin, manifest.find('"', begin) - begin);
        EXPECT_TRUE(value == "*" || value == own) << value;
        ++found;
    }
    EXPECT_EQ(2, found) << "the program's identity and the common controls";
}

}  // namespace
