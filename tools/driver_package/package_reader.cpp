// Reading a driver package from a cabinet or a folder.
#include "tools/driver_package/package_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/archive_paths.h"

namespace driver_package {

namespace fs = std::filesystem;

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

std::string ArchiveError(archive* a, const char* fallback) {
    const char* message = archive_error_string(a);
    return message ? message : fallback;
}

std::string TooLarge() {
    return "more than " + std::to_string(platform::kMaxArchiveTotalBytes) + " bytes: the installer refuses it";
}

std::string TooMany() {
    return "more than " + std::to_string(platform::kMaxArchiveEntries) + " entries: the installer refuses it";
}

bool ReadArchive(const std::string& path, PackageContents* contents, std::string* why) {
    ArchivePtr a(archive_read_new());
    archive_read_support_format_all(a.get());
    archive_read_support_filter_all(a.get());
    if (archive_read_open_filename(a.get(), path.c_str(), 16384) != ARCHIVE_OK) {
        *why = ArchiveError(a.get(), "cannot open it");
        return false;
    }
    std::uint64_t total = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            *why = ArchiveError(a.get(), "damaged");
            return false;
        }
        if (contents->entries.size() >= platform::kMaxArchiveEntries) {
            *why = TooMany();
            return false;
        }
        PackageEntry item;
        const char* name = archive_entry_pathname(entry);
        item.name = name ? name : "";
        const mode_t type = archive_entry_filetype(entry);
        const bool isLink = archive_entry_hardlink(entry) != nullptr || archive_entry_symlink(entry) != nullptr;
        item.kind = isLink ? EntryKind::kOther
                    : type == AE_IFDIR ? EntryKind::kFolder
                    : type == AE_IFREG ? EntryKind::kFile
                                       : EntryKind::kOther;
        if (item.kind == EntryKind::kFile) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            for (;;) {
                r = archive_read_data_block(a.get(), &block, &size, &offset);
                if (r == ARCHIVE_EOF) break;
                if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
                    *why = ArchiveError(a.get(), "damaged");
                    return false;
                }
                total += size;
                if (total > platform::kMaxArchiveTotalBytes) {
                    *why = TooLarge();
                    return false;
                }
                if (offset < 0 || static_cast<std::uint64_t>(offset) + size > platform::kMaxArchiveTotalBytes) {
                    *why = TooLarge();
                    return false;
                }
                // Sparse blocks leave zeros between them, as an unpacker writes them.
                if (item.bytes.size() < static_cast<size_t>(offset)) item.bytes.resize(static_cast<size_t>(offset));
                item.bytes.replace(static_cast<size_t>(offset), size, static_cast<const char*>(block), size);
            }
        }
        contents->entries.push_back(std::move(item));
    }
    return true;
}

bool ReadFolder(const fs::path& root, PackageContents* contents, std::string* why) {
    std::error_code ec;
    std::uint64_t total = 0;
    std::vector<fs::path> paths;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (paths.size() >= platform::kMaxArchiveEntries) {
            *why = TooMany();
            return false;
        }
        paths.push_back(it->path());
    }
    if (ec) {
        *why = ec.message();
        return false;
    }
    // Sorted, so that a package built from the folder is the same every time.
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths) {
        PackageEntry item;
        item.name = fs::relative(path, root).generic_string();
        const fs::file_status status = fs::symlink_status(path);
        // A cabinet holds files only: the folders come with their files.
        if (fs::is_directory(status)) continue;
        if (fs::is_symlink(status)) {
            item.kind = EntryKind::kOther;
        } else if (!fs::is_regular_file(status)) {
            item.kind = EntryKind::kOther;
        } else {
            std::ifstream in(path, std::ios::binary);
            const std::uintmax_t size = fs::file_size(path, ec);
            if (!in || ec) {
                *why = "cannot read " + path.string();
                return false;
            }
            total += size;
            if (total > platform::kMaxArchiveTotalBytes) {
                *why = TooLarge();
                return false;
            }
            item.bytes.resize(static_cast<size_t>(size));
            if (!in.read(item.bytes.data(), static_cast<std::streamsize>(size))) {
                *why = "cannot read " + path.string();
                return false;
            }
        }
        contents->entries.push_back(std::move(item));
    }
    return true;
}

}  // namespace

bool ReadPackage(const std::string& path, PackageContents* contents, std::string* why) {
    contents->entries.clear();
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        *why = "no such file or folder";
        return false;
    }
    const bool read = fs::is_directory(status) ? ReadFolder(path, contents, why) : ReadArchive(path, contents, why);
    if (!read) contents->entries.clear();
    return read;
}

}  // namespace driver_package
