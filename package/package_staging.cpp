// Unpacking the driver package at start and removing it again when the
// dialog's window goes away.
//
// The program runs elevated or as SYSTEM, and the spooler loads what it
// copies as SYSTEM: the unpacked files must stay the package's own until
// they are copied after Install is pressed. A folder made in the root of
// the system drive would inherit "Authenticated Users: Modify" from the
// root, whoever makes it, and a user could make it first and own it. The
// package therefore goes into a folder that is new for each run, under the
// system's temporary folder, given an access list of SYSTEM and the
// Administrators group alone as it is created.
#include "package/package_staging.h"

#include "package/delete_tree.h"
#include "package/model_list.h"
#include "package/package_file.h"

namespace package {

namespace {
const char* const kStagingPrefix = "DriverSetup-";
// Full control for SYSTEM and the Administrators group, on the folder and
// everything below it; nothing inherited from the temporary folder.
const char* const kStagingAccess = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr win::DWORD kSddlRevision = 1;
// Names already taken by someone else are passed over this many times.
constexpr int kStagingAttempts = 10;
const char* const kUnusablePackage = "驱动程序包DriverData.Drv已损坏或与已有的文件冲突,无法使用,请重新获取安装程序";
const char* const kNoStagingFolder = "无法在系统临时文件夹中创建存放驱动文件的文件夹,请重新运行安装程序";

// The folder part of a path, without its last separator; empty when it has
// none. Code page 936: a trail byte may be a '\' that separates nothing.
}  // namespace

void PackageStaging::PreparePackage() {
    m_view.PublishStatus("正在整理驱动文件...");

    const std::string package = PackageFilePath(m_machine.files());
    if (!package.empty()) {
        // A missing package needs no folder: the unpacker finds nothing to
        // unpack and writes nothing.
        const bool present = m_machine.files().GetFileAttributesA(package.c_str()) != win::INVALID_FILE_ATTRIBUTES;
        if (present && !CreateStagingFolder()) {
            m_problem = kNoStagingFolder;
        } else {
            m_unpacked = m_extractor.Extract(package, m_root);
            if (!m_unpacked && m_extractor.FoundArchive()) m_problem = kUnusablePackage;
        }
    }
    m_extractor.Unload();
}

bool PackageStaging::CreateStagingFolder() {
    platform::Files& files = m_machine.files();
    char temp[win::MAX_PATH + 1] = {};
    const win::DWORD length = files.GetTempPath2A(sizeof(temp), temp);
    if (length == 0 || length >= sizeof(temp)) return false;
    std::string parent(temp, length);
    if (parent.back() != '\\') parent += '\\';

    // The access list is given as the folder is made: there is no moment in
    // which it has the temporary folder's.
    void* descriptor = nullptr;
    if (!files.ConvertStringSecurityDescriptorToSecurityDescriptorA(kStagingAccess, kSddlRevision, &descriptor,
                                                                     nullptr)) {
        return false;
    }
    win::SECURITY_ATTRIBUTES security{sizeof(win::SECURITY_ATTRIBUTES), descriptor, 0};
    const std::string process = std::to_string(files.GetCurrentProcessId());
    for (int attempt = 0; attempt < kStagingAttempts; ++attempt) {
        const std::string candidate = parent + kStagingPrefix + process + "-" + std::to_string(m_machine.GetTickCount()) +
                                      "-" + std::to_string(attempt);
        if (files.CreateDirectoryA(candidate.c_str(), &security)) {
            m_root = candidate;
            break;
        }
        // A folder of that name was made by someone else, with an access
        // list of theirs: never used, another name is tried.
        if (m_machine.GetLastError() != win::ERROR_ALREADY_EXISTS) break;
    }
    files.LocalFree(descriptor);
    return !m_root.empty();
}

void PackageStaging::ForEachPrinterName(const std::function<void(int section, const std::string& name)>& visit) {
    // The folder is new: a list in it is the package's.
    if (m_unpacked) package::ForEachPrinterName(m_machine.files(), m_root + "\\" + MODEL_LIST_NAME, visit);
}

void PackageStaging::CleanUp() {
    if (m_root.empty()) return;
    DeleteTree(m_machine.files(), m_root);
    m_root.clear();
    m_unpacked = false;
}

}  // namespace package
