// Simulated machine: the shared last error, fault plan and call log.
#include "platform/sim/sim_env.h"

#include <algorithm>

namespace platform::sim {

namespace {
thread_local win::DWORD t_lastError = 0;
thread_local int t_internalDepth = 0;
}

win::DWORD LastError() { return t_lastError; }
void SetLastError(win::DWORD code) { t_lastError = code; }

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(folded[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < folded.size()) {
            ++i;  // lead byte: keep the pair as it is
        } else if (c >= 'A' && c <= 'Z') {
            folded[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldName(a) == FoldName(b);
}

void SimEnv::InjectFault(const std::string& operation, win::DWORD error, int times, int skip) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[operation].push_back(Fault{error, times, skip});
}

void SimEnv::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

SimEnv::InternalScope::InternalScope() { ++t_internalDepth; }
SimEnv::InternalScope::~InternalScope() { --t_internalDepth; }
bool SimEnv::InternalScope::Active() { return t_internalDepth > 0; }

bool SimEnv::TakeFault(const std::string& operation, win::DWORD* error) {
    if (t_internalDepth > 0) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(operation);
    auto it = m_faults.find(operation);
    if (it == m_faults.end()) return false;
    for (Fault& fault : it->second) {
        if (fault.times == 0) continue;
        if (fault.skip > 0) {
            --fault.skip;
            return false;
        }
        if (fault.times > 0) --fault.times;
        *error = fault.error;
        return true;
    }
    return false;
}

void SimEnv::Record(const std::string& operation) {
    if (t_internalDepth > 0) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(operation);
}

std::vector<std::string> SimEnv::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

int SimEnv::CallCount(const std::string& operation) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), operation));
}

void SimEnv::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

}  // namespace platform::sim
