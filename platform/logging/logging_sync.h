// Logging machine: named mutexes. Creating one is logged ("already exists"
// when it was there before), and so are its release and close.
#pragma once

#include "platform/logging/call_recorder.h"
#include "platform/sync.h"

namespace platform::logging {

class LoggingSync : public Sync {
public:
    explicit LoggingSync(CallRecorder& recorder) : m_recorder(recorder) {}

    HANDLE CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) override;
    HANDLE CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                       HANDLE* privateNamespace) override;
    BOOL ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD flags) override;
    BOOL ReleaseMutex(HANDLE mutex) override;
    BOOL CloseHandle(HANDLE handle) override;

private:
    Sync& inner() { return m_recorder.inner().sync(); }

    CallRecorder& m_recorder;
    HandleNames m_mutexes;
};

}  // namespace platform::logging
