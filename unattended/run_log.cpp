#include "unattended/run_log.h"

#include <chrono>
#include <ctime>
#include <fstream>

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
    *m_out << Timestamp() << "  " << flat << "\r\n" << std::flush;
}

bool RunLog::Good() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_out && m_out->good();
}

std::unique_ptr<std::ostream> OpenLogFile(const std::string& path) {
    auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::app);
    if (!file->is_open()) return nullptr;
    file->seekp(0, std::ios::end);
    return file;
}

}  // namespace unattended
