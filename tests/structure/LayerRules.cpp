#include "tests/structure/LayerRules.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <sstream>

namespace structure {
namespace {

namespace fs = std::filesystem;

struct LayerPrefix {
    std::string_view prefix;
    std::string_view layer;
};

// The longest matching prefix names a file's layer: base/ (the log and where the program's files
// go) is the lowest; the platform core (events, threads, processes) stands on it; the OS seams'
// backends and the service layer stand on both; the package code in fota/ sits below the link, the
// update flow in flow/ drives the link and sits above it. The frame codec in link/ works on bytes
// alone and is all of the link that auralis-sim may use, so the sim never pulls in the link's
// Bluetooth.
constexpr LayerPrefix kPrefixes[] = {
    {"platform/", "platform"},
    {"base/", "base"},
    {"platform/bluetooth/", "seams"},
    {"platform/window/", "seams"},
    {"platform/desktop/", "seams"},
    {"platform/dbus/", "seams"},
    {"services/", "services"},
    {"fota/", "fota"},
    {"link/", "link"},
    {"link/DeviceStatus.", "link-codec"},
    {"link/FrameCodec.", "link-codec"},
    {"link/FrameDecoder.", "link-codec"},
    {"link/FrameSplitter.", "link-codec"},
    {"link/HexDump.", "link-codec"},
    {"link/MessageIds.", "link-codec"},
    {"link/NarrowText.", "link-codec"},
    {"link/PayloadReader.", "link-codec"},
    {"link/StatusCodec.", "link-codec"},
    {"flow/", "flow"},
    {"ui/", "ui"},
    {"a11y/", "a11y"},
    {"app/", "app"},
    {"updater/", "updater"},
    {"ctl/", "ctl"},
    {"sim/", "sim"},
    {"auralis/", "generated"},
};

struct LayerRule {
    std::string_view layer;
    std::initializer_list<std::string_view> uses;  // besides itself and the generated headers
};

const LayerRule kRules[] = {
    {"base", {}},
    {"platform", {"base"}},
    {"seams", {"base", "platform"}},
    {"services", {"base", "platform"}},
    {"fota", {"services", "base", "platform"}},
    {"link-codec", {"base", "platform"}},
    {"link", {"link-codec", "fota", "services", "base", "platform", "seams"}},
    {"flow", {"link", "link-codec", "fota", "services", "base", "platform", "seams"}},
    {"ui", {"services", "base", "platform", "seams"}},
    {"a11y", {"ui", "services", "base", "platform", "seams"}},
    {"app",
     {"a11y", "ui", "flow", "link", "link-codec", "fota", "services", "base", "platform", "seams"}},
    {"updater", {"a11y", "ui", "services", "base", "platform", "seams"}},
    {"ctl", {"flow", "link", "link-codec", "fota", "services", "base", "platform", "seams"}},
    {"sim", {"link-codec", "fota", "services", "base", "platform", "seams"}},
    {"generated", {}},
};

constexpr std::string_view kLayeredFolders[] = {"base", "platform", "services", "fota",
                                                "link", "flow",     "ui",       "a11y",
                                                "app",  "updater",  "ctl",      "sim"};

}  // namespace

std::string_view quotedInclude(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] != '#') {
        return {};
    }
    line.remove_prefix(start + 1);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (!line.starts_with("include")) {
        return {};
    }
    const std::size_t open = line.find('"');
    const std::size_t close = open == std::string_view::npos ? open : line.find('"', open + 1);
    if (close == std::string_view::npos) {
        return {};
    }
    return line.substr(open + 1, close - open - 1);
}

std::string layerOf(std::string_view relativePath) {
    std::string_view best;
    std::string_view layer;
    for (const LayerPrefix& entry : kPrefixes) {
        if (relativePath.starts_with(entry.prefix) && entry.prefix.size() > best.size()) {
            best = entry.prefix;
            layer = entry.layer;
        }
    }
    return std::string(layer);
}

bool mayInclude(std::string_view from, std::string_view to) {
    if (from == to || to == "generated") {
        return true;
    }
    for (const LayerRule& rule : kRules) {
        if (rule.layer == from) {
            return std::find(rule.uses.begin(), rule.uses.end(), to) != rule.uses.end();
        }
    }
    return false;
}

std::vector<IncludeViolation> violationsIn(std::string_view relativePath, std::string_view text) {
    std::vector<IncludeViolation> found;
    const std::string from = layerOf(relativePath);
    if (from.empty()) {
        return found;
    }
    forEachQuotedInclude(text, [&](int line, std::string_view header) {
        const std::string to = layerOf(header);
        // Headers outside the layers (a file's own folder-relative includes, third-party ones)
        // are not ours to judge.
        if (!to.empty() && !mayInclude(from, to)) {
            found.push_back({std::string(relativePath), line, std::string(header)});
        }
    });
    return found;
}

void forEachQuotedInclude(std::string_view text,
                          const std::function<void(int line, std::string_view header)>& visit) {
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++lineNumber;
        const std::string_view header = quotedInclude(line);
        if (!header.empty()) {
            visit(lineNumber, header);
        }
    }
}

std::vector<IncludeViolation> violationsInFolders(const fs::path& root,
                                                  std::span<const std::string_view> folders,
                                                  const FileCheck& check) {
    std::vector<IncludeViolation> found;
    for (std::string_view folder : folders) {
        const fs::path top = root / folder;
        if (!fs::is_directory(top)) {
            continue;
        }
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top)) {
            const fs::path& path = entry.path();
            if (!entry.is_regular_file() ||
                (path.extension() != ".h" && path.extension() != ".cpp")) {
                continue;
            }
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            const std::string relative = path.lexically_relative(root).generic_string();
            for (IncludeViolation& violation : check(relative, text.str())) {
                found.push_back(std::move(violation));
            }
        }
    }
    return found;
}

std::vector<IncludeViolation> violationsInTree(const fs::path& root) {
    return violationsInFolders(root, kLayeredFolders, violationsIn);
}

}  // namespace structure
