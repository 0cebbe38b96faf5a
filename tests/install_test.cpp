// Installing receipt and label printers end to end on the simulated
// machine: staging, registration, the printer, the default printer, and
// every failure the user is told about.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "app/installer_dialog.h"
#include "install/driver_catalogue.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_services.h"
#include "tests/support/installer_harness.h"
#include "tests/support/package_builder.h"

namespace {

using namespace std::chrono_literals;
using testing_support::InstallerHarness;

const char* const kX64Directory = "C:\\Windows\\System32\\spool\\drivers\\x64";
const char* const kX86Directory = "C:\\Windows\\System32\\spool\\drivers\\W32X86";
const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr win::DWORD kErrorDiskFull = 112;  // ERROR_DISK_FULL

// The label driver's language DLLs in the order the driver record lists
// them, written out here so that two rows swapped in the catalogue show.
std::vector<std::string> LanguageDlls(const std::string& suffix) {
    std::vector<std::string> names;
    for (const char* code : {"ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN", "DUT", "CZE", "POL", "HUN",
                             "RUS", "TUR", "SWE", "HEB", "SVK", "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR",
                             "PBR"}) {
        names.push_back(std::string("LBX") + code + suffix);
    }
    return names;
}

// Where a call first comes in the machine's log (the log's size if never).
size_t FirstCall(const std::vector<std::string>& calls, const std::string& operation) {
    return static_cast<size_t>(std::find(calls.begin(), calls.end(), operation) - calls.begin());
}

class InstallTest : public ::testing::Test {
protected:
    explicit InstallTest(platform::sim::SimPreset preset = platform::sim::SimPreset::kWindows10x64)
        : harness(preset) {}

    void StartWithUsbPorts(std::initializer_list<const char*> ports, const char* attachedAt) {
        for (const char* port : ports) {
            harness.Machine().sim_spooler().AddPort(port, "USB Monitor", "Virtual printer port for USB");
        }
        if (attachedAt != nullptr) harness.Machine().sim_spooler().AttachUsbPrinter(attachedAt);
        harness.Start();
        ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    }

    std::string ModelOfRow(int row) {
        // The sample list names every series by its display name.
        return row < 30 ? install::ReceiptSeriesNames[row] : install::LabelSeriesNames[row - 30];
    }

    std::vector<int> ProgressHistory() {
        return harness.Recorder().ProgressHistory(harness.Toolkit().GetDlgItem(harness.MainWindow(), 1007));
    }

    // None of the files the registered driver names is left where it was
    // staged: each of the sequence's deletions happened.
    template <typename Driver>
    void ExpectStagingCopiesGone(const Driver& driver, const std::string& directory) {
        std::vector<std::string> staged = {driver.driverPath, driver.dataFile, driver.configFile, driver.helpFile};
        for (const std::string& name : driver.dependentFiles) {
            staged.push_back(directory + "\\" + (name[0] == '\\' ? name.substr(1) : name));
        }
        ASSERT_GT(staged.size(), 6u);
        for (const std::string& path : staged) EXPECT_FALSE(harness.Machine().sim_files().Exists(path)) << path;
    }

    std::optional<std::string> DefaultPrinter() {
        return harness.Machine().sim_registry().GetString(win::HKEY_CURRENT_USER, kWindowsKey, "Device");
    }

    InstallerHarness harness;
};

TEST_F(InstallTest, ReceiptOnTheSecondUsbPortEndToEnd) {
    StartWithUsbPorts({"USB001", "USB002"}, "USB002");
    const std::string model = ModelOfRow(0);
    harness.ChooseModel(model);
    harness.Install();

    auto& spooler = harness.Machine().sim_spooler();
    const auto printer = spooler.FindPrinter(model);
    ASSERT_TRUE(printer.has_value()) << harness.Describe();
    EXPECT_EQ(printer->port, "USB002");
    EXPECT_EQ(printer->driver, install::ReceiptSeriesNames[0]);
    EXPECT_EQ(DefaultPrinter(), model + ",winspool,USB001") << "written when the printer was on its first port";
    EXPECT_EQ(harness.Status(), "安装已完成");
    EXPECT_EQ(harness.InstallCaption(), "完成");
    EXPECT_TRUE(harness.InstallEnabled());
    // USB002 is tried at once: the plugged-in printer names it.
    EXPECT_EQ(ProgressHistory(), (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 100}));
    EXPECT_TRUE(harness.Boxes().empty());
    // Every value the rebind to USB002 wrote, read back.
    auto& registry = harness.Machine().sim_registry();
    const std::string printers = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\" + model;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {printers, "Port"},
             {printers + "\\DsSpooler", "portName"},
             {"SYSTEM\\ControlSet001\\Control\\Print\\Printers\\" + model, "Port"},
             {"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + model, "Port"}}) {
        EXPECT_EQ(registry.GetString(win::HKEY_LOCAL_MACHINE, key, value), std::optional<std::string>("USB002")) << key;
    }
    EXPECT_EQ(registry.GetDword(win::HKEY_LOCAL_MACHINE,
                                "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\"
                                "Control\\Print\\Printers\\" + model,
                                "PrinterOnLine"),
              std::optional<win::DWORD>(1));

