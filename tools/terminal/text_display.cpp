#include "tools/terminal/text_display.h"

#include <iconv.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace terminal {

namespace {

std::string Convert(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    std::vector<char> buffer(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<size_t>(outPtr - buffer.data()));
        if (done == static_cast<size_t>(-1)) {
            // An invalid or cut-off sequence: show one '?' and go on.
            out += '?';
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Cp936ToUtf8(const std::string& text) { return Convert(text, "UTF-8", "CP936"); }

std::string Utf8ToCp936(const std::string& text) { return Convert(text, "CP936", "UTF-8"); }

std::wstring FromCp936(const std::string& text) {
    const std::string utf8 = Cp936ToUtf8(text);
    std::wstring out;
    std::mbstate_t state{};
    const char* at = utf8.data();
    const char* end = at + utf8.size();
    while (at < end) {
        wchar_t wide = 0;
        const size_t used = std::mbrtowc(&wide, at, static_cast<size_t>(end - at), &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            out += L'?';
            ++at;
            state = std::mbstate_t{};
            continue;
        }
        out += wide;
        at += used == 0 ? 1 : used;
    }
    return out;
}

int CellWidth(const std::wstring& text) {
    int cells = 0;
    for (wchar_t c : text) {
        const int w = ::wcwidth(c);
        cells += w > 0 ? w : 0;
    }
    return cells;
}

std::wstring FitCells(const std::wstring& text, int cells) {
    std::wstring out;
    int used = 0;
    for (wchar_t c : text) {
        const int w = std::max(0, ::wcwidth(c));
        if (used + w > cells) break;
        used += w;
        out += c;
    }
    return out;
}

std::wstring StripAccelerator(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') out += L'&';
            if (i + 1 < text.size()) ++i;
            if (text[i] != L'&') out += text[i];
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace terminal
