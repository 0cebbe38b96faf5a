// Simulated machine: named mutexes that other processes see.
//
// A named mutex is a pair of lock files under sandboxRoot + "/mutexes":
// every handle to it holds a shared flock() on its ".held" file for as long
// as it is open, so the mutex exists exactly while some handle does, in
// this process or in another one on the same sandbox folder (the terminal
// front end), and dies with a process that ends without closing it. Whether
// a creator finds it existing (ERROR_ALREADY_EXISTS, as CreateMutexA on
// learn.microsoft.com describes) is decided under an exclusive lock on its
// ".guard" file. flock() locks belong to the open file description, so two
// simulated machines of one process on one sandbox see each other too.
//
// A private namespace is such an object as well (it exists while a handle
// to it is open), and its mutexes are kept apart from the global and local
// ones. Its boundary is the Administrators group: a machine whose caller is
// not elevated (a standard user, or an administrator's filtered token) can
// neither create nor open it. Whether the system has
// private namespaces at all is a setting (Wine and Windows XP have none).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sim/sim_env.h"
#include "platform/sync.h"

namespace platform::sim {

class SimSync : public platform::Sync {
public:
    SimSync(SimEnv& env, std::string sandboxRoot);
    ~SimSync() override;
    SimSync(const SimSync&) = delete;
    SimSync& operator=(const SimSync&) = delete;

    HANDLE CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) override;
    HANDLE CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                       HANDLE* privateNamespace) override;
    BOOL ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD flags) override;
    BOOL ReleaseMutex(HANDLE mutex) override;
    BOOL CloseHandle(HANDLE handle) override;

    // Who the process runs as (SimMachine::SetToken sets it); a token that
    // is not elevated still makes objects of global names.
    void SetCaller(SimToken caller);         // default: an elevated administrator
    void SetPrivateNamespaces(bool present);  // default: present

private:
    struct Handle {
        std::string key;  // the mutex's namespace and name, or unique to an unnamed one
        int heldFd = -1;  // -1 for an unnamed mutex
        bool isNamespace = false;
    };

    // A new handle to a mutex whose ".held" file is open (or -1: unnamed).
    HANDLE AddMutexHandle(Handle handle, bool created, BOOL initialOwner);
    // Ownership, kept for the mutexes this machine has handles to; only a
    // creator can own a mutex here, there being no wait function.
    struct Owner {
        std::thread::id thread;
        unsigned count = 0;
        int handles = 0;
    };

    // The ".held" file's descriptor, locked shared; -1 with *error set on
    // failure. *created tells whether no handle existed before.
    int OpenNamed(const std::string& relativePath, bool* created, win::DWORD* error);

    SimEnv& m_env;
    const std::string m_folder;
    std::mutex m_mutex;
    std::map<std::uintptr_t, Handle> m_handles;
    std::map<std::string, Owner> m_owners;
    std::uintptr_t m_nextHandle = 0x6000;
    SimToken m_caller = SimToken::kElevatedAdministrator;
    bool m_privateNamespaces = true;
};

}  // namespace platform::sim
