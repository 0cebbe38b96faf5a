// What the logging services share: the machine their calls go to, the log
// and the lock that keeps lines whole when threads log at once.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/logging/call_line.h"
#include "platform/logging/call_log.h"
#include "platform/machine.h"

namespace platform::logging {

class CallRecorder {
public:
    CallRecorder(Machine& inner, CallLog& log) : m_inner(inner), m_log(log) {}

    Machine& inner() { return m_inner; }
    void Write(const std::string& line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.Record(line);
    }

private:
    Machine& m_inner;
    CallLog& m_log;
    std::mutex m_mutex;
};

// The last error the inner call left, read when it is made and set back
// when it goes: whatever the logging does in between (allocating, locking,
// the log's own writes, asking the system for the error's text) must not
// change what the caller reads next.
class KeptError : public CallError {
public:
    explicit KeptError(Machine& machine) : m_machine(machine), m_error(machine.GetLastError()) {}
    ~KeptError() override { m_machine.SetLastError(m_error); }
    KeptError(const KeptError&) = delete;
    KeptError& operator=(const KeptError&) = delete;

    win::DWORD value() const { return m_error; }
    win::DWORD code() const override { return m_error; }
    // The system's text; none for a code it has no text for, which the seam
    // reads "Unknown error <code>.".
    std::string text() const override {
        std::string message = m_machine.serial().FormatSystemMessage(m_error);
        return message == "Unknown error " + std::to_string(m_error) + "." ? std::string() : message;
    }

private:
    Machine& m_machine;
    win::DWORD m_error;
};

// What a handle stands for (a printer's name, a key's path), so that the
// lines of later calls on it can say so.
class HandleNames {
public:
    template <typename Handle>
    void Remember(Handle handle, std::string name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_names[Key(handle)] = std::move(name);
    }
    template <typename Handle>
    bool Find(Handle handle, std::string* name) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_names.find(Key(handle));
        if (it == m_names.end()) return false;
        *name = it->second;
        return true;
    }
    // The name quoted for a line; an unknown handle reads ?.
    template <typename Handle>
    std::string Quoted(Handle handle) const {
        std::string name;
        return Find(handle, &name) ? Quote(name.data(), name.size()) : "?";
    }
    template <typename Handle>
    void Forget(Handle handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_names.erase(Key(handle));
    }

private:
    template <typename Handle>
    static std::uintptr_t Key(Handle handle) {
        return reinterpret_cast<std::uintptr_t>(handle);
    }

    mutable std::mutex m_mutex;
    std::map<std::uintptr_t, std::string> m_names;
};

}  // namespace platform::logging
