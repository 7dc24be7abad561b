#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "tests/common/ChildProcess.h"

namespace testing_support {

// The program's full path when it is on $PATH and executable.
std::optional<std::filesystem::path> findOnPath(const std::string& program);

// An X server of the test's own (Xvfb, no TCP) on a free display number.
class VirtualDisplay {
public:
    // Starts xvfb with a screen of that size (WIDTHxHEIGHTxDEPTH) and its output in
    // folder/xvfb.out; true once it accepts clients (within 10 s).
    bool start(const std::filesystem::path& xvfb, const std::filesystem::path& folder,
               const std::string& screen = "1024x768x24");
    // ":N", empty before start() succeeded.
    const std::string& name() const { return m_name; }

    // Runs xdotool (its path) on this display with the arguments, which the shell splits; what it
    // printed. Bounded to five seconds.
    std::string xdotool(const std::filesystem::path& program, const std::string& arguments) const;
    // The id of the first window with that title, asked for until it exists (ten seconds at the
    // most); empty when none showed.
    std::string findWindow(const std::filesystem::path& xdotoolProgram,
                           const std::string& title) const;

private:
    ChildProcess m_server;
    std::string m_name;
};

}  // namespace testing_support