    const auto history = harness.Recorder().StatusHistory();
    auto seen = [&](const std::string& text) { return std::find(history.begin(), history.end(), text) != history.end(); };
    // The plugged-in printer's interface names its port: tried first, and alone.
    EXPECT_FALSE(seen("正在尝试 USB001 ...."));
    EXPECT_TRUE(seen("正在尝试 USB002 ...."));
    EXPECT_TRUE(seen("设置打印机" + model + "为默认打印机"));

    // The record as registered, on 64-bit Windows.
    const auto driver = spooler.FindDriver(install::ReceiptSeriesNames[0], "Windows x64");
    ASSERT_TRUE(driver.has_value());
    EXPECT_EQ(driver->version, 3u);
    EXPECT_EQ(driver->driverPath, std::string(kX64Directory) + "\\uniDRV.DLL");
    EXPECT_EQ(driver->dataFile, std::string(kX64Directory) + "\\SR5801.GPD");
    EXPECT_EQ(driver->configFile, std::string(kX64Directory) + "\\uniDRVui.DLL");
    EXPECT_EQ(driver->helpFile, std::string(kX64Directory) + "\\uniDRV.HLP");
    EXPECT_EQ(driver->dependentFiles,
              (std::vector<std::string>{"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD", "SMPF58.DLL"}));
    EXPECT_EQ(driver->monitorName, "");
    EXPECT_EQ(driver->defaultDataType, "RAW");
    ExpectStagingCopiesGone(*driver, kX64Directory);
}

// The files each sequence stages in the driver directory, in order.
struct StagedSeries {
    int row;
    std::vector<std::string> files;
};

class SequenceTest : public InstallTest, public ::testing::WithParamInterface<StagedSeries> {};

TEST_P(SequenceTest, StartsTheSpoolerStagesEveryFileAndEnablesThePrivilege) {
    const StagedSeries& c = GetParam();
    StartWithUsbPorts({"USB001"}, "USB001");
    auto& machine = harness.Machine();
    // Stopped after the preparation had started it.
    machine.sim_services().SetRunning("Spooler", false);
    // The staging copies stay, so that every one can be looked at.
    machine.env().InjectFault("DeleteFileA", win::ERROR_ACCESS_DENIED, -1);
    machine.env().ClearCalls();
    harness.ChooseModel(ModelOfRow(c.row));
    harness.Install();
    machine.env().ClearFaults();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();

    const auto calls = machine.env().Calls();
    EXPECT_LT(FirstCall(calls, "StartServiceA"), FirstCall(calls, "GetPrinterDriverDirectoryA"));
    EXPECT_LT(FirstCall(calls, "AdjustTokenPrivileges"), FirstCall(calls, "OpenPrinterA"));
    EXPECT_TRUE(machine.sim_services().IsPrivilegeEnabled("SeLoadDriverPrivilege"));

    const std::string directory = std::string(kX64Directory) + "\\";
    std::vector<std::string> staged;
    for (const auto& text : harness.Recorder().StatusHistory()) {
        if (text.rfind(directory, 0) == 0) staged.push_back(text.substr(directory.size()));
    }
    EXPECT_EQ(staged, c.files);
    for (const auto& name : c.files) EXPECT_TRUE(machine.sim_files().Exists(directory + name)) << name;
    EXPECT_EQ(machine.env().CallCount("DeleteFileA"), static_cast<int>(c.files.size())) << "each is removed again";
}

