// What every service of the simulated machine shares: the thread's last
// error, the faults a test has injected, and the log of calls made.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform::sim {

// The calling thread's last error, shared by all simulated machines as it is
// shared by all of a process's calls on Windows.
win::DWORD LastError();
void SetLastError(win::DWORD code);

// Windows compares registry, service and file names without regard to case.
// Names are CP936 bytes: only ASCII letters fold, and the trail byte of a
// double-byte character is never folded (it may fall in the ASCII range).
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// Who the simulated process runs as, as its token tells: a standard user; an
// administrator before elevation (UAC's filtered token: the Administrators
// group for denying only, an ordinary user's privileges); an elevated
// administrator; or SYSTEM (a service, a deployment engine's agent).
enum class SimToken { kStandardUser, kAdministrator, kElevatedAdministrator, kSystem };

// Whether the token may act as an administrator.
inline bool IsElevated(SimToken token) {
    return token == SimToken::kElevatedAdministrator || token == SimToken::kSystem;
}

class SimEnv {
public:
    // The next `times` calls of `operation` (the Win32 name, such as
    // "AddPrinterDriverExA") fail with `error`, after `skip` calls that are
    // let through. times < 0: every call from then on.
    void InjectFault(const std::string& operation, win::DWORD error, int times = 1, int skip = 0);
    void ClearFaults();

    // Called at the top of every simulated operation: records the call and
    // returns true with *error set when an injected fault applies. The
    // operation then fails with that error, as the real one would.
    bool TakeFault(const std::string& operation, win::DWORD* error);

    // Records a call without consulting faults (for calls that cannot fail).
    void Record(const std::string& operation);

    // While one is alive on a thread, that thread's calls are the simulated
    // machine's own work (the spooler reading its registry data as it
    // starts): they are neither recorded nor failed, so that a fault meant
    // for the installer's next call is not spent on them.
    class InternalScope {
    public:
        InternalScope();
        ~InternalScope();
        InternalScope(const InternalScope&) = delete;
        InternalScope& operator=(const InternalScope&) = delete;
        // Whether the calling thread is in one: the machine's own services
        // are native programs, which WOW64 never redirects.
        static bool Active();
    };

    std::vector<std::string> Calls() const;
    int CallCount(const std::string& operation) const;
    void ClearCalls();

private:
    struct Fault {
        win::DWORD error;
        int times;
        int skip;
    };
    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<Fault>> m_faults;
    std::vector<std::string> m_calls;
};

}  // namespace platform::sim
