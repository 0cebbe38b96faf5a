// Which package files the installation of one listed model stages, for
// each processor, as the receipt and label sequences take them from the
// driver catalogue.
#pragma once

#include <string>
#include <vector>

namespace driver_package {

enum class FileRole {
    kData,     // GPD, help, series data: any bytes
    kDll,      // loaded by the spooler: a PE image for the folder's processor
    kMonitor,  // the language monitor: a DLL exporting InitializePrintMonitor2
};

struct StagedFile {
    std::string entry;  // package path: "Ticket\x64\SMPF80.DLL"
    bool x64 = false;   // from the 64-bit folder (a 64-bit spooler loads it)
    FileRole role = FileRole::kData;
};

struct ModelFiles {
    bool isLabel = false;
    std::string series;  // the catalogue's display name of the row
    std::string detail;  // "GPD SR5801, family SMPF58" or "series files SLB40"
    std::vector<StagedFile> files;
};

inline constexpr const char* kMonitorExport = "InitializePrintMonitor2";

// The catalogue row a model listed in section `section` installs, and what
// it stages. False when the section is past the catalogue.
bool ResolveModel(int section, const std::string& modelName, ModelFiles* out);

// How many catalogue rows there are (receipt and label).
int CatalogueRows();

}  // namespace driver_package
