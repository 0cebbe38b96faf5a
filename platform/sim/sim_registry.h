// Simulated machine: the registry, a tree of keys held in memory.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/sim_env.h"

namespace platform::sim {

// Keys and value names compare without regard to case; values enumerate in
// the order they were first written. As on Windows, two keys are links:
// HKLM\SYSTEM\CurrentControlSet stands for HKLM\SYSTEM\ControlSet001, and
// HKEY_CURRENT_CONFIG for HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current;
// a value written through one path is read through the other. Handles are real objects; every operation checks them and the
// access they were opened with. On a 64-bit machine the caller is a 32-bit
// program: its opens and creates under HKLM\SOFTWARE go through WOW64's
// registry redirection (sim_wow64.h) unless they ask for KEY_WOW64_64KEY;
// the machine's own services and the helpers below see the keys as they are.
// Safe to call from several threads.
class SimRegistry : public platform::Registry {
public:
    explicit SimRegistry(SimEnv& env);
    ~SimRegistry() override;
    SimRegistry(const SimRegistry&) = delete;
    SimRegistry& operator=(const SimRegistry&) = delete;

    // platform::Registry
    LONG RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD options, REGSAM samDesired,
                       HKEY* phkResult) override;
    LONG RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD reserved, char* lpClass, DWORD options,
                         REGSAM samDesired, const win::SECURITY_ATTRIBUTES* security, HKEY* phkResult,
                         DWORD* disposition) override;
    LONG RegCloseKey(HKEY hKey) override;
    LONG RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                          DWORD* cbData) override;
    LONG RegSetValueExA(HKEY hKey, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                        DWORD cbData) override;
    LONG RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName, DWORD* reserved,
                       DWORD* type, BYTE* data, DWORD* cbData) override;
    LONG RegDeleteKeyExA(HKEY hKey, const char* subKey, REGSAM samDesired, DWORD reserved) override;
    LONG RegQueryInfoKeyA(HKEY hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                          DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues, DWORD* lpcbMaxValueNameLen,
                          DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                          win::FILETIME* lpftLastWriteTime) override;

    // Direct access for tests and the terminal front end. `root` is one of
    // the predefined keys; `path` is relative to it and may pass the links.
    // The setters create missing keys. Strings are stored with their zero
    // byte, as the installer writes them.
    void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value);
    void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
    void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                  const std::vector<BYTE>& bytes);
    void CreateKey(HKEY root, const std::string& path);
    // REG_SZ or REG_EXPAND_SZ data up to its first zero byte.
    std::optional<std::string> GetString(HKEY root, const std::string& path, const std::string& name) const;
    // REG_DWORD data of exactly four bytes.
    std::optional<DWORD> GetDword(HKEY root, const std::string& path, const std::string& name) const;
    std::optional<DWORD> GetType(HKEY root, const std::string& path, const std::string& name) const;
    std::vector<std::string> ValueNames(HKEY root, const std::string& path) const;
    bool KeyExists(HKEY root, const std::string& path) const;
    // Deletes the key with everything below it. Handles still open on it
    // then fail with ERROR_KEY_DELETED, as on Windows.
    bool DeleteKey(HKEY root, const std::string& path);
    bool DeleteValue(HKEY root, const std::string& path, const std::string& name);
    // Marks an existing key volatile: a non-volatile subkey can no longer be
    // created under it (ERROR_CHILD_MUST_BE_VOLATILE), as Wine's
    // HKEY_CURRENT_CONFIG behaves.
    bool MarkVolatile(HKEY root, const std::string& path);
    // Whether the registry calls come from a 32-bit program on 64-bit Windows.
    void SetWow64(bool wow64);

    // The tree as a saved machine keeps it: every key under HKEY_LOCAL_MACHINE
    // and HKEY_CURRENT_USER, parents first, with its values in enumeration
    // order. Links and volatile keys are left out: neither outlives a
    // restart of Windows. Loading is CreateKey and SetValue, key by key.
    struct SavedValue {
        std::string name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    struct SavedKey {
        HKEY root = nullptr;
        std::string path;
        std::vector<SavedValue> values;
    };
    std::vector<SavedKey> SaveKeys() const;

    // Handles opened by the registry calls and not closed yet.
    std::size_t OpenHandleCount() const;
    // The whole tree, one key or value a line, for failing tests.
    std::string ToString() const;

    static constexpr LONG kErrorBadPathname = 161;
    static constexpr LONG kErrorKeyDeleted = 1018;
    static constexpr LONG kErrorChildMustBeVolatile = 1021;
    static constexpr LONG kErrorNoAccess = 998;

private:
    struct Value {
        std::string name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    struct Key {
        std::string name;
        std::vector<std::shared_ptr<Key>> children;
        std::vector<Value> values;
        // Non-empty for a link: the HKLM-relative path that it stands for.
        std::string linkTarget;
        bool isVolatile = false;
        bool deleted = false;
    };
    struct Handle {
        std::shared_ptr<Key> key;
        REGSAM access = 0;
        // For a key under HKEY_LOCAL_MACHINE: the path the caller named it
        // by, and the registry view it was opened in.
        std::optional<std::string> localMachinePath;
        bool view32 = false;
    };
    enum class Walk { kOpen, kCreate };

    // The key that a predefined root or an open handle names; null with
    // *error set otherwise.
    std::shared_ptr<Key> KeyForLocked(HKEY hKey, LONG* error) const;
    std::shared_ptr<Key> RootLocked(HKEY root) const;
    // Follows `path` below `start`, through links. With kCreate, missing
    // keys are made (volatile when `makeVolatile`) and *created says whether
    // the last one was new.
    std::shared_ptr<Key> WalkLocked(std::shared_ptr<Key> start, const std::string& path, Walk mode,
                                    bool makeVolatile, bool* created, LONG* error) const;
    std::shared_ptr<Key> FollowLinksLocked(std::shared_ptr<Key> key, Walk mode, LONG* error) const;
    std::shared_ptr<Key> FindPathLocked(HKEY root, const std::string& path) const;
    std::shared_ptr<Key> CreatePathLocked(HKEY root, const std::string& path);
    HKEY NewHandleLocked(std::shared_ptr<Key> key, REGSAM access);
    // Opens or creates `subKey` below `parent` in the view the caller asks
    // for; the new handle's record, with *error set when there is none.
    std::optional<Handle> WalkFromHandleLocked(const Handle& parent, const std::string& subKey, REGSAM samDesired,
                                               Walk mode, bool makeVolatile, bool* created, LONG* error) const;
    // The handle record for hKey (predefined roots have full access); null
    // with *error set when it is not a usable key.
    std::optional<Handle> HandleForLocked(HKEY hKey, LONG* error) const;
    static Value* FindValue(Key& key, const std::string& name);
    // The key that holds `key` as a subkey; null for a root.
    std::shared_ptr<Key> ParentLocked(const std::shared_ptr<Key>& key) const;
    static void MarkDeleted(Key& key);
    void DumpLocked(const Key& key, int depth, std::string* out) const;
    void SaveLocked(HKEY root, const Key& key, const std::string& path, std::vector<SavedKey>* out) const;

    SimEnv& m_env;
    mutable std::mutex m_mutex;
    std::shared_ptr<Key> m_localMachine;
    std::shared_ptr<Key> m_currentUser;
    std::shared_ptr<Key> m_currentConfig;  // a link node
    std::map<HKEY, std::unique_ptr<Handle>> m_handles;
    bool m_wow64 = false;
};

}  // namespace platform::sim
