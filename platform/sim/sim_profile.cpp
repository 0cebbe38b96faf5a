// Simulated machine (Linux host): reading profile (.ini) files, by the
// rules of platform/profile_text.h.
#include <optional>
#include <string>

#include "platform/profile_text.h"
#include "platform/sim/sim_files.h"

namespace platform::sim {

std::optional<std::string> SimFiles::ReadProfileLocked(const char* fileName) const {
    if (!fileName || !*fileName) return std::nullopt;
    std::string path = fileName;
    // A bare name is looked for in the Windows folder.
    if (path.find_first_of("\\/") == std::string::npos && !(path.size() >= 2 && path[1] == ':')) {
        path = m_windowsDirectory + "\\" + path;
    }
    Resolution r = ResolveLocked(CallerPath(path.c_str()));
    if (r.error || !r.exists || r.isDirectory) return std::nullopt;
    if (r.isLink) {
        CountLinkRefusal();
        return std::nullopt;
    }
    return ReadHostFile(r.hostPath);
}

win::DWORD SimFiles::GetPrivateProfileSectionNamesA(char* returnBuffer, win::DWORD size, const char* fileName) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetPrivateProfileSectionNamesA")) {
        if (returnBuffer && size) returnBuffer[0] = '\0';
        return 0;
    }
    if (!returnBuffer || size == 0) return 0;
    return ProfileSectionNames(ReadProfileLocked(fileName), returnBuffer, size);
}

win::DWORD SimFiles::GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                                              char* returnedString, win::DWORD size, const char* fileName) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Fault("GetPrivateProfileStringA")) {
        if (returnedString && size) returnedString[0] = '\0';
        return 0;
    }
    if (!returnedString || size == 0) return 0;
    return ProfileString(ReadProfileLocked(fileName), appName, keyName, defaultValue, returnedString, size);
}

}  // namespace platform::sim
