// Simulated machine (Linux host): unpacking the driver package with libarchive.
#include "platform/sim/sim_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>
#include <memory>
#include <vector>

#include "platform/archive_paths.h"

namespace platform::sim {

namespace {

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

ArchivePtr OpenArchive(const std::string& hostPath) {
    ArchivePtr a(archive_read_new());
    if (!a) return nullptr;
    archive_read_support_format_all(a.get());
    archive_read_support_filter_all(a.get());
    if (archive_read_open_filename(a.get(), hostPath.c_str(), 16384) != ARCHIVE_OK) return nullptr;
    return a;
}

struct PlannedEntry {
    std::string relativePath;  // "Ticket\x86\uniDRV.DLL"
    bool isFolder = false;
    bool alreadyThere = false;  // a file with the entry's bytes is in its place
};

std::string ErrorText(archive* a, const char* fallback) {
    const char* message = archive_error_string(a);
    return message ? message : fallback;
}

std::uint32_t Le(const std::string& b, size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

// The cabinet checksum: 32-bit little-endian words XORed, the 1 to 3 bytes
// left over taken high byte first.
std::uint32_t CabChecksum(const std::string& b, size_t at, size_t size, std::uint32_t seed) {
    std::uint32_t sum = seed;
    size_t words = size / 4;
    for (size_t i = 0; i < words; ++i) sum ^= Le(b, at + 4 * i, 4);
    std::uint32_t tail = 0;
    size_t p = at + 4 * words;
    switch (size % 4) {
        case 3: tail |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[p++])) << 16; [[fallthrough]];
        case 2: tail |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[p++])) << 8; [[fallthrough]];
        case 1: tail |= static_cast<unsigned char>(b[p++]); break;
        default: break;
    }
    return sum ^ tail;
}

