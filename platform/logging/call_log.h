// Where a LoggingMachine writes its lines: one line per call, without a line
// break, in the program's narrow code page. Record is never called by two
// threads at once for one LoggingMachine.
#pragma once

#include <string>

namespace platform::logging {

class CallLog {
public:
    virtual ~CallLog() = default;
    virtual void Record(const std::string& line) = 0;
};

}  // namespace platform::logging
