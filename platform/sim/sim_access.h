// Simulated machine: who may change what in the C:\ tree.
//
// A small model of NTFS access lists, enough to show who can replace a file
// the installer unpacked: per folder or file an optional list of entries
// (a principal, modify or only add entries, for the node itself and/or for
// what is created below it) and a protected flag. A node without a list of
// its own, or with an unprotected one, takes what its parent passes on
// ("How DACLs Control Access to an Object", "ACE Inheritance Rules"). The
// creator of a node is its owner; an inheritable entry for CREATOR OWNER
// becomes one for the owner on what is created. Reading is never refused.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform::sim {

inline constexpr const char* kPrincipalSystem = "SYSTEM";
inline constexpr const char* kPrincipalAdministrators = "Administrators";
inline constexpr const char* kPrincipalUsers = "Users";
inline constexpr const char* kPrincipalAuthenticatedUsers = "Authenticated Users";
inline constexpr const char* kPrincipalCreatorOwner = "CREATOR OWNER";

// One access list entry.
struct SimAce {
    std::string principal;
    bool modify = true;      // replace, rename, delete, add; false: only add entries
    bool here = true;        // applies to the node itself
    bool inherited = false;  // passed on to what is created below (OI, CI)
};

struct SimAcl {
    bool isProtected = false;
    std::vector<SimAce> aces;
};

// The SDDL subset the installer hands to CreateDirectoryA: "D:", "P", and
// allow entries "(A;flags;rights;;;sid)" with the flags OI, CI, IO, the
// rights FA (full) or 0x1301bf (modify), and the sids SY, BA, BU, AU, CO
// ("Security Descriptor String Format", "ACE Strings"). nullopt for
// anything else.
std::optional<SimAcl> ParseSddl(const std::string& sddl);

class SimAccess {
public:
    // The Windows 10 defaults: C:\ (users may add folders, which pass on
    // "Authenticated Users: Modify"), C:\Windows (SYSTEM and Administrators),
    // C:\Windows\Temp (users may add entries and own what they add) and
    // C:\Windows\SystemTemp (SYSTEM and Administrators only).
    SimAccess();

    // Paths are the keys of normalised Windows paths: UpperCaseKey of each
    // component, without the drive ("", "WINDOWS\TEMP").
    void SetAcl(const std::string& key, SimAcl acl);
    // A node was made by `owner`, with an explicit list or none.
    void NoteCreated(const std::string& key, const std::string& owner, const SimAcl* acl);
    // A node is gone; a later one of that name starts afresh.
    void Forget(const std::string& key);
    // The node and what lies below it moved.
    void Move(const std::string& fromKey, const std::string& toKey);

    // Whether one of `principals` may change, replace, rename or delete the
    // node, or add an entry to the folder.
    bool MayModify(const std::string& key, const std::set<std::string>& principals) const;
    bool MayAdd(const std::string& folderKey, const std::set<std::string>& principals) const;
    std::string OwnerOf(const std::string& key) const;

private:
    struct Node {
        std::string owner;
        std::optional<SimAcl> acl;
    };
    std::vector<SimAce> Effective(const std::string& key) const;
    bool Allows(const std::string& key, const std::set<std::string>& principals, bool modify) const;

    std::map<std::string, Node> m_nodes;
};

}  // namespace platform::sim
