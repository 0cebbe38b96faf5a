// A simulated machine's C:\ drive in a temporary folder that lives as long
// as this object: where the tool lets the simulated machine's own profile
// reader and unpacker work on a package.
#pragma once

#include <memory>
#include <string>

#include "platform/sim/sim_env.h"
#include "platform/sim/sim_files.h"

namespace driver_package {

class ScratchSandbox {
public:
    ScratchSandbox();
    ~ScratchSandbox();
    ScratchSandbox(const ScratchSandbox&) = delete;
    ScratchSandbox& operator=(const ScratchSandbox&) = delete;

    // False when no temporary folder could be made; nothing else works then.
    bool Ready() const { return m_files != nullptr; }
    platform::sim::SimEnv& Env() { return m_env; }
    platform::sim::SimFiles& Files() { return *m_files; }

private:
    std::string m_path;
    platform::sim::SimEnv m_env;
    std::unique_ptr<platform::sim::SimFiles> m_files;
};

}  // namespace driver_package
