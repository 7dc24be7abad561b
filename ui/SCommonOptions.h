#pragma once

#include <functional>
#include <string>

// The options the windowed programs share, handled before anything else starts: the log level
// (--log-level), the version (--version), the usage (--help, -h), the log on stderr (-v), and
// the refusal of anything the program does not know.
class SCommonOptions {
public:
    struct Program {
        const char* name;   // "AuralisManager": starts every line written here
        const char* usage;  // the whole usage text
        // How the refusal names what it refuses: "argument" or "option".
        const char* unknownKind;
        // The first argument the program does not know; empty when it knows them all.
        std::function<std::string()> firstUnknown;
    };

    // Takes the command line (SCommandLine::Set) and the common options. Returns -1 when the
    // program goes on; otherwise the exit code it ends with: 0 after --version or --help, 2 for
    // a bad log level or an unknown argument (the reason and the usage on stderr).
    static int Apply(int argc, char** argv, const Program& program);
};
