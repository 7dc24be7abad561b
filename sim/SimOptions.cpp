#include "sim/SimOptions.h"

#include <charconv>
#include <string_view>

#include "base/Log.h"
#include "sim/CtlCommands.h"

namespace sim {

bool SimOptions::parse(int argc, const char* const* argv, SimOptions& options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                *error = std::string(flag) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (flag == "--help" || flag == "-h") {
            options.help = true;
        } else if (flag == "--version") {
            options.version = true;
        } else if (flag == "--demo") {
            options.demo = true;
        } else if (flag == "-v" || flag == "--verbose") {
            options.verbose = true;
        } else if (flag == "--log-level") {
            if (!value(text)) {
                return false;
            }
            const std::optional<int> level = base::log::parseLevel(text);
            if (!level) {
                *error = "--log-level needs one of debug, info, notice, warning, error, off";
                return false;
            }
            options.logLevel = level;
        } else if (flag == "--no-http") {
            options.noHttp = true;
        } else if (flag == "--socket") {
            if (!value(text)) {
                return false;
            }
            options.socket = text;
        } else if (flag == "--scenario") {
            if (!value(text)) {
                return false;
            }
            options.scenario = text;
        } else if (flag == "--transcript") {
            if (!value(text)) {
                return false;
            }
            options.transcript = text;
        } else if (flag == "--installer") {
            if (!value(text)) {
                return false;
            }
            options.installer = text;
        } else if (flag == "--http-port") {
            if (!value(text)) {
                return false;
            }
            int port = -1;
            const auto [end, problem] =
                std::from_chars(text.data(), text.data() + text.size(), port);
            if (problem != std::errc() || end != text.data() + text.size() || port < 0 ||
                port > 65535) {
                *error = "--http-port takes a port number from 0 to 65535";
                return false;
            }
            options.httpPort = port;
        } else {
            *error = "unknown argument " + std::string(flag) + " (see --help)";
            return false;
        }
    }
    return true;
}

std::string SimOptions::usage() {
    return std::string(
               "Usage: auralis-sim [OPTIONS]\n"
               "\n"
               "Virtual Auralis earbuds of both generations on a local socket, and a local update\n"
               "server. Stops cleanly on SIGINT or SIGTERM and removes its socket.\n"
               "\n"
               "Options:\n"
               "  --socket PATH      the neighbourhood socket (default $AURALIS_SIM_SOCKET, else\n"
               "                     $XDG_RUNTIME_DIR/auralis-sim.sock)\n"
               "  --http-port N      port of the update server on 127.0.0.1; 0 picks a free one\n"
               "                     (the default); the address is printed as\n"
               "                     \"update server: http://127.0.0.1:PORT\"\n"
               "  --no-http          run without the update server\n"
               "  --scenario FILE    devices, timings and server settings from a JSON file\n"
               "  --transcript DIR   write every frame each device receives and sends to\n"
               "                     DIR/AA_BB_CC_DD_EE_FF.log (time, direction, hex)\n"
               "  --installer FILE   serve this file (the installer the build made) for every\n"
               "                     application download instead of a stand-in script that\n"
               "                     installs nothing\n"
               "  --demo             add \"Auralis+ (4F2A)\" (second generation) and\n"
               "                     \"Auralis (77A0)\" (first generation); their batteries drain\n"
               "                     and a bud goes into the case now and then; the update server\n"
               "                     offers newer firmware and a newer application\n"
               "  -v, --verbose      copy the log to stderr\n"
               "  --log-level LEVEL  debug, info, notice, warning, error or off\n"
               "  -h, --help         this text\n"
               "  --version          the version\n"
               "\n"
               "Socket requests (one per connection, one line): RADIO, SCAN, PAIR <address>,\n"
               "UNPAIR <address>, CONNECT <address> <uuid>, CTL <command>. CTL commands:\n") +
           CtlCommands::kHelp;
}

}  // namespace sim
