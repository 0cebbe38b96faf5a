#include "unattended/run_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <streambuf>

namespace unattended {

namespace {

std::string Timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long long millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    // Called under the log's lock: nothing else in the program uses
    // localtime's shared buffer.
    const std::tm* local = std::localtime(&seconds);
    char text[40] = "0000-00-00 00:00:00";
    if (local != nullptr) std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", local);
    char result[48];
    std::snprintf(result, sizeof(result), "%s.%03lld", text, millis);
    return result;
}

// Appends to an open file of the platform, unbuffered: every line is
// written whole as it comes. Its position is the file's size, so that the
// log knows an empty file.
class HandleBuffer : public std::streambuf {
public:
    HandleBuffer(platform::Files& files, win::HANDLE file, unsigned long long size)
        : m_files(files), m_file(file), m_position(size) {}
    ~HandleBuffer() override { m_files.CloseHandle(m_file); }

protected:
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        win::DWORD written = 0;
        if (!m_files.WriteFile(m_file, data, static_cast<win::DWORD>(count), &written)) return 0;
        m_position += written;
        return written;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode) override {
        if (offset != 0 || way != std::ios_base::cur) return pos_type(off_type(-1));
        return pos_type(static_cast<off_type>(m_position));
    }

private:
    platform::Files& m_files;
    win::HANDLE m_file;
    unsigned long long m_position;
};

class LogStream : public std::ostream {
public:
    explicit LogStream(std::unique_ptr<HandleBuffer> buffer) : std::ostream(buffer.get()), m_buffer(std::move(buffer)) {}

private:
    std::unique_ptr<HandleBuffer> m_buffer;
};

// Each missing folder on the way, from the drive down: C:\ProgramData and
// C:\ProgramData\PrinterSetup for a /LOG whose folder is not there yet.
void MakeFolders(platform::Files& files, const std::string& folder) {
    for (std::size_t at = folder.find_first_of("\\/", 3); ; at = folder.find_first_of("\\/", at + 1)) {
        const std::string step = folder.substr(0, at);
        if (!step.empty() && step.back() != ':' && files.GetFileAttributesA(step.c_str()) == win::INVALID_FILE_ATTRIBUTES) {
            files.CreateDirectoryA(step.c_str(), nullptr);
        }
        if (at == std::string::npos) break;
    }
}

}  // namespace

RunLog::RunLog(std::unique_ptr<std::ostream> out, Converter toUtf8)
    : m_out(std::move(out)), m_toUtf8(std::move(toUtf8)) {
    if (m_out && m_out->tellp() == std::streampos(0)) *m_out << "\xEF\xBB\xBF" << std::flush;
}

void RunLog::Record(const std::string& line) {
    std::string text = m_toUtf8 ? m_toUtf8(line) : line;
    // One event, one line: the texts of boxes keep their breaks as "\n".
    std::string flat;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            flat += "\\n";
        } else {
            flat += c;
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_out) return;
    // One write a line: runs that share the log do not cut into each other's lines.
    const std::string whole = Timestamp() + "  " + flat + "\r\n";
    m_out->write(whole.data(), static_cast<std::streamsize>(whole.size()));
    m_out->flush();
}

bool RunLog::Good() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_out && m_out->good();
}

std::unique_ptr<std::ostream> OpenLogFile(platform::Files& files, const std::function<win::DWORD()>& lastError,
                                          const std::string& path, std::string* why) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos) MakeFolders(files, path.substr(0, cut));
    win::HANDLE file = files.CreateFileA(path.c_str(), win::FILE_APPEND_DATA, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                                         nullptr, win::OPEN_ALWAYS,
                                         win::FILE_ATTRIBUTE_NORMAL | win::FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == win::INVALID_HANDLE_VALUE) {
        *why = "it cannot be opened (error " + std::to_string(lastError()) + ")";
        return nullptr;
    }
    win::BY_HANDLE_FILE_INFORMATION information{};
    if (!files.GetFileInformationByHandle(file, &information)) {
        *why = "it cannot be examined";
    } else if ((information.dwFileAttributes & win::FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        *why = "it is a link (a reparse point), which a log never follows";
    } else if (information.nNumberOfLinks > 1) {
        *why = "it is a file with " + std::to_string(information.nNumberOfLinks) +
               " names (a hard link), which a log never writes";
    } else {
        const unsigned long long size =
            (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
        auto buffer = std::make_unique<HandleBuffer>(files, file, size);
        return std::make_unique<LogStream>(std::move(buffer));
    }
    files.CloseHandle(file);
    return nullptr;
}

}  // namespace unattended
