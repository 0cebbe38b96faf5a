// Windows backend: the present USB printers, through SetupAPI.
//
// Followed: "SetupDiGetClassDevsW function (setupapi.h)" (DIGCF_PRESENT |
// DIGCF_DEVICEINTERFACE: present interfaces of one interface class),
// "SetupDiEnumDeviceInterfaces function (setupapi.h)" (index from 0 until
// ERROR_NO_MORE_ITEMS), "SP_DEVICE_INTERFACE_DATA structure (setupapi.h)"
// (cbSize must be the record's size) and "SetupDiOpenDeviceInterfaceRegKey
// function (setupapi.h)" (INVALID_HANDLE_VALUE on failure; close with
// RegCloseKey). The class GUID is GUID_DEVINTERFACE_USBPRINT of usbprint.h.
#include "platform/win32/win32_devices.h"

#include "platform/win32/code_page.h"

#include <setupapi.h>

#include <string>

namespace platform::win32 {

namespace {

// GUID_DEVINTERFACE_USBPRINT {28d78fad-5a12-11d1-ae5b-0000f803a8c2}.
const GUID kUsbPrintInterfaceClass = {0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

// Names the port monitor uses are short ("USB"); anything longer is not one.
constexpr ::DWORD kBaseNameBytes = 64;

using GetClassDevsFunction = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, ::DWORD);
using EnumDeviceInterfacesFunction = ::BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, ::DWORD,
                                                     PSP_DEVICE_INTERFACE_DATA);
using OpenInterfaceKeyFunction = ::HKEY(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, ::DWORD, REGSAM);
using DestroyInfoListFunction = ::BOOL(WINAPI*)(HDEVINFO);

template <typename Function>
Function Export(::HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The two values the port monitor names the port from; false when either is
// missing or of another type.
bool ReadPortValues(::HKEY key, UsbPrintInterface* record) {
    ::DWORD type = REG_NONE;
    ::DWORD number = 0;
    ::DWORD size = sizeof(number);
    if (::RegQueryValueExW(key, L"Port Number", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(number)) {
        return false;
    }
    wchar_t baseName[kBaseNameBytes / sizeof(wchar_t) + 1] = {};
    size = kBaseNameBytes;
    if (::RegQueryValueExW(key, L"Base Name", nullptr, &type, reinterpret_cast<BYTE*>(baseName), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    record->baseName = Narrow(baseName);  // the zero after the data is ours when the value lacks one
    record->portNumber = number;
    return true;
}

}  // namespace

win::BOOL Win32Devices::EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) {
    if (interfaces == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    interfaces->clear();
    const ::DWORD callersError = ::GetLastError();
    ::HMODULE setupApi = LoadSystemLibrary("setupapi.dll");
    if (setupApi == nullptr) return FALSE;  // LoadLibraryExA has set the last error

    auto getClassDevs = Export<GetClassDevsFunction>(setupApi, "SetupDiGetClassDevsA");
    auto enumInterfaces = Export<EnumDeviceInterfacesFunction>(setupApi, "SetupDiEnumDeviceInterfaces");
    auto openKey = Export<OpenInterfaceKeyFunction>(setupApi, "SetupDiOpenDeviceInterfaceRegKey");
    auto destroyList = Export<DestroyInfoListFunction>(setupApi, "SetupDiDestroyDeviceInfoList");
    ::DWORD error = ERROR_SUCCESS;
    if (getClassDevs == nullptr || enumInterfaces == nullptr || openKey == nullptr || destroyList == nullptr) {
        error = ERROR_PROC_NOT_FOUND;
    } else {
        HDEVINFO set = getClassDevs(&kUsbPrintInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) {
            error = ::GetLastError();
        } else {
            for (::DWORD index = 0;; ++index) {
                SP_DEVICE_INTERFACE_DATA data{};
                data.cbSize = sizeof(data);
                if (!enumInterfaces(set, nullptr, &kUsbPrintInterfaceClass, index, &data)) {
                    if (::GetLastError() != ERROR_NO_MORE_ITEMS) error = ::GetLastError();
                    break;
                }
                ::HKEY key = openKey(set, &data, 0, KEY_QUERY_VALUE);
                if (key == reinterpret_cast<::HKEY>(INVALID_HANDLE_VALUE) || key == nullptr) continue;
                UsbPrintInterface record;
                if (ReadPortValues(key, &record)) interfaces->push_back(record);
                ::RegCloseKey(key);
            }
            destroyList(set);
        }
    }
    ::FreeLibrary(setupApi);
    if (error != ERROR_SUCCESS) {
        interfaces->clear();
        ::SetLastError(error);
        return FALSE;
    }
    ::SetLastError(callersError);
    return TRUE;
}

}  // namespace platform::win32
