#include "tests/common/VirtualDisplay.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/common/Eventually.h"

namespace testing_support {

std::optional<std::filesystem::path> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / program;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

bool VirtualDisplay::start(const std::filesystem::path& xvfb, const std::filesystem::path& folder,
                           const std::string& screen) {
    // Xvfb writes the display number it chose to fd 3 once it accepts clients.
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    m_server.start({xvfb.string(), "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"},
                   {.output = folder / "xvfb.out", .extraFd = fds[1]});
    ::close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    eventually(
        [&] {
            if (::poll(&ready, 1, 100) > 0) {
                char buffer[16];
                const ssize_t got = ::read(fds[0], buffer, sizeof(buffer));
                if (got <= 0) {
                    return true;  // Xvfb ended without a number
                }
                number.append(buffer, static_cast<std::size_t>(got));
            }
            return number.find('\n') != std::string::npos;
        },
        std::chrono::seconds(10));
    ::close(fds[0]);
    if (!m_server.running() || number.find('\n') == std::string::npos) {
        return false;
    }
    m_name = ":" + number.substr(0, number.find('\n'));
    return true;
}

std::string VirtualDisplay::xdotool(const std::filesystem::path& program,
                                    const std::string& arguments) const {
    const std::string command =
        "DISPLAY=" + m_name + " timeout 5 " + program.string() + " " + arguments + " 2>/dev/null";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 256> buffer{};
        while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
            output += buffer.data();
        }
        ::pclose(pipe);
    }
    return output;
}

std::string VirtualDisplay::findWindow(const std::filesystem::path& xdotoolProgram,
                                       const std::string& title) const {
    std::string id;
    eventually(
        [&] {
            id = xdotool(xdotoolProgram, "search --name '^" + title + "$'");
            return !id.empty();
        },
        std::chrono::seconds(10));
    return id.substr(0, id.find('\n'));
}

}  // namespace testing_support
