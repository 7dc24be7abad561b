#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fota {

// Reads one fragment of a firmware package for the transfer. The package is never held in
// memory: each attempt opens the file afresh, reads the fragment at its position and closes
// the file again, so a package replaced or still being written between fragments is read as it
// is now.
class FragmentReader {
public:
    static constexpr int kAttempts = 5;

    // Reads exactly count bytes at position into out, in up to kAttempts attempts: a file that
    // does not open is tried again at once; a seek or read that fails or comes up short is
    // logged as "RAF fail %d" (attempts left) and tried again. False when no attempt read the
    // whole fragment: out must then not be used.
    static bool read(const std::string& path, uint64_t position, std::size_t count, uint8_t* out);
};

}  // namespace fota
