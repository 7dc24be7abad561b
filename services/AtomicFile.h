#pragma once

#include <filesystem>
#include <string_view>

namespace services {

// Replaces a file's content so that a reader (or the next start after a crash) sees either the
// old content or the new, never half of it: the text goes into a fresh file beside the target,
// is flushed to disk and then renamed over the target.
class AtomicFile {
public:
    // Creates the parent folder (mode 0700) when missing. The new file gets mode 0600.
    // Returns false, leaving the target untouched, when any step fails.
    static bool write(const std::filesystem::path& path, std::string_view content);

    // The whole content of a file; false when it cannot be read.
    static bool read(const std::filesystem::path& path, std::string& content);
};

}  // namespace services
