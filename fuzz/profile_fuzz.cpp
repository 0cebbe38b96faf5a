// The simulated machine's profile reader on any file: what the installer
// reads from the package's DriverName.cfg. The first byte picks a small
// buffer size and a section, the rest is the file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_sandbox.h"
#include "platform/sim/sim_files.h"

namespace {

constexpr const char* kFile = "C:\\fuzz.ini";

struct Sandbox {
    Sandbox() { files = new platform::sim::SimFiles(env, fuzz::SandboxFolder()); }
    platform::sim::SimEnv env;
    platform::sim::SimFiles* files;
};

// A zero byte in the file ends a name or value early where the result is
// read as strings: the shapes below are checked for text files only.
bool g_text = true;

// A string result: its length, zero-ended inside the buffer.
void CheckString(const std::vector<char>& buffer, win::DWORD result) {
    if (result >= buffer.size() || buffer[result] != '\0') std::abort();
    if (g_text && std::strlen(buffer.data()) != result) std::abort();
}

// A list result: zero-ended strings and one more zero. `result` counts
// the bytes before that last zero, or, when the list was cut, before the
// cut string's zero.
std::vector<std::string> CheckList(const std::vector<char>& buffer, win::DWORD result) {
    if (buffer.size() == 1) {
        if (result != 0 || buffer[0] != '\0') std::abort();
        return {};
    }
    if (result + 1 >= buffer.size() + 1 || buffer[result] != '\0') std::abort();
    std::vector<std::string> items;
    for (win::DWORD at = 0; at < result;) {
        const size_t length = strnlen(buffer.data() + at, result + 1 - at);
        if (at + length > result) std::abort();
        items.emplace_back(buffer.data() + at, length);
        at += static_cast<win::DWORD>(length) + 1;
    }
    return items;
}

bool IsPrefix(const std::string& head, const std::string& whole) { return whole.compare(0, head.size(), head) == 0; }

std::string Get(platform::sim::SimFiles& files, const char* section, const char* key, win::DWORD size,
                win::DWORD* result) {
    std::vector<char> buffer(size);
    *result = files.GetPrivateProfileStringA(section, key, "none", buffer.data(), size, kFile);
    if (section != nullptr && key != nullptr) {
        CheckString(buffer, *result);
        return std::string(buffer.data(), *result);
    }
    return std::string(buffer.data(), *result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static Sandbox sandbox;
    platform::sim::SimFiles& files = *sandbox.files;
    // The machine logs every call: a log that only grows costs a leak check a run.
    sandbox.env.ClearCalls();
    if (size == 0) return 0;
    const win::DWORD small = 1 + data[0] % 32;
    g_text = std::memchr(data + 1, 0, size - 1) == nullptr;
    // Room for anything the file can yield: no name or value outgrows it.
    const win::DWORD room = static_cast<win::DWORD>(size) + 16;
    if (!files.WriteFile(kFile, std::string(reinterpret_cast<const char*>(data) + 1, size - 1))) std::abort();

    std::vector<char> buffer(room);
    const win::DWORD n = files.GetPrivateProfileSectionNamesA(buffer.data(), room, kFile);
    const std::vector<std::string> sections = CheckList(buffer, n);
    std::vector<char> cut(small);
    const win::DWORD m = files.GetPrivateProfileSectionNamesA(cut.data(), small, kFile);
    const std::vector<std::string> head = CheckList(cut, m);
    for (size_t i = 0; i < head.size(); ++i) {
        if (i >= sections.size() || !IsPrefix(head[i], sections[i])) std::abort();
    }
    win::DWORD r = 0;
    if (Get(files, nullptr, nullptr, room, &r) != std::string(buffer.data(), n)) std::abort();

    if (!g_text) return 0;
    for (const std::string& section : sections) {
        // A name is one line of the file, without the blanks around it.
        if (section.empty() || section.find_first_of("\r\n") != std::string::npos) std::abort();
        if (section.front() == ' ' || section.back() == ' ') std::abort();
    }
    if (sections.empty()) return 0;
    // Every call reads the file again: one section's keys a run keeps the
    // runs fast; the first byte's high bits pick it.
    const std::string& section = sections[(data[0] >> 5) % sections.size()];
    std::vector<char> keyList(room);
    const win::DWORD k = files.GetPrivateProfileStringA(section.c_str(), nullptr, "", keyList.data(), room, kFile);
    const std::vector<std::string> keys = k == 0 ? std::vector<std::string>{} : CheckList(keyList, k);
    for (const std::string& key : keys) {
        if (key.find_first_of("\r\n=") != std::string::npos) std::abort();
        const std::string value = Get(files, section.c_str(), key.c_str(), room, &r);
        const std::string truncated = Get(files, section.c_str(), key.c_str(), small, &r);
        if (!IsPrefix(truncated, value)) std::abort();
        if (value.find_first_of("\r\n") != std::string::npos) std::abort();
    }
    return 0;
}
