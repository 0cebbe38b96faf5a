// The portable toolkit as a person and the control wrappers meet it: the
// dialog manager's keys and the close box, clicks, and the standard control
// messages with their edge cases.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_templates.h"
#include "ui/portable/portable_toolkit.h"

namespace {

using namespace std::chrono_literals;
using ui::HWND;
using ui::portable::ControlState;
using ui::portable::PortableToolkit;
using ui::portable::WindowState;
using win::LPARAM;
using win::LRESULT;
using win::UINT;
using win::WPARAM;

constexpr auto kWait = 5s;
constexpr win::INT_PTR kChoiceNone = 0xCCCC;

WPARAM Command(int id, UINT code) { return static_cast<WPARAM>((id & 0xFFFF) | (code << 16)); }

// The installer's own dialogs. In the parallel-port one the list is the
// first tab stop and there is no default button; the serial prompt has a
// push button first, then a combo box; the main dialog has a disabled
// default push button and a Cancel.
ui::DialogTemplate ListFirstTemplate() { return app::ParallelPortDialogTemplate(); }
ui::DialogTemplate PromptTemplate() { return app::SerialPromptDialogTemplate(); }
ui::DialogTemplate MainTemplate() { return app::InstallerDialogTemplate(); }

// Records every WM_COMMAND; ends on IDOK and IDCANCEL like the dialog base
// class; per-command handlers and WM_CLOSE handling are up to the test.
class RecordingProcedure : public ui::DialogProcedure {
public:
    explicit RecordingProcedure(PortableToolkit& toolkit) : m_toolkit(toolkit) {}

    std::function<void(HWND)> onInit;
    std::map<WPARAM, std::function<void(HWND)>> onCommand;
    bool handleClose = false;

    bool HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        switch (message) {
        case win::WM_INITDIALOG:
            if (onInit) onInit(dialog);
            *result = 1;
            return true;
        case win::WM_CLOSE:
            Record(message, 0, 0);
            if (!handleClose) return false;
            m_toolkit.EndDialog(dialog, kChoiceNone);
            return true;
        case win::WM_COMMAND: {
            Record(message, wParam, lParam);
            auto handler = onCommand.find(wParam);
            if (handler != onCommand.end()) {
                handler->second(dialog);
                return true;
            }
            const int id = static_cast<int>(wParam & 0xFFFF);
            if (id == win::IDOK || id == win::IDCANCEL) {
                m_toolkit.EndDialog(dialog, id);
                return true;
            }
            return false;
        }
        default:
            return false;
        }
    }

    // WM_COMMAND wParams, with WM_CLOSE recorded as 0xFFFFFFFF.
    std::vector<WPARAM> Commands() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_commands;
    }
    std::vector<LPARAM> Senders() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_senders;
    }

private:
    void Record(UINT message, WPARAM wParam, LPARAM lParam) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_commands.push_back(message == win::WM_CLOSE ? 0xFFFFFFFF : wParam);
        m_senders.push_back(lParam);
    }

    PortableToolkit& m_toolkit;
    mutable std::mutex m_mutex;
    std::vector<WPARAM> m_commands;
    std::vector<LPARAM> m_senders;
};

class PortableDialogManagerTest : public ::testing::Test {
protected:
    ~PortableDialogManagerTest() override {
        if (!m_thread.joinable()) return;
        // A failed test must not hang the binary: end whatever is left open.
        while (m_result.valid() && m_result.wait_for(10ms) != std::future_status::ready) {
            for (const WindowState& window : m_toolkit.Snapshot()) m_toolkit.EndDialog(window.hwnd, -99);
        }
        m_thread.join();
    }

