// The platform seam: the Windows services the installer's logic calls.
//
// The logic receives a Machine and calls nothing else of the system. Each
// service mirrors the Win32 calls it stands for: same operations, same
// arguments, same results, and the thread's last error readable right after
// a call. Two implementations exist: platform/win32 (the real system, a thin
// pass-through) and platform/sim (a simulated Windows machine in a sandbox
// folder, for tests and for the terminal front end).
#pragma once

#include "platform/archive.h"
#include "platform/devices.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/sync.h"
#include "platform/system_info.h"
#include "platform/win_types.h"

namespace platform {

class Machine {
public:
    virtual ~Machine() = default;

    virtual Spooler& spooler() = 0;
    virtual Registry& registry() = 0;
    virtual Services& services() = 0;
    virtual SystemInfo& system() = 0;
    virtual Files& files() = 0;
    virtual ArchiveLibrary& archive() = 0;
    virtual Serial& serial() = 0;
    virtual Devices& devices() = 0;
    virtual Sync& sync() = 0;

    // The calling thread's last error, as GetLastError/SetLastError.
    virtual win::DWORD GetLastError() = 0;
    virtual void SetLastError(win::DWORD code) = 0;
    virtual void Sleep(win::DWORD milliseconds) = 0;
    // Milliseconds since the system started, as GetTickCount: it wraps after
    // 49.7 days, so only differences of two readings mean anything.
    virtual win::DWORD GetTickCount() = 0;
    // The current time in UTC, as GetSystemTime.
    virtual void GetSystemTime(win::SYSTEMTIME* time) = 0;
};

}  // namespace platform
