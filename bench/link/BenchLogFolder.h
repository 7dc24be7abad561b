#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "base/Log.h"

namespace bench_support {

// Sends the log into a private folder for the lifetime of the object, then removes it: the
// benchmarks log as the program does, but never into the user's own log folder.
class BenchLogFolder {
public:
    BenchLogFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "auralis-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_folder = pattern;
        }
        base::log::configure({.folder = m_folder, .name = "bench"});
    }
    ~BenchLogFolder() {
        base::log::flush();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    BenchLogFolder(const BenchLogFolder&) = delete;
    BenchLogFolder& operator=(const BenchLogFolder&) = delete;

private:
    std::filesystem::path m_folder;
};

}  // namespace bench_support
