// Reading the headers and the export names of a PE image.
#include "tools/driver_package/pe_image.h"

#include <cstdio>

namespace driver_package {

namespace {

constexpr std::uint16_t kFileDll = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// A real DLL exports a few thousand names at most; a damaged count must not
// make the walk run long.
constexpr std::uint32_t kMaxExportNames = 65536;

class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    bool Has(std::uint64_t at, std::uint64_t size) const { return at <= m_bytes.size() && size <= m_bytes.size() - at; }

    std::uint32_t Le(std::uint64_t at, int size) const {
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(m_bytes[at + static_cast<size_t>(i)]);
        return v;
    }

    // A zero-ended name at `at`, false when it runs past the end.
    bool Name(std::uint64_t at, std::string* out) const {
        if (at >= m_bytes.size()) return false;
        const size_t end = m_bytes.find('\0', static_cast<size_t>(at));
        if (end == std::string_view::npos) return false;
        *out = std::string(m_bytes.substr(static_cast<size_t>(at), end - static_cast<size_t>(at)));
        return true;
    }

private:
    std::string_view m_bytes;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// The file offset of an address in the image, false when no section's file
// data holds it.
bool FileOffset(const std::vector<Section>& sections, std::uint32_t rva, std::uint64_t* offset) {
    for (const Section& s : sections) {
        const std::uint64_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
            const std::uint32_t into = rva - s.virtualAddress;
            if (into >= s.rawSize) return false;
            *offset = static_cast<std::uint64_t>(s.rawOffset) + into;
            return true;
        }
    }
    return false;
}

bool ReadExports(const Reader& r, const std::vector<Section>& sections, std::uint32_t directoryRva,
                 std::vector<std::string>* names) {
    std::uint64_t directory = 0;
    if (!FileOffset(sections, directoryRva, &directory) || !r.Has(directory, 40)) return false;
    const std::uint32_t count = r.Le(directory + 24, 4);
    if (count > kMaxExportNames) return false;
    std::uint64_t table = 0;
    if (count > 0 && (!FileOffset(sections, r.Le(directory + 32, 4), &table) || !r.Has(table, 4ull * count))) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t at = 0;
        std::string name;
        if (!FileOffset(sections, r.Le(table + 4ull * i, 4), &at) || !r.Name(at, &name)) return false;
        names->push_back(name);
    }
    return true;
}

}  // namespace

PeImage InspectPeImage(std::string_view bytes) {
    PeImage image;
    const Reader r(bytes);
    if (!r.Has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return image;
    const std::uint64_t pe = r.Le(0x3C, 4);
    if (!r.Has(pe, 24) || bytes.substr(static_cast<size_t>(pe), 4) != std::string_view("PE\0\0", 4)) return image;
    const std::uint64_t coff = pe + 4;
    const std::uint32_t sectionCount = r.Le(coff + 2, 2);
    const std::uint32_t optionalSize = r.Le(coff + 16, 2);
    const std::uint64_t optional = coff + 20;
    if (!r.Has(optional, optionalSize) || optionalSize < 2) return image;
    const std::uint32_t magic = r.Le(optional, 2);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) return image;
    image.isPe = true;
    image.machine = static_cast<std::uint16_t>(r.Le(coff, 2));
    image.isDll = (r.Le(coff + 18, 2) & kFileDll) != 0;

    std::vector<Section> sections;
    const std::uint64_t table = optional + optionalSize;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t at = table + 40ull * i;
        if (!r.Has(at, 40)) {
            image.exportsReadable = false;
            return image;
        }
        sections.push_back({r.Le(at + 12, 4), r.Le(at + 8, 4), r.Le(at + 16, 4), r.Le(at + 20, 4)});
    }
    // The data directories follow the fixed part of the optional header;
    // the export table is the first of them.
    const std::uint32_t directories = magic == kMagicPe32 ? 96 : 112;
    if (optionalSize < directories + 8 || r.Le(optional + directories - 4, 4) < 1) return image;
    const std::uint32_t exportRva = r.Le(optional + directories, 4);
    if (exportRva == 0) return image;
    image.exportsReadable = ReadExports(r, sections, exportRva, &image.exports);
    return image;
}

std::string MachineName(std::uint16_t machine) {
    if (machine == kMachineI386) return "i386";
    if (machine == kMachineAmd64) return "x86-64";
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", machine);
    return text;
}

}  // namespace driver_package
