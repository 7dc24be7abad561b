// ui-gallery: a visual check of the toolkit. Shows a window with pages for the toolkit core,
// the standard widgets, animation, dialogs and tooltips, and the artwork; or, with --png or
// --png-dir, renders pages, dialogs and tooltips on the headless backend into PNG files.
// With --inspector (or "/windowbasefinder" anywhere in an argument, as the main program takes
// it) the widget inspector opens beside the gallery.

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/TickCount.h"
#include "platform/window/Backend.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "tools/gallery/GalleryFrame.h"
#include "tools/gallery/GalleryShots.h"
#include "ui/SCommandLine.h"
#include "ui/SDispatcher.h"
#include "ui/SFontTable.h"
#include "ui/SGUIApp.h"
#include "ui/SWindowBaseFinderFrame.h"

namespace {

struct Options {
    std::string png;
    std::string pngDir;
    std::string page = "core";
    double scale = 0;
    std::string language = "en-US";
    bool rightToLeft = false;
    uint32_t quitAfter = 0;
    bool inspector = false;
};

void PrintUsage() {
    std::printf(
        "usage: ui-gallery [--page NAME] [--png OUT.png | --png-dir DIR] [--scale Z] [--lang TAG]\n"
        "                  [--rtl] [--quit-after MS] [--inspector]\n"
        "  --page NAME      the page shown: core, widgets, animation, dialogs, artwork\n"
        "  --png OUT.png    render the page without a display into OUT.png and exit\n"
        "  --png-dir DIR    render every page, a message dialog of each button set, the\n"
        "                   popups, the HTML dialog and the tooltips into DIR and exit\n"
        "  --scale Z        zoom factor (0.5 to 4; default: the screen's, or AURALIS_SCALE)\n"
        "  --lang TAG       language for the font choice, e.g. ko-KR (default en-US)\n"
        "  --rtl            lay the window out right to left\n"
        "  --quit-after MS  close the window after MS milliseconds\n"
        "  --inspector      open the widget inspector \"WindowBase Finder\" (the same as\n"
        "                   /windowbasefinder); with --png the picture shows the gallery with\n"
        "                   a hovered button and the inspector beside it\n"
        "The window backend is AURALIS_WINDOW_BACKEND (sdl or headless; default sdl).\n");
}

// 0 = go on, 1 = exit with success (help), 2 = bad usage.
int ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 1;
        } else if (arg == "--png" && hasValue) {
            options.png = argv[++i];
        } else if (arg == "--png-dir" && hasValue) {
            options.pngDir = argv[++i];
        } else if (arg == "--page" && hasValue) {
            options.page = argv[++i];
            const auto& names = GalleryFrame::PageNames();
            if (std::find(names.begin(), names.end(), options.page) == names.end()) {
                std::fprintf(stderr, "ui-gallery: no page %s\n", options.page.c_str());
                return 2;
            }
        } else if (arg == "--scale" && hasValue) {
            char* end = nullptr;
            options.scale = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(options.scale >= 0.5 && options.scale <= 4)) {
                std::fprintf(stderr, "ui-gallery: --scale wants a number from 0.5 to 4\n");
                return 2;
            }
        } else if (arg == "--lang" && hasValue) {
            options.language = argv[++i];
        } else if (arg == "--inspector") {
            options.inspector = true;
        } else if (arg.find(SWindowBaseFinderFrame::kSwitch) != std::string::npos) {
            options.inspector = true;  // the main program's switch, anywhere in an argument
        } else if (arg == "--rtl") {
            options.rightToLeft = true;
        } else if (arg == "--quit-after" && hasValue) {
            options.quitAfter = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "ui-gallery: unknown or incomplete option %s\n", arg.c_str());
            PrintUsage();
            return 2;
        }
    }
    return 0;
}

