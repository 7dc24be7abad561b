#include "ctl/OptionParser.h"

#include <cstdlib>

namespace ctl {
namespace {

const OptionSpec* findOption(const std::vector<OptionSpec>& specs, const std::string& name) {
    for (const OptionSpec& spec : specs) {
        if (spec.name == name || (!spec.shortName.empty() && spec.shortName == name)) {
            return &spec;
        }
    }
    return nullptr;
}

std::string defaultBackend() {
    const char* value = std::getenv("AURALIS_BACKEND");
    return value != nullptr && *value != '\0' ? value : "bluez";
}

void applyGlobal(const OptionSpec& spec, const std::string& value, GlobalOptions& global) {
    if (spec.name == "--json") {
        global.json = true;
    } else if (spec.name == "--verbose") {
        global.verbose = true;
    } else if (spec.name == "--help") {
        global.help = true;
    } else if (spec.name == "--backend") {
        global.backend = value;
    }
}

}  // namespace

const std::vector<OptionSpec>& OptionParser::globalOptions() {
    static const std::vector<OptionSpec> options = {
        {"--backend", "", "bluez|sim", "Bluetooth backend (default: $AURALIS_BACKEND or bluez)"},
        {"--json", "", "", "one JSON object per line instead of text"},
        {"--verbose", "-v", "", "copy the log to stderr"},
        {"--help", "-h", "", "show help and exit"},
    };
    return options;
}

ParseResult OptionParser::parse(const std::vector<std::string>& args) const {
    ParseResult result;
    Invocation& invocation = result.invocation;
    invocation.global.backend = defaultBackend();
    std::vector<std::string> words;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            const OptionSpec* spec = findOption(globalOptions(), name);
            const bool global = spec != nullptr;
            if (spec == nullptr && result.command != nullptr) {
                spec = findOption(result.command->options, name);
            }
            if (spec == nullptr) {
                result.error = "unknown option '" + name + "'";
                return result;
            }
            std::string value;
            if (spec->valueName.empty()) {
                if (equals != std::string::npos) {
                    result.error = "option '" + name + "' takes no value";
                    return result;
                }
            } else if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                result.error = "option '" + name + "' needs a value (" + spec->valueName + ")";
                return result;
            }
            if (global) {
                applyGlobal(*spec, value, invocation.global);
            } else {
                invocation.options[spec->name] = value;
            }
            continue;
        }
        if (result.command != nullptr) {
            invocation.args.push_back(arg);
            continue;
        }
        words.push_back(arg);
        if (const Command* command = m_table.find(words)) {
            result.command = command;
        } else if (!m_table.isPrefix(words)) {
            result.error = "unknown command '" + Command{.words = words}.name() + "'";
            return result;
        }
    }

    if (invocation.global.backend != "bluez" && invocation.global.backend != "sim") {
        result.error = "unknown backend '" + invocation.global.backend + "' (bluez or sim)";
        return result;
    }
    if (invocation.global.help) {
        result.partialWords = words;
        return result;
    }
    if (result.command == nullptr) {
        result.partialWords = words;
        result.error = words.empty() ? "no command given" : "incomplete command";
        return result;
    }
    const Command& command = *result.command;
    if (invocation.args.size() < command.minArgs) {
        result.error = "missing arguments for '" + command.name() + "'";
    } else if (invocation.args.size() > command.maxArgs) {
        result.error = "too many arguments for '" + command.name() + "'";
    }
    return result;
}

}  // namespace ctl
