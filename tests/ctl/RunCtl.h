#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ctl_test {

struct Run {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built auralis-ctl (beside the test program) with args and waits for it; in the
// folder cwd when one is given.
Run runCtl(const std::vector<std::string>& args, const std::filesystem::path& cwd = {});

}  // namespace ctl_test