std::vector<std::string> LabelStaging() {
    std::vector<std::string> files = {"qmtNLM64.dll", "LBXDRV56.DLL", "LBXUI56.DLL"};
    for (const auto& name : LanguageDlls("56.DLL")) files.push_back(name);
    for (const char* name : {"THERMAL.chm", "SLB40.BA0", "SLB40.DAT", "SLB40.PP0"}) files.push_back(name);
    return files;
}

INSTANTIATE_TEST_SUITE_P(ReceiptAndLabel, SequenceTest,
                         ::testing::Values(StagedSeries{0,
                                                        {"SMPF58.DLL", "SR5801.GPD", "uniDRVui.DLL", "uniDRV.DLL",
                                                         "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"}},
                                           StagedSeries{30, LabelStaging()}),
                         [](const auto& info) { return std::string(info.param.row < 30 ? "Receipt" : "Label"); });

// Without the spooler's driver directory nothing is staged: the files would
// land in the root of the drive.
struct DirectoryFailure {
    const char* name;
    int row;
    int skip;  // directory calls let through before the failing ones
    bool spoolerWontStart;
    bool emptyAnswer;  // the calls succeed, naming no directory
    std::vector<std::string> boxes;
};

class DriverDirectoryFailureTest : public InstallTest, public ::testing::WithParamInterface<DirectoryFailure> {};

TEST_P(DriverDirectoryFailureTest, StopsTheRunBeforeAnythingIsCopied) {
    const DirectoryFailure& c = GetParam();
    StartWithUsbPorts({"USB001"}, "USB001");
    auto& machine = harness.Machine();
    if (c.spoolerWontStart) {
        machine.sim_services().SetRunning("Spooler", false);
        machine.sim_services().SetBehaviour("Spooler", platform::sim::SimServiceBehaviour::NeverStarts());
    } else if (c.emptyAnswer) {
        machine.sim_spooler().AnswerEmptyDriverDirectory(2);
    } else {
        machine.env().InjectFault("GetPrinterDriverDirectoryA", win::ERROR_ACCESS_DENIED, 2, c.skip);
    }
    machine.env().ClearCalls();
    harness.ChooseModel(ModelOfRow(c.row));
    harness.Install([](const auto&) { return win::IDOK; });

    std::vector<std::string> boxes;
    for (const auto& box : harness.Boxes()) boxes.push_back(box.text + " / " + box.caption);
    EXPECT_EQ(boxes, c.boxes) << harness.Describe();
    EXPECT_EQ(machine.env().CallCount("CopyFileA"), 0);
    EXPECT_EQ(machine.env().CallCount("DeleteMonitorA") + machine.env().CallCount("AddPrinterDriverExA"), 0);
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(ProgressHistory(), std::vector<int>{0});
}

