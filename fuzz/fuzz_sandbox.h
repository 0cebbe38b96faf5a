// A folder for a target's simulated machine, in the temporary folder
// ($TMPDIR), made on first use and removed when the fuzzer exits.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

inline const std::string& SandboxFolder() {
    struct Folder {
        Folder() {
            std::string pattern = (std::filesystem::temp_directory_path() / "installer_fuzz_XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) std::abort();
            path = pattern;
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::string path;
    };
    static const Folder folder;
    return folder.path;
}

}  // namespace fuzz
