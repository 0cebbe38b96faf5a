#include "tests/support/package_builder.h"

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

std::string ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

std::string BuildArchive(const std::map<std::string, std::string>& entries) {
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(), archive_write_free);
    archive_write_set_format_pax_restricted(writer.get());
    std::string out;
    out.resize(64 << 20);
    size_t used = 0;
    archive_write_open_memory(writer.get(), out.data(), out.size(), &used);
    for (const auto& [name, bytes] : entries) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
        archive_write_header(writer.get(), entry.get());
        archive_write_data(writer.get(), bytes.data(), bytes.size());
    }
    archive_write_close(writer.get());
    out.resize(used);
    return out;
}

std::string BuildPackage(const PackageChanges& changes) {
    const fs::path root = fs::path(INSTALLER_SOURCE_DIR) / "driver" / "package";
    std::map<std::string, std::string> entries;
    for (const auto& file : fs::recursive_directory_iterator(root)) {
        if (!file.is_regular_file()) continue;
        entries[fs::relative(file.path(), root).generic_string()] = ReadHostFile(file.path());
    }
    for (const auto& [name, bytes] : changes) {
        if (bytes) {
            entries[name] = *bytes;
        } else {
            entries.erase(name);
        }
    }
    return BuildArchive(entries);
}

std::string ConfigFile(const std::vector<std::pair<std::string, std::vector<std::string>>>& sections) {
    std::string text;
    for (const auto& [section, names] : sections) {
        text += "[" + section + "]\r\n";
        for (size_t i = 0; i < names.size(); ++i) {
            text += "PrintName" + std::to_string(i + 1) + "=" + names[i] + "\r\n";
        }
    }
    return text;
}

}  // namespace testing_support
