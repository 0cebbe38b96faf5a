// The files each catalogue row stages, in the order the sequences stage them.
#include "tools/driver_package/model_files.h"

#include "install/driver_catalogue.h"

namespace driver_package {

namespace {

bool IsDllName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return extension == ".DLL";
}

void Add(ModelFiles* out, const std::string& entry, bool x64, FileRole role = FileRole::kData) {
    if (role == FileRole::kData && IsDllName(entry)) role = FileRole::kDll;
    out->files.push_back({entry, x64, role});
}

}  // namespace

int CatalogueRows() { return install::CATALOGUE_RECEIPT_ROWS + install::CATALOGUE_LABEL_ROWS; }

bool ResolveModel(int section, const std::string& modelName, ModelFiles* out) {
    ModelFiles files;
    install::ReceiptSeries receipt{};
    install::LabelSeries label{};
    if (install::ReceiptRow(section, modelName, install::CATALOGUE_GROUP_SIZES, &receipt)) {
        files.series = receipt.displayName;
        files.detail = std::string("GPD ") + receipt.gpdBase + ", family " + receipt.familyDllBase;
        for (int x64 = 0; x64 <= 1; ++x64) {
            const std::string folder = std::string(install::ReceiptSourceFolder(x64));
            Add(&files, folder + receipt.familyDllBase + ".DLL", x64);
            Add(&files, folder + receipt.gpdBase + ".GPD", x64);
            for (const char* name : install::UnidrvSupportFiles) Add(&files, folder + name, x64);
        }
    } else if (install::LabelRow(section, install::CATALOGUE_RECEIPT_ROWS, &label)) {
        files.isLabel = true;
        files.series = label.displayName;
        files.detail = std::string("series files ") + label.baseName;
        for (int x64 = 0; x64 <= 1; ++x64) {
            const std::string folder = std::string(install::LabelSourceFolder(x64));
            const char* const* dlls = install::LabelDlls(x64);
            for (int row = 0; row < install::CATALOGUE_LABEL_DLLS; ++row) {
                Add(&files, folder + dlls[row], x64,
                    row == install::CATALOGUE_LABEL_MONITOR_ROW ? FileRole::kMonitor : FileRole::kDll);
            }
        }
        const std::string common = std::string(install::CATALOGUE_LABEL_COMMON);
        Add(&files, common + install::CATALOGUE_HELP_FILE, false);
        for (const char* extension : {".BA0", ".DAT", ".PP0"}) Add(&files, common + label.baseName + extension, false);
    } else {
        return false;
    }
    if (out) *out = files;
    return true;
}

}  // namespace driver_package
