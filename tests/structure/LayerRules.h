#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace structure {

// One #include of a project header that the including file's layer may not use.
struct IncludeViolation {
    std::string file;  // relative to the source tree, e.g. "platform/window/sdl/SdlWindow.cpp"
    int line = 0;
    std::string included;  // as written between the quotes
};

// The layer a file of the source tree belongs to, from its path relative to the tree; empty for
// paths outside the layered code (tests, tools, system headers).
std::string layerOf(std::string_view relativePath);

// The quoted header of an `#include "..."` line; empty for anything else.
std::string_view quotedInclude(std::string_view line);

// Calls `visit` with the line number and header of each `#include "..."` line of a file's text.
void forEachQuotedInclude(std::string_view text,
                          const std::function<void(int line, std::string_view header)>& visit);

// What `check` finds in every .h/.cpp file below the folders of the tree at root, each file
// named by its path relative to root.
using FileCheck = std::function<std::vector<IncludeViolation>(std::string_view relativePath,
                                                              std::string_view text)>;
std::vector<IncludeViolation> violationsInFolders(const std::filesystem::path& root,
                                                  std::span<const std::string_view> folders,
                                                  const FileCheck& check);

// Whether code of layer `from` may include a header of layer `to`.
bool mayInclude(std::string_view from, std::string_view to);

// The forbidden includes in one file's text.
std::vector<IncludeViolation> violationsIn(std::string_view relativePath, std::string_view text);

// The forbidden includes of every .h/.cpp file below the layered folders of the tree at root.
std::vector<IncludeViolation> violationsInTree(const std::filesystem::path& root);

}  // namespace structure
