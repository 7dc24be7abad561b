#pragma once

#include <string>
#include <vector>

#include "ctl/CommandTable.h"

namespace ctl {

// The result of parsing a command line.
struct ParseResult {
    // Null when no command was named (with --help, the general help is wanted).
    const Command* command = nullptr;
    // The words given so far when they only begin command names ("fw" alone).
    std::vector<std::string> partialWords;
    Invocation invocation;
    // Not empty when the command line is wrong; say it and exit with kExitUsage.
    std::string error;
};

// The strict parser every command shares. Global options (--json, -v/--verbose, -h/--help,
// --backend NAME) may stand anywhere; a command's own options only after the command words.
// Values follow as the next argument or after "=" ("--seconds=5"). "--" ends the options.
// Unknown options, unknown commands, missing option values and a wrong number of arguments are
// errors.
class OptionParser {
public:
    explicit OptionParser(const CommandTable& table) : m_table(table) {}

    ParseResult parse(const std::vector<std::string>& args) const;

    // The options every command accepts, for the help text.
    static const std::vector<OptionDef>& globalOptions();

private:
    const CommandTable& m_table;
};

}  // namespace ctl
