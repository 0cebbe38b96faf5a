// Parallel and network printers: the port dialogs and the port choice.
#include <gtest/gtest.h>

#include "dialogs/dialog_ids.h"
#include "install/driver_catalogue.h"
#include "tests/support/installer_harness.h"

namespace {

using namespace std::chrono_literals;
using testing_support::InstallerHarness;
using platform::sim::SimSpooler;

const std::string kModel = install::ReceiptSeriesNames[5];
const char* const kTcpMonitor = "Standard TCP/IP Port";

class PortChoiceTest : public ::testing::Test {
protected:
    SimSpooler& Spooler() { return harness.Machine().sim_spooler(); }

    void StartAndInstallOn(int portType) {
        harness.Start();
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
        harness.ChoosePortType(portType);
        harness.ChooseModel(kModel);
        harness.Install([](const auto&) { return win::IDOK; });
    }

    // Clicks a control of the secondary dialog and waits for the run to go on.
    void ClickInDialog(int controlId) {
        const auto dialog = harness.SecondaryDialog();
        ASSERT_NE(dialog.hwnd, nullptr) << harness.Describe();
        harness.Toolkit().Click(dialog.hwnd, controlId);
    }

    std::vector<std::string> DialogRows() {
        std::vector<std::string> names;
        const auto dialog = harness.SecondaryDialog();
        const auto* list = dialog.Control(dialogs::IDC_PORT_LIST);
        if (list != nullptr) {
            for (const auto& row : list->rows) names.push_back(row[0]);
        }
        return names;
    }

    std::string PrinterPort() {
        const auto printer = Spooler().FindPrinter(kModel);
        return printer ? printer->port : std::string("(none)");
    }

    InstallerHarness harness;
};

TEST_F(PortChoiceTest, OneParallelPortNeedsNoDialog) {
    Spooler().RemovePort("LPT2:");
    Spooler().RemovePort("LPT3:");
    StartAndInstallOn(2);
    EXPECT_EQ(harness.SecondaryDialog().hwnd, nullptr);
    EXPECT_EQ(PrinterPort(), "LPT1:") << harness.Describe();
    EXPECT_EQ(harness.InstallCaption(), "完成");
}

TEST_F(PortChoiceTest, TwoParallelPortsTheSecondRowChosen) {
    Spooler().RemovePort("LPT3:");
    StartAndInstallOn(2);
    const auto dialog = harness.SecondaryDialog();
    ASSERT_EQ(dialog.templateId, dialogs::IDD_PARALLEL_PORT) << harness.Describe();
    EXPECT_EQ(DialogRows(), (std::vector<std::string>{"LPT1:", "LPT2:"}));
    harness.Toolkit().SelectListRow(dialog.hwnd, dialogs::IDC_PORT_LIST, 1);
    ClickInDialog(dialogs::IDC_PORT_OK);
    harness.Continue();
    EXPECT_EQ(PrinterPort(), "LPT2:") << harness.Describe();
}

TEST_F(PortChoiceTest, NoParallelPortInstallsNothing) {
    for (const char* port : {"LPT1:", "LPT2:", "LPT3:"}) Spooler().RemovePort(port);
    StartAndInstallOn(2);
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "PC机无可用并行端口。\r\n\r\n请选择其他端口类型。");
    EXPECT_EQ(harness.Boxes()[0].boxType & win::MB_ICONMASK, win::MB_ICONEXCLAMATION);
    EXPECT_TRUE(Spooler().PrinterNames().empty());
    EXPECT_EQ(harness.Machine().env().CallCount("CopyFileA"), 0);
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.InstallCaption(), "安装(&I)");
    EXPECT_FALSE(harness.Control(2).enabled) << "Cancel is disabled after any run";
}

TEST_F(PortChoiceTest, ParallelDialogCancelledInstallsNothing) {
    StartAndInstallOn(2);
    ASSERT_NE(harness.SecondaryDialog().hwnd, nullptr);
    ClickInDialog(dialogs::IDC_PORT_CANCEL);
    harness.Continue();
    EXPECT_TRUE(Spooler().PrinterNames().empty());
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.Progress(), 0);
}

TEST_F(PortChoiceTest, ParallelDialogEscapeCountsAsCancelWithoutAMessage) {
    StartAndInstallOn(2);
    const auto dialog = harness.SecondaryDialog();
    ASSERT_NE(dialog.hwnd, nullptr);
    harness.Toolkit().PressKey(dialog.hwnd, win::VK_ESCAPE);
    harness.Continue([](const auto&) { return win::IDOK; });
    EXPECT_TRUE(harness.Boxes().empty());
    EXPECT_TRUE(Spooler().PrinterNames().empty());
}