INSTANTIATE_TEST_SUITE_P(
    Causes, DriverDirectoryFailureTest,
    ::testing::Values(
        DirectoryFailure{"ReceiptX64CallFails", 0, 1, false, false, {"获取驱动程序目录失败 5 / 打印机驱动安装程序"}},
        DirectoryFailure{"LabelBothCallsFail", 30, 0, false, false, {"获取驱动程序目录失败 5 / 打印机驱动安装程序"}},
        // Staged into the root of the drive otherwise, over the user's files.
        DirectoryFailure{"SpoolerNamesAnEmptyDirectory", 0, 0, false, true, {"获取驱动程序目录失败 0 / 打印机驱动安装程序"}},
        DirectoryFailure{"SpoolerWillNotStart", 0, 0, true, false,
                         {"等待服务Spooler启动超时 / 打印机驱动安装程序",
                          "获取驱动程序目录失败 1722 / 打印机驱动安装程序"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallTest, EverySeriesInstallsOnUsb) {
    StartWithUsbPorts({"USB001"}, "USB001");
    auto& spooler = harness.Machine().sim_spooler();
    for (int row = 0; row < 35; ++row) {
        const std::string model = ModelOfRow(row);
        harness.ChooseModel(model);
        harness.Install();
        ASSERT_EQ(harness.InstallCaption(), "完成") << model << "\n" << harness.Describe();
        const auto printer = spooler.FindPrinter(model);
        ASSERT_TRUE(printer.has_value()) << model;
        EXPECT_EQ(printer->port, "USB001");
        EXPECT_EQ(printer->driver, row < 30 ? install::ReceiptSeriesNames[row] : install::LabelSeriesNames[row - 30]);
        // "完成" ends the program; the next model is a fresh start.
        harness.Click(1012);
        ASSERT_TRUE(harness.WaitForEnd());
        harness.Restart();
        ASSERT_TRUE(harness.WaitUntilReady());
    }
    EXPECT_EQ(spooler.PrinterNames().size(), 35u);
}

TEST_F(InstallTest, DefaultPrinterUntickedDuringPreparationWritesNothing) {
    auto& machine = harness.Machine();
    machine.sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    machine.sim_spooler().AttachUsbPrinter("USB001");
    // A spooler slow to start holds the preparation while the user unticks.
    machine.SetTimeScale(1.0);
    machine.sim_services().SetRunning("Spooler", false);
    machine.sim_services().SetBehaviour("Spooler", platform::sim::SimServiceBehaviour::Slow(10));
    harness.Start();
    ASSERT_TRUE(harness.Toolkit().WaitFor([&](const auto&) { return harness.Control(1002).check == 1; }, 5s));
    harness.SetDefaultTick(false);
    ASSERT_LE(harness.Recorder().StatusHistory().size(), 1u) << "the preparation's own updates are still to come";
    machine.SetTimeScale(0);
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    EXPECT_EQ(harness.Control(1002).check, 0);

    harness.ChooseModel(ModelOfRow(3));
    harness.Install();
    EXPECT_FALSE(DefaultPrinter().has_value());
    EXPECT_EQ(harness.InstallCaption(), "完成");
    const auto history = harness.Recorder().StatusHistory();
    for (const auto& text : history) EXPECT_EQ(text.find("为默认打印机"), std::string::npos) << text;
}

TEST_F(InstallTest, ReinstallingReplacesThePrinterAndTheDriver) {
    StartWithUsbPorts({"USB001"}, "USB001");
    const std::string model = ModelOfRow(2);
    for (int run = 0; run < 2; ++run) {
        harness.ChooseModel(model);
        harness.Install();
        ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
        harness.Click(1012);
        ASSERT_TRUE(harness.WaitForEnd());
        if (run == 0) {
            harness.Restart();
            ASSERT_TRUE(harness.WaitUntilReady());
        }
    }
    const auto history = harness.Recorder().StatusHistory();
    EXPECT_NE(std::find(history.begin(), history.end(), "打印机" + model + "已经存在,正在重新添加..."), history.end());
    auto& spooler = harness.Machine().sim_spooler();
    EXPECT_EQ(spooler.PrinterNames(), std::vector<std::string>{model});
    EXPECT_EQ(spooler.DriverNames("Windows x64"), std::vector<std::string>{install::ReceiptSeriesNames[2]});
    // The old queue is purged right before the printer goes.
    const auto calls = harness.Machine().env().Calls();
    const size_t deleted = FirstCall(calls, "DeletePrinter");
    ASSERT_LT(deleted, calls.size());
    ASSERT_GT(deleted, 0u);
    EXPECT_EQ(calls[deleted - 1], "SetPrinterA");
    EXPECT_EQ(harness.Machine().env().CallCount("DeletePrinter"), 1);
}

TEST_F(InstallTest, DriverRegistrationFailureRetryKeepsTheStagedFiles) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.Machine().env().InjectFault("AddPrinterDriverExA", win::ERROR_ACCESS_DENIED, 1);
    harness.ChooseModel(ModelOfRow(0));
    harness.Install([](const auto&) { return win::IDRETRY; });
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "添加驱动失败 5\r\n\r\n点击重试：可重新安装\r\n点击取消：退出安装程序");
    EXPECT_EQ(harness.Boxes()[0].caption, "错误");
    EXPECT_EQ(harness.Boxes()[0].boxType & win::MB_TYPEMASK, win::MB_RETRYCANCEL);
    EXPECT_EQ(harness.InstallCaption(), "重新安装");
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.Progress(), 0);
    EXPECT_TRUE(harness.Machine().sim_files().Exists(std::string(kX64Directory) + "\\uniDRV.DLL"));

    // The next click installs.
    harness.Install();
    EXPECT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    // Each click reported how it ended: the failed step with its error, then
    // the printer on the port the USB search confirmed.
    const auto outcomes = harness.Outcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].end, run::RunEnd::kFailed);
    EXPECT_EQ(outcomes[0].systemError, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(outcomes[1].end, run::RunEnd::kInstalled);
    EXPECT_EQ(outcomes[1].port, "USB001");
}

