// Finding the serial port a printer answers on, against pseudo-terminals
// with a printer emulator on the far end.
#include <gtest/gtest.h>

#include <memory>

#include "dialogs/dialog_ids.h"
#include "install/driver_catalogue.h"
#include "platform/sim/sim_registry.h"
#include "ports/port_names.h"
#include "serial/serial_port_channel.h"
#include "tests/support/installer_harness.h"
#include "tools/printer_sim/printer_emulator.h"
#include "tools/printer_sim/pty_pair.h"

namespace {

using namespace std::chrono_literals;
using printer_sim::PrinterEmulator;
using printer_sim::PrinterKind;
using printer_sim::PrinterOptions;
using printer_sim::PtyPair;
using testing_support::InstallerHarness;

const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const std::vector<std::uint8_t> kReceiptRequest = {0x10, 0x04, 0x01};
const std::vector<std::uint8_t> kLabelRequest = {0x1B, 0x21, 0x3F};

class SerialDetectTest : public ::testing::Test {
protected:
    // COM ports backed by pseudo-terminals, listed in the device map in
    // this order.
    void AddComPorts(std::initializer_list<int> numbers) {
        int device = 0;
        for (int number : numbers) {
            auto pty = std::make_unique<PtyPair>();
            ASSERT_TRUE(pty->ok());
            harness.Machine().sim_serial().MapPort(number, pty->slavePath());
            harness.Machine().AddSerialDevice("\\Device\\Serial" + std::to_string(device++),
                                              "COM" + std::to_string(number));
            ptys[number] = std::move(pty);
        }
    }

    // A printer on the far end of COMn.
    PrinterEmulator& PrinterOn(int number, PrinterOptions options) {
        printers.push_back(std::make_unique<PrinterEmulator>(ptys.at(number)->master(), options));
        printers.back()->Start();
        return *printers.back();
    }

    // Starts the installer and presses Install for `model` on the serial
    // row; returns once the prompt is up (or the run is over).
    void InstallSerial(const std::string& model) {
        harness.Start();
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
        harness.ChoosePortType(0);
        harness.ChooseModel(model);
        harness.Install([](const auto&) { return win::IDOK; });
    }

    ui::portable::WindowState Prompt() {
        const auto dialog = harness.SecondaryDialog();
        return dialog.templateId == dialogs::IDD_SERIAL_PROMPT ? dialog : ui::portable::WindowState{};
    }

    // Answers the prompt with a rate and waits until the search has ended.
    void AnswerPrompt(int rateIndex) {
        ChooseRate(rateIndex);
        WaitForTheEnd();
    }

    // Answers the prompt with a rate; the search goes on.
    void ChooseRate(int rateIndex) {
        const auto prompt = Prompt();
        ASSERT_NE(prompt.hwnd, nullptr) << harness.Describe();
        harness.Toolkit().SelectComboItem(prompt.hwnd, dialogs::IDC_BAUD_COMBO, rateIndex);
        harness.Toolkit().WaitFor(
            [&](const auto&) {
                const auto current = Prompt();
                const auto* combo = current.Control(dialogs::IDC_BAUD_COMBO);
                return combo != nullptr && combo->curSel == rateIndex;
            },
            2s);
        harness.Toolkit().Click(prompt.hwnd, dialogs::IDC_SERIAL_YES);
    }

    void WaitForTheEnd() {
        harness.Toolkit().WaitFor([&](const auto&) { return harness.InstallCaption() == "完成"; }, 20s);
        harness.Toolkit().WaitForInputIdle(harness.MainWindow(), 5s);
    }

    std::optional<std::string> ComSettings(const std::string& port) {
        return harness.Machine().sim_registry().GetString(win::HKEY_LOCAL_MACHINE, kPortsKey, port);
    }

    std::string PrinterPort(const std::string& name) {
        const auto printer = harness.Machine().sim_spooler().FindPrinter(name);
        return printer ? printer->port : std::string("(none)");
    }

    bool StatusSeen(const std::string& text) {
        const auto history = harness.Recorder().StatusHistory();
        return std::find(history.begin(), history.end(), text) != history.end();
    }

