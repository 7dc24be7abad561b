// auralis-artgen: renders every picture of the program from the SVG templates into the
// resource folder beside the programs, each at 1x, 1.5x and 2x.
//
//   auralis-artgen --templates DIR --out RESDIR [--list FILE] [--only SUBSTRING]

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tools/artgen/ArtworkCatalog.h"
#include "tools/artgen/SvgRenderer.h"
#include "tools/artgen/SvgTemplate.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    fs::path templates;
    fs::path out;
    fs::path list;
    std::string only;
};

bool ReadFile(const fs::path& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::stringstream buffer;
    buffer << file.rdbuf();
    text = buffer.str();
    return true;
}

// Every picture is drawn for plain, 1.5x and 2x screens. The scaled files sit beside the plain
// one with the scale before the extension ("x.png", "x@1.5x.png", "x@2x.png"); the image loader
// picks the one nearest to the zoom factor.
struct Variant {
    double scale;
    const char* suffix;
};
constexpr Variant kVariants[] = {{1.0, ""}, {1.5, "@1.5x"}, {2.0, "@2x"}};

std::string VariantName(const std::string& output, const char* suffix) {
    const std::size_t dot = output.rfind('.');
    if (*suffix == '\0' || dot == std::string::npos) {
        return output;
    }
    return output.substr(0, dot) + suffix + output.substr(dot);
}

constexpr const char* kUsage =
    "usage: auralis-artgen --templates DIR --out RESDIR [--list FILE] [--only SUBSTRING]\n"
    "  renders every picture of the SVG templates in DIR at 1x, 1.5x and 2x into RESDIR\n";

// A mistyped command line is refused with the usage on stderr and exit 2.
int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--templates") == 0 && hasValue) {
            options.templates = argv[++i];
        } else if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            options.out = argv[++i];
        } else if (std::strcmp(argv[i], "--list") == 0 && hasValue) {
            options.list = argv[++i];
        } else if (std::strcmp(argv[i], "--only") == 0 && hasValue) {
            options.only = argv[++i];
        } else {
            return Usage();
        }
    }
    if (options.templates.empty() || options.out.empty()) {
        return Usage();
    }
    std::map<std::string, artgen::SvgTemplate> templates;
    std::ofstream list;
    if (!options.list.empty()) {
        list.open(options.list);
    }
    int written = 0;
    for (const artgen::ArtworkJob& job : artgen::BuildCatalog()) {
        if (!options.only.empty() && job.output.find(options.only) == std::string::npos) {
            continue;
        }
        auto it = templates.find(job.templateName);
        if (it == templates.end()) {
            std::string text;
            if (!ReadFile(options.templates / job.templateName, text)) {
                std::fprintf(stderr, "auralis-artgen: cannot read template %s\n",
                             (options.templates / job.templateName).c_str());
                return 1;
            }
            it = templates.emplace(job.templateName, artgen::SvgTemplate(text)).first;
        }
        std::string missing;
        const std::string svg = it->second.Fill(job.values, missing);
        if (!missing.empty()) {
            std::fprintf(stderr, "auralis-artgen: %s: no value for {{%s}} in %s\n",
                         job.output.c_str(), missing.c_str(), job.templateName.c_str());
            return 1;
        }
        for (const Variant& variant : kVariants) {
            const fs::path target = options.out / VariantName(job.output, variant.suffix);
            const std::string failure =
                artgen::SvgRenderer::Render(svg, job, target, variant.scale);
            if (!failure.empty()) {
                std::fprintf(stderr, "auralis-artgen: %s: %s\n", target.c_str(), failure.c_str());
                return 1;
            }
        }
        if (list.is_open()) {
            list << job.output << ' ' << (job.width > 0 ? job.width : job.canvasWidth) << 'x'
                 << (job.height > 0 ? job.height : job.canvasHeight) << '\n';
        }
        ++written;
    }
    std::printf("auralis-artgen: %d pictures in %s\n", written, options.out.c_str());
    return 0;
}
