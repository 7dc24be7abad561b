#include "ctl/CtlApp.h"

#include <algorithm>

#include "auralis/Version.h"
#include "base/Log.h"
#include "ctl/BluetoothCommands.h"
#include "ctl/CommandTable.h"
#include "ctl/DoctorCommand.h"
#include "ctl/FirmwareCommands.h"
#include "ctl/FirmwareFlowCommands.h"
#include "ctl/OptionParser.h"
#include "ctl/Output.h"
#include "ctl/ReportCommand.h"

namespace ctl {
namespace {

CommandTable buildTable() {
    CommandTable table;
    addBluetoothCommands(table);
    addFirmwareCommands(table);
    addFirmwareCheckCommand(table);
    addFirmwareUpdateCommand(table);
    addDoctorCommand(table);
    addReportCommand(table);
    return table;
}

void printOptions(std::ostream& out, const std::vector<OptionDef>& options) {
    for (const OptionDef& option : options) {
        std::string left = option.shortName.empty() ? "    " : option.shortName + ", ";
        left += option.name + (option.valueName.empty() ? "" : " " + option.valueName);
        out << "  " << left << std::string(left.size() < 24 ? 24 - left.size() : 1, ' ')
            << option.help << '\n';
    }
}

void printHelp(std::ostream& out, const CommandTable& table,
               const std::vector<std::string>& words) {
    out << "usage: auralis-ctl [--backend bluez|sim] [--json] [-v] COMMAND [ARGS]\n\n"
        << "commands:\n";
    for (const Command& command : table.commands()) {
        const bool listed = words.size() <= command.words.size() &&
                            std::equal(words.begin(), words.end(), command.words.begin());
        if (!listed) {
            continue;
        }
        out << "  " << command.usage() << "\n      " << command.summary << '\n';
        printOptions(out, command.options);
    }
    out << "\noptions:\n";
    printOptions(out, OptionParser::globalOptions());
    out << "\nexit status: 0 success, 1 the operation failed, 2 bad usage\n";
}

void printShortUsage(std::ostream& err, const CommandTable& table) {
    err << "usage: auralis-ctl [--backend bluez|sim] [--json] [-v] COMMAND [ARGS]\n";
    for (const Command& command : table.commands()) {
        err << "       auralis-ctl " << command.usage() << '\n';
    }
    err << "Try 'auralis-ctl --help' for more.\n";
}

// --json anywhere among the options, also after the word that made the command line wrong: a
// script that asked for JSON gets its error as JSON.
bool asksForJson(const std::vector<std::string>& args) {
    const auto end = std::find(args.begin(), args.end(), "--");
    return std::find(args.begin(), end, "--json") != end;
}

int runParsed(const CommandTable& table, const ParseResult& parsed, Output& output) {
    std::ostream& out = output.out();
    std::ostream& err = output.err();
    if (!parsed.error.empty()) {
        output.error(parsed.error);
        printShortUsage(err, table);
        return kExitUsage;
    }
    if (parsed.invocation.global.version) {
        out << "auralis-ctl " << AURALIS_VERSION << '\n';
        return kExitSuccess;
    }
    if (parsed.invocation.global.help) {
        printHelp(out, table,
                  parsed.command != nullptr ? parsed.command->words : parsed.partialWords);
        return kExitSuccess;
    }
    const std::string& logLevel = parsed.invocation.global.logLevel;
    if (!logLevel.empty()) {
        const std::optional<int> level = base::log::parseLevel(logLevel);
        if (!level) {
            output.error("--log-level needs one of debug, info, notice, warning, error, off");
            return kExitUsage;
        }
        base::log::setLevel(*level);
    }
    if (parsed.invocation.global.verbose) {
        base::log::configure({.name = "auralis-ctl", .toStderr = true});
    }
    return parsed.command->run(parsed.invocation, output);
}

}  // namespace

int runCtl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool outIsTerminal) {
    const CommandTable table = buildTable();
    const ParseResult parsed = OptionParser(table).parse(args);
    Output output(out, err, parsed.invocation.global.json || asksForJson(args));
    output.setTerminal(outIsTerminal);
    const int exitCode = runParsed(table, parsed, output);
    output.endCommand(exitCode);
    return exitCode;
}

}  // namespace ctl
