// Logging machine: the package unpacker.
#include "platform/logging/logging_archive.h"

namespace platform::logging {

int LoggingArchive::Extract(HMODULE module, const char* archivePath, const char* outputFolder) {
    const int result = inner().Extract(module, archivePath, outputFolder);
    KeptError error(m_recorder.inner());
    m_recorder.Write(
        CallLine("Extract").Text("archive", archivePath).Text("to", outputFolder).Returns(result, error.value()));
    return result;
}

}  // namespace platform::logging
