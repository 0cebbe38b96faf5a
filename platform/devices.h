// Plug and Play devices: which USB printers are plugged in, as SetupAPI
// lists the present device interfaces of the USB printing class. Each
// interface carries, in its registry key, the base name and the number from
// which the USB port monitor names the printer's port ("USB" and 2 make
// USB002), so the list says which USB port has a printer behind it without
// asking the spooler.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

// One present interface of the class GUID_DEVINTERFACE_USBPRINT
// {28d78fad-5a12-11d1-ae5b-0000f803a8c2}: the values "Base Name" (REG_SZ)
// and "Port Number" (REG_DWORD) of its device interface registry key.
struct UsbPrintInterface {
    std::string baseName;
    win::DWORD portNumber = 0;
};

class Devices {
public:
    virtual ~Devices() = default;

    // SetupDiGetClassDevsA(USBPRINT, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
    // SetupDiEnumDeviceInterfaces until ERROR_NO_MORE_ITEMS, and for each
    // interface SetupDiOpenDeviceInterfaceRegKey and its two values. An
    // interface whose key or values cannot be read names no port and is left
    // out. 1 with the list (empty when no USB printer is plugged in), the
    // caller's last error left as it was; 0 with an empty list and the
    // thread's last error when the system cannot list the interfaces.
    virtual win::BOOL EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) = 0;
};

}  // namespace platform
