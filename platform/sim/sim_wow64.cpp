// Simulated machine: WOW64's file-system and registry redirection.
#include "platform/sim/sim_wow64.h"

#include "platform/sim/sim_env.h"

namespace platform::sim {

namespace {

using Names = std::vector<std::string>;

// Below Windows\System32, reached by 32-bit and 64-bit programs alike.
const Names kExemptFolders[] = {{"catroot"}, {"catroot2"}, {"driverstore"}, {"drivers", "etc"}, {"logfiles"},
                                {"spool"}};

// Below HKLM\SOFTWARE, one key for both views. HKLM\SOFTWARE\Classes (shared
// with redirected subkeys of its own) is left out: nothing here uses it.
const Names kSharedKeys[] = {
    {"Clients"},
    {"Policies"},
    {"RegisteredApplications"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Console"},
    {"Microsoft", "Windows NT", "CurrentVersion", "FontDpi"},
    {"Microsoft", "Windows NT", "CurrentVersion", "FontLink"},
    {"Microsoft", "Windows NT", "CurrentVersion", "FontMapper"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Fonts"},
    {"Microsoft", "Windows NT", "CurrentVersion", "FontSubstitutes"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Gre_Initialize"},
    {"Microsoft", "Windows NT", "CurrentVersion", "LanguagePack"},
    {"Microsoft", "Windows NT", "CurrentVersion", "NetworkCards"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Perflib"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Ports"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Print"},
    {"Microsoft", "Windows NT", "CurrentVersion", "ProfileList"},
    {"Microsoft", "Windows NT", "CurrentVersion", "Time Zones"},
};

// Whether `names` starts, at `from`, with every name of `prefix`.
bool StartsWith(const Names& names, size_t from, const Names& prefix) {
    if (names.size() - from < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (!SameName(names[from + i], prefix[i])) return false;
    }
    return true;
}

Names SplitKeyPath(const std::string& path) {
    Names names;
    std::string name;
    for (char c : path) {
        if (c == '\\') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty()) names.push_back(name);
    return names;
}

}  // namespace

std::vector<std::string> Wow64FileComponents(std::vector<std::string> components, bool sysnative) {
    if (components.size() < 2 || !SameName(components[0], "Windows")) return components;
    if (SameName(components[1], "Sysnative")) {
        if (!sysnative) return components;
        components[1] = "System32";
    } else if (SameName(components[1], "System32")) {
        for (const Names& exempt : kExemptFolders) {
            if (StartsWith(components, 2, exempt)) return components;
        }
        components[1] = "SysWOW64";
    }
    return components;
}

std::string Wow64RegistryPath(const std::string& localMachinePath) {
    const Names names = SplitKeyPath(localMachinePath);
    if (names.empty() || !SameName(names[0], "SOFTWARE")) return localMachinePath;
    if (names.size() > 1 && SameName(names[1], "WOW6432Node")) return localMachinePath;
    for (const Names& shared : kSharedKeys) {
        if (StartsWith(names, 1, shared)) return localMachinePath;
    }
    std::string path = names[0] + "\\WOW6432Node";
    for (size_t i = 1; i < names.size(); ++i) path += "\\" + names[i];
    return path;
}

}  // namespace platform::sim
