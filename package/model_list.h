// The model list "C:\DriverName.cfg": one section per catalogue row, the
// printer names of a row under "PrintName1", "PrintName2", ...
#pragma once

#include <functional>
#include <string>

#include "platform/files.h"

namespace package {

inline constexpr const char* MODEL_LIST_FILE = "C:\\DriverName.cfg";

// Calls visit(section, name) for every printer name, sections counted from
// 0 in file order, the way the installer reads the list.
void ForEachPrinterName(platform::Files& files, const std::function<void(int section, const std::string& name)>& visit);

}  // namespace package
