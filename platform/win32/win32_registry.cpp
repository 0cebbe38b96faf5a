// Windows backend: the registry, straight through to advapi32.
#include "platform/win32/win32_registry.h"

#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {
::HKEY Key(win::HKEY key) { return reinterpret_cast<::HKEY>(key); }
OutParam<::HKEY, win::HKEY> OutKey(win::HKEY* key) { return OutParam<::HKEY, win::HKEY>(key); }
}  // namespace

LONG Win32Registry::RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired,
                                  HKEY* phkResult) {
    return ::RegOpenKeyExA(Key(hKey), subKey, options, samDesired, OutKey(phkResult).get());
}

LONG Win32Registry::RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                                    REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                                    DWORD* disposition) {
    auto* attributes = reinterpret_cast<SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security));
    return ::RegCreateKeyExA(Key(hKey), subKey, reserved, lpClass, options, samDesired, attributes,
                             OutKey(phkResult).get(), Out(disposition).get());
}

LONG Win32Registry::RegCloseKey(HKEY hKey) { return ::RegCloseKey(Key(hKey)); }

LONG Win32Registry::RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                     DWORD* cbData) {
    return ::RegQueryValueExA(Key(hKey), valueName, Out(reserved).get(), Out(type).get(), data,
                              Out(cbData).get());
}

LONG Win32Registry::RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD cbData) {
    return ::RegSetValueExA(Key(hKey), valueName, reserved, type, data, cbData);
}

LONG Win32Registry::RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                                  DWORD* type, BYTE* data, DWORD* cbData) {
    return ::RegEnumValueA(Key(hKey), index, valueName, Out(cchValueName).get(), Out(reserved).get(),
                           Out(type).get(), data, Out(cbData).get());
}

}  // namespace platform::win32
