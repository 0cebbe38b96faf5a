// Simulated machine: the access lists of the C:\ tree.
#include "platform/sim/sim_access.h"

namespace platform::sim {

namespace {

constexpr const char* kRightsFull = "FA";
constexpr const char* kRightsModify = "0x1301bf";

SimAce Ace(const char* principal, bool modify, bool here, bool inherited) {
    return SimAce{principal, modify, here, inherited};
}

// Full control for SYSTEM and Administrators, on the node and below.
std::vector<SimAce> SystemAndAdministrators() {
    return {Ace(kPrincipalSystem, true, true, true), Ace(kPrincipalAdministrators, true, true, true)};
}

std::optional<std::string> PrincipalOfSid(const std::string& sid) {
    if (sid == "SY") return std::string(kPrincipalSystem);
    if (sid == "BA") return std::string(kPrincipalAdministrators);
    if (sid == "BU") return std::string(kPrincipalUsers);
    if (sid == "AU") return std::string(kPrincipalAuthenticatedUsers);
    if (sid == "CO") return std::string(kPrincipalCreatorOwner);
    return std::nullopt;
}

// "A;OICI;FA;;;SY" without its parentheses.
std::optional<SimAce> ParseAce(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ';') {
            fields.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (fields.size() != 6 || fields[0] != "A" || !fields[3].empty() || !fields[4].empty()) return std::nullopt;
    SimAce ace;
    const std::string& flags = fields[1];
    if (flags.size() % 2 != 0) return std::nullopt;
    for (size_t i = 0; i < flags.size(); i += 2) {
        const std::string flag = flags.substr(i, 2);
        if (flag == "OI" || flag == "CI") {
            ace.inherited = true;
        } else if (flag == "IO") {
            ace.here = false;
        } else {
            return std::nullopt;
        }
    }
    if (fields[2] != kRightsFull && fields[2] != kRightsModify) return std::nullopt;
    const std::optional<std::string> principal = PrincipalOfSid(fields[5]);
    if (!principal) return std::nullopt;
    ace.principal = *principal;
    return ace;
}

bool Below(const std::string& key, const std::string& folder) {
    return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 && key[folder.size()] == '\\';
}

}  // namespace

std::optional<SimAcl> ParseSddl(const std::string& sddl) {
    if (sddl.compare(0, 2, "D:") != 0) return std::nullopt;
    SimAcl acl;
    size_t at = 2;
    if (at < sddl.size() && sddl[at] == 'P') {
        acl.isProtected = true;
        ++at;
    }
    while (at < sddl.size()) {
        if (sddl[at] != '(') return std::nullopt;
        const size_t end = sddl.find(')', at);
        if (end == std::string::npos) return std::nullopt;
        std::optional<SimAce> ace = ParseAce(sddl.substr(at + 1, end - at - 1));
        if (!ace) return std::nullopt;
        acl.aces.push_back(*ace);
        at = end + 1;
    }
    return acl;
}

SimAccess::SimAccess() {
    // The root: SYSTEM and Administrators in full; authenticated users may
    // make folders in it, and get Modify on whatever is made below.
    SimAcl root{true, SystemAndAdministrators()};
    root.aces.push_back(Ace(kPrincipalAuthenticatedUsers, false, true, false));
    root.aces.push_back(Ace(kPrincipalAuthenticatedUsers, true, false, true));
    SetAcl("", root);
    SetAcl("WINDOWS", SimAcl{true, SystemAndAdministrators()});
    SimAcl temp{true, SystemAndAdministrators()};
    temp.aces.push_back(Ace(kPrincipalUsers, false, true, true));
    temp.aces.push_back(Ace(kPrincipalCreatorOwner, true, false, true));
    SetAcl("WINDOWS\\TEMP", temp);
    SetAcl("WINDOWS\\SYSTEMTEMP", SimAcl{true, SystemAndAdministrators()});
}

void SimAccess::SetAcl(const std::string& key, SimAcl acl) { m_nodes[key].acl = std::move(acl); }

void SimAccess::NoteCreated(const std::string& key, const std::string& owner, const SimAcl* acl) {
    Forget(key);
    Node node;
    node.owner = owner;
    if (acl != nullptr) node.acl = *acl;
    m_nodes[key] = node;
}

// The names that begin with `key` are one run of the sorted map.
void SimAccess::Forget(const std::string& key) {
    for (auto it = m_nodes.lower_bound(key); it != m_nodes.end() && it->first.compare(0, key.size(), key) == 0;) {
        it = (it->first == key || Below(it->first, key)) ? m_nodes.erase(it) : std::next(it);
    }
}

void SimAccess::Move(const std::string& fromKey, const std::string& toKey) {
    std::map<std::string, Node> moved;
    for (auto it = m_nodes.begin(); it != m_nodes.end();) {
        if (it->first == fromKey || Below(it->first, fromKey)) {
            moved[toKey + it->first.substr(fromKey.size())] = it->second;
            it = m_nodes.erase(it);
        } else {
            ++it;
        }
    }
    Forget(toKey);
    for (auto& entry : moved) m_nodes[entry.first] = entry.second;
}

// The entries that apply to the node, from the root down.
std::vector<SimAce> SimAccess::Effective(const std::string& key) const {
    std::vector<SimAce> aces;
    std::vector<std::string> path{""};
    for (size_t i = 0; i <= key.size() && !key.empty(); ++i) {
        if (i == key.size() || key[i] == '\\') path.push_back(key.substr(0, i));
    }
    for (size_t depth = 0; depth < path.size(); ++depth) {
        auto found = m_nodes.find(path[depth]);
        const Node* node = found == m_nodes.end() ? nullptr : &found->second;
        std::vector<SimAce> next;
        if (!(node && node->acl && node->acl->isProtected) && depth > 0) {
            for (const SimAce& ace : aces) {
                if (!ace.inherited) continue;
                if (ace.principal == kPrincipalCreatorOwner) {
                    // Stands for the owner on the node; passed on as it is.
                    if (node && !node->owner.empty()) next.push_back(SimAce{node->owner, ace.modify, true, false});
                    next.push_back(SimAce{ace.principal, ace.modify, false, true});
                    continue;
                }
                next.push_back(SimAce{ace.principal, ace.modify, true, true});
            }
        }
        if (node && node->acl) next.insert(next.end(), node->acl->aces.begin(), node->acl->aces.end());
        aces = std::move(next);
    }
    return aces;
}

bool SimAccess::Allows(const std::string& key, const std::set<std::string>& principals, bool modify) const {
    for (const SimAce& ace : Effective(key)) {
        if (ace.here && (ace.modify || !modify) && principals.count(ace.principal) != 0) return true;
    }
    return false;
}

bool SimAccess::MayModify(const std::string& key, const std::set<std::string>& principals) const {
    return Allows(key, principals, true);
}

bool SimAccess::MayAdd(const std::string& folderKey, const std::set<std::string>& principals) const {
    return Allows(folderKey, principals, false);
}

std::string SimAccess::OwnerOf(const std::string& key) const {
    auto found = m_nodes.find(key);
    return found == m_nodes.end() ? std::string() : found->second.owner;
}

}  // namespace platform::sim