TEST_F(InstallTest, DriverRegistrationFailureCancelEndsAndCleansUp) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.Machine().env().InjectFault("AddPrinterDriverExA", win::ERROR_ACCESS_DENIED, 1);
    harness.ChooseModel(ModelOfRow(0));
    harness.Install([](const auto&) { return win::IDCANCEL; });
    EXPECT_EQ(harness.WaitForEnd(), win::IDOK);
    EXPECT_TRUE(harness.TempFolderEntries().empty());
}

struct AddPrinterFailure {
    win::DWORD error;
    const char* text;
    const char* caption;
    const char* buttonAfter;
};

class AddPrinterFailureTest : public InstallTest, public ::testing::WithParamInterface<AddPrinterFailure> {};

TEST_P(AddPrinterFailureTest, IsReportedAndInstallIsUsableAgain) {
    const AddPrinterFailure& c = GetParam();
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.Machine().env().InjectFault("AddPrinterA", c.error, 1);
    harness.ChooseModel(ModelOfRow(1));
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, c.text);
    EXPECT_EQ(harness.Boxes()[0].caption, c.caption);
    EXPECT_EQ(harness.InstallCaption(), c.buttonAfter);
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.Progress(), 0);
    // The driver stays registered.
    EXPECT_TRUE(harness.Machine().sim_spooler().FindDriver(install::ReceiptSeriesNames[1], "Windows x64"));
    ASSERT_EQ(harness.Outcomes().size(), 1u);
    EXPECT_EQ(harness.Outcomes()[0].end, run::RunEnd::kFailed);
    EXPECT_EQ(harness.Outcomes()[0].systemError, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AddPrinterFailureTest,
    ::testing::Values(AddPrinterFailure{1796, "PC机无可用串行端口,请选择其他端口重新安装", "Prompt", "Reinstall"},
                      AddPrinterFailure{126, "系统缺少必要文件,请修复系统再安装", "提示", "重新安装"},
                      AddPrinterFailure{1801, "Error AddPrinter  1801", "错误提示", "安装(&I)"}));

TEST_F(InstallTest, RefusedDefaultPrinterWriteIsReportedAndTheRunGoesOn) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.Machine().env().InjectFault("RegSetValueExA", win::ERROR_ACCESS_DENIED, 1);
    harness.ChooseModel(ModelOfRow(0));
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_FALSE(harness.Boxes().empty()) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "错误：无法设置有关的注册表信息");
    EXPECT_EQ(harness.Boxes()[0].caption, app::APP_TITLE);
    EXPECT_EQ(harness.Boxes()[0].boxType & win::MB_ICONMASK, win::MB_ICONEXCLAMATION);
    EXPECT_EQ(harness.InstallCaption(), "完成");
}

TEST_F(InstallTest, LabelOnSixtyFourBitWindows) {
    StartWithUsbPorts({"USB001"}, "USB001");
    const std::string model = ModelOfRow(30);
    harness.ChooseModel(model);
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();

    // The monitor goes where the 64-bit spooler loads it from, past this
    // 32-bit program's redirected System32.
    auto& files = harness.Machine().sim_files();
    EXPECT_TRUE(files.Exists("C:\\Windows\\System32\\qmtNLM64.dll"));
    EXPECT_FALSE(files.Exists("C:\\Windows\\SysWOW64\\qmtNLM64.dll"));
    const auto monitor = harness.Machine().sim_spooler().FindMonitor("Advanced Language Monitor");
    ASSERT_TRUE(monitor.has_value());
    EXPECT_EQ(monitor->environment, "Windows x64");
    EXPECT_EQ(monitor->dllPath, "C:\\Windows\\System32\\qmtNLM64.dll");

    const auto driver = harness.Machine().sim_spooler().FindDriver(install::LabelSeriesNames[0], "Windows x64");
    ASSERT_TRUE(driver.has_value());
    const std::string base = "SLB40";
    EXPECT_EQ(driver->driverPath, std::string(kX64Directory) + "\\LBXDRV56.DLL");
    EXPECT_EQ(driver->configFile, std::string(kX64Directory) + "\\LBXUI56.DLL");
    EXPECT_EQ(driver->dataFile, std::string(kX64Directory) + "\\" + base + ".DAT");
    EXPECT_EQ(driver->helpFile, std::string(kX64Directory) + "\\THERMAL.chm");
    EXPECT_EQ(driver->monitorName, "Advanced Language Monitor");
    std::vector<std::string> dependent;
    for (const auto& name : LanguageDlls("56.DLL")) dependent.push_back("\\" + name);
    dependent.push_back("\\" + base + ".BA0");
    dependent.push_back(base + ".PP0");
    EXPECT_EQ(driver->dependentFiles, dependent);
    // Staging copies removed, the monitor's copy kept.
    EXPECT_FALSE(files.Exists(std::string(kX64Directory) + "\\qmtNLM64.dll"));
    ExpectStagingCopiesGone(*driver, kX64Directory);
}

