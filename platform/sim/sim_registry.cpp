// Simulated machine: the registry, a tree of keys held in memory.
#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_wow64.h"

namespace platform::sim {

namespace {

using win::ERROR_ACCESS_DENIED;
using win::ERROR_FILE_NOT_FOUND;
using win::ERROR_INVALID_HANDLE;
using win::ERROR_INVALID_PARAMETER;
using win::ERROR_MORE_DATA;
using win::ERROR_NO_MORE_ITEMS;
using win::ERROR_SUCCESS;

constexpr char kCurrentControlSet[] = "SYSTEM\\CurrentControlSet";
constexpr char kControlSet001[] = "SYSTEM\\ControlSet001";
constexpr char kCurrentHardwareProfile[] = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";
// Asking for both views at once is refused (Windows 7 and later).
constexpr win::REGSAM kWow64Views = win::KEY_WOW64_64KEY | win::KEY_WOW64_32KEY;
// Deep enough for any real chain of links, small enough to stop a loop.
constexpr int kMaxLinkDepth = 8;

bool IsPredefined(HKEY hKey) {
    return hKey == win::HKEY_LOCAL_MACHINE || hKey == win::HKEY_CURRENT_USER ||
           hKey == win::HKEY_CURRENT_CONFIG;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

const char* TypeName(DWORD type) {
    switch (type) {
    case win::REG_NONE: return "REG_NONE";
    case win::REG_SZ: return "REG_SZ";
    case win::REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case win::REG_BINARY: return "REG_BINARY";
    case win::REG_DWORD: return "REG_DWORD";
    case win::REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return "REG_?";
    }
}

// Printable ASCII as is, everything else (CP936 included) as \xNN, so that
// a dump reads the same in any terminal.
std::string Escape(const std::string& text) {
    std::string out;
    char buf[8];
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string FormatData(DWORD type, const std::vector<BYTE>& data) {
    char buf[32];
    if ((type == win::REG_SZ || type == win::REG_EXPAND_SZ) && !data.empty() && data.back() == 0 &&
        std::memchr(data.data(), 0, data.size()) == &data.back()) {
        return "\"" + Escape(std::string(data.begin(), data.end() - 1)) + "\"";
    }
    if (type == win::REG_DWORD && data.size() == 4) {
        DWORD v = 0;
        std::memcpy(&v, data.data(), 4);
        std::snprintf(buf, sizeof buf, "0x%08X (%u)", v, v);
        return buf;
    }
    std::string out = "[";
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", data[i]);
        out += buf;
    }
    return out + "]";
}

}  // namespace

SimRegistry::SimRegistry(SimEnv& env) : m_env(env) {
    m_localMachine = std::make_shared<Key>();
    m_localMachine->name = "HKEY_LOCAL_MACHINE";
    m_currentUser = std::make_shared<Key>();
    m_currentUser->name = "HKEY_CURRENT_USER";
    m_currentConfig = std::make_shared<Key>();
    m_currentConfig->name = "HKEY_CURRENT_CONFIG";
    m_currentConfig->linkTarget = kCurrentHardwareProfile;

    // The control set and its link, then the profile that HKCC stands for.
    CreatePathLocked(win::HKEY_LOCAL_MACHINE, kControlSet001);
    auto system = FindPathLocked(win::HKEY_LOCAL_MACHINE, "SYSTEM");
    auto link = std::make_shared<Key>();
    link->name = "CurrentControlSet";
    link->linkTarget = kControlSet001;
    system->children.push_back(link);
    CreatePathLocked(win::HKEY_LOCAL_MACHINE, kCurrentHardwareProfile);
}

SimRegistry::~SimRegistry() = default;

// ---------------------------------------------------------------------------
// Tree walking

std::shared_ptr<SimRegistry::Key> SimRegistry::RootLocked(HKEY root) const {
    if (root == win::HKEY_LOCAL_MACHINE) return m_localMachine;
    if (root == win::HKEY_CURRENT_USER) return m_currentUser;
    if (root == win::HKEY_CURRENT_CONFIG) return m_currentConfig;
    return nullptr;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::FollowLinksLocked(std::shared_ptr<Key> key, Walk mode,
                                                                 LONG* error) const {
    for (int depth = 0; key && !key->linkTarget.empty(); ++depth) {
        if (depth == kMaxLinkDepth) {
            *error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        std::shared_ptr<Key> target = m_localMachine;
        for (const std::string& part : SplitPath(key->linkTarget)) {
            std::shared_ptr<Key> next;
            for (const auto& child : target->children) {
                if (SameName(child->name, part)) next = child;
            }
            if (!next) {
                if (mode != Walk::kCreate) {
                    *error = ERROR_FILE_NOT_FOUND;
                    return nullptr;
                }
                next = std::make_shared<Key>();
                next->name = part;
                target->children.push_back(next);
            }
            target = FollowLinksLocked(next, mode, error);
            if (!target) return nullptr;
        }
        key = target;
    }
    return key;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::WalkLocked(std::shared_ptr<Key> start, const std::string& path,
                                                          Walk mode, bool makeVolatile, bool* created,
                                                          LONG* error) const {
    if (created) *created = false;
    if (!path.empty() && path[0] == '\\') {
        *error = kErrorBadPathname;
        return nullptr;
    }
    std::shared_ptr<Key> key = FollowLinksLocked(start, mode, error);
    if (!key) return nullptr;
    for (const std::string& part : SplitPath(path)) {
        std::shared_ptr<Key> next;
        for (const auto& child : key->children) {
            if (SameName(child->name, part)) next = child;
        }
        if (!next) {
            if (mode != Walk::kCreate) {
                *error = ERROR_FILE_NOT_FOUND;
                return nullptr;
            }
            if (key->isVolatile && !makeVolatile) {
                *error = kErrorChildMustBeVolatile;
                return nullptr;
            }
            next = std::make_shared<Key>();
            next->name = part;
            next->isVolatile = makeVolatile;
            key->children.push_back(next);
            if (created) *created = true;
        } else if (created) {
            *created = false;
        }
        key = FollowLinksLocked(next, mode, error);
        if (!key) return nullptr;
    }
    return key;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::FindPathLocked(HKEY root, const std::string& path) const {
    auto start = RootLocked(root);
    if (!start) return nullptr;
    LONG error = 0;
    return WalkLocked(start, path, Walk::kOpen, false, nullptr, &error);
}

std::shared_ptr<SimRegistry::Key> SimRegistry::CreatePathLocked(HKEY root, const std::string& path) {
    auto start = RootLocked(root);
    if (!start) return nullptr;
    LONG error = 0;
    bool created = false;
    return WalkLocked(start, path, Walk::kCreate, false, &created, &error);
}

// ---------------------------------------------------------------------------
// Handles

HKEY SimRegistry::NewHandleLocked(std::shared_ptr<Key> key, REGSAM access) {
    auto handle = std::make_unique<Handle>();
    handle->key = std::move(key);
    handle->access = access;
    HKEY hKey = reinterpret_cast<HKEY>(handle.get());
    m_handles[hKey] = std::move(handle);
    return hKey;
}

std::optional<SimRegistry::Handle> SimRegistry::WalkFromHandleLocked(const Handle& parent, const std::string& subKey,
                                                                     REGSAM samDesired, Walk mode, bool makeVolatile,
                                                                     bool* created, LONG* error) const {
    Handle result;
    result.access = samDesired;
    // A native caller has one view; a 32-bit one on 64-bit Windows keeps the
    // parent's unless it names one.
    result.view32 = m_wow64 && !SimEnv::InternalScope::Active() && !(samDesired & win::KEY_WOW64_64KEY) &&
                    ((samDesired & win::KEY_WOW64_32KEY) || parent.view32);
    std::shared_ptr<Key> start = parent.key;
    std::string path = subKey;
    if (parent.localMachinePath) {
        const std::string& base = *parent.localMachinePath;
        result.localMachinePath = base.empty() || subKey.empty() ? base + subKey : base + "\\" + subKey;
        if (result.view32) {
            const std::string redirected = Wow64RegistryPath(*result.localMachinePath);
            if (redirected != *result.localMachinePath) {
                start = m_localMachine;
                path = redirected;
            }
        }
    }
    result.key = WalkLocked(start, path, mode, makeVolatile, created, error);
    if (!result.key) return std::nullopt;
    return result;
}

std::optional<SimRegistry::Handle> SimRegistry::HandleForLocked(HKEY hKey, LONG* error) const {
    if (IsPredefined(hKey)) {
        LONG walkError = 0;
        auto key = FollowLinksLocked(RootLocked(hKey), Walk::kOpen, &walkError);
        if (!key) {
            *error = walkError;
            return std::nullopt;
        }
        Handle handle;
        handle.key = key;
        handle.access = win::KEY_ALL_ACCESS;
        if (hKey == win::HKEY_LOCAL_MACHINE) {
            handle.localMachinePath = std::string();
            handle.view32 = m_wow64 && !SimEnv::InternalScope::Active();
        }
        return handle;
    }
    auto it = m_handles.find(hKey);
    if (it == m_handles.end()) {
        *error = ERROR_INVALID_HANDLE;
        return std::nullopt;
    }
    if (it->second->key->deleted) {
        *error = kErrorKeyDeleted;
        return std::nullopt;
    }
    return *it->second;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::KeyForLocked(HKEY hKey, LONG* error) const {
    auto handle = HandleForLocked(hKey, error);
    return handle ? handle->key : nullptr;
}

SimRegistry::Value* SimRegistry::FindValue(Key& key, const std::string& name) {
    for (Value& value : key.values) {
        if (SameName(value.name, name)) return &value;
    }
    return nullptr;
}

void SimRegistry::MarkDeleted(Key& key) {
    key.deleted = true;
    for (auto& child : key.children) {
        // A link below a deleted key goes with it; its target stays.
        if (child->linkTarget.empty()) MarkDeleted(*child);
    }
}

// ---------------------------------------------------------------------------
// The registry calls

LONG SimRegistry::RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired,
                                HKEY* phkResult) {
    win::DWORD fault = 0;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (m_env.TakeFault("RegOpenKeyExA", &fault)) {
        *phkResult = nullptr;
        return static_cast<LONG>(fault);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    auto parent = HandleForLocked(hKey, &error);
    if (!parent) return error;
    if ((samDesired & kWow64Views) == kWow64Views) return ERROR_INVALID_PARAMETER;
    std::string path = subKey ? subKey : "";
    // Windows hands a predefined key back as it is when nothing is below it.
    if (path.empty() && IsPredefined(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    auto opened = WalkFromHandleLocked(*parent, path, samDesired, Walk::kOpen, false, nullptr, &error);
    if (!opened) {
        *phkResult = nullptr;
        return error;
    }
    *phkResult = NewHandleLocked(opened->key, samDesired);
    *m_handles[*phkResult] = *opened;
    return ERROR_SUCCESS;
}

LONG SimRegistry::RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                                  REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                                  DWORD* disposition) {
    win::DWORD fault = 0;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (m_env.TakeFault("RegCreateKeyExA", &fault)) {
        *phkResult = nullptr;
        return static_cast<LONG>(fault);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    // The parent handle's access is not checked: Windows ignores it here.
    auto parent = HandleForLocked(hKey, &error);
    if (!parent) return error;
    if ((samDesired & kWow64Views) == kWow64Views) return ERROR_INVALID_PARAMETER;
    bool created = false;
    auto opened = WalkFromHandleLocked(*parent, subKey ? subKey : "", samDesired, Walk::kCreate,
                                       (options & win::REG_OPTION_VOLATILE) != 0, &created, &error);
    if (!opened) return error;
    *phkResult = NewHandleLocked(opened->key, samDesired);
    *m_handles[*phkResult] = *opened;
    if (disposition) *disposition = created ? win::REG_CREATED_NEW_KEY : win::REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG SimRegistry::RegCloseKey(HKEY hKey) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("RegCloseKey", &fault)) return static_cast<LONG>(fault);
    if (IsPredefined(hKey)) return ERROR_SUCCESS;
    std::lock_guard<std::mutex> lock(m_mutex);
    // A handle of a deleted key is still closed normally.
    if (m_handles.erase(hKey) == 0) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

LONG SimRegistry::RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                   DWORD* cbData) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("RegQueryValueExA", &fault)) return static_cast<LONG>(fault);
    if (reserved || (data && !cbData)) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    auto handle = HandleForLocked(hKey, &error);
    if (!handle) return error;
    if (!(handle->access & win::KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const Value* value = FindValue(*handle->key, valueName ? valueName : "");
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (type) *type = value->type;
    const DWORD size = static_cast<DWORD>(value->data.size());
    if (data) {
        if (*cbData < size) {
            *cbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(data, value->data.data(), size);
    }
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
}

LONG SimRegistry::RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                                 DWORD cbData) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("RegSetValueExA", &fault)) return static_cast<LONG>(fault);
    if (!data && cbData) return kErrorNoAccess;
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    auto handle = HandleForLocked(hKey, &error);
    if (!handle) return error;
    if (!(handle->access & win::KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::vector<BYTE> bytes(data, data + cbData);
    std::string name = valueName ? valueName : "";
    if (Value* value = FindValue(*handle->key, name)) {
        value->type = type;
        value->data = std::move(bytes);
    } else {
        handle->key->values.push_back(Value{name, type, std::move(bytes)});
    }
    return ERROR_SUCCESS;
}

LONG SimRegistry::RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                                DWORD* type, BYTE* data, DWORD* cbData) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("RegEnumValueA", &fault)) return static_cast<LONG>(fault);
    if (!valueName || !cchValueName || reserved || (data && !cbData)) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    auto handle = HandleForLocked(hKey, &error);
    if (!handle) return error;
    if (!(handle->access & win::KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const auto& values = handle->key->values;
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const Value& value = values[index];
    const DWORD nameLength = static_cast<DWORD>(value.name.size());
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (type) *type = value.type;
    // Like Windows: on overflow the name count is left alone, the data size
    // says what is needed, and neither buffer receives anything.
    const bool nameFits = nameLength < *cchValueName;
    const bool dataFits = !data || size <= *cbData;
    if (cbData) *cbData = size;
    if (!nameFits || !dataFits) return ERROR_MORE_DATA;
    std::memcpy(valueName, value.name.c_str(), nameLength + 1);
    *cchValueName = nameLength;
    if (data && size) std::memcpy(data, value.data.data(), size);
    return ERROR_SUCCESS;
}

// The key must have no subkeys; its values go with it ("RegDeleteKeyExA
// function"). Handles still open on it then fail with ERROR_KEY_DELETED.
LONG SimRegistry::RegDeleteKeyExA(HKEY hKey, const char* subKey, REGSAM samDesired, DWORD reserved) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("RegDeleteKeyExA", &fault)) return static_cast<LONG>(fault);
    if (subKey == nullptr || reserved != 0 || (samDesired & kWow64Views) == kWow64Views) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    auto parent = HandleForLocked(hKey, &error);
    if (!parent) return error;
    auto found = WalkFromHandleLocked(*parent, subKey, samDesired, Walk::kOpen, false, nullptr, &error);
    if (!found) return error;
    const std::shared_ptr<Key> key = found->key;
    std::shared_ptr<Key> holder = ParentLocked(key);
    if (!holder) return ERROR_ACCESS_DENIED;  // a root
    for (const auto& child : key->children) {
        if (!child->deleted) return ERROR_ACCESS_DENIED;
    }
    auto& siblings = holder->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
        if (*it == key) {
            MarkDeleted(*key);
            siblings.erase(it);
            break;
        }
    }
    return ERROR_SUCCESS;
}

LONG SimRegistry::RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                                   DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                                   DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                                   win::FILETIME* lpftLastWriteTime) {
    win::DWORD fault = 0;
    if (m_env.TakeFault("RegQueryInfoKeyA", &fault)) return static_cast<LONG>(fault);
    if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr)) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(m_mutex);
    LONG error = 0;
    auto handle = HandleForLocked(hKey, &error);
    if (!handle) return error;
    if (!(handle->access & win::KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const Key& key = *handle->key;
    // The simulation's keys have no class.
    if (lpClass != nullptr) {
        if (*lpcchClass == 0) return ERROR_MORE_DATA;
        lpClass[0] = '\0';
    }
    if (lpcchClass != nullptr) *lpcchClass = 0;
    DWORD subKeys = 0, longestSubKey = 0, longestName = 0, longestData = 0;
    for (const auto& child : key.children) {
        if (child->deleted) continue;
        ++subKeys;
        longestSubKey = std::max(longestSubKey, static_cast<DWORD>(child->name.size()));
    }
    for (const Value& value : key.values) {
        longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
        longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
    if (lpcSubKeys != nullptr) *lpcSubKeys = subKeys;
    if (lpcbMaxSubKeyLen != nullptr) *lpcbMaxSubKeyLen = longestSubKey;
    if (lpcbMaxClassLen != nullptr) *lpcbMaxClassLen = 0;
    if (lpcValues != nullptr) *lpcValues = static_cast<DWORD>(key.values.size());
    if (lpcbMaxValueNameLen != nullptr) *lpcbMaxValueNameLen = longestName;
    if (lpcbMaxValueLen != nullptr) *lpcbMaxValueLen = longestData;
    if (lpcbSecurityDescriptor != nullptr) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = {};
    return ERROR_SUCCESS;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::ParentLocked(const std::shared_ptr<Key>& key) const {
    std::vector<std::shared_ptr<Key>> pending{m_localMachine, m_currentUser};
    while (!pending.empty()) {
        std::shared_ptr<Key> next = pending.back();
        pending.pop_back();
        for (const auto& child : next->children) {
            if (child == key) return next;
            if (child->linkTarget.empty()) pending.push_back(child);
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Direct access

void SimRegistry::SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value) {
    std::vector<BYTE> bytes(value.begin(), value.end());
    bytes.push_back(0);
    SetValue(root, path, name, win::REG_SZ, bytes);
}

void SimRegistry::SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    SetValue(root, path, name, win::REG_DWORD, bytes);
}

void SimRegistry::SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                           const std::vector<BYTE>& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto key = CreatePathLocked(root, path);
    if (!key) return;
    if (Value* value = FindValue(*key, name)) {
        value->type = type;
        value->data = bytes;
    } else {
        key->values.push_back(Value{name, type, bytes});
    }
}

void SimRegistry::CreateKey(HKEY root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CreatePathLocked(root, path);
}

std::optional<std::string> SimRegistry::GetString(HKEY root, const std::string& path,
                                                  const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto key = FindPathLocked(root, path);
    if (!key) return std::nullopt;
    const Value* value = FindValue(*key, name);
    if (!value || (value->type != win::REG_SZ && value->type != win::REG_EXPAND_SZ)) return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    return text.substr(0, text.find('\0'));
}

std::optional<DWORD> SimRegistry::GetDword(HKEY root, const std::string& path, const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto key = FindPathLocked(root, path);
    if (!key) return std::nullopt;
    const Value* value = FindValue(*key, name);
    if (!value || value->type != win::REG_DWORD || value->data.size() != 4) return std::nullopt;
    DWORD v = 0;
    std::memcpy(&v, value->data.data(), 4);
    return v;
}

std::optional<DWORD> SimRegistry::GetType(HKEY root, const std::string& path, const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto key = FindPathLocked(root, path);
    if (!key) return std::nullopt;
    const Value* value = FindValue(*key, name);
    if (!value) return std::nullopt;
    return value->type;
}

std::vector<std::string> SimRegistry::ValueNames(HKEY root, const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    if (auto key = FindPathLocked(root, path)) {
        for (const Value& value : key->values) names.push_back(value.name);
    }
    return names;
}

bool SimRegistry::KeyExists(HKEY root, const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return FindPathLocked(root, path) != nullptr;
}

bool SimRegistry::DeleteKey(HKEY root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) return false;
    std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const std::string& part : parts) parentPath += part + "\\";
    auto parent = FindPathLocked(root, parentPath);
    if (!parent) return false;
    auto& children = parent->children;
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (SameName((*it)->name, leaf)) {
            if ((*it)->linkTarget.empty()) MarkDeleted(**it);
            children.erase(it);
            return true;
        }
    }
    return false;
}

bool SimRegistry::DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto key = FindPathLocked(root, path);
    if (!key) return false;
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (SameName(it->name, name)) {
            key->values.erase(it);
            return true;
        }
    }
    return false;
}

