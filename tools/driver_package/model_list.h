// The model list DriverName.cfg as the installer reads it: section after
// section, PrintName1, PrintName2, ... until the first missing one, with the
// installer's buffer sizes, through the simulated machine's profile reader
// (the rules of the Windows profile functions).
#pragma once

#include <string>
#include <vector>

namespace driver_package {

struct ModelSection {
    std::string name;
    std::vector<std::string> models;      // in key order, as the installer lists them
    std::vector<std::string> unreadKeys;  // keys the installer never reads (after a gap, past the last)
};

struct ModelList {
    bool read = false;                   // false: no scratch folder to read it in
    std::vector<ModelSection> sections;  // as the installer sees them
    bool sectionListCut = false;         // the section names did not fit the installer's buffer
};

// The bytes of DriverName.cfg (code page 936).
ModelList ReadModelList(const std::string& configBytes);

}  // namespace driver_package
