#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
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

    // The largest file read() takes unless told otherwise.
    static constexpr std::uintmax_t kDefaultReadLimit = 16u << 20;

    // The whole content of a regular file of at most limit bytes; false when it cannot be read,
    // with why (when given) saying so in plain words. A folder, a named pipe, a device (also
    // behind a link) or a larger file is refused without reading it, and never blocks.
    static bool read(const std::filesystem::path& path, std::string& content,
                     std::uintmax_t limit = kDefaultReadLimit, std::string* why = nullptr);
};

}  // namespace services