    // Runs the dialog on a UI thread of its own; returns once its
    // WM_INITDIALOG is over (the first tab stop has the focus).
    HWND Open(const ui::DialogTemplate& dialogTemplate, RecordingProcedure* procedure = nullptr) {
        m_template = dialogTemplate;
        std::promise<win::INT_PTR> promise;
        m_result = promise.get_future();
        m_thread = std::thread([this, procedure, p = std::move(promise)]() mutable {
            p.set_value(m_toolkit.DialogBox(m_template, nullptr, procedure ? *procedure : m_procedure));
        });
        HWND hwnd = nullptr;
        const bool settled = m_toolkit.WaitFor(
            [&](const std::vector<WindowState>& windows) {
                for (const WindowState& window : windows) {
                    for (const ControlState& control : window.controls) {
                        if (control.focused) hwnd = window.hwnd;
                    }
                }
                return hwnd != nullptr;
            },
            kWait);
        EXPECT_TRUE(settled) << m_toolkit.Describe();
        return hwnd;
    }

    win::INT_PTR Result() {
        if (m_result.wait_for(kWait) != std::future_status::ready) {
            ADD_FAILURE() << "the dialog did not end\n" << m_toolkit.Describe();
            return -12345;
        }
        m_thread.join();  // another dialog may follow
        return m_result.get();
    }

    int FocusedId() const {
        const std::vector<WindowState> windows = m_toolkit.Snapshot();
        if (windows.empty()) return 0;
        for (const ControlState& control : windows.back().controls) {
            if (control.focused) return control.id;
        }
        return 0;
    }

    bool WaitForFocus(int controlId) {
        const bool reached = m_toolkit.WaitFor(
            [&](const std::vector<WindowState>& windows) {
                if (windows.empty()) return false;
                const ControlState* control = windows.back().Control(controlId);
                return control != nullptr && control->focused;
            },
            kWait);
        EXPECT_TRUE(reached) << "focus on " << FocusedId() << ", not " << controlId;
        return reached;
    }

    ControlState Control(int controlId) const {
        const std::vector<WindowState> windows = m_toolkit.Snapshot();
        const ControlState* control = windows.empty() ? nullptr : windows.back().Control(controlId);
        return control != nullptr ? *control : ControlState{};
    }

    LRESULT Send(HWND dialog, int controlId, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return m_toolkit.SendMessage(m_toolkit.GetDlgItem(dialog, controlId), message, wParam, lParam);
    }

    void EscapeEnds(HWND dialog) {
        m_toolkit.PressKey(dialog, win::VK_ESCAPE);
        EXPECT_EQ(Result(), win::IDCANCEL);
    }

    // The input queued so far has been carried out.
    void Flush(HWND dialog) { EXPECT_TRUE(m_toolkit.WaitForInputIdle(dialog, kWait)) << m_toolkit.Describe(); }

    PortableToolkit m_toolkit;
    RecordingProcedure m_procedure{m_toolkit};
    ui::DialogTemplate m_template;
    std::future<win::INT_PTR> m_result;
    std::thread m_thread;
};

// --- Enter, Esc, Tab and the close box ----------------------------------------

