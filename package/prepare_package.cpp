// Unpacking the driver package at start and removing it again when the
// dialog's window goes away.
#include <string>
#include <unordered_set>
#include <vector>

#include "app/installer_dialog.h"
#include "package/delete_tree.h"

namespace app {

namespace {
const char* const kPackageName = "\\DriverData.Drv";
const char* const kOutputFolder = "C:\\";
// The clean-up writes the paths with a lower-case drive letter.
const char* const kBarcodeFolder = "c:\\Barcode";
const char* const kTicketFolder = "c:\\Ticket";
const char* const kConfigFile = "c:\\DriverName.cfg";
}  // namespace

void InstallerDialog::PreparePackage() {
    PublishStatus("正在整理驱动文件...");

    platform::Files& files = m_machine.files();
    // Remember what is already there, so that the clean-up removes only what
    // the package brought.
    std::vector<std::string> before = package::CollectTree(files, kBarcodeFolder);
    std::vector<std::string> ticket = package::CollectTree(files, kTicketFolder);
    before.insert(before.end(), ticket.begin(), ticket.end());
    if (files.GetFileAttributesA(kConfigFile) != win::INVALID_FILE_ATTRIBUTES) before.push_back(kConfigFile);
    m_preexistingPaths = std::move(before);
    m_preexistingRecorded = true;

    // The package is looked for in the working folder, not beside the
    // program: a shortcut may start it elsewhere. Without a working folder
    // that fits the buffer there is no package to look for (never one at
    // the root of the drive).
    char folder[win::MAX_PATH] = {};
    const win::DWORD length = files.GetCurrentDirectoryA(sizeof(folder), folder);
    if (length != 0 && length < sizeof(folder)) {
        const std::string packagePath = std::string(folder) + kPackageName;
        if (m_extractor.Extract(packagePath, kOutputFolder)) {
            // A file in the package's own place holds its bytes (the unpacker
            // refuses anything else there): an earlier run left it, and it
            // goes with the rest.
            std::unordered_set<std::string> brought;
            for (const std::string& file : m_extractor.UnpackedFiles()) {
                brought.insert(package::PathKey(kOutputFolder + file));
            }
            std::vector<std::string> spared;
            for (const std::string& path : m_preexistingPaths) {
                if (brought.count(package::PathKey(path)) == 0) spared.push_back(path);
            }
            m_preexistingPaths = std::move(spared);
        }
    }
    m_extractor.Unload();
}

win::LRESULT InstallerDialog::OnDestroy(win::WPARAM, win::LPARAM) {
    KillTimer(SERIAL_PROBE_TIMER);
    if (m_serialSearchActive) {
        // Closed in the middle of a serial search: the printers that were
        // moved off their serial ports get them back.
        if (m_serialChannel.IsOpen()) m_serialChannel.Close();
        RestoreSerialPrinters(nullptr);
        StartOrRestartService("Spooler", SVCMODE_RESTART);
        m_serialSearchActive = false;
    }
    // A preparation that never ran unpacked nothing: all there is the user's.
    if (!m_preexistingRecorded) return 0;
    platform::Files& files = m_machine.files();
    package::DeleteTree(files, kBarcodeFolder, m_preexistingPaths);
    package::DeleteTree(files, kTicketFolder, m_preexistingPaths);
    if (!package::ContainsPath(m_preexistingPaths, kConfigFile)) files.DeleteFileA(kConfigFile);
    return 0;
}

}  // namespace app
