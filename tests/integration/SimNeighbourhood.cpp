#include "tests/integration/SimNeighbourhood.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/Paths.h"
#include "tests/common/TestSandbox.h"

extern char** environ;

namespace integration {
namespace {

bool waitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace

nlohmann::json SimNeighbourhood::fastTiming() {
    return {{"connectReportDelayMs", 10}, {"ackTimeoutMs", 500},   {"reportRetries", 2},
            {"statusIntervalMs", 0},      {"fotaTimeoutMs", 3000}, {"installMs", 20},
            {"restartMs", 300},           {"lineTimeoutMs", 2000}};
}

SimNeighbourhood::SimNeighbourhood(const nlohmann::json& devices, UpdateServer updateServer)
    : m_folder(testing_support::makeTempFolder("sim")), m_socket(m_folder / "n.sock") {
    const std::filesystem::path scenario = m_folder / "scenario.json";
    std::ofstream(scenario) << nlohmann::json{{"timing", fastTiming()}, {"devices", devices}}.dump(
        2);

    const std::string program = (platform::paths::executableFolder() / "auralis-sim").string();
    const std::string output = (m_folder / "sim.out").string();
    std::vector<std::string> args = {program, "--socket", m_socket.string(), "--scenario",
                                     scenario.string()};
    if (updateServer == UpdateServer::None) {
        args.push_back("--no-http");
    } else {
        args.insert(args.end(), {"--http-port", "0"});
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned =
        posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        return;
    }
    // Ready once the neighbourhood answers.
    for (int i = 0; i < 2000 && !m_started; ++i) {
        m_started = request("RADIO") == "OK";
        if (!m_started) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (m_started && updateServer == UpdateServer::Local) {
        readUpdateUrl(output);
    }
}

void SimNeighbourhood::readUpdateUrl(const std::string& output) {
    static const std::string kPrefix = "update server: ";
    for (int i = 0; i < 2000 && m_updateUrl.empty(); ++i) {
        std::ifstream in(output);
        std::string line;
        while (std::getline(in, line)) {
            if (const std::size_t at = line.find(kPrefix); at != std::string::npos) {
                m_updateUrl = line.substr(at + kPrefix.size());
                break;
            }
        }
        if (m_updateUrl.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

SimNeighbourhood::~SimNeighbourhood() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    if (!waitForExit(m_pid, std::chrono::seconds(10))) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string SimNeighbourhood::request(const std::string& line) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, m_socket.c_str(), sizeof(address.sun_path) - 1);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        const std::string text = line + "\n";
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::recv(fd, buffer, sizeof(buffer), 0)) > 0) {
            answer.append(buffer, static_cast<std::size_t>(count));
        }
    }
    ::close(fd);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) {
        answer.pop_back();
    }
    return answer;
}

std::string SimNeighbourhood::ctl(const std::string& words) const {
    return request("CTL " + words);
}

nlohmann::json SimNeighbourhood::info(const std::string& address) const {
    const std::string answer = ctl("INFO " + address);
    if (answer.rfind("OK ", 0) != 0) {
        return nlohmann::json::object();
    }
    return nlohmann::json::parse(answer.substr(3), nullptr, false);
}

}  // namespace integration