TEST_F(PortableDialogManagerTest, EnterEscapeAndTheCloseBoxEndTheDialog) {
    constexpr unsigned kCloseBox = 0;
    const WPARAM kClosed = 0xFFFFFFFF;
    struct Case {
        ui::DialogTemplate (*dialogTemplate)();
        bool handleClose;
        unsigned key;
        win::INT_PTR result;
        std::vector<WPARAM> commands;
    };
    const Case cases[] = {
        // Enter on a focused list is IDOK.
        {ListFirstTemplate, false, win::VK_RETURN, win::IDOK, {Command(win::IDOK, win::BN_CLICKED)}},
        {ListFirstTemplate, false, win::VK_ESCAPE, win::IDCANCEL, {Command(win::IDCANCEL, win::BN_CLICKED)}},
        {ListFirstTemplate, true, kCloseBox, kChoiceNone, {kClosed}},
        // Left to the default procedure, the close box becomes IDCANCEL.
        {PromptTemplate, false, kCloseBox, win::IDCANCEL, {kClosed, Command(win::IDCANCEL, win::BN_CLICKED)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " handleClose " << c.handleClose);
        RecordingProcedure procedure(m_toolkit);
        procedure.handleClose = c.handleClose;
        HWND dialog = Open(c.dialogTemplate(), &procedure);
        if (c.key == kCloseBox) {
            m_toolkit.CloseWindow(dialog);
        } else {
            m_toolkit.PressKey(dialog, c.key);
        }
        EXPECT_EQ(Result(), c.result);
        EXPECT_EQ(procedure.Commands(), c.commands);
    }
}

TEST_F(PortableDialogManagerTest, DisabledButtonsStaticsAndGroupBoxesIgnoreClicksKeysAndTheCloseBox) {
    m_procedure.onCommand[Command(1012, win::BN_CLICKED)] = [this](HWND dialog) { m_toolkit.EndDialog(dialog, 1012); };
    HWND dialog = Open(MainTemplate());
    HWND install = m_toolkit.GetDlgItem(dialog, 1012);
    EXPECT_FALSE(Control(1012).enabled);  // WS_DISABLED in the template
    EXPECT_EQ(FocusedId(), 1000);
    for (int id : {1008, 1011, 1012}) m_toolkit.Click(dialog, id);
    m_toolkit.SendMessage(install, win::BM_CLICK, 0, 0);
    m_toolkit.PressKey(dialog, win::VK_RETURN);  // on the disabled default button
    m_toolkit.EnableWindow(m_toolkit.GetDlgItem(dialog, win::IDCANCEL), 0);
    m_toolkit.CloseWindow(dialog);
    m_toolkit.PressKey(dialog, win::VK_ESCAPE);
    Flush(dialog);
    EXPECT_EQ(m_procedure.Commands(), (std::vector<WPARAM>{0xFFFFFFFF})) << "only the close box reached the dialog";
    EXPECT_EQ(FocusedId(), 1000);

    m_toolkit.EnableWindow(install, 1);
    m_toolkit.PressKey(dialog, win::VK_RETURN);
    EXPECT_EQ(Result(), 1012);
    EXPECT_EQ(m_procedure.Senders().back(), reinterpret_cast<LPARAM>(install));
}

TEST_F(PortableDialogManagerTest, ArrowsMoveAComboBoxSelectionWithinItsEndsAndEnterGivesIdOk) {
    HWND dialog = Open(PromptTemplate());
    m_toolkit.PressKey(dialog, win::VK_TAB);
    ASSERT_TRUE(WaitForFocus(1034));
    m_toolkit.PressKey(dialog, win::VK_UP);  // from no selection: the first item
    m_toolkit.PressKey(dialog, win::VK_UP);  // already first: no change, no notice
    Flush(dialog);
    EXPECT_EQ(Control(1034).curSel, 0);
    for (int i = 0; i < 12; ++i) m_toolkit.PressKey(dialog, win::VK_DOWN);
    Flush(dialog);
    EXPECT_EQ(Control(1034).text, "115200");
    m_toolkit.PressKey(dialog, win::VK_UP);
    Flush(dialog);
    EXPECT_EQ(Control(1034).curSel, 7);
    m_toolkit.PressKey(dialog, win::VK_RETURN);
    EXPECT_EQ(Result(), win::IDOK);
    std::vector<WPARAM> expected(1 + 8 + 1, Command(1034, win::CBN_SELCHANGE));
    expected.push_back(Command(win::IDOK, win::BN_CLICKED));
    EXPECT_EQ(m_procedure.Commands(), expected);
}

TEST_F(PortableDialogManagerTest, TabVisitsEnabledTabStopsInTemplateOrderBothWays) {
    HWND dialog = Open(MainTemplate());
    for (int expected : {1001, 1002, 1004, win::IDCANCEL, 1000}) {
        m_toolkit.PressKey(dialog, win::VK_TAB);
        ASSERT_TRUE(WaitForFocus(expected));
    }
    m_toolkit.PressKey(dialog, win::VK_TAB, true);
    ASSERT_TRUE(WaitForFocus(win::IDCANCEL));
    m_toolkit.PressKey(dialog, win::VK_TAB, true);
    ASSERT_TRUE(WaitForFocus(1004));
    // On a push button, Enter clicks it instead of the default button.
    m_toolkit.PressKey(dialog, win::VK_TAB);
    m_toolkit.PressKey(dialog, win::VK_RETURN);
    EXPECT_EQ(Result(), win::IDCANCEL);
}

// --- Clicks and buttons --------------------------------------------------------

TEST_F(PortableDialogManagerTest, ClicksToggleTheCheckBoxAndNotifyWithTheControl) {
    HWND dialog = Open(MainTemplate());
    HWND check = m_toolkit.GetDlgItem(dialog, 1002);
    m_toolkit.Click(dialog, 1002);
    Flush(dialog);
    EXPECT_EQ(m_toolkit.SendMessage(check, win::BM_GETCHECK, 0, 0), win::BST_CHECKED);
    EXPECT_EQ(FocusedId(), 1002);
    m_toolkit.PressKey(dialog, win::VK_SPACE);
    Flush(dialog);
    EXPECT_EQ(m_toolkit.SendMessage(check, win::BM_GETCHECK, 0, 0), win::BST_UNCHECKED);
    m_toolkit.SendMessage(check, win::BM_SETCHECK, win::BST_CHECKED, 0);
    EXPECT_EQ(Control(1002).check, win::BST_CHECKED);

    const WPARAM clicked = Command(1002, win::BN_CLICKED);
    EXPECT_EQ(m_procedure.Commands(), (std::vector<WPARAM>{clicked, clicked}));
    EXPECT_EQ(m_procedure.Senders().front(), reinterpret_cast<LPARAM>(check));
    EscapeEnds(dialog);
}

TEST_F(PortableDialogManagerTest, DisablingTheFocusedControlDropsTheFocus) {
    HWND dialog = Open(MainTemplate());
    m_toolkit.EnableWindow(m_toolkit.GetDlgItem(dialog, 1012), 1);
    m_procedure.onCommand[Command(1012, win::BN_CLICKED)] = [this](HWND dialog) {
        EXPECT_EQ(m_toolkit.EnableWindow(m_toolkit.GetDlgItem(dialog, 1012), 0), 0);
    };
    m_toolkit.Click(dialog, 1012);
    Flush(dialog);
    EXPECT_EQ(FocusedId(), 0);
    EXPECT_EQ(m_toolkit.IsWindowEnabled(m_toolkit.GetDlgItem(dialog, 1012)), 0);
    m_toolkit.PressKey(dialog, win::VK_RETURN);  // default button disabled again
    Flush(dialog);
    EXPECT_EQ(m_procedure.Commands().size(), 1u);
    EscapeEnds(dialog);
}

// --- Combo boxes -----------------------------------------------------------------

TEST_F(PortableDialogManagerTest, ComboBoxAnswersAsADropDownList) {
    HWND dialog = Open(MainTemplate());
    HWND combo = m_toolkit.GetDlgItem(dialog, 1000);
    auto send = [&](UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return m_toolkit.SendMessage(combo, message, wParam, lParam);
    };
    EXPECT_EQ(send(win::CB_GETCURSEL), -1);
    EXPECT_EQ(send(win::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("TP-80")), 0);
    EXPECT_EQ(send(win::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("LB-20")), 1);
    EXPECT_EQ(send(win::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("标签机")), 2);
    EXPECT_EQ(send(win::CB_GETCOUNT), 3);
    EXPECT_EQ(Control(1000).items, (std::vector<std::string>{"TP-80", "LB-20", "标签机"}));

    EXPECT_EQ(send(win::CB_SETCURSEL, 2), 2);
    EXPECT_EQ(send(win::CB_GETLBTEXTLEN, 2), 6);  // three CP936 characters
    char text[16] = {};
    EXPECT_EQ(send(win::WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text)), 6);
    EXPECT_STREQ(text, "标签机");
    // Cut short at a character boundary, never inside a character.
    EXPECT_EQ(send(win::WM_GETTEXT, 4, reinterpret_cast<LPARAM>(text)), 2);
    EXPECT_STREQ(text, "标");
    EXPECT_EQ(send(win::CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_STREQ(text, "TP-80");
    EXPECT_EQ(send(win::CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text)), win::CB_ERR);
    EXPECT_EQ(send(win::CB_GETLBTEXTLEN, static_cast<WPARAM>(-1)), win::CB_ERR);
    EXPECT_EQ(send(win::CB_GETLBTEXT, 0, 0), win::CB_ERR);

    EXPECT_EQ(send(win::CB_SETCURSEL, 3), win::CB_ERR);  // past the end: no selection
    EXPECT_EQ(send(win::CB_GETCURSEL), -1);
    EXPECT_EQ(send(win::WM_GETTEXTLENGTH), 0);
    EXPECT_EQ(send(win::CB_SETCURSEL, 1), 1);
    EXPECT_EQ(send(win::CB_SETCURSEL, static_cast<WPARAM>(-1)), win::CB_ERR);
    EXPECT_EQ(send(win::CB_GETCURSEL), -1);

    send(win::CB_SETCURSEL, 1);
    EXPECT_EQ(send(win::CB_RESETCONTENT), 0);
    EXPECT_EQ(send(win::CB_GETCOUNT), 0);
    EXPECT_EQ(send(win::CB_GETCURSEL), -1);

    // The program's selections notify nobody.
    EXPECT_TRUE(m_procedure.Commands().empty());
    EscapeEnds(dialog);
}

TEST_F(PortableDialogManagerTest, AUserChoiceInAComboBoxNotifiesTheDialog) {
    HWND dialog = Open(PromptTemplate());  // nine rates, 115200 the last
    m_toolkit.SelectComboItem(dialog, 1034, 9);  // no such item
    m_toolkit.SelectComboItem(dialog, 1034, 8);
    Flush(dialog);
    EXPECT_EQ(m_procedure.Commands(), (std::vector<WPARAM>{Command(1034, win::CBN_SELCHANGE)}));
    EXPECT_EQ(m_procedure.Senders().front(), reinterpret_cast<LPARAM>(m_toolkit.GetDlgItem(dialog, 1034)));
    EXPECT_EQ(Control(1034).text, "115200");
    EXPECT_EQ(FocusedId(), 1034);
    EscapeEnds(dialog);
}

// --- List views --------------------------------------------------------------------

class ListViewTest : public PortableDialogManagerTest {
protected:
    void SetUp() override {
        m_dialog = Open(ListFirstTemplate());
        m_list = m_toolkit.GetDlgItem(m_dialog, 1004);
    }
    void TearDown() override { EscapeEnds(m_dialog); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return m_toolkit.SendMessage(m_list, message, wParam, lParam);
    }
    LRESULT InsertColumn(int index, const char* text) {
        win::LVCOLUMNA column{};
        column.mask = win::LVCF_FMT | win::LVCF_TEXT | win::LVCF_SUBITEM;
        column.fmt = win::LVCFMT_LEFT;
        column.pszText = const_cast<char*>(text);
        column.iSubItem = index;
        return Send(win::LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    }
    LRESULT InsertItem(int index, const char* text) {
        win::LVITEMA item{};
        item.mask = win::LVIF_TEXT;
        item.iItem = index;
        item.pszText = const_cast<char*>(text);
        return Send(win::LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    LRESULT SetText(int index, int subItem, const char* text) {
        win::LVITEMA item{};
        item.iSubItem = subItem;
        item.pszText = const_cast<char*>(text);
        return Send(win::LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    LRESULT SetState(int index, UINT state, UINT mask) {
        win::LVITEMA item{};
        item.state = state;
        item.stateMask = mask;
        return Send(win::LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    UINT State(int index) {
        return static_cast<UINT>(Send(win::LVM_GETITEMSTATE, static_cast<WPARAM>(index),
                                      win::LVIS_SELECTED | win::LVIS_FOCUSED));
    }
    LRESULT HeaderCount() {
        HWND header = reinterpret_cast<HWND>(Send(win::LVM_GETHEADER));
        EXPECT_NE(header, nullptr);
        return m_toolkit.SendMessage(header, win::HDM_GETITEMCOUNT, 0, 0);
    }
    // The port-type list as the main dialog lays it out.
    void FillFourRows() {
        ASSERT_EQ(InsertColumn(0, "端口"), 0);
        ASSERT_EQ(InsertColumn(1, "说明"), 1);
        const char* rows[][2] = {{"串口", "serial"}, {"USB", "usb"}, {"并口(LPT)", "lpt"}, {"网络端口(TCP/IP)", "tcp"}};
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(InsertItem(i, rows[i][0]), i);
            ASSERT_EQ(SetText(i, 1, rows[i][1]), 1);
        }
    }

    HWND m_dialog = nullptr;
    HWND m_list = nullptr;
};

TEST_F(ListViewTest, ColumnsAreCountedByTheHeaderAndDeletedFromTheFront) {
    EXPECT_EQ(HeaderCount(), 0);
    FillFourRows();
    EXPECT_EQ(HeaderCount(), 2);
    EXPECT_EQ(Send(win::LVM_SETCOLUMNWIDTH, 0, 110), 1);
    EXPECT_EQ(Send(win::LVM_SETCOLUMNWIDTH, 1, 350), 1);
    EXPECT_EQ(Send(win::LVM_SETCOLUMNWIDTH, 2, 10), 0);
    ControlState list = Control(1004);
    EXPECT_EQ(list.columns, (std::vector<std::string>{"端口", "说明"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{110, 350}));
    EXPECT_EQ(list.rows[2], (std::vector<std::string>{"并口(LPT)", "lpt"}));

    // Deleting a later column takes its texts with it.
    EXPECT_EQ(Send(win::LVM_DELETECOLUMN, 1), 1);
    EXPECT_EQ(SetText(0, 1, "x"), 0);  // no column for subitem 1 any more
    EXPECT_EQ(Send(win::LVM_DELETEALLITEMS), 1);
    for (LRESULT n = HeaderCount(); n > 0; --n) EXPECT_EQ(Send(win::LVM_DELETECOLUMN, 0), 1);
    EXPECT_EQ(Send(win::LVM_DELETECOLUMN, 0), 0);
    EXPECT_EQ(HeaderCount(), 0);
    EXPECT_EQ(Send(win::LVM_GETITEMCOUNT), 0);
}

TEST_F(ListViewTest, SingleSelectionKeepsOneSelectedRow) {
    FillFourRows();
    EXPECT_EQ(SetState(0, win::LVIS_SELECTED, win::LVIS_SELECTED | win::LVIS_FOCUSED), 1);
    EXPECT_EQ(State(0), win::LVIS_SELECTED);  // selected, no focus mark
    EXPECT_EQ(SetState(2, win::LVIS_SELECTED, win::LVIS_SELECTED | win::LVIS_FOCUSED), 1);
    EXPECT_EQ(State(0), 0u);
    EXPECT_EQ(State(2), win::LVIS_SELECTED);
    EXPECT_EQ(Send(win::LVM_GETITEMSTATE, 2, win::LVIS_FOCUSED), 0);

    // Item -1 is every row: clearing works, selecting all cannot.
    EXPECT_EQ(SetState(-1, win::LVIS_SELECTED, win::LVIS_SELECTED), 0);
    EXPECT_EQ(SetState(-1, 0, win::LVIS_SELECTED), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(State(i), 0u);
    EXPECT_EQ(SetState(4, win::LVIS_SELECTED, win::LVIS_SELECTED), 0);
    EXPECT_EQ(State(4), 0u);
}

TEST_F(ListViewTest, UserClicksAndArrowKeysMoveSelectionAndFocus) {
    FillFourRows();
    SetState(0, win::LVIS_SELECTED, win::LVIS_SELECTED | win::LVIS_FOCUSED);
    m_toolkit.PressKey(m_dialog, win::VK_DOWN);  // from the selected row 0
    Flush(m_dialog);
    EXPECT_EQ(State(0), 0u);
    EXPECT_EQ(State(1), win::LVIS_SELECTED | win::LVIS_FOCUSED);

    m_toolkit.SelectListRow(m_dialog, 1004, 3);
    m_toolkit.PressKey(m_dialog, win::VK_DOWN);  // already last
    Flush(m_dialog);
    EXPECT_EQ(Control(1004).rowStates, (std::vector<unsigned>{0, 0, 0, win::LVIS_SELECTED | win::LVIS_FOCUSED}));
    m_toolkit.PressKey(m_dialog, win::VK_UP);
    Flush(m_dialog);
    EXPECT_EQ(State(2), win::LVIS_SELECTED | win::LVIS_FOCUSED);
    EXPECT_EQ(State(3), 0u);

    // A click below the last row leaves nothing selected.
    m_toolkit.SelectListRow(m_dialog, 1004, 7);
    Flush(m_dialog);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(State(i) & win::LVIS_SELECTED, 0u);
}

TEST_F(ListViewTest, ItemTextsAreCutToTheBufferAndRowsAppendPastTheEnd) {
    FillFourRows();
    char buffer[3] = {'x', 'x', 'x'};
    win::LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    EXPECT_EQ(Send(win::LVM_GETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&item)), 2);
    EXPECT_STREQ(buffer, "US");
    item.iSubItem = 1;
    EXPECT_EQ(Send(win::LVM_GETITEMTEXTA, 3, reinterpret_cast<LPARAM>(&item)), 2);
    EXPECT_STREQ(buffer, "tc");
    EXPECT_EQ(Send(win::LVM_GETITEMTEXTA, 9, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_STREQ(buffer, "");

    EXPECT_EQ(InsertItem(99, "COM9:"), 4);
    EXPECT_EQ(InsertItem(-1, "bad"), -1);
    EXPECT_EQ(SetText(9, 0, "x"), 0);
    EXPECT_EQ(Send(win::LVM_GETITEMCOUNT), 5);
    EXPECT_EQ(Control(1004).rows[4], (std::vector<std::string>{"COM9:", ""}));
}

// --- Progress bars and texts -----------------------------------------------------

TEST_F(PortableDialogManagerTest, ProgressBarClampsToItsRangeAndReturnsThePreviousPosition) {
    HWND dialog = Open(MainTemplate());
    HWND bar = m_toolkit.GetDlgItem(dialog, 1007);
    EXPECT_EQ(m_toolkit.SendMessage(bar, win::PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(m_toolkit.SendMessage(bar, win::PBM_SETPOS, 30, 0), 0);
    EXPECT_EQ(m_toolkit.SendMessage(bar, win::PBM_SETPOS, 150, 0), 30);
    EXPECT_EQ(m_toolkit.SendMessage(bar, win::PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(m_toolkit.SendMessage(bar, win::PBM_SETPOS, static_cast<WPARAM>(-5), 0), 100);
    EXPECT_EQ(Control(1007).pos, 0);
    EscapeEnds(dialog);
}

TEST_F(PortableDialogManagerTest, WindowTextsAreCutToTheBuffer) {
    HWND dialog = Open(MainTemplate());
    HWND status = m_toolkit.GetDlgItem(dialog, 1011);
    EXPECT_TRUE(m_toolkit.SetWindowText(status, "正在整理驱动文件..."));
    EXPECT_EQ(m_toolkit.SendMessage(status, win::WM_GETTEXTLENGTH, 0, 0), 19);
    char small[5] = {};
    EXPECT_EQ(m_toolkit.GetWindowText(status, small, sizeof(small)), 4);
    EXPECT_STREQ(small, "正在");
    EXPECT_EQ(m_toolkit.GetWindowText(status, small, 4), 2);
    EXPECT_STREQ(small, "正");
    EXPECT_EQ(m_toolkit.GetWindowText(status, small, 0), 0);
    EXPECT_TRUE(m_toolkit.SetWindowText(status, nullptr));
    EXPECT_EQ(Control(1011).text, "");

    // The dialog's own text is its caption, kept by the default procedure.
    EXPECT_TRUE(m_toolkit.SetWindowText(dialog, "新标题"));
    EXPECT_EQ(m_toolkit.Snapshot()[0].caption, "新标题");
    EscapeEnds(dialog);
}

}  // namespace
