#include "platform/profile_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// ASCII letters fold; the trail byte of a double-byte character never does.
bool NamesEqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x >= 0x81 && x <= 0xFE && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        const auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; };
        if (fold(x) != fold(y)) return false;
    }
    return true;
}

struct ProfileKey {
    std::string name;
    bool hasValue = false;
    std::string value;
};

struct ProfileSection {
    std::string name;  // empty for the lines before the first section
    std::vector<ProfileKey> keys;
};

bool IsProfileSpace(char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; }

bool IsLead(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x81 && u <= 0xFE;
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsProfileSpace(text[begin])) ++begin;
    while (end > begin && IsProfileSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Position of the line's last ']' that is a character of its own (a trail
// byte of a double-byte character can be 0x5D too), npos when none.
size_t LastCloseBracket(const std::string& line) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (IsLead(line[i]) && i + 1 < line.size()) {
            ++i;
        } else if (line[i] == ']') {
            found = i;
        }
    }
    return found;
}

std::vector<ProfileSection> ParseProfile(const std::string& bytes) {
    std::vector<ProfileSection> sections(1);
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        std::string line = Trim(bytes.substr(pos, end - pos));
        pos = end;
        while (pos < bytes.size() && (bytes[pos] == '\r' || bytes[pos] == '\n')) ++pos;
        if (line.empty()) continue;

        if (line[0] == '[') {
            size_t close = LastCloseBracket(line);
            if (close != std::string::npos && close > 0) {
                ProfileSection section;
                section.name = Trim(line.substr(1, close - 1));
                sections.push_back(section);
                continue;
            }
            // No closing bracket: an ordinary line.
        }

        ProfileKey key;
        size_t equals = line.find('=');  // '=' is never a trail byte
        if (equals == std::string::npos) {
            key.name = line;
        } else {
            key.name = Trim(line.substr(0, equals));
            key.hasValue = true;
            key.value = Trim(line.substr(equals + 1));
        }
        std::vector<ProfileKey>& keys = sections.back().keys;
        // A nameless line right after another nameless one adds nothing.
        if (key.name.empty() && !keys.empty() && keys.back().name.empty()) continue;
        keys.push_back(key);
    }
    return sections;
}

bool IsComment(const ProfileKey& key) { return !key.name.empty() && key.name[0] == ';'; }

const ProfileSection* FindSection(const std::vector<ProfileSection>& sections, const std::string& wanted) {
    std::string name = Trim(wanted);
    for (const ProfileSection& section : sections) {
        if (NamesEqualNoCase(section.name, name)) return &section;
    }
    return nullptr;
}

const ProfileKey* FindKey(const ProfileSection& section, const std::string& wanted) {
    std::string name = Trim(wanted);
    for (const ProfileKey& key : section.keys) {
        if (!IsComment(key) && NamesEqualNoCase(key.name, name)) return &key;
    }
    return nullptr;
}

// Copies as much as fits with its zero byte; returns the bytes copied.
win::DWORD CopyTruncated(const std::string& text, char* buffer, win::DWORD size) {
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<win::DWORD>(n);
}

// Matching quotes around a value are not part of it.
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A list of zero-ended strings ended by one more zero. When the list does
// not fit, the last string is cut, both zeros are written and the result is
// size - 2.
win::DWORD CopyList(const std::vector<std::string>& items, char* buffer, win::DWORD size) {
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    size_t room = size - 1;  // keeps the final zero's place
    char* out = buffer;
    for (const std::string& item : items) {
        size_t needed = item.size() + 1;
        if (needed >= room) {
            if (room > 0) {
                std::memcpy(out, item.data(), room - 1);
                out += room - 1;
                *out++ = '\0';
            }
            *out = '\0';
            return size - 2;
        }
        std::memcpy(out, item.c_str(), needed);
        out += needed;
        room -= needed;
    }
    *out = '\0';
    return static_cast<win::DWORD>(out - buffer);
}

std::vector<std::string> SectionNames(const std::vector<ProfileSection>& sections) {
    std::vector<std::string> names;
    for (const ProfileSection& section : sections) {
        if (!section.name.empty()) names.push_back(section.name);
    }
    return names;
}

}  // namespace

win::DWORD ProfileSectionNames(const std::optional<std::string>& file, char* buffer, win::DWORD size) {
    if (!file) {
        // A missing file gives an empty string, not an empty list.
        buffer[0] = '\0';
        return 0;
    }
    return CopyList(SectionNames(ParseProfile(*file)), buffer, size);
}

win::DWORD ProfileString(const std::optional<std::string>& file, const char* appName, const char* keyName,
                         const char* defaultValue, char* returnedString, win::DWORD size) {
    std::vector<ProfileSection> sections;
    if (file) sections = ParseProfile(*file);

    if (!appName) return CopyList(SectionNames(sections), returnedString, size);

    std::string fallback = defaultValue ? defaultValue : "";
    if (!keyName) {
        std::vector<std::string> keys;
        if (const ProfileSection* section = FindSection(sections, appName)) {
            for (const ProfileKey& key : section->keys) {
                if (key.hasValue && !IsComment(key)) keys.push_back(key.name);
            }
        }
        if (!keys.empty()) return CopyList(keys, returnedString, size);
        return CopyTruncated(file ? Unquote(fallback) : fallback, returnedString, size);
    }

    // Blanks at the end of the default are not part of it.
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
    if (!file) return CopyTruncated(fallback, returnedString, size);
    const ProfileKey* key = nullptr;
    if (const ProfileSection* section = FindSection(sections, appName)) key = FindKey(*section, keyName);
    return CopyTruncated(Unquote(key && key->hasValue ? key->value : fallback), returnedString, size);
}

}  // namespace platform
