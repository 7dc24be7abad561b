#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ctl {

class Output;

enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailure = 1,  // the operation failed
    kExitUsage = 2,    // the command line was wrong
};

// An option: "--name" (and optionally a one-letter "-x"), with or without a value.
struct OptionDef {
    std::string name;
    std::string shortName;
    // Empty for a flag; else the value's placeholder in the help ("N", "bluez|sim").
    std::string valueName;
    std::string help;
};

// The options every command accepts, wherever they stand on the command line.
struct GlobalOptions {
    bool json = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    // --log-level as given; empty when absent.
    std::string logLevel;
    // --backend, else $AURALIS_BACKEND, else "bluez"; checked by the commands that use it.
    std::string backend;
};

// A parsed command line, handed to the command's handler.
struct Invocation {
    GlobalOptions global;
    // The positional arguments after the command words.
    std::vector<std::string> args;
    // The command's own options that were given, by name ("--seconds" → "5"; flags → "").
    std::map<std::string, std::string> options;

    std::optional<std::string> option(const std::string& name) const;
};

struct Command {
    // The words that name the command: {"fw", "info"}.
    std::vector<std::string> words;
    // Arguments as shown in the usage: "FILE", "OUT ID=FILE...".
    std::string argsUsage;
    std::string summary;
    std::vector<OptionDef> options;
    std::size_t minArgs = 0;
    std::size_t maxArgs = std::numeric_limits<std::size_t>::max();
    std::function<int(const Invocation&, Output&)> run;

    std::string name() const;   // "fw info"
    std::string usage() const;  // "fw info FILE"
};

// Every command of the program; each group of commands registers its own.
class CommandTable {
public:
    void add(Command command);
    const std::vector<Command>& commands() const { return m_commands; }

    // The command named exactly by words, or null.
    const Command* find(const std::vector<std::string>& words) const;
    // True when words begin the name of some command.
    bool isPrefix(const std::vector<std::string>& words) const;

private:
    std::vector<Command> m_commands;
};

}  // namespace ctl
