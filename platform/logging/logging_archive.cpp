// Logging machine: the package unpacker.
#include "platform/logging/logging_archive.h"

#include <cstdio>

namespace platform::logging {

int LoggingArchive::Extract(HMODULE module, const char* archivePath, const char* outputFolder,
                            std::vector<std::string>* unpacked) {
    const int result = inner().Extract(module, archivePath, outputFolder, unpacked);
    KeptError error(m_recorder.inner());
    m_recorder.Write(
        CallLine("Extract").Text("archive", archivePath).Text("to", outputFolder).Returns(result, result != 0, error));
    return result;
}

BOOL LoggingDevices::EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) {
    const BOOL result = m_recorder.inner().devices().EnumPresentUsbPrintInterfaces(interfaces);
    KeptError error(m_recorder.inner());
    std::string found;
    if (result && interfaces != nullptr) {
        found = ", " + std::to_string(interfaces->size()) + " found";
        for (size_t i = 0; i < interfaces->size(); ++i) {
            char port[16];
            std::snprintf(port, sizeof(port), "%03lu", static_cast<unsigned long>((*interfaces)[i].portNumber));
            found += (i == 0 ? ": " : ", ") + Quote(((*interfaces)[i].baseName + port).c_str());
        }
    }
    m_recorder.Write(CallLine("EnumPresentUsbPrintInterfaces").Returns(static_cast<long long>(result), error) +
                     found);
    return result;
}

}  // namespace platform::logging
