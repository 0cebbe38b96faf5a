// Windows backend: the program's narrow strings at the system's edge.
//
// The program's narrow strings are code page 936 whatever the system's ANSI
// code page is. The A functions would read them in the ANSI code page (a
// Chinese text turns into "????" or mojibake where that is not 936), so
// the backends call the W functions with text converted from 936 and
// convert back to 936 what they read ("Code Pages", "Unicode in the Windows
// API": the A functions convert with CP_ACP). On a system whose ANSI code
// page is 936 the result is the same as the A function's.
#pragma once

#include <cstring>
#include <string>

#include "platform/win32/windows_support.h"

namespace platform::win32 {

constexpr UINT kProgramCodePage = 936;

inline std::wstring Wide(const char* text, std::size_t length) {
    if (text == nullptr || length == 0) return std::wstring();
    const int count = ::MultiByteToWideChar(kProgramCodePage, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) ::MultiByteToWideChar(kProgramCodePage, 0, text, static_cast<int>(length), &wide[0], count);
    return wide;
}
inline std::wstring Wide(const char* text) { return text ? Wide(text, std::strlen(text)) : std::wstring(); }
inline std::wstring Wide(const std::string& text) { return Wide(text.data(), text.size()); }

inline std::string Narrow(const wchar_t* text, std::size_t length) {
    if (text == nullptr || length == 0) return std::string();
    const int count =
        ::WideCharToMultiByte(kProgramCodePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    if (count > 0) {
        ::WideCharToMultiByte(kProgramCodePage, 0, text, static_cast<int>(length), &narrow[0], count, nullptr, nullptr);
    }
    return narrow;
}
inline std::string Narrow(const wchar_t* text) { return text ? Narrow(text, std::wcslen(text)) : std::string(); }
inline std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

// A narrow argument as the W function takes it: null stays null.
class WideArg {
public:
    explicit WideArg(const char* text) : m_null(text == nullptr), m_text(Wide(text)) {}
    const wchar_t* get() const { return m_null ? nullptr : m_text.c_str(); }
    // For the W functions that take non-const strings they never write.
    wchar_t* mutable_get() { return m_null ? nullptr : &m_text[0]; }

private:
    bool m_null;
    std::wstring m_text;
};

// The most of `text` that fits in `size` bytes with its terminating zero,
// never half a double-byte character; the bytes copied, zero excluded.
inline std::size_t CopyWhole(const std::string& text, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return 0;
    std::size_t n = 0;
    while (n < text.size()) {
        const bool lead = ::IsDBCSLeadByteEx(kProgramCodePage, static_cast<BYTE>(text[n])) && n + 1 < text.size();
        const std::size_t step = lead ? 2 : 1;
        if (n + step > size - 1) break;
        n += step;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

}  // namespace platform::win32