TEST_F(PortChoiceTest, OneNetworkPortStillShowsTheDialog) {
    Spooler().AddPort("IP_10.0.0.9", kTcpMonitor, "Standard TCP/IP Port");
    StartAndInstallOn(3);
    const auto dialog = harness.SecondaryDialog();
    ASSERT_EQ(dialog.templateId, dialogs::IDD_NETWORK_PORT) << harness.Describe();
    EXPECT_EQ(DialogRows(), std::vector<std::string>{"IP_10.0.0.9"});
    ClickInDialog(dialogs::IDC_PORT_OK);
    harness.Continue();
    EXPECT_EQ(PrinterPort(), "IP_10.0.0.9");
}

// The dialog lists a standard TCP/IP port by its monitor, whatever the
// display language made of its description, or by a description it knows.
TEST_F(PortChoiceTest, TcpIpPortsListedByMonitorOrDescriptionNearMissNot) {
    Spooler().AddPort("IP_A", "Local Port", "标准 TCP/IP 端口");
    Spooler().AddPort("IP_B", "Local Port", "standard TCP/IP Port");
    Spooler().AddPort("IP_C", kTcpMonitor, "Standard-TCP/IP-Anschluss");
    StartAndInstallOn(3);
    EXPECT_EQ(DialogRows(), (std::vector<std::string>{"IP_A", "IP_C"})) << harness.Describe();
}

TEST_F(PortChoiceTest, NoNetworkPortWizardCreatesOneAndThePrinterGoesOnIt) {
    Spooler().SetPortWizard(SimSpooler::PortWizard::kCreate, "IP_192.0.2.7", "Standard TCP/IP Port");
    StartAndInstallOn(3);
    EXPECT_EQ(harness.SecondaryDialog().hwnd, nullptr);
    EXPECT_EQ(PrinterPort(), "IP_192.0.2.7") << harness.Describe();
}

TEST_F(PortChoiceTest, NoNetworkPortWizardCancelledInstallsNothing) {
    Spooler().SetPortWizard(SimSpooler::PortWizard::kCancel);
    StartAndInstallOn(3);
    EXPECT_TRUE(harness.Boxes().empty());
    EXPECT_TRUE(Spooler().PrinterNames().empty());
    EXPECT_TRUE(harness.InstallEnabled());
}

TEST_F(PortChoiceTest, WizardThatReportsSuccessButMakesNoTcpPortInstallsNothing) {
    // A port of another kind: the refreshed list of TCP/IP ports is empty.
    Spooler().SetPortWizard(SimSpooler::PortWizard::kCreate, "ODD1", "Something else");
    StartAndInstallOn(3);
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "未能确定所选端口,请重新选择端口后安装");
    EXPECT_TRUE(Spooler().PrinterNames().empty());
}

TEST_F(PortChoiceTest, NewPortSelectsTheLastRow) {
    Spooler().AddPort("IP_1", kTcpMonitor, "Standard TCP/IP Port");
    Spooler().SetPortWizard(SimSpooler::PortWizard::kCreate, "IP_2", "Standard TCP/IP Port");
    StartAndInstallOn(3);
    ClickInDialog(dialogs::IDC_NEW_PORT);
    // The list is refilled row by row and then selected: look once the
    // click has been carried out whole, not when the rows first show.
    ASSERT_TRUE(harness.Toolkit().WaitForInputIdle(harness.SecondaryDialog().hwnd, 5s)) << harness.Describe();
    ASSERT_EQ(DialogRows(), (std::vector<std::string>{"IP_1", "IP_2"}));
    const auto dialog = harness.SecondaryDialog();
    const auto* list = dialog.Control(dialogs::IDC_PORT_LIST);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->rowStates[1] & win::LVIS_SELECTED, win::LVIS_SELECTED);
    EXPECT_EQ(list->rowStates[0] & win::LVIS_SELECTED, 0u);
    ClickInDialog(dialogs::IDC_PORT_OK);
    harness.Continue();
    EXPECT_EQ(PrinterPort(), "IP_2");
}

struct PortActionFailure {
    const char* operation;
    int button;
    win::DWORD error;
    const char* text;
    const char* caption;
};

class PortActionFailureTest : public PortChoiceTest, public ::testing::WithParamInterface<PortActionFailure> {};

