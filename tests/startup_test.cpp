// Opening the installer: the preparation thread, the status line, the
// Install and Cancel buttons, and every way of closing the window.
#include <gtest/gtest.h>

#include <future>
#include <system_error>

#include "app/installer_dialog.h"
#include "platform/sim/sim_services.h"
#include "tests/support/installer_harness.h"
#include "tests/support/package_builder.h"

namespace {

using namespace std::chrono_literals;
using testing_support::InstallerHarness;

TEST(Startup, PreparationFillsTheStatusLineTheModelsAndThePortTypesAndInstallComesLast) {
    InstallerHarness harness;
    harness.Machine().SetWindowsVersion(2, 10, 0);
    harness.Machine().SetWow64(true);
    harness.Machine().sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    harness.Start();
    ASSERT_NE(harness.MainWindow(), nullptr) << harness.Describe();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();

    const std::vector<std::string> expected = {"本驱动程序适用于32位和64位Windows操作系统", "正在整理驱动文件...",
                                               "当前系统为Microsoft Windows 10  64位"};
    EXPECT_EQ(harness.Recorder().StatusHistory(), expected);
    EXPECT_EQ(harness.Control(1002).check, 1) << "set as default starts ticked";
    EXPECT_EQ(harness.InstallCaption(), "安装(&I)");
    EXPECT_TRUE(harness.Control(2).enabled);

    // The model list comes from the package, and the name shows the first.
    const auto combo = harness.Control(1000);
    ASSERT_FALSE(combo.items.empty()) << harness.Describe();
    EXPECT_EQ(combo.curSel, 0);
    EXPECT_EQ(harness.Control(1001).text, combo.items[0]);

    // The port-type list has its four rows.
    const auto list = harness.Control(1004);
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.columns, (std::vector<std::string>{"端口", "说明"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{110, 350}));
    EXPECT_EQ(list.rows[0][0], "串口");
    EXPECT_EQ(list.rows[3][1], "安装之前程序会提示您选择或者配置一个TCP/IP端口");
    const win::DWORD wanted = win::LVS_EX_GRIDLINES | win::LVS_EX_FULLROWSELECT;
    EXPECT_EQ(list.extendedStyle & (wanted | win::LVS_EX_TRACKSELECT), wanted);
    // A USB port makes USB the default row.
    EXPECT_EQ(list.rowStates[1] & win::LVIS_SELECTED, win::LVIS_SELECTED);
    EXPECT_EQ(list.rowStates[0] & win::LVIS_SELECTED, 0u);
    EXPECT_EQ(list.rowStates[1] & win::LVIS_FOCUSED, 0u);
}

TEST(Startup, MissingPackageLeavesAnEmptyListAndInstallStillComes) {
    InstallerHarness harness;
    harness.Machine().sim_files().SetCurrentDirectory("C:\\Windows");
    // A model list an earlier run left is not the package's.
    harness.Machine().sim_files().WriteFile("C:\\DriverName.cfg", testing_support::ConfigFile({{"Old", {"Old"}}}));
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    EXPECT_TRUE(harness.Control(1000).items.empty());
    EXPECT_EQ(harness.Status().rfind("当前系统为", 0), 0u) << "a missing package is not a word on the status line";
    EXPECT_EQ(harness.Machine().env().CallCount("LoadUnpacker"), 1) << "the unpacker is still loaded";
    EXPECT_EQ(harness.Machine().env().CallCount("Extract"), 0) << "but not called without a package";
    EXPECT_EQ(harness.Machine().sim_archive().LoadedCount(), 0) << "and freed again";

    // Install with no model installs nothing and says why.
    harness.Install([](const auto&) { return win::IDOK; });
    ASSERT_EQ(harness.Boxes().size(), 1u);
    EXPECT_EQ(harness.Boxes()[0].text, "请先选择打印机型号");
    EXPECT_TRUE(harness.InstallEnabled());
    EXPECT_TRUE(harness.Machine().sim_spooler().PrinterNames().empty());
}

// (The close box after the preparation is the package clean-up tests' way out.)
TEST(Startup, EscapeAfterPreparationCancelsAndRemovesTheUnpackedFiles) {
    InstallerHarness harness;
    auto& files = harness.Machine().sim_files();
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    ASSERT_TRUE(files.Exists(harness.PackageFolder() + "\\Ticket\\x86"));
    harness.Toolkit().PressKey(harness.MainWindow(), win::VK_ESCAPE);
    EXPECT_EQ(harness.WaitForEnd(), win::IDCANCEL);
    EXPECT_TRUE(harness.TempFolderEntries().empty());
}

TEST(Startup, ClosingDuringPreparationWaitsForItAndThenCleansUp) {
    InstallerHarness harness;
    auto& machine = harness.Machine();
    // A spooler that takes a while to start keeps the preparation busy.
    machine.SetTimeScale(1.0);
    machine.sim_services().SetRunning("Spooler", false);
    machine.sim_services().SetBehaviour("Spooler", platform::sim::SimServiceBehaviour::Slow(4));
    // And a package of many files, all of which must go again.
    testing_support::PackageChanges many;
    for (int i = 0; i < 3000; ++i) many["Ticket/many/file" + std::to_string(i) + ".dat"] = std::string("x");
    harness.UsePackage(testing_support::BuildPackage(many));
    harness.Start();
    ASSERT_FALSE(harness.InstallEnabled());
    harness.Toolkit().CloseWindow(harness.MainWindow());
    harness.Toolkit().PressKey(harness.MainWindow(), win::VK_ESCAPE);

    EXPECT_EQ(harness.WaitForEnd(60s), win::IDCANCEL);
    // The preparation ran to its end before the window went away, and the
    // clean-up came after the unpacking.
    const auto history = harness.Recorder().StatusHistory();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history.back().rfind("当前系统为", 0), 0u) << history.back();
    EXPECT_TRUE(harness.TempFolderEntries().empty());
}