// The spooler is started once before the label sequence first uses it: a
// state that cannot be read is told once, not once per start.
TEST_F(InstallTest, LabelSequenceStartsTheSpoolerOnce) {
    for (const char* port : {"LPT2:", "LPT3:"}) harness.Machine().sim_spooler().RemovePort(port);
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady());
    harness.ChooseModel(ModelOfRow(31));
    harness.ChoosePortType(2);
    harness.Machine().env().InjectFault("QueryServiceStatus", win::ERROR_ACCESS_DENIED, -1);
    harness.Install([](const auto&) { return win::IDOK; });
    EXPECT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    const auto& boxes = harness.Boxes();
    EXPECT_EQ(std::count_if(boxes.begin(), boxes.end(), [](const auto& box) { return box.text == "无法确定服务状态"; }),
              1);
}

// An upgrade: the spooler holds the old monitor's DLL loaded, so the new one
// takes its place only once the old is renamed aside, to be deleted at the
// next start of Windows.
TEST_F(InstallTest, LabelMonitorAlreadyThereIsReplacedRemovedRestartedAndAddedAgain) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.ChooseModel(ModelOfRow(31));
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成");
    harness.Click(1012);
    ASSERT_TRUE(harness.WaitForEnd());

    auto& machine = harness.Machine();
    const std::string dll = "C:\\Windows\\System32\\qmtNLM64.dll";
    const std::optional<std::string> oldMonitor = machine.sim_files().ReadFile(dll);
    const std::string newMonitor = "monitor, version 2";
    harness.UsePackage(testing_support::BuildPackage({{"Barcode/x64/qmtNLM64.dll", newMonitor}}));
    machine.env().ClearCalls();
    harness.Restart();
    ASSERT_TRUE(harness.WaitUntilReady());
    const int stopsBefore = machine.sim_services().StopCount("Spooler");
    harness.ChooseModel(ModelOfRow(31));
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_TRUE(harness.Boxes().empty()) << harness.Describe();
    EXPECT_EQ(machine.sim_files().ReadFile(dll), newMonitor);
    EXPECT_EQ(machine.sim_files().ReadFile(dll + ".old-1"), oldMonitor);
    using Renames = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(machine.sim_files().PendingRenames(), (Renames{{dll + ".old-1", ""}}));
    // Removed, the spooler cycled (once for the monitor, once per USB port
    // tried), registered again without a complaint.
    EXPECT_EQ(machine.env().CallCount("DeleteMonitorA"), 1);
    EXPECT_EQ(machine.sim_services().StopCount("Spooler"), stopsBefore + 2);
    const auto monitors = machine.sim_spooler().MonitorNames();
    EXPECT_EQ(std::count(monitors.begin(), monitors.end(), "Advanced Language Monitor"), 1);
}

TEST_F(InstallTest, MonitorAlreadyInstalledCountsAsSuccess) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.ChooseModel(ModelOfRow(32));
    harness.Install();
    harness.Click(1012);
    ASSERT_TRUE(harness.WaitForEnd());

    // Second run: the old monitor cannot be removed, so adding it meets
    // the one already there.
    harness.Machine().env().InjectFault("DeleteMonitorA", win::ERROR_ACCESS_DENIED, 1);
    harness.Restart();
    ASSERT_TRUE(harness.WaitUntilReady());
    harness.ChooseModel(ModelOfRow(32));
    harness.Machine().env().ClearCalls();
    harness.Install();
    EXPECT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_EQ(harness.Machine().env().CallCount("AddMonitorA"), 1);
    // A monitor that was not removed needs no restart.
    const auto calls = harness.Machine().env().Calls();
    const auto removal = std::find(calls.begin(), calls.end(), "DeleteMonitorA");
    const auto addition = std::find(removal, calls.end(), "AddMonitorA");
    ASSERT_NE(addition, calls.end());
    EXPECT_EQ(std::find(removal, addition, "ControlService"), addition);
    EXPECT_TRUE(harness.Boxes().empty());
    const auto history = harness.Recorder().StatusHistory();
    EXPECT_NE(std::find(history.begin(), history.end(), "Advanced Language Monitor is added"), history.end());
}

