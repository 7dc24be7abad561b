#include "fuzz/common/FuzzSandbox.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

#include "base/Log.h"

namespace fuzz_support {

const std::filesystem::path& sandbox() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "auralis-fuzz-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create the fuzzing folder");
        }
        services::log::configure({.folder = std::filesystem::path(pattern) / "log",
                                  .name = "fuzz",
                                  .maxFileBytes = 8 * 1024 * 1024,
                                  .keptFiles = 0});
        return std::filesystem::path(pattern);
    }();
    static const bool cleanup = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)cleanup;
    return folder;
}

}  // namespace fuzz_support
