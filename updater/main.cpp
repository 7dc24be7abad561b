// AuralisManagerUpdateClient: downloads a new version of Auralis Manager and runs its installer.

#include <cstdio>
#include <memory>
#include <string>

#include "base/Log.h"
#include "platform/window/Backend.h"
#include "ui/SCommandLine.h"
#include "updater/SGUIMain.h"

int main(int argc, char** argv) {
    SCommandLine::Set(argc, argv);
    services::log::installFatalSignalFlush();
    std::string logLevelError;
    if (!services::log::applyLevelOption(SCommandLine::GetArguments(), &logLevelError)) {
        std::fprintf(stderr, "%s: %s\n", "AuralisManagerUpdateClient", logLevelError.c_str());
        return 2;
    }
    if (SCommandLine::Has("--help") || SCommandLine::Has("-h")) {
        std::printf(
            "usage: AuralisManagerUpdateClient [-v] [--log-level LEVEL] /v VERSION /u ADDRESS\n"
            "  /v VERSION   the version being installed (shown in the window)\n"
            "  /u ADDRESS   where to download its installer (https, or http to this machine)\n"
            "  -v           write the log to stderr as well\n"
            "  --log-level LEVEL  debug, info, notice, warning, error or off\n"
            "Normally started by AuralisManager when the user accepts a new version.\n");
        return 0;
    }
    if (SCommandLine::Has("-v")) {
        services::log::Options options;
        options.name = "AuralisManagerUpdateClient";
        options.toStderr = true;
        services::log::configure(options);
    }

    std::unique_ptr<platform::window::Backend> backend = platform::window::createBackend("sdl");
    if (!backend) {
        std::fprintf(stderr,
                     "AuralisManagerUpdateClient: no display. Run it on a desktop, or under "
                     "Xvfb.\n");
        return 1;
    }
    updater::SGUIMain app(*backend);
    if (app.InitInstance() == 0) {
        app.ExitInstance();
        return 2;
    }
    return app.Run();
}