// A file that cannot be placed ends the run there, naming it: the monitor
// before the old one is removed, a driver file before the driver is
// registered.
TEST_F(InstallTest, AFileThatCannotBePlacedEndsTheRunNamingIt) {
    StartWithUsbPorts({"USB001"}, "USB001");
    auto& machine = harness.Machine();
    machine.env().InjectFault("CopyFileA", win::ERROR_ACCESS_DENIED, 1);
    harness.ChooseModel(ModelOfRow(30));
    harness.Install([](const auto&) { return win::IDOK; });
    const std::string monitor = "C:\\Windows\\Sysnative\\qmtNLM64.dll";
    ASSERT_EQ(harness.Boxes().size(), 1u) << harness.Describe();
    EXPECT_EQ(harness.Boxes()[0].text, "复制文件失败 5\r\n" + monitor);
    EXPECT_EQ(machine.env().CallCount("DeleteMonitorA") + machine.env().CallCount("AddMonitorA"), 0);

    // The receipt's second file, its data file.
    machine.env().InjectFault("CopyFileA", kErrorDiskFull, 1, 1);
    harness.ChooseModel(ModelOfRow(0));
    harness.Install([](const auto&) { return win::IDOK; });
    const auto outcomes = harness.Outcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].end, run::RunEnd::kFailed);
    EXPECT_EQ(outcomes[0].step, "the file " + monitor + " could not be placed");
    EXPECT_EQ(outcomes[0].systemError, win::ERROR_ACCESS_DENIED);
    EXPECT_EQ(outcomes[1].step, std::string("the file ") + kX64Directory + "\\SR5801.GPD could not be placed");
    EXPECT_EQ(outcomes[1].systemError, kErrorDiskFull);
    EXPECT_EQ(machine.env().CallCount("AddPrinterDriverExA"), 0);
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_EQ(harness.Progress(), 0);
}

TEST_F(InstallTest, MonitorFailureEndsTheProgramWithoutADriver) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.Machine().env().InjectFault("AddMonitorA", win::ERROR_ACCESS_DENIED, 1);
    harness.ChooseModel(ModelOfRow(33));
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u);
    EXPECT_EQ(harness.Boxes()[0].text, "添加监视器出错\r\n");
    EXPECT_EQ(harness.WaitForEnd(), win::IDOK);
    EXPECT_EQ(harness.Machine().env().CallCount("AddPrinterDriverExA"), 0);
}

TEST_F(InstallTest, LabelDriverFailureIsAnApplicationBox) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.Machine().env().InjectFault("AddPrinterDriverExA", win::ERROR_FILE_NOT_FOUND, 1);
    harness.ChooseModel(ModelOfRow(34));
    harness.Install([](const auto&) { return win::IDRETRY; });
    ASSERT_EQ(harness.Boxes().size(), 1u);
    EXPECT_EQ(harness.Boxes()[0].caption, app::APP_TITLE);
    EXPECT_EQ(harness.InstallCaption(), "重新安装");
}

// Built as a 64-bit program (for a Wine that runs only those), the installer
// is on x64 Windows without being under WOW64: the x64 driver and monitor,
// the monitor in its own System32, which is the real one.
TEST_F(InstallTest, SixtyFourBitProgramTakesTheX64DriverWithoutWow64) {
    harness.Machine().SetWow64(false);
    harness.Machine().SetNativeMachine(win::IMAGE_FILE_MACHINE_AMD64);
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.ChooseModel(ModelOfRow(30));
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    const auto monitor = harness.Machine().sim_spooler().FindMonitor("Advanced Language Monitor");
    ASSERT_TRUE(monitor.has_value());
    EXPECT_EQ(monitor->dllPath, "C:\\Windows\\System32\\qmtNLM64.dll");
    EXPECT_TRUE(harness.Machine().sim_files().Exists("C:\\Windows\\System32\\qmtNLM64.dll"));
    const auto driver = harness.Machine().sim_spooler().FindDriver(install::LabelSeriesNames[0], "Windows x64");
    ASSERT_TRUE(driver.has_value());
    EXPECT_EQ(driver->driverPath, std::string(kX64Directory) + "\\LBXDRV56.DLL");
}

