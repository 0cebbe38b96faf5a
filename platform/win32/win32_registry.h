// Windows backend: the registry, straight through to advapi32.
#pragma once

#include "platform/registry.h"

namespace platform::win32 {

class Win32Registry : public Registry {
public:
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
};

}  // namespace platform::win32
