#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace fuzz_support {

// A private folder for the whole fuzzing run (removed at exit); the log goes there too, in one
// rotating file, so a long run neither fills the disk nor touches the user's folders. Logging is
// off unless AURALIS_LOG_LEVEL asks for it.
const std::filesystem::path& sandbox();

// Writes the bytes to path, replacing what was there.
void writeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size);

}  // namespace fuzz_support
