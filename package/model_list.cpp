#include "package/model_list.h"

#include <cstdio>

namespace package {

namespace {
// The list of all section names fits in this many bytes.
constexpr int kSectionNamesSize = 3000;
constexpr int kMaxNamesPerSection = 50;
// Printer names are read into this many bytes: at most 127 of them count.
constexpr int kNameBufferSize = 128;
}  // namespace

void ForEachPrinterName(platform::Files& files, const std::string& listPath,
                        const std::function<void(int section, const std::string& name)>& visit) {
    char sections[kSectionNamesSize] = {};
    files.GetPrivateProfileSectionNamesA(sections, kSectionNamesSize, listPath.c_str());

    int section = -1;
    int start = 0;
    for (int i = 0; i < kSectionNamesSize - 1; ++i) {
        if (sections[i] != '\0') continue;
        // Names of any length are taken whole: a long name still counts as
        // its catalogue row.
        const std::string sectionName(sections + start, static_cast<size_t>(i - start));
        ++section;
        for (int k = 1; k <= kMaxNamesPerSection; ++k) {
            char key[32];
            std::snprintf(key, sizeof(key), "PrintName%d", k);
            char value[kNameBufferSize] = {};
            if (files.GetPrivateProfileStringA(sectionName.c_str(), key, nullptr, value, kNameBufferSize,
                                               listPath.c_str()) == 0) {
                break;
            }
            value[kNameBufferSize - 1] = '\0';
            visit(section, value);
        }
        if (sections[i + 1] == '\0') break;
        start = i + 1;
    }
}

}  // namespace package
