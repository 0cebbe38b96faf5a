// check, build and list: reading, checking, showing and packing.
#include "tools/driver_package/commands.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sim/sim_env.h"
#include "tools/driver_package/cabinet_writer.h"
#include "tools/driver_package/model_list.h"
#include "tools/driver_package/package_check.h"
#include "tools/driver_package/package_reader.h"
#include "tools/driver_package/report_table.h"
#include "tools/driver_package/unpack_probe.h"

namespace driver_package {

namespace {

const char* const kUsage =
    "usage: driver-package check <DriverData.Drv or folder>\n"
    "       driver-package build <folder> -o <DriverData.Drv> [--force] [--quiet]\n"
    "       driver-package list <DriverData.Drv or folder>\n"
    "Exit codes: 0 every listed model installs, 1 it does not (build writes nothing),\n"
    "2 the package cannot be read.\n";

// The bytes of a package file; false for a folder.
bool ReadFileBytes(const std::string& path, std::string* bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    *bytes = all.str();
    return static_cast<bool>(in);
}

bool Read(const std::string& path, PackageContents* contents, std::ostream& err) {
    std::string why;
    if (ReadPackage(path, contents, &why)) return true;
    err << "driver-package: cannot read " << path << ": " << why << "\n";
    return false;
}

int Check(const std::string& path, std::ostream& out, std::ostream& err) {
    PackageContents contents;
    if (!Read(path, &contents, err)) return kExitUnreadable;
    const CheckReport report = CheckPackage(contents);
    // A package file the unpacker refuses for no reason the check found
    // (a damaged block) cannot be read by the installer at all.
    bool explained = false;
    for (const Finding& finding : report.package) explained = explained || finding.severity == Severity::kError;
    std::string bytes;
    std::string why;
    if (!explained && ReadFileBytes(path, &bytes) && !InstallerUnpacks(bytes, &why)) {
        err << "driver-package: cannot read " << path << ": the installer's unpacker refuses it: " << why << "\n";
        return kExitUnreadable;
    }
    out << FormatCheckReport(path, report);
    return report.Installs() ? kExitInstalls : kExitDoesNotInstall;
}

int Build(const std::string& folder, const std::string& output, bool force, bool quiet, std::ostream& out,
          std::ostream& err) {
    PackageContents contents;
    if (!Read(folder, &contents, err)) return kExitUnreadable;
    const CheckReport report = CheckPackage(contents);
    const bool clean = report.Installs() && report.Count(Severity::kWarning) == 0;
    if (!quiet || !clean) out << FormatCheckReport(folder, report);
    if (!report.Installs() && !force) {
        err << "driver-package: " << output << " not written: the package would not install every listed model "
            << "(--force writes it anyway)\n";
        return kExitDoesNotInstall;
    }
    // Written beside the output and unpacked as the installer will before
    // it takes the output's place (names too long for Windows pass the check).
    const std::string written = output + ".new";
    std::string why;
    if (!WriteCabinet(SafeFiles(contents), written, &why)) {
        err << "driver-package: cannot write " << output << ": " << why << "\n";
        return kExitUnreadable;
    }
    std::string bytes;
    if (!force && (!ReadFileBytes(written, &bytes) || !InstallerUnpacks(bytes, &why))) {
        std::filesystem::remove(written);
        err << "driver-package: " << output << " not written: the installer's unpacker refuses it: " << why << "\n";
        return kExitDoesNotInstall;
    }
    std::error_code ec;
    std::filesystem::rename(written, output, ec);
    if (ec) {
        std::filesystem::remove(written);
        err << "driver-package: cannot write " << output << ": " << ec.message() << "\n";
        return kExitUnreadable;
    }
    if (!quiet) out << "Wrote " << output << "\n";
    return kExitInstalls;
}

int List(const std::string& path, std::ostream& out, std::ostream& err) {
    PackageContents contents;
    if (!Read(path, &contents, err)) return kExitUnreadable;
    const SafeFile* config = nullptr;
    const std::vector<SafeFile> files = SafeFiles(contents);
    for (const SafeFile& file : files) {
        if (platform::sim::SameName(file.path, "DriverName.cfg")) config = &file;
    }
    if (config == nullptr) {
        err << "driver-package: " << path << " has no DriverName.cfg\n";
        return kExitDoesNotInstall;
    }
    const ModelList list = ReadModelList(config->entry->bytes);
    if (!list.read) {
        err << "driver-package: cannot read DriverName.cfg: no temporary folder to read it in\n";
        return kExitUnreadable;
    }
    std::vector<ListedModel> models;
    for (size_t row = 0; row < list.sections.size(); ++row) {
        for (const std::string& name : list.sections[row].models) {
            ListedModel model;
            model.row = static_cast<int>(row);
            model.name = name;
            model.resolved = ResolveModel(model.row, name, &model.files);
            models.push_back(model);
        }
    }
    out << FormatModelList(models);
    return kExitInstalls;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == "check") return Check(args[1], out, err);
    if (args.size() == 2 && args[0] == "list") return List(args[1], out, err);
    if (!args.empty() && args[0] == "build") {
        std::string folder;
        std::string output;
        bool force = false;
        bool quiet = false;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "-o" && i + 1 < args.size()) {
                output = args[++i];
            } else if (args[i] == "--force") {
                force = true;
            } else if (args[i] == "--quiet") {
                quiet = true;
            } else if (folder.empty() && !args[i].empty() && args[i][0] != '-') {
                folder = args[i];
            } else {
                folder.clear();
                break;
            }
        }
        if (!folder.empty() && !output.empty()) return Build(folder, output, force, quiet, out, err);
    }
    err << kUsage;
    return kExitUnreadable;
}

}  // namespace driver_package