TEST_P(PortActionFailureTest, IsReportedInTheDialog) {
    const auto& c = GetParam();
    Spooler().AddPort("IP_1", kTcpMonitor, "Standard TCP/IP Port");
    harness.Machine().env().InjectFault(c.operation, c.error, 1);
    StartAndInstallOn(3);
    ClickInDialog(c.button);
    // The click has been carried out once the dialog's thread waits again,
    // in a box if one came up.
    ASSERT_TRUE(harness.Toolkit().WaitForInputIdle(harness.SecondaryDialog().hwnd, 5s)) << harness.Describe();
    const ui::HWND box = harness.Toolkit().FindMessageBox();
    if (c.text == nullptr) {
        EXPECT_EQ(box, nullptr) << harness.Describe();
        return;
    }
    const auto shown = harness.Toolkit().WindowStateOf(box);
    ASSERT_NE(shown.hwnd, nullptr) << harness.Describe();
    EXPECT_EQ(shown.text, c.text);
    EXPECT_EQ(shown.caption, c.caption);
    EXPECT_EQ(shown.owner, harness.SecondaryDialog().hwnd);
    harness.Toolkit().AnswerMessageBox(box, win::IDOK);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PortActionFailureTest,
    ::testing::Values(
        PortActionFailure{"ConfigurePortA", dialogs::IDC_CONFIGURE_PORT, 50, "配置端口时出现错误.此操作不支持", "设置端口"},
        PortActionFailure{"ConfigurePortA", dialogs::IDC_CONFIGURE_PORT, 57,
                          "配置端口时出现错误.端口可能正在使用,或不存在.", "设置端口"},
        PortActionFailure{"ConfigurePortA", dialogs::IDC_CONFIGURE_PORT, 5, nullptr, nullptr},
        PortActionFailure{"DeletePortA", dialogs::IDC_DELETE_PORT, 50, "无法删除选定的端口。不支持请求。", "删除端口"},
        PortActionFailure{"DeletePortA", dialogs::IDC_DELETE_PORT, 57, nullptr, nullptr}));

TEST_F(PortChoiceTest, OkOnAnEmptyListPromptsAndStaysOpen) {
    Spooler().AddPort("IP_1", kTcpMonitor, "Standard TCP/IP Port");
    StartAndInstallOn(3);
    ClickInDialog(dialogs::IDC_DELETE_PORT);
    ASSERT_TRUE(harness.Toolkit().WaitFor([&](const auto&) { return DialogRows().empty(); }, 2s));
    ClickInDialog(dialogs::IDC_PORT_OK);
    const ui::HWND box = harness.Toolkit().WaitForMessageBox(5s);
    const auto shown = harness.Toolkit().WindowStateOf(box);
    ASSERT_NE(shown.hwnd, nullptr) << harness.Describe();
    EXPECT_EQ(shown.text, "无可用TCP/IP端口\r\n请点击\"新端口\"按钮添加端口");
    harness.Toolkit().AnswerMessageBox(box, win::IDOK);
    ASSERT_NE(harness.SecondaryDialog().hwnd, nullptr) << "the dialog stays open";
    ClickInDialog(dialogs::IDC_PORT_CANCEL);
    harness.Continue();
    EXPECT_TRUE(Spooler().PrinterNames().empty());
}

TEST_F(PortChoiceTest, RowThatNoLongerExistsAfterTheDialogInstallsNothing) {
    Spooler().AddPort("IP_1", kTcpMonitor, "Standard TCP/IP Port");
    Spooler().AddPort("IP_2", kTcpMonitor, "Standard TCP/IP Port");
    StartAndInstallOn(3);
    const auto dialog = harness.SecondaryDialog();
    harness.Toolkit().SelectListRow(dialog.hwnd, dialogs::IDC_PORT_LIST, 1);
    ASSERT_TRUE(harness.Toolkit().WaitFor(
        [&](const auto&) {
            const auto current = harness.SecondaryDialog();
            const auto* list = current.Control(dialogs::IDC_PORT_LIST);
            return list != nullptr && list->rowStates.size() == 2 && (list->rowStates[1] & win::LVIS_SELECTED);
        },
        2s));
    // The port vanishes behind the dialog's back before OK.
    Spooler().RemovePort("IP_2");
    ClickInDialog(dialogs::IDC_PORT_OK);
    harness.Continue([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "未能确定所选端口,请重新选择端口后安装");
    EXPECT_TRUE(Spooler().PrinterNames().empty());
    EXPECT_TRUE(harness.InstallEnabled());
}

}  // namespace
