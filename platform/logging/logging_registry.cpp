// Logging machine: the registry.
#include "platform/logging/logging_registry.h"

#include <cstdint>
#include <cstring>

namespace platform::logging {

namespace {

const char* RootName(HKEY key) {
    switch (reinterpret_cast<std::uintptr_t>(key)) {
    case 0x80000000u: return "HKCR";
    case 0x80000001u: return "HKCU";
    case 0x80000002u: return "HKLM";
    case 0x80000003u: return "HKU";
    case 0x80000005u: return "HKCC";
    default: return nullptr;
    }
}

// The data as a person reads it: texts quoted, a number as it is, anything
// else by its size. Nothing past cbData is read.
std::string DataOf(DWORD type, const BYTE* data, DWORD cbData) {
    if (!data) return "null";
    const char* text = reinterpret_cast<const char*>(data);
    switch (type) {
    case win::REG_SZ:
    case win::REG_EXPAND_SZ: {
        std::size_t length = 0;
        while (length < cbData && text[length] != '\0') ++length;
        return Quote(text, length);
    }
    case win::REG_MULTI_SZ: {
        std::string shown;
        std::size_t start = 0;
        while (start < cbData && text[start] != '\0') {
            std::size_t end = start;
            while (end < cbData && text[end] != '\0') ++end;
            if (!shown.empty()) shown += ' ';
            shown += Quote(text + start, end - start);
            start = end + 1;
        }
        return shown.empty() ? "<empty>" : shown;
    }
    case win::REG_DWORD:
        if (cbData == 4) {
            DWORD value = 0;
            std::memcpy(&value, data, sizeof(value));
            return std::to_string(value);
        }
        break;
    default:
        break;
    }
    return "<" + std::to_string(cbData) + " bytes>";
}

}  // namespace

std::string LoggingRegistry::PathOf(HKEY key) const {
    if (const char* root = RootName(key)) return root;
    std::string path;
    return m_keys.Find(key, &path) ? path : "?";
}

std::string LoggingRegistry::PathUnder(HKEY key, const char* subKey) const {
    std::string path = PathOf(key);
    if (subKey && *subKey) path += std::string("\\") + subKey;
    return path;
}

LONG LoggingRegistry::RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired,
                                    HKEY* phkResult) {
    const LONG result = inner().RegOpenKeyExA(hKey, subKey, options, samDesired, phkResult);
    KeptError error(m_recorder.inner());
    if (result == win::ERROR_SUCCESS && phkResult) m_keys.Remember(*phkResult, PathUnder(hKey, subKey));
    return result;
}

LONG LoggingRegistry::RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                                      REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                                      DWORD* disposition) {
    const LONG result = inner().RegCreateKeyExA(hKey, subKey, reserved, lpClass, options, samDesired, security,
                                                phkResult, disposition);
    KeptError error(m_recorder.inner());
    const std::string path = PathUnder(hKey, subKey);
    if (result == win::ERROR_SUCCESS && phkResult) m_keys.Remember(*phkResult, path);
    std::string line = CallLine("RegCreateKeyExA")
                           .Text("key", path)
                           .Number("options", options)
                           .ReturnsCode(result);
    if (result == win::ERROR_SUCCESS && disposition) {
        line += *disposition == win::REG_CREATED_NEW_KEY ? ", created" : ", existed";
    }
    m_recorder.Write(line);
    return result;
}

LONG LoggingRegistry::RegCloseKey(HKEY hKey) {
    const LONG result = inner().RegCloseKey(hKey);
    KeptError error(m_recorder.inner());
    if (result == win::ERROR_SUCCESS) m_keys.Forget(hKey);
    return result;
}

LONG LoggingRegistry::RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                       DWORD* cbData) {
    return inner().RegQueryValueExA(hKey, valueName, reserved, type, data, cbData);
}

LONG LoggingRegistry::RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                                     DWORD cbData) {
    const LONG result = inner().RegSetValueExA(hKey, valueName, reserved, type, data, cbData);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("RegSetValueExA")
                         .Text("key", PathOf(hKey))
                         .Text("value", valueName)
                         .Number("type", type)
                         .Raw("data", DataOf(type, data, cbData))
                         .ReturnsCode(result));
    return result;
}

LONG LoggingRegistry::RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                                    DWORD* type, BYTE* data, DWORD* cbData) {
    return inner().RegEnumValueA(hKey, index, valueName, cchValueName, reserved, type, data, cbData);
}

LONG LoggingRegistry::RegDeleteKeyExA(HKEY hKey, const char* subKey, REGSAM samDesired, DWORD reserved) {
    const LONG result = inner().RegDeleteKeyExA(hKey, subKey, samDesired, reserved);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("RegDeleteKeyExA")
                         .Text("key", PathUnder(hKey, subKey))
                         .Number("view", samDesired)
                         .ReturnsCode(result));
    return result;
}

LONG LoggingRegistry::RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                                       DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                                       DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                                       DWORD* lpcbSecurityDescriptor, win::FILETIME* lpftLastWriteTime) {
    return inner().RegQueryInfoKeyA(hKey, lpClass, lpcchClass, lpReserved, lpcSubKeys, lpcbMaxSubKeyLen,
                                    lpcbMaxClassLen, lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen,
                                    lpcbSecurityDescriptor, lpftLastWriteTime);
}

}  // namespace platform::logging
