// Unpacking the driver package at start and removing it again when the
// dialog's window goes away.
#include "package/package_staging.h"

#include <unordered_set>

#include "package/delete_tree.h"
#include "package/model_list.h"

namespace package {

namespace {
const char* const kPackageName = "\\DriverData.Drv";
const char* const kOutputFolder = "C:\\";
// The clean-up writes the paths with a lower-case drive letter.
const char* const kBarcodeFolder = "c:\\Barcode";
const char* const kTicketFolder = "c:\\Ticket";
const char* const kConfigFile = "c:\\DriverName.cfg";
const char* const kConfigEntry = "DriverName.cfg";
const char* const kUnusablePackage = "驱动程序包DriverData.Drv已损坏或与已有的文件冲突,无法使用,请重新获取安装程序";
}  // namespace

void PackageStaging::PreparePackage() {
    m_view.PublishStatus("正在整理驱动文件...");

    platform::Files& files = m_machine.files();
    // Remember what is already there, so that the clean-up removes only what
    // the package brought.
    std::vector<std::string> before = CollectTree(files, kBarcodeFolder);
    std::vector<std::string> ticket = CollectTree(files, kTicketFolder);
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
                brought.insert(PathKey(kOutputFolder + file));
            }
            m_broughtModelList = brought.count(PathKey(std::string(kOutputFolder) + kConfigEntry)) != 0;
            std::vector<std::string> spared;
            for (const std::string& path : m_preexistingPaths) {
                if (brought.count(PathKey(path)) == 0) spared.push_back(path);
            }
            m_preexistingPaths = std::move(spared);
        } else if (m_extractor.FoundArchive()) {
            m_problem = kUnusablePackage;
        }
    }
    m_extractor.Unload();
}

void PackageStaging::ForEachPrinterName(const std::function<void(int section, const std::string& name)>& visit) {
    if (m_broughtModelList) package::ForEachPrinterName(m_machine.files(), visit);
}

void PackageStaging::CleanUp() {
    // A preparation that never ran unpacked nothing: all there is the user's.
    if (!m_preexistingRecorded) return;
    platform::Files& files = m_machine.files();
    DeleteTree(files, kBarcodeFolder, m_preexistingPaths);
    DeleteTree(files, kTicketFolder, m_preexistingPaths);
    if (!ContainsPath(m_preexistingPaths, kConfigFile)) files.DeleteFileA(kConfigFile);
}

}  // namespace package
