// Windows backend: the registry, through advapi32's W functions with the
// program's code page 936 names and string data converted at the call
// (platform/win32/code_page.h). String data is handed back in 936 with the
// sizes the A functions report for it.
#include "platform/win32/win32_registry.h"

#include <vector>

#include "platform/win32/code_page.h"
#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {
::HKEY Key(win::HKEY key) { return reinterpret_cast<::HKEY>(key); }
OutParam<::HKEY, win::HKEY> OutKey(win::HKEY* key) { return OutParam<::HKEY, win::HKEY>(key); }

bool IsString(::DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The value's data as the A functions give it: strings (with whatever
// zeros they hold) in 936, other types as they are.
::LONG ReadValue(::HKEY key, const wchar_t* name, ::DWORD* type, std::vector<BYTE>* data) {
    ::DWORD size = 0;
    ::LONG status = ::RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
        data->assign(size, 0);
        status = ::RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
        if (status != ERROR_MORE_DATA || attempt == 3) break;
    }
    if (status != ERROR_SUCCESS) return status;
    data->resize(size);
    if (IsString(*type)) {
        const std::string narrow = Narrow(reinterpret_cast<const wchar_t*>(data->data()), size / sizeof(wchar_t));
        data->assign(narrow.begin(), narrow.end());
    }
    return ERROR_SUCCESS;
}
}  // namespace

LONG Win32Registry::RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired,
                                  HKEY* phkResult) {
    if (phkResult == nullptr) return ::RegOpenKeyExW(Key(hKey), WideArg(subKey).get(), options, samDesired, nullptr);
    // Wine's W form clears the result before it looks at the key handle; the
    // A form leaves it alone when the handle is refused, which is what the
    // program is promised (docs/wine-differences.md).
    ::HKEY opened = nullptr;
    const ::LONG status = ::RegOpenKeyExW(Key(hKey), WideArg(subKey).get(), options, samDesired, &opened);
    if (status != ERROR_INVALID_HANDLE) *phkResult = reinterpret_cast<HKEY>(opened);
    return status;
}

LONG Win32Registry::RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                                    REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                                    DWORD* disposition) {
    auto* attributes = reinterpret_cast<SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security));
    WideArg keyClass(lpClass);
    return ::RegCreateKeyExW(Key(hKey), WideArg(subKey).get(), reserved, keyClass.mutable_get(), options, samDesired,
                             attributes, OutKey(phkResult).get(), Out(disposition).get());
}

LONG Win32Registry::RegCloseKey(HKEY hKey) { return ::RegCloseKey(Key(hKey)); }

LONG Win32Registry::RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                     DWORD* cbData) {
    const WideArg name(valueName);
    if (reserved != nullptr || (data != nullptr && cbData == nullptr)) {
        // Refused before the value is looked at.
        return ::RegQueryValueExW(Key(hKey), name.get(), Out(reserved).get(), Out(type).get(), data, Out(cbData).get());
    }
    ::DWORD valueType = REG_NONE;
    std::vector<BYTE> value;
    const ::LONG status = ReadValue(Key(hKey), name.get(), &valueType, &value);
    if (status != ERROR_SUCCESS) return status;
    if (type != nullptr) *type = valueType;
    if (cbData == nullptr) return ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(value.size());
    if (data != nullptr && *cbData < needed) {
        *cbData = needed;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && needed > 0) std::memcpy(data, value.data(), needed);
    *cbData = needed;
    return ERROR_SUCCESS;
}

LONG Win32Registry::RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD cbData) {
    const WideArg name(valueName);
    if (!IsString(type) || data == nullptr) return ::RegSetValueExW(Key(hKey), name.get(), reserved, type, data, cbData);
    // The bytes as given, zeros included, so that data with or without its
    // terminating zero is stored as the A function stores it.
    const std::wstring wide = Wide(reinterpret_cast<const char*>(data), cbData);
    return ::RegSetValueExW(Key(hKey), name.get(), reserved, type, reinterpret_cast<const BYTE*>(wide.data()),
                            static_cast<::DWORD>(wide.size() * sizeof(wchar_t)));
}

// A name or data that does not fit copies neither and reports the data's
// size, leaving the name's count as it was (ERROR_MORE_DATA).
LONG Win32Registry::RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                                  DWORD* type, BYTE* data, DWORD* cbData) {
    if (valueName == nullptr || cchValueName == nullptr || reserved != nullptr ||
        (data != nullptr && cbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    // 16383 characters: the longest value name ("Registry Element Size Limits").
    std::vector<wchar_t> wideName(16384, L'\0');
    ::DWORD wideCount = static_cast<::DWORD>(wideName.size());
    ::DWORD valueType = REG_NONE;
    const ::LONG status =
        ::RegEnumValueW(Key(hKey), index, wideName.data(), &wideCount, nullptr, &valueType, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::vector<BYTE> value;
    const ::LONG read = ReadValue(Key(hKey), wideName.data(), &valueType, &value);
    if (read != ERROR_SUCCESS) return read;
    const std::string name = Narrow(wideName.data(), wideCount);
    if (type != nullptr) *type = valueType;
    const DWORD needed = static_cast<DWORD>(value.size());
    const bool dataFits = data == nullptr || *cbData >= needed;
    if (name.size() + 1 > *cchValueName || !dataFits) {
        if (cbData != nullptr) *cbData = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(valueName, name.c_str(), name.size() + 1);
    *cchValueName = static_cast<DWORD>(name.size());
    if (data != nullptr && needed > 0) std::memcpy(data, value.data(), needed);
    if (cbData != nullptr) *cbData = needed;
    return ERROR_SUCCESS;
}

// advapi32 has RegDeleteKeyExW from Windows Vista and 64-bit Windows XP
// on: looked up, never imported. Where it is missing the system has one
// registry view, and RegDeleteKeyW deletes in it.
LONG Win32Registry::RegDeleteKeyExA(HKEY hKey, const char* subKey, REGSAM samDesired, DWORD reserved) {
    using Function = ::LONG(WINAPI*)(::HKEY, ::LPCWSTR, ::REGSAM, ::DWORD);
    ::HMODULE advapi32 = ::GetModuleHandleA("advapi32");
    const auto deleteEx = advapi32 == nullptr ? nullptr
                                              : reinterpret_cast<Function>(reinterpret_cast<void*>(
                                                    ::GetProcAddress(advapi32, "RegDeleteKeyExW")));
    if (deleteEx == nullptr) return ::RegDeleteKeyW(Key(hKey), WideArg(subKey).get());
    return deleteEx(Key(hKey), WideArg(subKey).get(), samDesired, reserved);
}

// The counts are the same in either form; the A form is called as it is
// (a class name, which this program never gives its keys, would come in the
// system's ANSI code page).
LONG Win32Registry::RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                                     DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                                     DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                                     DWORD* lpcbSecurityDescriptor, win::FILETIME* lpftLastWriteTime) {
    return ::RegQueryInfoKeyA(Key(hKey), lpClass, Out(lpcchClass).get(), Out(lpReserved).get(),
                              Out(lpcSubKeys).get(), Out(lpcbMaxSubKeyLen).get(), Out(lpcbMaxClassLen).get(),
                              Out(lpcValues).get(), Out(lpcbMaxValueNameLen).get(), Out(lpcbMaxValueLen).get(),
                              Out(lpcbSecurityDescriptor).get(), reinterpret_cast<::FILETIME*>(lpftLastWriteTime));
}

}  // namespace platform::win32