TEST(Startup, ClickOnDoneEndsWithOkAndInstallsNothingMore) {
    InstallerHarness harness;
    harness.Machine().sim_spooler().AddPort("USB001", "USB Monitor", "Virtual printer port for USB");
    harness.Machine().sim_spooler().AttachUsbPrinter("USB001");
    harness.Start();
    ASSERT_TRUE(harness.WaitUntilReady()) << harness.Describe();
    harness.Install();
    ASSERT_EQ(harness.InstallCaption(), "完成") << harness.Describe();
    EXPECT_FALSE(harness.Control(2).enabled) << "Cancel stays disabled after a run";
    const int drivers = static_cast<int>(harness.Machine().env().CallCount("AddPrinterDriverExA"));

    harness.Click(1012);
    EXPECT_EQ(harness.WaitForEnd(), win::IDOK);
    EXPECT_EQ(harness.Machine().env().CallCount("AddPrinterDriverExA"), drivers);
}

TEST(Startup, APreparationThreadThatCannotBeMadeLeavesAWindowThatCloses) {
    InstallerHarness harness;  // for its machine and windows; the dialog is run here
    app::InstallerDialog dialog(harness.Machine(), harness.Toolkit(), [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    auto run = std::async(std::launch::async, [&] { return dialog.DoModal(); });
    auto& toolkit = harness.Toolkit();
    const ui::HWND main = toolkit.WaitForWindowByCaption("设置并安装票据/标签 驱动", 5s);
    auto control = [&](const std::vector<ui::portable::WindowState>& windows, int id) {
        for (const auto& window : windows) {
            if (window.hwnd == main && window.Control(id) != nullptr) return *window.Control(id);
        }
        return ui::portable::ControlState{};
    };
    EXPECT_TRUE(toolkit.WaitFor(
        [&](const auto& windows) { return control(windows, 1011).text == "无法启动安装准备,请关闭程序后重新运行"; },
        5s))
        << toolkit.Describe();
    EXPECT_FALSE(control(toolkit.Snapshot(), 1012).enabled);

    toolkit.CloseWindow(main);
    ASSERT_EQ(run.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(run.get(), win::IDCANCEL);
    EXPECT_TRUE(harness.TempFolderEntries().empty()) << "nothing was unpacked";
}

}  // namespace
