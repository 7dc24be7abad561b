#include "ctl/OptionParser.h"

#include <cstdlib>

namespace ctl {
namespace {

const OptionDef* findOption(const std::vector<OptionDef>& definitions, const std::string& name) {
    for (const OptionDef& definition : definitions) {
        if (definition.name == name ||
            (!definition.shortName.empty() && definition.shortName == name)) {
            return &definition;
        }
    }
    return nullptr;
}

std::string defaultBackend() {
    const char* value = std::getenv("AURALIS_BACKEND");
    return value != nullptr && *value != '\0' ? value : "bluez";
}

void applyGlobal(const OptionDef& definition, const std::string& value, GlobalOptions& global) {
    if (definition.name == "--json") {
        global.json = true;
    } else if (definition.name == "--verbose") {
        global.verbose = true;
    } else if (definition.name == "--help") {
        global.help = true;
    } else if (definition.name == "--version") {
        global.version = true;
    } else if (definition.name == "--backend") {
        global.backend = value;
    } else if (definition.name == "--log-level") {
        global.logLevel = value;
    }
}

}  // namespace

const std::vector<OptionDef>& OptionParser::globalOptions() {
    static const std::vector<OptionDef> options = {
        {"--backend", "", "bluez|sim", "Bluetooth backend (default: $AURALIS_BACKEND or bluez)"},
        {"--json", "", "", "one JSON object per line instead of text"},
        {"--verbose", "-v", "", "copy the log to stderr"},
        {"--log-level", "", "LEVEL", "debug, info, notice, warning, error or off"},
        {"--help", "-h", "", "show help and exit"},
        {"--version", "", "", "show the version and exit"},
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
            const OptionDef* definition = findOption(globalOptions(), name);
            const bool global = definition != nullptr;
            if (definition == nullptr && result.command != nullptr) {
                definition = findOption(result.command->options, name);
            }
            if (definition == nullptr) {
                result.error = "unknown option '" + name + "'";
                return result;
            }
            std::string value;
            if (definition->valueName.empty()) {
                if (equals != std::string::npos) {
                    result.error = "option '" + name + "' takes no value";
                    return result;
                }
            } else if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                result.error =
                    "option '" + name + "' needs a value (" + definition->valueName + ")";
                return result;
            }
            if (global) {
                applyGlobal(*definition, value, invocation.global);
            } else {
                invocation.options[definition->name] = value;
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
    if (invocation.global.help || invocation.global.version) {
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
