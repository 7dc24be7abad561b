#pragma once

#include <filesystem>
#include <string>

#include "tools/artgen/ArtworkJob.h"

namespace artgen {

// Renders filled-in SVG text with librsvg onto a cairo surface and writes the job's crop as a
// PNG (through a temporary file, so a broken run never leaves half a picture).
class SvgRenderer {
public:
    // Returns an empty string on success, else what went wrong. `scale` renders the vector
    // source that many times larger (1.5 or 2 for scaled screens); a fractional pixel size is
    // rounded to the nearest whole pixel.
    static std::string Render(const std::string& svg, const ArtworkJob& job,
                              const std::filesystem::path& target, double scale = 1.0);

    // The pixel size of `logical` units at `scale`.
    static int ScaledSize(int logical, double scale);
};

}  // namespace artgen
