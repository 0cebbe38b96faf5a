// Logging machine: the registry. Keys created and values set are logged
// with the key's full path; reads are not.
#pragma once

#include <string>

#include "platform/logging/call_recorder.h"
#include "platform/registry.h"

namespace platform::logging {

class LoggingRegistry : public Registry {
public:
    explicit LoggingRegistry(CallRecorder& recorder) : m_recorder(recorder) {}

    LONG RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired, HKEY* phkResult) override;
    LONG RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                         REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                         DWORD* disposition) override;
    LONG RegCloseKey(HKEY hKey) override;
    LONG RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* cbData) override;
    LONG RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                        DWORD cbData) override;
    LONG RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved, DWORD* type,
                       BYTE* data, DWORD* cbData) override;
    LONG RegDeleteKeyExA(HKEY hKey, const char* subKey, REGSAM samDesired, DWORD reserved) override;
    LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                          DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues, DWORD* lpcbMaxValueNameLen,
                          DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                          win::FILETIME* lpftLastWriteTime) override;

private:
    Registry& inner() { return m_recorder.inner().registry(); }
    // "HKLM\SOFTWARE\..." for a root or a key opened through this registry.
    std::string PathOf(HKEY key) const;
    std::string PathUnder(HKEY key, const char* subKey) const;

    CallRecorder& m_recorder;
    HandleNames m_keys;
};

}  // namespace platform::logging
