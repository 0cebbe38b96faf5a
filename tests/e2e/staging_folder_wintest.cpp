// The package's private folder on the real system: made by the staging
// through the Win32 backend, its access list read back as the system keeps
// it. Wine 8 keeps of the list given at creation only Unix mode bits, and
// enforces nothing (docs/wine-differences.md): what a standard user could
// do there is shown by the simulated machine's tests, not here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/package_staging.h"
#include "platform/win32/win32_machine.h"
#include "tests/e2e/cabinet_writer.h"
#include "ui/win32/win32_toolkit.h"

#include "platform/win32/windows_support.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

// The staging says nothing a test needs to see.
class QuietView : public run::InstallerView {
public:
    void PublishStatus(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void ShowData() override {}
    void SetProgress(int) override {}
    int AppMessageBox(const std::string&, win::UINT) override { return IDOK; }
    int DialogMessageBox(const std::string&, const std::string&, win::UINT) override { return IDOK; }
    void EnableInstall(bool) override {}
    void SetInstallCaption(const std::string&) override {}
    void CloseAsDone() override {}
    void EndRun(const run::RunOutcome&) override {}
    bool SetAsDefault() override { return true; }
    bool MayTryAgain() override { return true; }
    void KeepAnswering() override {}
    void RefreshPortTypeList(int) override {}
    int AskSerialSearch() override { return 0; }
    void SetProbeTimer(win::UINT) override {}
    void KillProbeTimer() override {}
    ui::Toolkit& Toolkit() override { return m_toolkit; }
    ui::HWND OwnerWindow() override { return nullptr; }

private:
    ui::win32::Win32Toolkit m_toolkit;
};

// The access list of a file or folder in SDDL, as GetNamedSecurityInfoA
// reads it.
std::string AccessListOf(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    const DWORD read = ::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                               nullptr, &dacl, nullptr, &descriptor);
    if (read != ERROR_SUCCESS) return "<not read: " + std::to_string(read) + ">";
    LPSTR text = nullptr;
    std::string sddl = "<not converted>";
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                               &text, nullptr)) {
        sddl = text;
        ::LocalFree(text);
    }
    ::LocalFree(descriptor);
    return sddl;
}

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Whether an SDDL text has an entry for users, authenticated users or
// everyone.
bool NamesUsers(const std::string& sddl) {
    for (const char* users : {";;;BU)", ";;;AU)", ";;;WD)"}) {
        if (sddl.find(users) != std::string::npos) return true;
    }
    return false;
}

bool Spill(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(file);
    return done == bytes.size();
}

TEST(Win32StagingFolder, HasAProtectedListOfSystemAndAdministratorsAndGoesAway) {
    char temp[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathA(MAX_PATH, temp), 0u);
    const std::string work = std::string(temp) + "staging-wintest-" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryA(work.c_str(), nullptr));
    ASSERT_TRUE(Spill(work + "\\DriverData.Drv", e2e::MakeCabinet({{"DriverName.cfg", "[Sample]\r\nPrintName1=Sample\r\n"},
                                                                   {"Ticket\\x86\\a.dll", "driver"}})));
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(work.c_str()));

    platform::win32::Win32Machine machine;
    QuietView view;
    package::PackageStaging staging(machine, view);
    staging.PreparePackage();
    ::SetCurrentDirectoryA(previous);
    const std::string root = staging.Root();
    ASSERT_FALSE(root.empty()) << staging.Problem();

    const std::string folder = AccessListOf(root);
    const std::string file = AccessListOf(root + "\\Ticket\\x86\\a.dll");
    std::printf("   %s: %s\n   unpacked file: %s\n", root.c_str(), folder.c_str(), file.c_str());
    if (UnderWine()) {
        // Wine keeps the Unix mode the list makes (the owner's alone) and
        // reads back SYSTEM and its one user from it.
        EXPECT_FALSE(NamesUsers(folder)) << folder;
    } else {
        EXPECT_EQ(folder, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        // What was unpacked inherits the list and nothing else.
        EXPECT_FALSE(NamesUsers(file)) << file;
    }
    std::vector<std::string> names;
    staging.ForEachPrinterName([&](int, const std::string& name) { names.push_back(name); });
    EXPECT_EQ(names, std::vector<std::string>{"Sample"});

    staging.CleanUp();
    EXPECT_EQ(::GetFileAttributesA(root.c_str()), INVALID_FILE_ATTRIBUTES);
    ::DeleteFileA((work + "\\DriverData.Drv").c_str());
    ::RemoveDirectoryA(work.c_str());
}

}  // namespace
