// Checking a driver package against the driver catalogue, model by model,
// the way the installer will unpack, list and install it.
#pragma once

#include <string>
#include <vector>

#include "tools/driver_package/package_contents.h"

namespace driver_package {

enum class Severity { kWarning, kError };

struct Finding {
    Severity severity = Severity::kError;
    std::string text;  // entry names with '\', model names as they are (code page 936)
};

// One section of DriverName.cfg: its position is the catalogue row its
// models install.
struct RowReport {
    int row = 0;
    std::string series;  // the catalogue's name for the row, empty past the catalogue
    std::vector<std::string> models;
    std::vector<Finding> findings;
};

struct CheckReport {
    std::vector<RowReport> rows;
    std::vector<Finding> package;  // about the package as a whole
    size_t fileCount = 0;

    int Count(Severity severity) const;
    // Whether the installer can install every listed model.
    bool Installs() const { return Count(Severity::kError) == 0; }
};

CheckReport CheckPackage(const PackageContents& contents);

struct SafeFile {
    std::string path;  // "Ticket\x86\uniDRV.DLL"
    const PackageEntry* entry = nullptr;
};

// The files an unpacker would write, with their paths, in order; entries
// it would refuse are left out.
std::vector<SafeFile> SafeFiles(const PackageContents& contents);

}  // namespace driver_package
