// The model list "DriverName.cfg" at the top of the package: one section
// per catalogue row, the printer names of a row under "PrintName1", ...
#pragma once

#include <functional>
#include <string>

#include "platform/files.h"

namespace package {

inline constexpr const char* MODEL_LIST_NAME = "DriverName.cfg";

// Calls visit(section, name) for every printer name of the list at
// `listPath`, sections counted from 0 in file order, the way the installer
// reads the list.
void ForEachPrinterName(platform::Files& files, const std::string& listPath,
                        const std::function<void(int section, const std::string& name)>& visit);

}  // namespace package
