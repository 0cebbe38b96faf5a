// One line of the call log, built argument by argument.
#include "platform/logging/call_line.h"

#include <cstring>

namespace platform::logging {

std::string Quote(const char* text) { return text ? Quote(text, std::strlen(text)) : "null"; }

std::string Quote(const char* text, std::size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string quoted = "\"";
    for (std::size_t i = 0; i < length; ++i) {
        // None of these bytes is ever the second byte of a double-byte
        // character, so they are safe to replace one by one.
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"') {
            quoted += "\"\"";
        } else if (c < 0x20 || c == 0x7F) {
            quoted += "\\x";
            quoted += kHex[c >> 4];
            quoted += kHex[c & 0xF];
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

CallLine::CallLine(const char* function) : m_line(std::string(function) + "(") {}

CallLine& CallLine::Append(const char* label, const std::string& value) {
    if (!m_first) m_line += ", ";
    m_first = false;
    m_line += label;
    m_line += '=';
    m_line += value;
    return *this;
}

CallLine& CallLine::Text(const char* label, const char* value) { return Append(label, Quote(value)); }

CallLine& CallLine::Text(const char* label, const std::string& value) {
    return Append(label, Quote(value.data(), value.size()));
}

CallLine& CallLine::Number(const char* label, unsigned long long value) {
    return Append(label, std::to_string(value));
}

CallLine& CallLine::Raw(const char* label, const std::string& value) { return Append(label, value); }

CallLine& CallLine::Server(const char* value) { return value ? Text("server", value) : *this; }

std::string CallLine::Finish(const std::string& shown, bool failed, const CallError& error) const {
    std::string line = m_line + ") -> " + shown;
    if (!failed) return line;
    line += ", error " + std::to_string(error.code());
    const std::string text = error.text();
    return text.empty() ? line : line + " (" + text + ")";
}

std::string CallLine::Returns(long long result, const CallError& error) const {
    return Finish(std::to_string(result), result == 0, error);
}

std::string CallLine::Returns(win::HANDLE result, const CallError& error) const {
    const bool failed = result == nullptr || result == win::INVALID_HANDLE_VALUE;
    return Finish(result == nullptr ? "null" : failed ? "invalid" : "handle", failed, error);
}

std::string CallLine::Returns(long long result, bool failed, const CallError& error) const {
    return Finish(std::to_string(result), failed, error);
}

std::string CallLine::ReturnsCode(win::LONG code) const { return m_line + ") -> " + std::to_string(code); }

std::string FoundNames(const std::vector<std::string>& names) {
    std::string found = ", " + std::to_string(names.size()) + " found";
    for (std::size_t i = 0; i < names.size(); ++i) found += (i == 0 ? ": " : ", ") + Quote(names[i].c_str());
    return found;
}

}  // namespace platform::logging
