#include "tests/structure/BackendRules.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace structure {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBackendFolders[] = {
    "platform/bluetooth/bluez/",
    "platform/bluetooth/sim/",
    "platform/window/sdl/",
    "platform/window/headless/",
};

// Picks a Bluetooth backend by name (the window seam declares its selection in its interface).
constexpr std::string_view kSelectionHeaders[] = {"platform/bluetooth/BackendFactory.h"};

constexpr std::string_view kBackendLibraries[] = {
    "auralis_platform_bluetooth_bluez", "auralis_platform_bluetooth_select",
    "auralis_platform_window_sdl",      "auralis_platform_window_headless",
    "auralis_platform_window_select",
};

// Above platform/: the folders whose code the layer rules judge, platform/ itself excepted.
constexpr std::string_view kFoldersAbovePlatform[] = {
    "base", "services", "fota", "link", "flow", "ui", "a11y", "app", "updater", "ctl", "sim"};

// A program's own file, which may choose its backends: its main.cpp.
bool choosesBackends(std::string_view relativePath) {
    return fs::path{std::string(relativePath)}.filename() == "main.cpp";
}

bool isLibraryNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

bool isBackendHeader(std::string_view included) {
    for (std::string_view folder : kBackendFolders) {
        if (included.starts_with(folder)) {
            return true;
        }
    }
    for (std::string_view header : kSelectionHeaders) {
        if (included == header) {
            return true;
        }
    }
    return false;
}

std::vector<IncludeViolation> backendIncludesIn(std::string_view relativePath,
                                                std::string_view text) {
    std::vector<IncludeViolation> found;
    if (relativePath.starts_with("platform/") || choosesBackends(relativePath)) {
        return found;
    }
    forEachQuotedInclude(text, [&](int line, std::string_view header) {
        if (isBackendHeader(header)) {
            found.push_back({std::string(relativePath), line, std::string(header)});
        }
    });
    return found;
}

std::vector<IncludeViolation> backendIncludesInTree(const fs::path& root) {
    return violationsInFolders(root, kFoldersAbovePlatform, backendIncludesIn);
}

std::vector<std::string> librariesIn(std::string_view cmakeText,
                                     std::span<const std::string_view> libraries) {
    std::vector<std::string> found;
    for (std::string_view library : libraries) {
        for (std::size_t at = cmakeText.find(library); at != std::string_view::npos;
             at = cmakeText.find(library, at + 1)) {
            const std::size_t after = at + library.size();
            // A whole name, not the start of a longer one; comments do not count.
            const bool whole =
                (at == 0 || !isLibraryNameCharacter(cmakeText[at - 1])) &&
                (after == cmakeText.size() || !isLibraryNameCharacter(cmakeText[after]));
            const std::size_t lineStart = cmakeText.rfind('\n', at);
            const std::string_view before =
                cmakeText.substr(lineStart == std::string_view::npos ? 0 : lineStart + 1,
                                 at - (lineStart == std::string_view::npos ? 0 : lineStart + 1));
            if (whole && before.find('#') == std::string_view::npos) {
                found.emplace_back(library);
                break;
            }
        }
    }
    return found;
}

std::vector<std::string> backendLibrariesIn(std::string_view cmakeText) {
    return librariesIn(cmakeText, kBackendLibraries);
}

}  // namespace structure
