// AuralisManager: the desktop companion for Auralis earbuds.

#include <cstdio>
#include <memory>
#include <string>

#include "app/SGUIMain.h"
#include "base/Log.h"
#include "platform/window/Backend.h"
#include "ui/SCommandLine.h"

int main(int argc, char** argv) {
    SCommandLine::Set(argc, argv);
    services::log::installFatalSignalFlush();
    std::string logLevelError;
    if (!services::log::applyLevelOption(SCommandLine::GetArguments(), &logLevelError)) {
        std::fprintf(stderr, "%s: %s\n", "AuralisManager", logLevelError.c_str());
        return 2;
    }
    if (SCommandLine::Has("--help") || SCommandLine::Has("-h")) {
        std::printf(
            "usage: AuralisManager [-v] [--log-level LEVEL] [/windowbasefinder]\n"
            "  -v                  write the log to stderr as well\n"
            "  --log-level LEVEL   debug, info, notice, warning, error or off\n"
            "  /windowbasefinder   open the toolkit's widget inspector beside the window\n"
            "Environment: AURALIS_BACKEND (bluez or sim), AURALIS_WINDOW_BACKEND (sdl or\n"
            "headless), AURALIS_SCALE, AURALIS_LANG; see the README.\n");
        return 0;
    }
    if (SCommandLine::Has("-v")) {
        services::log::Options options;
        options.name = "AuralisManager";
        options.toStderr = true;
        services::log::configure(options);
    }
    std::unique_ptr<platform::window::Backend> backend = platform::window::createBackend("sdl");
    if (!backend) {
        std::fprintf(stderr,
                     "AuralisManager: no display. Run it on a desktop, or under Xvfb: "
                     "xvfb-run -a build/bin/AuralisManager\n");
        return 1;
    }
    SGUIMain app(*backend);
    if (app.InitInstance() == 0) {
        // A second instance or a window that could not be made: nothing was shown.
        app.ExitInstance();
        return 0;
    }
    return app.Run();
}
