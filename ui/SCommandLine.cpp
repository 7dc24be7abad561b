#include "ui/SCommandLine.h"

#include <mutex>

namespace {

struct Recorded {
    std::mutex lock;
    std::vector<std::string> arguments;
};

Recorded& State() {
    static Recorded state;
    return state;
}

}  // namespace

void SCommandLine::Set(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] != nullptr) {
            arguments.emplace_back(argv[i]);
        }
    }
    SetArguments(std::move(arguments));
}

void SCommandLine::SetArguments(std::vector<std::string> arguments) {
    Recorded& state = State();
    std::lock_guard guard(state.lock);
    state.arguments = std::move(arguments);
}

std::vector<std::string> SCommandLine::GetArguments() {
    Recorded& state = State();
    std::lock_guard guard(state.lock);
    return state.arguments;
}

bool SCommandLine::Contains(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    Recorded& state = State();
    std::lock_guard guard(state.lock);
    for (const std::string& argument : state.arguments) {
        if (argument.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool SCommandLine::Has(const std::string& argument) {
    Recorded& state = State();
    std::lock_guard guard(state.lock);
    for (const std::string& recorded : state.arguments) {
        if (recorded == argument) {
            return true;
        }
    }
    return false;
}
