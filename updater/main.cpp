// AuralisManagerUpdateClient: downloads a new version of Auralis Manager and runs its installer.

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "a11y/AccessibilityBridge.h"
#include "platform/window/Backend.h"
#include "ui/SCommandLine.h"
#include "ui/SCommonOptions.h"
#include "updater/SGUIMain.h"

namespace {

constexpr const char* kUsage =
    "usage: AuralisManagerUpdateClient [-v] [--log-level LEVEL] /v VERSION /u ADDRESS\n"
    "  /v VERSION   the version being installed (shown in the window)\n"
    "  /u ADDRESS   where to download its installer (https, or http to this machine)\n"
    "  -v           write the log to stderr as well\n"
    "  --version    the version\n"
    "  --log-level LEVEL  debug, info, notice, warning, error or off\n"
    "Normally started by AuralisManager when the user accepts a new version.\n";

// The first dash option the client does not know, or an empty text. Words after /v and /u are
// their values whatever they look like; other words (a whole command line passed as one text,
// for instance) are read by the client as it always has.
std::string FirstUnknownOption() {
    const std::vector<std::string> arguments = SCommandLine::GetArguments();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "/v" || argument == "/u" || argument == "--log-level") {
            ++i;
            continue;
        }
        const bool known = argument == "-v" || argument == "-h" || argument == "--help" ||
                           argument == "--version" || argument.rfind("--log-level=", 0) == 0;
        if (!known && argument.size() > 1 && argument[0] == '-') {
            return argument;
        }
    }
    return {};
}

// The stop requests the client handles itself, so that a download stopped by one leaves no
// partial file behind.
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// Blocked in every thread (so before any is made); one thread takes them and has the UI thread
// stop. Should the UI thread not get to it, the process ends anyway a little later.
void HandleStopSignals(platform::window::Backend& backend, updater::SGUIMain& app) {
    std::thread([&backend, &app] {
        const sigset_t set = StopSignals();
        int signal = 0;
        if (sigwait(&set, &signal) != 0) {
            return;
        }
        backend.postCall([&app, signal] { app.StopOnSignal(signal); });
        std::this_thread::sleep_for(std::chrono::seconds(3));
        std::_Exit(128 + signal);
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    const SCommonOptions::Program program{"AuralisManagerUpdateClient", kUsage, "option",
                                          FirstUnknownOption};
    if (const int exitCode = SCommonOptions::Apply(argc, argv, program); exitCode >= 0) {
        return exitCode;
    }

    const sigset_t stopSignals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::unique_ptr<platform::window::Backend> backend = platform::window::createBackend("sdl");
    if (!backend) {
        std::fprintf(stderr,
                     "AuralisManagerUpdateClient: no display. Run it on a desktop, or under "
                     "Xvfb.\n");
        return 1;
    }
    updater::SGUIMain app(*backend);
    HandleStopSignals(*backend, app);
    // On the desktop's accessibility bus when it has one; nothing runs otherwise.
    const auto accessibility =
        a11y::AccessibilityBridge::Start(app.GetDispatcher(), "AuralisManagerUpdateClient");
    if (app.InitInstance() == 0) {
        app.ExitInstance();
        return 2;
    }
    return app.Run();
}
