// auralis-iconset: renders the application icon's SVG source into the PNG sizes of the desktop's
// icon theme, so the menu shows the same artwork as the window's title bar.
//
//   auralis-iconset SVG OUT_DIR SIZE...   writes OUT_DIR/NxN/apps/<svg name>.png per size

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "tools/artgen/ArtworkJob.h"
#include "tools/artgen/SvgRenderer.h"

namespace fs = std::filesystem;

namespace {

bool ParseSize(std::string_view text, int& size) {
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), size);
    return problem == std::errc() && end == text.data() + text.size() && size >= 8 && size <= 1024;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: auralis-iconset SVG OUT_DIR SIZE...\n");
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path out = argv[2];
    std::ifstream file(source, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "auralis-iconset: cannot read %s\n", source.c_str());
        return 1;
    }
    std::stringstream text;
    text << file.rdbuf();
    for (int i = 3; i < argc; ++i) {
        int size = 0;
        if (!ParseSize(argv[i], size)) {
            std::fprintf(stderr, "auralis-iconset: bad size %s\n", argv[i]);
            return 2;
        }
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const fs::path target = out / folder / "apps" / source.filename().replace_extension(".png");
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        artgen::ArtworkJob job;
        job.output = target.filename().string();
        job.canvasWidth = size;
        job.canvasHeight = size;
        const std::string problem = artgen::SvgRenderer::Render(text.str(), job, target);
        if (!problem.empty()) {
            std::fprintf(stderr, "auralis-iconset: %s\n", problem.c_str());
            return 1;
        }
    }
    return 0;
}
