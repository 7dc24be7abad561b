#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace tools {

// The one argument of a screenshot tool, OUT_DIR, which is created when missing. Returns -1 with
// folder set when the tool goes on; otherwise the exit code it ends with: 0 after --help or -h
// (usage on stdout), 2 for anything else (usage on stderr). A folder name that starts with a dash
// is taken for a mistyped option, not created.
inline int shotFolderArgument(int argc, char** argv, const char* usage,
                              std::filesystem::path& folder) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        std::fputs(usage, stderr);
        return 2;
    }
    folder = argv[1];
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return -1;
}

}  // namespace tools
