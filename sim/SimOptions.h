#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace sim {

// The command line of auralis-sim.
struct SimOptions {
    std::filesystem::path socket;  // empty: the default (Simulator::defaultSocketPath)
    std::optional<int> httpPort;   // empty: the scenario's (default 0, a free port)
    bool noHttp = false;
    std::filesystem::path scenario;
    std::filesystem::path transcript;
    std::filesystem::path installer;  // served for every application download; empty: the stand-in
    bool demo = false;
    bool verbose = false;
    // --log-level, when given.
    std::optional<int> logLevel;
    bool help = false;
    bool version = false;

    // Fails with a message for unknown flags and missing or bad values.
    static bool parse(int argc, const char* const* argv, SimOptions& options, std::string* error);
    // The text of --help, with every flag and every CTL command.
    static std::string usage();
};

}  // namespace sim
