// Reading DriverName.cfg with the simulated machine's profile functions, in a
// scratch sandbox that lives for one read.
#include "tools/driver_package/model_list.h"

#include <cstdio>
#include <string_view>

#include "tools/driver_package/scratch_sandbox.h"

namespace driver_package {

namespace {

const char* const kConfigFile = "C:\\DriverName.cfg";
// The installer's buffers: all section names, the names per section, and
// one printer name.
constexpr int kSectionNamesSize = 3000;
constexpr int kMaxNamesPerSection = 50;
constexpr int kNameBufferSize = 128;
// Big enough for any section's key list.
constexpr int kKeyListSize = 65536;

std::vector<std::string> SplitList(const char* list, size_t size) {
    std::vector<std::string> items;
    for (size_t at = 0; at < size && list[at] != '\0';) {
        const size_t length = std::string_view(list + at, size - at).find('\0');
        items.emplace_back(list + at, length);
        at += length + 1;
    }
    return items;
}

}  // namespace

ModelList ReadModelList(const std::string& configBytes) {
    ModelList list;
    ScratchSandbox sandbox;
    if (!sandbox.Ready()) return list;
    platform::sim::SimFiles& files = sandbox.Files();
    if (!files.WriteFile(kConfigFile, configBytes)) return list;
    list.read = true;

    std::vector<char> sections(kSectionNamesSize, '\0');
    const auto length = files.GetPrivateProfileSectionNamesA(sections.data(), kSectionNamesSize, kConfigFile);
    list.sectionListCut = length == kSectionNamesSize - 2;

    // The installer's walk, to the letter: an empty list still gives one
    // section without a name (the lines before the first section).
    std::vector<std::string> sectionNames;
    for (int i = 0, start = 0; i < kSectionNamesSize - 1; ++i) {
        if (sections[i] != '\0') continue;
        sectionNames.emplace_back(sections.data() + start, static_cast<size_t>(i - start));
        if (sections[i + 1] == '\0') break;
        start = i + 1;
    }
    for (const std::string& sectionName : sectionNames) {
        ModelSection section;
        section.name = sectionName;
        int read = 0;
        for (int k = 1; k <= kMaxNamesPerSection; ++k) {
            char key[32];
            std::snprintf(key, sizeof key, "PrintName%d", k);
            char value[kNameBufferSize] = {};
            if (files.GetPrivateProfileStringA(sectionName.c_str(), key, nullptr, value, kNameBufferSize, kConfigFile) ==
                0) {
                break;
            }
            section.models.push_back(value);
            read = k;
        }
        std::vector<char> keys(kKeyListSize, '\0');
        files.GetPrivateProfileStringA(sectionName.c_str(), nullptr, "", keys.data(), kKeyListSize, kConfigFile);
        for (const std::string& keyName : SplitList(keys.data(), kKeyListSize)) {
            bool wasRead = false;
            for (int k = 1; k <= read && !wasRead; ++k) {
                wasRead = platform::sim::NamesEqualNoCase(keyName, "PrintName" + std::to_string(k));
            }
            if (!wasRead) section.unreadKeys.push_back(keyName);
        }
        list.sections.push_back(section);
    }
    return list;
}

}  // namespace driver_package
