#pragma once

#include <filesystem>
#include <string>

#include "tools/artgen/ArtworkJob.h"

namespace artgen {

// Renders filled-in SVG text with librsvg onto a cairo surface and writes the job's crop as a
// PNG (through a temporary file, so a broken run never leaves half a picture).
class SvgRenderer {
public:
    // Returns an empty string on success, else what went wrong.
    static std::string Render(const std::string& svg, const ArtworkJob& job,
                              const std::filesystem::path& target);
};

}  // namespace artgen