// The inspector opens centred, over the gallery; beside it is easier to use when the display
// has room.
void PlaceInspectorBeside(GalleryFrame& frame, platform::window::Backend& backend) {
    SWindowBaseFinderFrame* inspector = SWindowBaseFinderFrame::ShowFor(frame);
    if (inspector == nullptr) {
        return;
    }
    const platform::window::Rect gallery = frame.GetWindow()->screenRect();
    const platform::window::Rect own = inspector->GetWindow()->screenRect();
    const platform::window::Rect display =
        backend.displayBoundsNear(platform::window::Point{gallery.x, gallery.y});
    constexpr int kGap = 16;
    if (gallery.x + gallery.width + kGap + own.width <= display.x + display.width) {
        inspector->MoveWindow(gallery.x + gallery.width + kGap, gallery.y);
    }
}

bool CreateFrame(GalleryFrame& frame, const Options& options) {
    frame.zoomMode = 1;
    frame.rightToLeft = options.rightToLeft ? 1 : 0;
    frame.QuitAfter(options.quitAfter);
    frame.SetInitialPage(options.page);
    const double zoom = SDispatcher::GetZoomFactor();
    SFrameOptions create;
    create.title = "Auralis UI gallery";
    create.rect = SRect(0, 0, std::ceil(GalleryFrame::kDesignWidth * zoom),
                        std::ceil(GalleryFrame::kDesignHeight * zoom));
    create.centered = true;
    return frame.Create(create) != 0;
}

int RenderToPng(const Options& options) {
    // A clock of our own: every delayed show, fade and zoom runs to its end at once.
    platform::ManualTickSource clock;
    platform::window::HeadlessBackend backend;
    SGUIApp app(backend);
    if (options.scale > 0) {
        SDispatcher::SetZoomFactor(options.scale);
    }
    app.SetLanguage(options.language);
    SFontTable::Instance().SetRightToLeft(options.rightToLeft);
    app.InitInstance();
    app.GetDispatcher().running = 1;
    app.GetDispatcher().SetLastFrameTick(clock.now());
    GalleryFrame frame;
    if (!CreateFrame(frame, options)) {
        std::fprintf(stderr, "ui-gallery: cannot create the window\n");
        return 1;
    }
    frame.Show();
    GalleryShots shots(backend, app, clock);
    shots.Advance(100);
    int failures = 0;
    if (!options.pngDir.empty()) {
        failures = shots.All(frame, options.pngDir);
    } else if (options.inspector) {
        failures = shots.Inspector(frame, options.png) ? 0 : 1;
    } else if (!shots.Page(frame, options.page, options.png)) {
        failures = 1;
    }
    app.GetDispatcher().running = 0;
    return failures == 0 ? 0 : 1;
}

int ShowWindow(const Options& options) {
    std::unique_ptr<platform::window::Backend> backend = platform::window::createBackend("sdl");
    if (!backend) {
        std::fprintf(stderr, "ui-gallery: no display (set DISPLAY, or use --png)\n");
        return 1;
    }
    if (std::strcmp(backend->name(), "headless") == 0) {
        std::fprintf(stderr, "ui-gallery: the headless backend has no screen; use --png\n");
        return 2;
    }
    SGUIApp app(*backend);
    if (options.scale > 0) {
        SDispatcher::SetZoomFactor(options.scale);
    }
    app.SetLanguage(options.language);
    SFontTable::Instance().SetRightToLeft(options.rightToLeft);
    app.InitInstance();
    GalleryFrame frame;
    if (!CreateFrame(frame, options)) {
        std::fprintf(stderr, "ui-gallery: cannot create the window\n");
        return 1;
    }
    app.SetMainFrame(&frame);
    frame.Show();
    if (SCommandLine::Contains(SWindowBaseFinderFrame::kSwitch)) {
        PlaceInspectorBeside(frame, *backend);
    }
    return app.Run();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }
    SCommandLine::Set(argc, argv);
    if (options.inspector && !SCommandLine::Contains(SWindowBaseFinderFrame::kSwitch)) {
        // --inspector is the readable spelling of the main program's switch.
        std::vector<std::string> arguments = SCommandLine::GetArguments();
        arguments.emplace_back(SWindowBaseFinderFrame::kSwitch);
        SCommandLine::SetArguments(std::move(arguments));
    }
    return options.png.empty() && options.pngDir.empty() ? ShowWindow(options)
                                                         : RenderToPng(options);
}
