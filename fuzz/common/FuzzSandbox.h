#pragma once

#include <filesystem>

namespace fuzz_support {

// A private folder for the whole fuzzing run (removed at exit); the log goes there too, in one
// rotating file, so a long run neither fills the disk nor touches the user's folders.
const std::filesystem::path& sandbox();

}  // namespace fuzz_support
