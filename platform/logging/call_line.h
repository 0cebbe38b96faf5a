// One line of the call log, built argument by argument:
//   DeletePortA(port="LPT9:") -> 0, error 1796 (The specified port is unknown.)
//   AddPortA(monitor="Local Port") -> 1
// A system error is shown only after a call that failed: what a successful
// call leaves in the last error means nothing, and reads as a fault.
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

// The last error a call left, and the system's text for it (empty when the
// system has none).
class CallError {
public:
    virtual ~CallError() = default;
    virtual win::DWORD code() const = 0;
    virtual std::string text() const = 0;
};
class CallLine {
public:
    explicit CallLine(const char* function);

    CallLine& Text(const char* label, const char* value);       // label="value"
    CallLine& Text(const char* label, const std::string& value);
    CallLine& Number(const char* label, unsigned long long value);  // label=123
    CallLine& Raw(const char* label, const std::string& value);  // label=value, as given
    // Only when value is not null: the server a spooler call goes to.
    CallLine& Server(const char* value);

    // The finished line: the result, then, when it is 0 (FALSE), the error.
    std::string Returns(long long result, const CallError& error) const;
    // A handle result reads "handle", "null" or "invalid"; the last two failed.
    std::string Returns(win::HANDLE result, const CallError& error) const;
    // A result whose meaning the caller knows: the error follows a failure.
    std::string Returns(long long result, bool failed, const CallError& error) const;
    // A registry call gives its error as its result.
    std::string ReturnsCode(win::LONG code) const;

private:
    std::string Finish(const std::string& shown, bool failed, const CallError& error) const;
    CallLine& Append(const char* label, const std::string& value);

    std::string m_line;
    bool m_first = true;
};

// ", 3 found: "COM1:", "LPT1:", "FILE:"" for an enumeration's line.
std::string FoundNames(const std::vector<std::string>& names);

}  // namespace platform::logging