void SimRegistry::SetWow64(bool wow64) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wow64 = wow64;
}

bool SimRegistry::MarkVolatile(HKEY root, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto key = FindPathLocked(root, path);
    if (!key) return false;
    key->isVolatile = true;
    return true;
}

std::size_t SimRegistry::OpenHandleCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handles.size();
}

void SimRegistry::DumpLocked(const Key& key, int depth, std::string* out) const {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    *out += indent + Escape(key.name);
    if (!key.linkTarget.empty()) {
        *out += " -> HKEY_LOCAL_MACHINE\\" + key.linkTarget + "\n";
        return;
    }
    *out += key.isVolatile ? " (volatile)\n" : "\n";
    for (const Value& value : key.values) {
        *out += indent + "  " + (value.name.empty() ? std::string("(default)") : "\"" + Escape(value.name) + "\"") +
                " = " + TypeName(value.type) + " " + FormatData(value.type, value.data) + "\n";
    }
    for (const auto& child : key.children) DumpLocked(*child, depth + 1, out);
}

void SimRegistry::SaveLocked(HKEY root, const Key& key, const std::string& path, std::vector<SavedKey>* out) const {
    if (!key.linkTarget.empty() || key.isVolatile || key.deleted) return;
    if (!path.empty()) {
        SavedKey saved{root, path, {}};
        for (const Value& value : key.values) saved.values.push_back({value.name, value.type, value.data});
        out->push_back(std::move(saved));
    }
    for (const auto& child : key.children) {
        SaveLocked(root, *child, path.empty() ? child->name : path + "\\" + child->name, out);
    }
}

std::vector<SimRegistry::SavedKey> SimRegistry::SaveKeys() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SavedKey> keys;
    SaveLocked(win::HKEY_LOCAL_MACHINE, *m_localMachine, std::string(), &keys);
    SaveLocked(win::HKEY_CURRENT_USER, *m_currentUser, std::string(), &keys);
    return keys;
}

std::string SimRegistry::ToString() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string out = "Registry (" + std::to_string(m_handles.size()) + " open handles):\n";
    DumpLocked(*m_localMachine, 1, &out);
    DumpLocked(*m_currentUser, 1, &out);
    DumpLocked(*m_currentConfig, 1, &out);
    return out;
}

}  // namespace platform::sim