// 64-bit Windows XP and Server 2003 without the update that added
// Sysnative: the monitor still reaches the real System32, where the spooler
// loads it, and the redirection is on again for every later copy.
TEST_F(InstallTest, WithoutSysnativeTheMonitorIsCopiedWithTheRedirectionOff) {
    harness.Machine().SetWindowsVersion(win::VER_PLATFORM_WIN32_NT, 5, 2);
    harness.Machine().sim_files().SetHasSysnative(false);
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.ChooseModel(ModelOfRow(30));
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_TRUE(harness.Boxes().empty()) << harness.Describe();
    EXPECT_TRUE(harness.Machine().sim_files().Exists("C:\\Windows\\System32\\qmtNLM64.dll"));
    EXPECT_FALSE(harness.Machine().sim_files().Exists("C:\\Windows\\SysWOW64\\qmtNLM64.dll"));
    EXPECT_TRUE(harness.Machine().sim_spooler().FindMonitor("Advanced Language Monitor").has_value());
    EXPECT_EQ(harness.Machine().env().CallCount("Wow64RevertWow64FsRedirection"), 1);
}

// The USB search's spooler restart keeps the window answering: what comes
// in while the spooler stops is handled before the run ends, except what
// would start a second installation, and the close box is carried out once
// the run is over, as it was when nothing was answered until then.
TEST_F(InstallTest, TheWindowAnswersWhileTheSpoolerRestarts) {
    StartWithUsbPorts({"USB001"}, "USB001");
    auto& machine = harness.Machine();
    machine.sim_services().SetBehaviour("Spooler", platform::sim::SimServiceBehaviour::Slow(3));
    const ui::HWND main = harness.MainWindow();
    std::atomic<int> tickWhenDone{-1};
    std::atomic<bool> openWhenDone{false};
    harness.Recorder().OnStatus([&](const std::string& text) {
        if (text == "正在尝试 USB001 ....") {
            harness.Toolkit().PostMessage(main, win::WM_COMMAND, 1012 | (win::BN_CLICKED << 16), 0);
            harness.Toolkit().Click(main, 1002);
            harness.Toolkit().CloseWindow(main);
        } else if (text == "安装已完成") {
            const auto state = harness.Toolkit().WindowStateOf(main);
            const auto* tick = state.Control(1002);
            tickWhenDone = tick != nullptr ? tick->check : -1;
            openWhenDone = state.hwnd != nullptr;
        }
    });
    harness.ChooseModel(ModelOfRow(0));
    harness.Install();
    EXPECT_EQ(harness.WaitForEnd(), win::IDCANCEL) << harness.Describe();
    EXPECT_EQ(tickWhenDone, 0);
    EXPECT_TRUE(openWhenDone);
    const auto outcomes = harness.Outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].end, run::RunEnd::kInstalled);
}

class Install32BitTest : public InstallTest {
protected:
    Install32BitTest() : InstallTest(platform::sim::SimPreset::kWindows7x86) {}
};

TEST_F(Install32BitTest, LabelOnThirtyTwoBitWindowsUsesTheSystemFolderAndThe50Names) {
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.ChooseModel(ModelOfRow(30));
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_TRUE(harness.Machine().sim_files().Exists("C:\\Windows\\System32\\qmtNLMNT.dll"));
    const auto driver = harness.Machine().sim_spooler().FindDriver(install::LabelSeriesNames[0], "Windows NT x86");
    ASSERT_TRUE(driver.has_value());
    EXPECT_EQ(driver->driverPath, std::string(kX86Directory) + "\\LBXDRV50.DLL");
}

TEST_F(Install32BitTest, WindowsNt4RegistersVersionTwo) {
    harness.Machine().SetWindowsVersion(2, 4, 0);
    StartWithUsbPorts({"USB001"}, "USB001");
    harness.ChooseModel(ModelOfRow(0));
    harness.Install();
    const auto driver = harness.Machine().sim_spooler().FindDriver(install::ReceiptSeriesNames[0], "Windows NT x86");
    ASSERT_TRUE(driver.has_value()) << harness.Describe();
    EXPECT_EQ(driver->version, 2u);
}

}  // namespace
