#include "unattended/text_match.h"

namespace unattended {

namespace {
bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

std::string WithoutTrailingColon(const std::string& name) {
    return !name.empty() && name.back() == ':' ? name.substr(0, name.size() - 1) : name;
}

}  // namespace unattended
