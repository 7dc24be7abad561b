// AuralisManager: the desktop companion for Auralis earbuds.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "a11y/AccessibilityBridge.h"
#include "app/EarbudsBatteryIndicator.h"
#include "app/SGUIMain.h"
#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/BackendFactory.h"
#include "platform/window/Backend.h"
#include "ui/SCommandLine.h"
#include "ui/SCommonOptions.h"

namespace {

constexpr const char* kUsage =
    "usage: AuralisManager [-v] [--log-level LEVEL] [/windowbasefinder]\n"
    "  -v                  write the log to stderr as well\n"
    "  --version           the version\n"
    "  --log-level LEVEL   debug, info, notice, warning, error or off\n"
    "  /windowbasefinder   open the toolkit's widget inspector beside the window\n"
    "Environment: AURALIS_BACKEND (bluez or sim), AURALIS_WINDOW_BACKEND (sdl or\n"
    "headless), AURALIS_SCALE, AURALIS_LANG; see the README.\n";

// The first argument the program does not know, or an empty text when all are known. The
// inspector switch counts wherever it appears inside an argument, as the toolkit looks for it.
std::string FirstUnknownArgument() {
    const std::vector<std::string> arguments = SCommandLine::GetArguments();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--log-level") {
            ++i;  // its value was checked when the level was applied
            continue;
        }
        const bool known = argument == "-v" || argument == "-h" || argument == "--help" ||
                           argument == "--version" || argument.rfind("--log-level=", 0) == 0 ||
                           argument.find("/windowbasefinder") != std::string::npos;
        if (!known) {
            return argument.empty() ? std::string("''") : argument;
        }
    }
    return {};
}

// The Bluetooth backend ($AURALIS_BACKEND, else BlueZ) for the process-wide link, and the
// desktop battery indicator that goes with it.
void InstallBluetooth() {
    const std::string name = platform::bluetooth::defaultBackendName();
    BluetoothHandle::InstallBackend(platform::bluetooth::createBackend(name));
    EarbudsBatteryIndicator::InstallProvider(
        [name] { return platform::bluetooth::createBatteryProvider(name); });
}

}  // namespace

int main(int argc, char** argv) {
    const SCommonOptions::Program program{"AuralisManager", kUsage, "argument",
                                          FirstUnknownArgument};
    if (const int exitCode = SCommonOptions::Apply(argc, argv, program); exitCode >= 0) {
        return exitCode;
    }
    std::unique_ptr<platform::window::Backend> backend = platform::window::createBackend("sdl");
    if (!backend) {
        std::fprintf(stderr,
                     "AuralisManager: no display. Run it on a desktop, or under Xvfb: "
                     "xvfb-run -a build/bin/AuralisManager\n");
        return 1;
    }
    InstallBluetooth();
    int status = 0;
    {
        SGUIMain app(*backend);
        // On the desktop's accessibility bus when it has one; nothing runs otherwise.
        const auto accessibility =
            a11y::AccessibilityBridge::Start(app.GetDispatcher(), "AuralisManager");
        if (app.InitInstance() == 0) {
            // A second start the running copy answered ends quietly; a main window that could
            // not be made, or a hand-over that showed nothing, is an error.
            const bool failed = app.StartFailed();
            app.ExitInstance();
            return failed ? 1 : 0;
        }
        status = app.Run();
    }
    backend.reset();
    _Log(LOG_INFO, "main", __LINE__, "AuralisManager ends, exit code %d", status);
    base::log::flush();
    return status;
}
