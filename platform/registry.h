// The registry calls the installer makes. Like Windows, these return the
// error code itself (ERROR_SUCCESS on success) rather than setting the
// thread's last error.
#pragma once

#include "platform/win_types.h"

namespace platform {

using win::BYTE;
using win::DWORD;
using win::HKEY;
using win::LONG;
using win::REGSAM;

class Registry {
public:
    virtual ~Registry() = default;

    virtual LONG RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired,
                               HKEY* phkResult) = 0;
    virtual LONG RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                                 REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                                 DWORD* disposition) = 0;
    virtual LONG RegCloseKey(HKEY hKey) = 0;
    virtual LONG RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                  DWORD* cbData) = 0;
    virtual LONG RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                                DWORD cbData) = 0;
    virtual LONG RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                               DWORD* type, BYTE* data, DWORD* cbData) = 0;
    // Deletes a key without subkeys (ERROR_ACCESS_DENIED while it has any),
    // in the view samDesired names (KEY_WOW64_64KEY or _32KEY) ("RegDeleteKeyExA
    // function"). Where advapi32 lacks it (32-bit Windows XP and older, which
    // have one view) RegDeleteKeyA stands in.
    virtual LONG RegDeleteKeyExA(HKEY hKey, const char* subKey, REGSAM samDesired, DWORD reserved) = 0;
    // The key's counts and longest names and data ("RegQueryInfoKeyA
    // function"); every out-parameter may be null. Needs KEY_QUERY_VALUE.
    virtual LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                                  DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                                  DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                                  DWORD* lpcbSecurityDescriptor, win::FILETIME* lpftLastWriteTime) = 0;
};

}  // namespace platform
