#include "ports/port_names.h"

#include <cstring>

namespace ports {

namespace {
// COM port numbers Windows can give.
constexpr int kMaxComPortNumber = 255;
}  // namespace

bool BeginsWith(const char* name, const char* prefix) {
    return name != nullptr && std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

bool IsTcpIpDescription(const char* description) {
    return description != nullptr &&
           (std::strcmp(description, "Standard TCP/IP Port") == 0 || std::strcmp(description, "标准 TCP/IP 端口") == 0);
}

bool IsTcpIpPort(const char* monitor, const char* description) {
    return (monitor != nullptr && std::strcmp(monitor, "Standard TCP/IP Port") == 0) ||
           IsTcpIpDescription(description);
}

std::string StringFromRegistryData(const win::BYTE* data, win::DWORD size) {
    const auto* text = reinterpret_cast<const char*>(data);
    size_t length = 0;
    while (length < size && text[length] != '\0') ++length;
    return std::string(text, length);
}

int ParseComPortNumber(const std::string& entry) {
    const size_t colon = entry.find(':');
    if (!BeginsWith(entry, "COM") || colon == std::string::npos || colon <= 3) return 0;
    int number = 0;
    for (size_t i = 3; i < colon; ++i) {
        const char c = entry[i];
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
        if (number > kMaxComPortNumber) return 0;
    }
    return number;
}

}  // namespace ports
