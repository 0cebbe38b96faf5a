// The run's log: UTF-8 text with a byte-order mark, one event a line with
// its local time, written whole and flushed so that a run that is killed
// still leaves what it did. Lines arrive in the program's code page and are
// converted on the way out. Any thread may write.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

namespace unattended {

class RunLog {
public:
    using Converter = std::function<std::string(const std::string& text)>;

    // `toUtf8` turns the program's narrow texts into UTF-8. `out` is
    // appended to: runs share the default log, and a second run must not
    // cut off the first one's lines. A byte-order mark starts an empty file.
    RunLog(std::unique_ptr<std::ostream> out, Converter toUtf8);

    void Record(const std::string& line);
    bool Good() const;

private:
    std::unique_ptr<std::ostream> m_out;
    Converter m_toUtf8;
    mutable std::mutex m_mutex;
};

// Opens `path` for appending; null when it cannot be written.
std::unique_ptr<std::ostream> OpenLogFile(const std::string& path);

}  // namespace unattended
