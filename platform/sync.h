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
    // The mutex `name` inside the private namespace `alias` whose boundary
    // is the BUILTIN\Administrators group, where a process of a standard
    // user can neither create the mutex first nor open it: the one call of
    // this seam that stands for several (CreateBoundaryDescriptorW,
    // AddSIDToBoundaryDescriptor, CreatePrivateNamespaceW with access for
    // SYSTEM and Administrators only, or OpenPrivateNamespaceW when another
    // process made it, then CreateMutexW of "alias\name"), because the
    // steps mean nothing apart. The mutex's handle, owned and with last
    // error 0 when new, not owned with ERROR_ALREADY_EXISTS when another
    // handle has it, as CreateMutexA; *privateNamespace receives the
    // namespace's handle, which must stay open while the mutex is held
    // (ClosePrivateNamespace after the mutex's CloseHandle). Null on
    // failure, with *privateNamespace null:
    //  - ERROR_NOT_SUPPORTED: the system has no private namespaces (before
    //    Vista; Wine, whose AddSIDToBoundaryDescriptor ends the process:
    //    it is never called unless CreateBoundaryDescriptorW succeeded);
    //  - ERROR_ACCESS_DENIED (or what else the system said): the caller is
    //    not in the Administrators group, or may not open the namespace.
    virtual HANDLE CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                               HANDLE* privateNamespace) = 0;
    // As kernel32's ClosePrivateNamespace; flags 0 leaves the namespace to
    // the other processes that have it open.
    virtual BOOL ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD flags) = 0;
    // Fails with ERROR_NOT_OWNER (288) when the calling thread does not own it.
    virtual BOOL ReleaseMutex(HANDLE mutex) = 0;
    // The mutex goes away with the last handle to it, in whatever process.
    virtual BOOL CloseHandle(HANDLE handle) = 0;
};

}  // namespace platform
