// Windows (the end-to-end driver under Wine): one run of the installer,
// seen from outside as a person sees it.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The installer under test has this driver's width: 32-bit as shipped, or
// 64-bit where Wine runs only 64-bit programs. A 64-bit installer takes the
// x64 driver and monitor, from its own (the real) System32.
inline constexpr bool kProgram64 = sizeof(void*) == 8;
inline constexpr const char* kDriverEnvironment = kProgram64 ? "Windows x64" : "Windows NT x86";
inline constexpr const char* kMonitorDll = kProgram64 ? "qmtNLM64.dll" : "qmtNLMNT.dll";
inline constexpr const wchar_t* kBitness = kProgram64 ? L"64位" : L"32位";

class InstallerRun {
public:
    InstallerRun() = default;
    ~InstallerRun();
    InstallerRun(const InstallerRun&) = delete;
    InstallerRun& operator=(const InstallerRun&) = delete;

    // Starts the program in the working folder and finds its main window
    // (by default the installer's; a test program names its own).
    bool Start(const std::string& installer, const std::string& workingFolder,
               const std::wstring& mainCaption = std::wstring());
    // Waits until the preparation has enabled Install.
    bool WaitPrepared();

    HWND main() const { return m_main; }
    DWORD processId() const { return m_process.dwProcessId; }
    std::wstring Status() const;
    std::wstring InstallCaption() const;
    bool InstallEnabled() const;

    bool PickModel(const std::wstring& name);
    bool PickPortType(int row);
    void SetDefault(bool on);
    void ClickInstall();

    // Waits for Install to be enabled again with this caption.
    bool WaitInstallButton(const std::wstring& caption, DWORD milliseconds);
    HWND WaitDialog(const std::wstring& caption, DWORD milliseconds);
    HWND WaitMessageBox(DWORD milliseconds);

    // Waits for the process to end; returns its exit code, or -1 when it
    // had to be stopped.
    long WaitExit(DWORD milliseconds);

private:
    PROCESS_INFORMATION m_process{};
    HWND m_main = nullptr;
};

}  // namespace e2e