// Reads pieces of a file at given offsets, so that a check of the whole
// package holds one data block at a time, never the package.
class PieceReader {
public:
    // Only a regular file opens: a pipe or a device in the package's place
    // would block or never end.
    explicit PieceReader(const std::string& hostPath)
        : m_fd(::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)) {
        struct stat st;
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~PieceReader() {
        if (m_fd >= 0) ::close(m_fd);
    }
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    // The `size` bytes at `at` into *out (which keeps its capacity); false
    // when the file ends before them.
    bool Read(std::uint64_t at, size_t size, std::string* out) const {
        out->resize(size);
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(m_fd, out->data() + done, size - done, static_cast<off_t>(at + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                out->resize(done);
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

// libarchive does not check the checksum of a folder's last data block, and
// a damaged deflate stream can still inflate to the wrong bytes: check every
// block of a cabinet as the Windows cabinet library does. False when a
// block is damaged or cut off.
bool CabinetChecksumsHold(const PieceReader& file, std::string* why) {
    std::string b;
    if (!file.Read(0, 36, &b) || b.compare(0, 4, "MSCF") != 0) return true;  // not a cabinet: libarchive decides
    unsigned folders = Le(b, 26, 2);
    unsigned flags = Le(b, 30, 2);
    if (flags & 0x3) return true;  // cabinet sets are refused by libarchive anyway
    std::uint64_t at = 36;
    unsigned folderReserve = 0, dataReserve = 0;
    if (flags & 0x4) {
        if (!file.Read(36, 4, &b)) return false;
        unsigned headerReserve = Le(b, 0, 2);
        folderReserve = Le(b, 2, 1);
        dataReserve = Le(b, 3, 1);
        at = 40 + headerReserve;
    }
    std::string header;
    std::string data;
    for (unsigned f = 0; f < folders; ++f) {
        if (!file.Read(at + f * (8ull + folderReserve), 8, &b)) {
            *why = "folder table cut off";
            return false;
        }
        std::uint64_t block = Le(b, 0, 4);
        unsigned blocks = Le(b, 4, 2);
        for (unsigned k = 0; k < blocks; ++k) {
            if (!file.Read(block, 8 + dataReserve, &header)) {
                *why = "data block cut off";
                return false;
            }
            std::uint32_t stored = Le(header, 0, 4);
            size_t size = Le(header, 4, 2);
            if (!file.Read(block + 8 + dataReserve, size, &data)) {
                *why = "data block cut off";
                return false;
            }
            if (stored != 0 && CabChecksum(header, 4, 4 + dataReserve, CabChecksum(data, 0, size, 0)) != stored) {
                *why = "checksum error in data block " + std::to_string(k) + " of folder " + std::to_string(f);
                return false;
            }
            block += 8 + dataReserve + size;
        }
    }
    return true;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

SimArchive::SimArchive(SimEnv& env, SimFiles& files) : m_env(env), m_files(files) {}

win::HMODULE SimArchive::LoadUnpacker() {
    win::DWORD error = 0;
    if (m_env.TakeFault("LoadUnpacker", &error)) {
        SetLastError(error);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    win::HMODULE module = reinterpret_cast<win::HMODULE>(static_cast<std::uintptr_t>(m_nextModule));
    m_nextModule += 0x10000;
    m_loaded.insert(module);
    return module;
}

bool SimArchive::HasEntryPoints(win::HMODULE module) {
    m_env.Record("HasEntryPoints");
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasEntryPoints && m_loaded.count(module) != 0;
}

win::BOOL SimArchive::FreeLibrary(win::HMODULE module) {
    win::DWORD error = 0;
    if (m_env.TakeFault("FreeLibrary", &error)) {
        SetLastError(error);
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_loaded.erase(module) == 0) {
        SetLastError(win::ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

void SimArchive::SetHasEntryPoints(bool hasEntryPoints) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hasEntryPoints = hasEntryPoints;
}

int SimArchive::LoadedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_loaded.size());
}

std::string SimArchive::LastFailure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastFailure;
}

int SimArchive::Fail(int result, const std::string& why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastFailure = why;
    return result;
}

int SimArchive::Extract(win::HMODULE module, const char* archivePath, const char* outputFolder,
                        std::vector<std::string>* unpacked) {
    if (unpacked) unpacked->clear();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastFailure.clear();
        if (m_loaded.count(module) == 0) {
            m_lastFailure = "unpacker not loaded";
            return SIMARCHIVE_NOT_LOADED;
        }
    }
    win::DWORD error = 0;
    if (m_env.TakeFault("Extract", &error)) return Fail(SIMARCHIVE_FAULT, "injected fault");

    SimFiles::Resolution source = m_files.Resolve(archivePath ? archivePath : "");
    if (source.error || !source.exists || source.isLink || source.isDirectory) {
        return Fail(SIMARCHIVE_NO_ARCHIVE, "no archive at " + std::string(archivePath ? archivePath : "(null)"));
    }
    SimFiles::Resolution output = m_files.Resolve(outputFolder ? outputFolder : "");
    if (output.error || !output.exists || output.isLink || !output.isDirectory) {
        return Fail(SIMARCHIVE_NO_ARCHIVE, "no output folder " + std::string(outputFolder ? outputFolder : "(null)"));
    }
    std::string outputRoot = output.isRoot ? std::string("C:") : output.winPath;

    {
        PieceReader file(source.hostPath);
        std::string why;
        if (!file.IsOpen()) return Fail(SIMARCHIVE_NO_ARCHIVE, "cannot read the archive");
        if (!CabinetChecksumsHold(file, &why)) return Fail(SIMARCHIVE_CORRUPT, why);
    }

    // Pass 1: read every header and refuse the whole archive for one bad
    // entry, before anything is written: unsafe or colliding names, entries
    // outside the package's roots, too much in all, a link or junction on
    // the way, or a file of different bytes already in an entry's place.
    std::vector<PlannedEntry> plan;
    std::set<std::string> checkedFolders;
    PackageEntryCheck check;
    {
        ArchivePtr a = OpenArchive(source.hostPath);
        if (!a) return Fail(SIMARCHIVE_CORRUPT, "not an archive");
        for (;;) {
            archive_entry* entry = nullptr;
            int r = archive_read_next_header(a.get(), &entry);
            if (r == ARCHIVE_EOF) break;
            if (r < ARCHIVE_WARN) return Fail(SIMARCHIVE_CORRUPT, ErrorText(a.get(), "bad header"));
            const char* name = archive_entry_pathname(entry);
            if (!name) return Fail(SIMARCHIVE_REFUSED, "entry without a readable name");
            if (archive_entry_hardlink(entry) || archive_entry_filetype(entry) == AE_IFLNK) {
                return Fail(SIMARCHIVE_REFUSED, std::string("link entry ") + name);
            }
            mode_t type = archive_entry_filetype(entry);
            if (type != AE_IFREG && type != AE_IFDIR) {
                return Fail(SIMARCHIVE_REFUSED, std::string("special entry ") + name);
            }
            PlannedEntry planned;
            planned.isFolder = type == AE_IFDIR;
            std::vector<std::string> components;
            la_int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
            PackageProblem problem = check.Add(name, planned.isFolder ? 0 : static_cast<std::uint64_t>(std::max<la_int64_t>(size, 0)),
                                               planned.isFolder, &components);
            if (problem != PackageProblem::kNone) return Fail(SIMARCHIVE_REFUSED, check.Describe());
            for (const std::string& component : components) {
                if (!planned.relativePath.empty()) planned.relativePath += '\\';
                planned.relativePath += component;
            }
            // The Windows unpacker could not create a longer path either.
            if (outputRoot.size() + 1 + planned.relativePath.size() >= static_cast<size_t>(win::MAX_PATH)) {
                return Fail(SIMARCHIVE_REFUSED, std::string("path too long: ") + name);
            }
            std::string folder = outputRoot;
            for (size_t i = 0; i < components.size(); ++i) {
                folder += "\\" + components[i];
                if (i + 1 == components.size()) break;
                if (!checkedFolders.insert(folder).second) continue;
                SimFiles::Resolution step = m_files.Resolve(folder);
                if (step.error == win::ERROR_ACCESS_DENIED || step.isLink) {
                    return Fail(SIMARCHIVE_REFUSED, "link or junction on the way to " + folder);
                }
                if (step.exists && !step.isDirectory) return Fail(SIMARCHIVE_REFUSED, "a file in the way: " + folder);
            }
            SimFiles::Resolution target = m_files.Resolve(folder);
            if (target.error == win::ERROR_ACCESS_DENIED || target.isLink) {
                return Fail(SIMARCHIVE_REFUSED, "link or junction in the place of " + folder);
            }
            if (target.exists && target.isDirectory != planned.isFolder) {
                return Fail(SIMARCHIVE_REFUSED, "something else in the place of " + folder);
            }
            if (target.exists && !planned.isFolder) {
                // Only a copy of the entry itself, left by an earlier run, may
                // stand where it goes: anything else is not the package's.
                std::optional<std::string> present = m_files.ReadFile(folder);
                std::string bytes;
                char buffer[16384];
                for (;;) {
                    la_ssize_t n = archive_read_data(a.get(), buffer, sizeof buffer);
                    if (n < 0) return Fail(SIMARCHIVE_CORRUPT, ErrorText(a.get(), "bad data"));
                    if (n == 0) break;
                    bytes.append(buffer, static_cast<size_t>(n));
                    if (!present || bytes.size() > present->size()) break;
                }
                if (!present || bytes != *present) return Fail(SIMARCHIVE_REFUSED, "would overwrite " + folder);
                planned.alreadyThere = true;
            } else if (archive_read_data_skip(a.get()) < ARCHIVE_WARN) {
                return Fail(SIMARCHIVE_CORRUPT, ErrorText(a.get(), "bad data"));
            }
            plan.push_back(planned);
        }
    }

    // Pass 2: write. Each file goes to a temporary name in its folder and
    // is renamed only when complete, so a bad entry leaves no partial file.
    ArchivePtr a = OpenArchive(source.hostPath);
    if (!a) return Fail(SIMARCHIVE_CORRUPT, "archive vanished");
    std::vector<std::string> files;
    for (const PlannedEntry& planned : plan) {
        archive_entry* entry = nullptr;
        if (archive_read_next_header(a.get(), &entry) < ARCHIVE_WARN) {
            return Fail(SIMARCHIVE_CORRUPT, ErrorText(a.get(), "bad header"));
        }
        std::string target = outputRoot + "\\" + planned.relativePath;
        if (!planned.isFolder) files.push_back(planned.relativePath);
        if (planned.alreadyThere) continue;
        if (planned.isFolder) {
            if (m_files.CreateFolders(target).error) return Fail(SIMARCHIVE_WRITE_FAILED, "cannot create " + target);
            continue;
        }
        size_t cut = target.find_last_of('\\');
        SimFiles::Resolution folder = m_files.CreateFolders(target.substr(0, cut));
        if (folder.error) return Fail(SIMARCHIVE_WRITE_FAILED, "cannot create the folder of " + target);
        SimFiles::Resolution file = m_files.Resolve(target);
        if (file.error || file.isLink || file.isDirectory) {
            return Fail(SIMARCHIVE_WRITE_FAILED, "cannot write " + target);
        }
        if (file.exists && (m_files.GetFileAttributesA(target.c_str()) & win::FILE_ATTRIBUTE_READONLY)) {
            return Fail(SIMARCHIVE_WRITE_FAILED, "read-only " + target);
        }
        std::string temp = folder.hostPath + "/.~extract-XXXXXX";
        int fd = ::mkstemp(temp.data());
        if (fd < 0) return Fail(SIMARCHIVE_WRITE_FAILED, "cannot create a temporary file for " + target);
        bool ok = true;
        std::string why;
        char buffer[16384];
        for (;;) {
            la_ssize_t n = archive_read_data(a.get(), buffer, sizeof buffer);
            if (n == 0) break;
            if (n < 0) {
                ok = false;
                why = ErrorText(a.get(), "bad data");
                break;
            }
            if (!WriteAll(fd, buffer, static_cast<size_t>(n))) {
                ok = false;
                why = "write failed";
                break;
            }
        }
        ::fchmod(fd, 0644);
        if (::close(fd) != 0) ok = false;
        if (ok && !m_files.PlaceHostFile(temp, file.hostPath)) {
            ok = false;
            why = "cannot rename onto " + target;
        }
        if (!ok) {
            ::unlink(temp.c_str());
            return Fail(why == "write failed" || why.rfind("cannot", 0) == 0 ? SIMARCHIVE_WRITE_FAILED
                                                                                : SIMARCHIVE_CORRUPT,
                        why + " (" + target + ")");
        }
    }
    if (unpacked) *unpacked = std::move(files);
    return 0;
}

}  // namespace platform::sim
