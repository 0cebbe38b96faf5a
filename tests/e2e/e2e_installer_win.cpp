// Windows (the end-to-end driver under Wine): one run of the installer.
#include "tests/e2e/e2e_installer_win.h"

#include "tests/e2e/e2e_ui_win.h"

namespace e2e {

namespace {

const wchar_t kMainCaption[] = L"设置并安装票据/标签 驱动";
constexpr int kSeriesCombo = 1000;
constexpr int kSetDefault = 1002;
constexpr int kPortTypeList = 1004;
constexpr int kStatusLine = 1011;
constexpr int kInstallButton = 1012;

}  // namespace

InstallerRun::~InstallerRun() {
    if (!m_process.hProcess) return;
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(m_process.hProcess, 1);
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool InstallerRun::Start(const std::string& installer, const std::string& workingFolder,
                         const std::wstring& mainCaption) {
    const std::wstring caption = mainCaption.empty() ? kMainCaption : mainCaption;
    std::string commandLine = "\"" + installer + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(installer.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingFolder.c_str(), &startup, &m_process)) {
        return Check(false, "installer started (error " + std::to_string(::GetLastError()) + ")");
    }
    const bool found = WaitFor([&] { return (m_main = FindDialog(processId(), caption)) != nullptr; }, 20000);
    return Check(found, "main window \"" + Utf8(caption) + "\" found");
}

bool InstallerRun::WaitPrepared() {
    return Check(WaitFor([&] { return InstallEnabled(); }, 60000),
                 "Install becomes enabled when the preparation has finished");
}

std::wstring InstallerRun::Status() const { return ItemText(m_main, kStatusLine); }
std::wstring InstallerRun::InstallCaption() const { return ItemText(m_main, kInstallButton); }
bool InstallerRun::InstallEnabled() const { return ::IsWindowEnabled(::GetDlgItem(m_main, kInstallButton)) != FALSE; }

bool InstallerRun::PickModel(const std::wstring& name) {
    return Check(PickComboItem(m_main, kSeriesCombo, name), "model \"" + Utf8(name) + "\" picked");
}

bool InstallerRun::PickPortType(int row) {
    return Check(SelectListRow(::GetDlgItem(m_main, kPortTypeList), row),
                 "port type row " + std::to_string(row) + " selected");
}

void InstallerRun::SetDefault(bool on) {
    ::SendMessageW(::GetDlgItem(m_main, kSetDefault), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void InstallerRun::ClickInstall() { PostClick(m_main, kInstallButton); }

bool InstallerRun::WaitInstallButton(const std::wstring& caption, DWORD milliseconds) {
    return WaitFor([&] { return InstallEnabled() && InstallCaption() == caption; }, milliseconds);
}

HWND InstallerRun::WaitDialog(const std::wstring& caption, DWORD milliseconds) {
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindDialog(processId(), caption)) != nullptr; }, milliseconds);
    Check(dialog != nullptr, "dialog \"" + Utf8(caption) + "\" shown");
    return dialog;
}

HWND InstallerRun::WaitMessageBox(DWORD milliseconds) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindMessageBox(processId())) != nullptr; }, milliseconds);
    return box;
}

long InstallerRun::WaitExit(DWORD milliseconds) {
    if (::WaitForSingleObject(m_process.hProcess, milliseconds) != WAIT_OBJECT_0) {
        ::TerminateProcess(m_process.hProcess, 1);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return static_cast<long>(code);
}

}  // namespace e2e
