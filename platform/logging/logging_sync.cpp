// Logging machine: named mutexes.
#include "platform/logging/logging_sync.h"

namespace platform::logging {

HANDLE LoggingSync::CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) {
    const HANDLE result = inner().CreateMutexA(security, initialOwner, name);
    KeptError error(m_recorder.inner());
    if (result) m_mutexes.Remember(result, name ? name : "");
    m_recorder.Write(CallLine("CreateMutexA")
                         .Number("initialOwner", initialOwner ? 1 : 0)
                         .Text("name", name)
                         .Returns(result, error));
    return result;
}

BOOL LoggingSync::ReleaseMutex(HANDLE mutex) {
    const BOOL result = inner().ReleaseMutex(mutex);
    KeptError error(m_recorder.inner());
    m_recorder.Write(CallLine("ReleaseMutex").Raw("name", m_mutexes.Quoted(mutex)).Returns(result, error));
    return result;
}

BOOL LoggingSync::CloseHandle(HANDLE handle) {
    const BOOL result = inner().CloseHandle(handle);
    KeptError error(m_recorder.inner());
    const std::string name = m_mutexes.Quoted(handle);
    if (result) m_mutexes.Forget(handle);
    m_recorder.Write(CallLine("CloseHandle").Raw("mutex", name).Returns(result, error));
    return result;
}

}  // namespace platform::logging
