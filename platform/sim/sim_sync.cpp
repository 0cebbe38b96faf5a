// Simulated machine: named mutexes that other processes see.
#include "platform/sim/sim_sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>

namespace platform::sim {

namespace {

constexpr win::DWORD kErrorNotOwner = 288;
constexpr char kGlobalPrefix[] = "Global\\";
constexpr char kLocalPrefix[] = "Local\\";
// Host file names stay well below NAME_MAX; a longer name is split into
// folders.
constexpr std::size_t kSegmentLength = 200;

BOOL Fail(win::DWORD error) {
    SetLastError(error);
    return 0;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Mutex names compare with case, and the host file system does too; only
// letters, digits, '_' and '-' are kept as they are, so that no name can
// climb out of the mutex folder.
std::string Encode(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0xF];
        }
    }
    std::string path;
    for (std::size_t i = 0; i < encoded.size(); i += kSegmentLength) {
        if (i > 0) path += '/';
        path += encoded.substr(i, kSegmentLength);
    }
    return path;
}

int OpenLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

int Lock(int fd, int operation) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

}  // namespace

SimSync::SimSync(SimEnv& env, std::string sandboxRoot) : m_env(env), m_folder(std::move(sandboxRoot) + "/mutexes") {}

SimSync::~SimSync() {
    for (auto& entry : m_handles) {
        if (entry.second.heldFd >= 0) ::close(entry.second.heldFd);
    }
}

int SimSync::OpenNamed(const std::string& relativePath, bool* created, win::DWORD* error) {
    const std::filesystem::path base = std::filesystem::path(m_folder) / relativePath;
    std::error_code ec;
    std::filesystem::create_directories(base.parent_path(), ec);
    const int guard = OpenLockFile(base.string() + ".guard");
    if (guard < 0 || Lock(guard, LOCK_EX) != 0) {
        if (guard >= 0) ::close(guard);
        *error = win::ERROR_ACCESS_DENIED;
        return -1;
    }
    int held = OpenLockFile(base.string() + ".held");
    if (held >= 0) {
        // Nobody else can take the exclusive lock while we hold the guard,
        // so turning ours into a shared one loses nothing.
        *created = Lock(held, LOCK_EX | LOCK_NB) == 0;
        if (Lock(held, LOCK_SH) != 0) {
            ::close(held);
            held = -1;
        }
    }
    ::close(guard);
    if (held < 0) *error = win::ERROR_ACCESS_DENIED;
    return held;
}

HANDLE SimSync::CreateMutexA(const win::SECURITY_ATTRIBUTES*, BOOL initialOwner, const char* name) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("CreateMutexA", &fault)) {
        Fail(fault);
        return nullptr;
    }
    Handle handle;
    bool created = true;
    if (name && *name) {
        std::string rest = name;
        std::string space = "local";
        if (StartsWith(rest, kGlobalPrefix)) {
            space = "global";
            rest.erase(0, sizeof(kGlobalPrefix) - 1);
        } else if (StartsWith(rest, kLocalPrefix)) {
            rest.erase(0, sizeof(kLocalPrefix) - 1);
        }
        // The object manager takes a backslash for a folder that is not there.
        if (rest.find('\\') != std::string::npos) {
            Fail(win::ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        handle.key = space + "/" + Encode(rest);
        win::DWORD error = 0;
        handle.heldFd = OpenNamed(handle.key, &created, &error);
        if (handle.heldFd < 0) {
            Fail(error);
            return nullptr;
        }
    }
    return AddMutexHandle(std::move(handle), created, initialOwner);
}

HANDLE SimSync::AddMutexHandle(Handle handle, bool created, BOOL initialOwner) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nextHandle += 4;
    if (handle.key.empty()) handle.key = "#" + std::to_string(m_nextHandle);
    Owner& owner = m_owners[handle.key];
    ++owner.handles;
    if (created && initialOwner) {
        owner.thread = std::this_thread::get_id();
        owner.count = 1;
    }
    m_handles.emplace(m_nextHandle, std::move(handle));
    SetLastError(created ? win::ERROR_SUCCESS : win::ERROR_ALREADY_EXISTS);
    return reinterpret_cast<HANDLE>(m_nextHandle);
}

HANDLE SimSync::CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                            HANDLE* privateNamespace) {
    if (privateNamespace != nullptr) *privateNamespace = nullptr;
    win::DWORD fault = 0;
    if (m_env.TakeFault("CreatePrivateNamespaceMutex", &fault)) {
        Fail(fault);
        return nullptr;
    }
    bool present = false;
    SimToken caller = SimToken::kElevatedAdministrator;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        present = m_privateNamespaces;
        caller = m_caller;
    }
    if (!present) {
        Fail(win::ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (privateNamespace == nullptr || alias == nullptr || *alias == '\0' || name == nullptr || *name == '\0' ||
        std::string(name).find('\\') != std::string::npos) {
        Fail(win::ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The boundary holds the Administrators group's SID: a token without it,
    // or with it for denying only, may neither create the namespace nor open it.
    if (!IsElevated(caller)) {
        Fail(win::ERROR_ACCESS_DENIED);
        return nullptr;
    }
    win::DWORD error = 0;
    bool namespaceCreated = false;
    Handle space;
    space.key = "namespace/" + Encode(alias);
    space.isNamespace = true;
    space.heldFd = OpenNamed(space.key, &namespaceCreated, &error);
    if (space.heldFd < 0) {
        Fail(error);
        return nullptr;
    }
    Handle mutex;
    bool created = true;
    mutex.key = "private/" + Encode(alias) + "/" + Encode(name);
    mutex.heldFd = OpenNamed(mutex.key, &created, &error);
    if (mutex.heldFd < 0) {
        ::close(space.heldFd);
        Fail(error);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nextHandle += 4;
        *privateNamespace = reinterpret_cast<HANDLE>(m_nextHandle);
        m_handles.emplace(m_nextHandle, std::move(space));
    }
    return AddMutexHandle(std::move(mutex), created, initialOwner);
}

BOOL SimSync::ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("ClosePrivateNamespace", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(privateNamespace));
    if (it == m_handles.end() || !it->second.isNamespace) return Fail(win::ERROR_INVALID_HANDLE);
    ::close(it->second.heldFd);
    m_handles.erase(it);
    return 1;
}

void SimSync::SetCaller(SimToken caller) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_caller = caller;
}

void SimSync::SetPrivateNamespaces(bool present) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_privateNamespaces = present;
}

BOOL SimSync::ReleaseMutex(HANDLE mutex) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("ReleaseMutex", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(mutex));
    if (it == m_handles.end() || it->second.isNamespace) return Fail(win::ERROR_INVALID_HANDLE);
    Owner& owner = m_owners[it->second.key];
    if (owner.count == 0 || owner.thread != std::this_thread::get_id()) return Fail(kErrorNotOwner);
    --owner.count;
    return 1;
}

BOOL SimSync::CloseHandle(HANDLE handle) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("CloseHandle", &fault)) return Fail(fault);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == m_handles.end() || it->second.isNamespace) return Fail(win::ERROR_INVALID_HANDLE);
    if (it->second.heldFd >= 0) ::close(it->second.heldFd);
    auto owner = m_owners.find(it->second.key);
    if (owner != m_owners.end() && --owner->second.handles == 0) m_owners.erase(owner);
    m_handles.erase(it);
    return 1;
}

}  // namespace platform::sim
