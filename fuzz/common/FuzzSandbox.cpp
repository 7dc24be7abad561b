#include "fuzz/common/FuzzSandbox.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include "base/Log.h"

namespace fuzz_support {

const std::filesystem::path& sandbox() {
    static const std::filesystem::path folder = [] {
        // Targets that read files write one per input: in memory (/dev/shm) when there is such
        // a folder and TMPDIR does not say otherwise, so the disk does not set the pace.
        std::error_code error;
        const std::filesystem::path base =
            std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", error)
                ? std::filesystem::path("/dev/shm")
                : std::filesystem::temp_directory_path();
        std::string pattern = base / "auralis-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create the fuzzing folder");
        }
        // Logging every input would cost more than the code under test; AURALIS_LOG_LEVEL
        // brings the lines back when an input needs looking into.
        if (std::getenv("AURALIS_LOG_LEVEL") == nullptr) {
            base::log::setLevel(LOG_OFF);
        }
        base::log::configure({.folder = std::filesystem::path(pattern) / "log",
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

namespace {

// Made as the program starts, before any target's own objects can log: an unconfigured log
// would open its file in the user's real log folder.
[[maybe_unused]] const bool g_sandboxAtStart = !sandbox().empty();

}  // namespace

void writeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace fuzz_support