    InstallerHarness harness;
    std::map<int, std::unique_ptr<PtyPair>> ptys;
    std::vector<std::unique_ptr<PrinterEmulator>> printers;
};

const std::string kReceiptModel = install::ReceiptSeriesNames[1];
const std::string kLabelModel = install::LabelSeriesNames[2];

TEST_F(SerialDetectTest, PrinterOnTheSecondPortAt9600IsFound) {
    AddComPorts({1, 2});
    PrinterOptions options;
    options.requiredBaud = 9600;
    auto& printer = PrinterOn(2, options);
    InstallSerial(kReceiptModel);
    const auto prompt = Prompt();
    ASSERT_NE(prompt.hwnd, nullptr) << harness.Describe();
    EXPECT_EQ(prompt.Control(dialogs::IDC_BAUD_COMBO)->curSel, 5) << "19200 is offered first";
    AnswerPrompt(4);

    EXPECT_EQ(harness.Status(), "成功配置打印机端口为 COM2:") << harness.Describe();
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM2:");
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    EXPECT_EQ(harness.Outcomes()[0].end, run::RunEnd::kInstalled);
    EXPECT_EQ(harness.Outcomes()[0].port, "COM2:");
    EXPECT_EQ(ComSettings("COM2:"), std::optional<std::string>("9600,n,8,1"));
    EXPECT_FALSE(ComSettings("COM1:").has_value());
    EXPECT_EQ(harness.Progress(), 100);
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_TRUE(StatusSeen("正在验证COM1:"));
    EXPECT_TRUE(StatusSeen("正在验证COM2:"));
    // Each port is given 700 ms to answer.
    EXPECT_EQ(harness.Recorder().TimerPeriods(), (std::vector<win::UINT>{700, 700}));
    // Exactly the status request, once on each port.
    EXPECT_EQ(ptys[1]->Read(3, 200ms), kReceiptRequest);
    EXPECT_EQ(printer.Received(), kReceiptRequest);
}

// The list stays usable during the search; a model picked meanwhile is not
// the printer being installed.
TEST_F(SerialDetectTest, AnotherModelPickedDuringTheSearchChangesNothing) {
    AddComPorts({1, 2});
    PrinterOptions options;
    options.requiredBaud = 9600;
    PrinterOn(2, options);
    InstallSerial(kReceiptModel);
    ChooseRate(4);
    ASSERT_TRUE(harness.Recorder().WaitForStatus("正在验证COM1:", 5s)) << harness.Describe();
    harness.ChooseModel(kLabelModel);
    WaitForTheEnd();

    EXPECT_EQ(harness.Status(), "成功配置打印机端口为 COM2:") << harness.Describe();
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM2:");
    EXPECT_EQ(PrinterPort(kLabelModel), "(none)");
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    EXPECT_EQ(harness.Outcomes()[0].port, "COM2:");
}

TEST_F(SerialDetectTest, LabelSeriesAsksWithItsOwnRequestAndAZeroByteCounts) {
    AddComPorts({1, 2});
    PrinterOptions options;
    options.kind = PrinterKind::kLabel;  // answers 0x00
    auto& printer = PrinterOn(1, options);
    InstallSerial(kLabelModel);
    AnswerPrompt(5);
    EXPECT_EQ(printer.Received(), kLabelRequest);
    EXPECT_EQ(printer.RequestsAnswered(), 1);
    EXPECT_EQ(harness.Status(), "成功配置打印机端口为 COM1:") << harness.Describe();
    EXPECT_EQ(ComSettings("COM1:"), std::optional<std::string>("19200,n,8,1"));
    EXPECT_TRUE(ptys[2]->Read(3, 100ms).empty()) << "the search stops at the port that answered";
}

TEST_F(SerialDetectTest, APortThatCannotBeOpenedIsPassedOverAndATwoDigitOneAnswers) {
    harness.Machine().AddSerialDevice("\\Device\\Serial9", "COM1");  // no device behind it
    AddComPorts({12});
    PrinterOn(12, PrinterOptions{});
    InstallSerial(kReceiptModel);
    AnswerPrompt(5);
    EXPECT_EQ(harness.Status(), "成功配置打印机端口为 COM12:") << harness.Describe();
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM12:");
    EXPECT_TRUE(StatusSeen("正在验证COM1:"));
    EXPECT_EQ(harness.Recorder().TimerPeriods(), (std::vector<win::UINT>{700}));
}

TEST_F(SerialDetectTest, AReplyFromThePortProbedBeforeIsNotCreditedToTheNext) {
    AddComPorts({1, 2});
    // COM1 answers just as the search moves on to COM2, while its channel
    // is still open: the reply reaches the dialog as COM1 is closed.
    harness.Recorder().OnStatus([&](const std::string& text) {
        if (text != "正在验证COM2:") return;
        ptys[1]->Write({0x12});
        EXPECT_TRUE(harness.Recorder().WaitForSends(serial::SERIALMSG_CHAR, 1, 5s));
    });
    InstallSerial(kReceiptModel);
    AnswerPrompt(5);
    EXPECT_EQ(harness.Status(), "无法识别可用串口。程序已为您选择COM1:,若需修改完成后手动配置") << harness.Describe();
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM1:");
    EXPECT_FALSE(ComSettings("COM2:").has_value());
}

TEST_F(SerialDetectTest, APrinterThatKeepsSendingStillEndsTheSearch) {
    AddComPorts({1, 2});
    PrinterOptions flood;
    flood.floodBytes = 100000;  // far more than the line carries in a probe's time
    PrinterOn(1, flood);
    InstallSerial(kReceiptModel);
    AnswerPrompt(5);
    EXPECT_EQ(harness.Status(), "成功配置打印机端口为 COM1:") << harness.Describe();
    EXPECT_EQ(harness.InstallCaption(), "完成");
}

TEST_F(SerialDetectTest, NoPortAnsweringEndsOnTheFirstPort) {
    AddComPorts({1, 2});
    PrinterOptions options;
    options.requiredBaud = 9600;  // the rate chosen below is another
    auto& printer = PrinterOn(2, options);
    InstallSerial(kReceiptModel);
    AnswerPrompt(5);
    EXPECT_EQ(printer.RequestsSeen(), 1);
    EXPECT_EQ(harness.Status(), "无法识别可用串口。程序已为您选择COM1:,若需修改完成后手动配置");
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM1:");
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    EXPECT_EQ(harness.Outcomes()[0].end, run::RunEnd::kPortNotConfirmed);
    EXPECT_EQ(harness.Outcomes()[0].port, "COM1:");
    EXPECT_EQ(harness.Progress(), 100);
}

TEST_F(SerialDetectTest, DecliningWritesAndRestartsNothing) {
    AddComPorts({1, 2});
    InstallSerial(kReceiptModel);
    const int stops = harness.Machine().sim_services().StopCount("Spooler");
    harness.Toolkit().Click(Prompt().hwnd, dialogs::IDC_SERIAL_NO);
    WaitForTheEnd();
    EXPECT_EQ(harness.Status(), "程序已为您选择COM1:,若需修改完成后手动配置");
    EXPECT_EQ(harness.Machine().sim_services().StopCount("Spooler"), stops);
    EXPECT_FALSE(ComSettings("COM1:").has_value());
    EXPECT_TRUE(ptys[1]->Read(1, 100ms).empty());
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM1:");
}

TEST_F(SerialDetectTest, EscapeOnThePromptDeclinesToo) {
    AddComPorts({1, 2});
    InstallSerial(kReceiptModel);
    harness.Toolkit().PressKey(Prompt().hwnd, win::VK_ESCAPE);
    WaitForTheEnd();
    EXPECT_EQ(harness.Status(), "程序已为您选择COM1:,若需修改完成后手动配置");
    EXPECT_TRUE(ptys[1]->Read(1, 100ms).empty());
}

TEST_F(SerialDetectTest, OnePortNeedsNoPromptAndSendsNothing) {
    AddComPorts({4});
    InstallSerial(kReceiptModel);
    WaitForTheEnd();
    EXPECT_EQ(Prompt().hwnd, nullptr);
    EXPECT_EQ(harness.Status(), "程序已为您选择COM4:,若需修改完成后手动配置") << harness.Describe();
    EXPECT_EQ(ComSettings("COM4:"), std::optional<std::string>("19200,n,8,1"));
    EXPECT_TRUE(ptys[4]->Read(1, 100ms).empty());
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM4:");
}

TEST_F(SerialDetectTest, NoPortOpenableEndsAtOnceWithoutArmingTheTimer) {
    // Listed in the device map, but no device behind them.
    harness.Machine().AddSerialDevice("\\Device\\Serial0", "COM1");
    harness.Machine().AddSerialDevice("\\Device\\Serial1", "COM2");
    InstallSerial(kReceiptModel);
    AnswerPrompt(4);
    EXPECT_EQ(harness.Status(), "无法识别可用串口。程序已为您选择COM1:,若需修改完成后手动配置");
    EXPECT_EQ(harness.Recorder().TimersArmed(), 0);
}

TEST_F(SerialDetectTest, PrintersOnSerialPortsSitOnLpt1DuringTheSearchAndGoBack) {
    AddComPorts({1, 2});
    // A first run leaves a printer on COM1:.
    const std::string other = install::ReceiptSeriesNames[7];
    InstallSerial(other);
    harness.Toolkit().Click(Prompt().hwnd, dialogs::IDC_SERIAL_NO);
    WaitForTheEnd();
    ASSERT_EQ(PrinterPort(other), "COM1:");
    harness.Click(1012);
    ASSERT_TRUE(harness.WaitForEnd());

    PrinterOptions slow;
    slow.delayMs = 300;
    PrinterOn(2, slow);
    harness.Restart();
    ASSERT_TRUE(harness.WaitUntilReady());
    harness.ChoosePortType(0);
    harness.ChooseModel(kReceiptModel);
    harness.Install();
    const auto prompt = Prompt();
    ASSERT_NE(prompt.hwnd, nullptr);
    // While the ports are probed, the old printer is out of the way.
    std::string portWhileProbing;
    harness.Recorder().OnStatus([&](const std::string& text) {
        if (text == "正在验证COM1:") portWhileProbing = PrinterPort(other);
    });
    harness.Toolkit().Click(prompt.hwnd, dialogs::IDC_SERIAL_YES);
    WaitForTheEnd();
    EXPECT_EQ(portWhileProbing, "LPT1:");
    EXPECT_EQ(harness.Status(), "成功配置打印机端口为 COM2:");
    EXPECT_EQ(PrinterPort(other), "COM1:");
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM2:");
}

TEST_F(SerialDetectTest, ClosingTheWindowInTheMiddleOfASearchGivesThePortsBack) {
    AddComPorts({1, 2});
    PrinterOptions silent;
    silent.silent = true;
    PrinterOn(1, silent);
    // The close box is pressed as COM1 is being probed; it is carried out
    // before the probe's time is up.
    std::string portWhileProbing;
    harness.Recorder().OnStatus([&](const std::string& text) {
        if (text != "正在验证COM1:") return;
        portWhileProbing = PrinterPort(kReceiptModel);
        harness.Toolkit().CloseWindow(harness.MainWindow());
    });
    InstallSerial(kReceiptModel);
    harness.Toolkit().Click(Prompt().hwnd, dialogs::IDC_SERIAL_YES);
    ASSERT_TRUE(harness.WaitForEnd());
    EXPECT_EQ(portWhileProbing, "LPT1:");
    EXPECT_FALSE(harness.Recorder().WaitForStatus("正在验证COM2:", std::chrono::milliseconds(0)));
    EXPECT_EQ(PrinterPort(kReceiptModel), "COM1:");
}

TEST_F(SerialDetectTest, NoSerialPortAtAllEndsWithoutNamingOne) {
    // No serial port: the printer stands in on the first parallel port.
    InstallSerial(kReceiptModel);
    WaitForTheEnd();
    EXPECT_EQ(harness.Status(), "无法识别可用串口,请在安装完成后手动配置打印机端口") << harness.Describe();
    EXPECT_EQ(PrinterPort(kReceiptModel), "LPT1:");
}

TEST(ParseComPortNumber, ReadsOnlyWellFormedEntries) {
    EXPECT_EQ(ports::ParseComPortNumber("COM3:"), 3);
    EXPECT_EQ(ports::ParseComPortNumber("COM12:"), 12);
    EXPECT_EQ(ports::ParseComPortNumber("COM255:"), 255);
    for (const char* bad : {"COM3", "COM:", "COMx:", "COM1x:", "COM99999999999999999999:", "COM256:", "LPT1:",
                            "CO", "", ":", "COM-1:"}) {
        EXPECT_EQ(ports::ParseComPortNumber(bad), 0) << bad;
    }
}

}  // namespace
