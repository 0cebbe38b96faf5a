// One line of the call log, built argument by argument:
//   DeletePortA(port="LPT9:") -> 0, error 1796
// Texts are quoted with their bytes as they are (code page 936 included);
// a '"' inside is doubled and a control byte is written as \xNN, so that no
// name can end a line or fake another one. Backslashes are left alone: the
// arguments are mostly Windows paths.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform::logging {

std::string Quote(const char* text);  // "text", or null
std::string Quote(const char* text, std::size_t length);

class CallLine {
public:
    explicit CallLine(const char* function);

    CallLine& Text(const char* label, const char* value);       // label="value"
    CallLine& Text(const char* label, const std::string& value);
    CallLine& Number(const char* label, unsigned long long value);  // label=123
    CallLine& Raw(const char* label, const std::string& value);  // label=value, as given
    // Only when value is not null: the server a spooler call goes to.
    CallLine& Server(const char* value);

    // The finished line: the result, then the thread's last error.
    std::string Returns(long long result, win::DWORD error) const;
    // A handle result reads "handle", "null" or "invalid".
    std::string Returns(win::HANDLE result, win::DWORD error) const;
    // A registry call gives its error as its result.
    std::string ReturnsCode(win::LONG code) const;

private:
    CallLine& Append(const char* label, const std::string& value);

    std::string m_line;
    bool m_first = true;
};

// ", 3 found: "COM1:", "LPT1:", "FILE:"" for an enumeration's line.
std::string FoundNames(const std::vector<std::string>& names);

}  // namespace platform::logging
