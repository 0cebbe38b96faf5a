// Windows program: the entry point. The installer's logic on the real
// machine (Win32 backends) and the real windows (USER32 toolkit).
#include "app/installer_app.h"
#include "platform/win32/win32_machine.h"
#include "ui/win32/win32_toolkit.h"

#include "platform/win32/windows_support.h"

namespace {

// The program is started from the folder that holds the driver package;
// a DLL planted there must not be loaded in place of a system one. The
// call exists from Windows XP SP1, hence the run-time lookup.
void KeepWorkingFolderOutOfDllSearch() {
    using SetDllDirectoryAFunction = BOOL(WINAPI*)(LPCSTR);
    HMODULE kernel32 = ::GetModuleHandleA("kernel32");
    FARPROC address = kernel32 != nullptr ? ::GetProcAddress(kernel32, "SetDllDirectoryA") : nullptr;
    if (address != nullptr) {
        reinterpret_cast<SetDllDirectoryAFunction>(reinterpret_cast<void*>(address))("");
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    KeepWorkingFolderOutOfDllSearch();
    platform::win32::Win32Machine machine;
    ui::win32::Win32Toolkit toolkit;
    app::InstallerApp application(machine, toolkit);
    return application.Run();
}
