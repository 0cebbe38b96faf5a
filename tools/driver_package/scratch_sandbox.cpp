// The scratch sandbox: a temporary folder, removed with everything in it.
#include "tools/driver_package/scratch_sandbox.h"

#include <cstdlib>
#include <filesystem>

namespace driver_package {

ScratchSandbox::ScratchSandbox() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "driver-package-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    m_path = pattern;
    m_files = std::make_unique<platform::sim::SimFiles>(m_env, m_path);
}

ScratchSandbox::~ScratchSandbox() {
    m_files.reset();
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

}  // namespace driver_package
