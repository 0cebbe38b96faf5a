// The tool's output for a person: the check's table and the model list,
// as UTF-8 text.
#pragma once

#include <string>
#include <vector>

#include "tools/driver_package/model_files.h"
#include "tools/driver_package/package_check.h"

namespace driver_package {

std::string FormatCheckReport(const std::string& packageName, const CheckReport& report);

struct ListedModel {
    int row = 0;
    std::string name;  // code page 936
    bool resolved = false;
    ModelFiles files;
};

std::string FormatModelList(const std::vector<ListedModel>& models);

}  // namespace driver_package
