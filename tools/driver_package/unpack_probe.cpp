// The unpack probe: the package unpacked into a scratch sandbox.
#include "tools/driver_package/unpack_probe.h"

#include "platform/sim/sim_archive.h"
#include "tools/driver_package/scratch_sandbox.h"

namespace driver_package {

bool InstallerUnpacks(const std::string& bytes, std::string* why) {
    ScratchSandbox sandbox;
    const char* const package = "C:\\Setup\\DriverData.Drv";
    if (!sandbox.Ready() || !sandbox.Files().WriteFile(package, bytes)) {
        *why = "no room to unpack it in a temporary folder";
        return false;
    }
    platform::sim::SimArchive unpacker(sandbox.Env(), sandbox.Files());
    const win::HMODULE module = unpacker.LoadUnpacker();
    const int result = unpacker.Extract(module, package, "C:\\", nullptr);
    unpacker.FreeLibrary(module);
    if (result != 0) *why = unpacker.LastFailure();
    return result == 0;
}

}  // namespace driver_package
