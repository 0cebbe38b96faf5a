// Code page 936 and UTF-8 checks, and conversion for the terminal.
#include "tools/driver_package/text_encoding.h"

#include <iconv.h>

#include <cstdio>

namespace driver_package {

namespace {

unsigned char Byte(std::string_view text, size_t at) { return static_cast<unsigned char>(text[at]); }

std::string Escaped(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (Byte(text, i) < 0x80) {
            out += text[i];
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", Byte(text, i));
            out += hex;
        }
    }
    return out;
}

bool Convert936ToUtf8(std::string_view text, std::string* out) {
    iconv_t converter = iconv_open("UTF-8", "CP936");
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string input(text);
    std::string output(text.size() * 2 + 4, '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* outPtr = output.data();
    size_t outLeft = output.size();
    const size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
    output.resize(output.size() - outLeft);
    *out = output;
    return true;
}

}  // namespace

bool IsCodePage936(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = Byte(text, i);
        if (c < 0x80) continue;
        if (c == 0x80 || c == 0xFF || i + 1 >= text.size()) return false;
        const unsigned char trail = Byte(text, ++i);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
    }
    return true;
}

bool IsUtf8BeyondAscii(std::string_view text) {
    bool multiByte = false;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = Byte(text, i);
        size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || (length == 2 && c < 0xC2) || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((Byte(text, i + k) & 0xC0) != 0x80) return false;
        }
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte;
}

std::string ForTerminal(std::string_view text) {
    if (IsUtf8BeyondAscii(text)) return std::string(text);
    std::string converted;
    if (IsCodePage936(text) && Convert936ToUtf8(text, &converted)) return converted;
    return Escaped(text);
}

size_t TerminalWidth(std::string_view utf8) {
    size_t width = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = Byte(utf8, i);
        if ((c & 0xC0) == 0x80) continue;  // continuation byte
        // Three- and four-byte characters are the wide ones here (CJK).
        width += c >= 0xE0 ? 2 : 1;
    }
    return width;
}

}  // namespace driver_package
