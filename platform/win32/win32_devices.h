// Windows backend: the present USB printers, through SetupAPI.
#pragma once

#include "platform/devices.h"

namespace platform::win32 {

// setupapi.dll is loaded for each call by its full path in the system
// folder (as cabinet.dll is), so the program neither links it nor ever
// loads a copy planted beside the package.
class Win32Devices : public Devices {
public:
    win::BOOL EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) override;
};

}  // namespace platform::win32
