// Named kernel objects shared between processes: the mutex by which every
// run of the installer tells whether another one is already running.
#pragma once

#include "platform/win_types.h"

namespace platform {

using win::BOOL;
using win::HANDLE;

class Sync {
public:
    virtual ~Sync() = default;

    // As kernel32's CreateMutexA. A new mutex is owned by the calling thread
    // when initialOwner is TRUE, and the last error is 0. When a mutex of
    // that name already exists anywhere on the machine, the call returns a
    // handle to it, does not take ownership, and sets the last error to
    // ERROR_ALREADY_EXISTS. Names are compared with case; "Global\" and
    // "Local\" choose the namespace, and any other backslash fails with
    // ERROR_PATH_NOT_FOUND. A null name makes a mutex nobody else can find.
    virtual HANDLE CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) = 0;
    // Fails with ERROR_NOT_OWNER (288) when the calling thread does not own it.
    virtual BOOL ReleaseMutex(HANDLE mutex) = 0;
    // The mutex goes away with the last handle to it, in whatever process.
    virtual BOOL CloseHandle(HANDLE handle) = 0;
};

}  // namespace platform
