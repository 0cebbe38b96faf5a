// Logging machine: named mutexes.
#include "platform/logging/logging_sync.h"

namespace platform::logging {

HANDLE LoggingSync::CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) {
    const HANDLE result = inner().CreateMutexA(security, initialOwner, name);
    KeptError error(m_recorder.inner());
    if (result) m_mutexes.Remember(result, name ? name : "");
    const bool existed = result != nullptr && error.value() == win::ERROR_ALREADY_EXISTS;
    m_recorder.Write(CallLine("CreateMutexA")
                         .Number("initialOwner", initialOwner ? 1 : 0)
                         .Text("name", name)
                         .Returns(result, error) +
                     (existed ? ", already exists" : ""));
    return result;
}

HANDLE LoggingSync::CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                                HANDLE* privateNamespace) {
    const HANDLE result = inner().CreatePrivateNamespaceMutex(initialOwner, alias, name, privateNamespace);
    KeptError error(m_recorder.inner());
    const std::string path = std::string(alias ? alias : "") + "\\" + (name ? name : "");
    if (result) m_mutexes.Remember(result, path);
    if (result && privateNamespace && *privateNamespace) m_mutexes.Remember(*privateNamespace, alias ? alias : "");
    const bool existed = result != nullptr && error.value() == win::ERROR_ALREADY_EXISTS;
    m_recorder.Write(CallLine("CreatePrivateNamespaceMutex")
                         .Number("initialOwner", initialOwner ? 1 : 0)
                         .Text("namespace", alias)
                         .Text("name", name)
                         .Returns(result, error) +
                     (existed ? ", already exists" : ""));
    return result;
}

BOOL LoggingSync::ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD flags) {
    const BOOL result = inner().ClosePrivateNamespace(privateNamespace, flags);
    KeptError error(m_recorder.inner());
    const std::string name = m_mutexes.Quoted(privateNamespace);
    if (result) m_mutexes.Forget(privateNamespace);
    m_recorder.Write(
        CallLine("ClosePrivateNamespace").Raw("namespace", name).Number("flags", flags).Returns(result, error));
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
