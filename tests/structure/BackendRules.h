#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/structure/LayerRules.h"

namespace structure {

// Which backend a program runs on is chosen at its top: only the seams themselves (platform/,
// the backend selection code included) and a program's main.cpp name a backend's folder
// (platform/bluetooth/bluez/, platform/bluetooth/sim/, platform/window/sdl/,
// platform/window/headless/) or the Bluetooth backend selection header.

// Whether the header, as written in an #include, belongs to a backend or picks one.
bool isBackendHeader(std::string_view included);

// The includes of backends in one file's text, by its path relative to the source tree; none for
// files that may name backends.
std::vector<IncludeViolation> backendIncludesIn(std::string_view relativePath,
                                                std::string_view text);

// The same over every .h/.cpp file of the layered folders above platform/ in the tree at root.
std::vector<IncludeViolation> backendIncludesInTree(const std::filesystem::path& root);

// Which of the libraries a CMakeLists.txt text names (whole names, outside comments).
std::vector<std::string> librariesIn(std::string_view cmakeText,
                                     std::span<const std::string_view> libraries);

// The backend libraries (or backend selection libraries) a CMakeLists.txt text names.
std::vector<std::string> backendLibrariesIn(std::string_view cmakeText);

}  // namespace structure
