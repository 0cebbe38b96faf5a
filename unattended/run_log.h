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

#include "platform/files.h"

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

// Opens the log at `path` (a path of `files`) for appending, making its
// missing folders. An elevated run may log into a folder where anyone can
// make entries (C:\Windows\Temp), so whatever is at that name must be a
// plain file with one name: a link, junction or other reparse point is
// never followed, and a file with more than one name (a hard link, whose
// other name may be any file) is never written. Null when it is refused
// or cannot be written, with *why saying which (`lastError` reads the
// error the calls of `files` leave).
std::unique_ptr<std::ostream> OpenLogFile(platform::Files& files, const std::function<win::DWORD()>& lastError,
                                          const std::string& path, std::string* why);

}  // namespace unattended
