#include "ctl/CommandTable.h"

#include <algorithm>

namespace ctl {

std::optional<std::string> Invocation::option(const std::string& name) const {
    const auto found = options.find(name);
    if (found == options.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string Command::name() const {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

std::string Command::usage() const {
    std::string text = name();
    for (const OptionDef& option : options) {
        text += " [" + option.name + (option.valueName.empty() ? "" : " " + option.valueName) + "]";
    }
    if (!argsUsage.empty()) {
        text += " " + argsUsage;
    }
    return text;
}

void CommandTable::add(Command command) {
    m_commands.push_back(std::move(command));
}

const Command* CommandTable::find(const std::vector<std::string>& words) const {
    for (const Command& command : m_commands) {
        if (command.words == words) {
            return &command;
        }
    }
    return nullptr;
}

bool CommandTable::isPrefix(const std::vector<std::string>& words) const {
    return std::any_of(m_commands.begin(), m_commands.end(), [&](const Command& command) {
        return command.words.size() > words.size() &&
               std::equal(words.begin(), words.end(), command.words.begin());
    });
}

}  // namespace ctl
