#pragma once

#include <map>
#include <string>

namespace artgen {

// One picture to make: an SVG template rendered at its canvas size with its placeholders
// ({{name}}) filled in, then the crop rectangle written as a PNG.
struct ArtworkJob {
    std::string output;        // path below the resource folder, e.g. "Device/home_buds_blue.png"
    std::string templateName;  // file in the template folder
    int canvasWidth = 0;
    int canvasHeight = 0;
    int cropX = 0;
    int cropY = 0;
    int width = 0;  // of the picture written; the whole canvas when 0
    int height = 0;
    std::map<std::string, std::string> values;
};

}  // namespace artgen
