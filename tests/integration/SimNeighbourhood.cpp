#include "tests/integration/SimNeighbourhood.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/Paths.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"

namespace integration {
nlohmann::json SimNeighbourhood::fastTiming() {
    return {{"connectReportDelayMs", 10}, {"ackTimeoutMs", 500},   {"reportRetries", 2},
            {"statusIntervalMs", 0},      {"fotaTimeoutMs", 3000}, {"installMs", 20},
            {"restartMs", 300},           {"lineTimeoutMs", 2000}};
}

SimNeighbourhood::SimNeighbourhood(const nlohmann::json& devices)
    : SimNeighbourhood(devices, nlohmann::json()) {}

SimNeighbourhood::SimNeighbourhood(const nlohmann::json& devices,
                                   const nlohmann::json& updateServer)
    : m_folder(testing_support::makeTempFolder("sim")), m_socket(m_folder / "n.sock") {
    const bool withServer = updateServer.is_object();
    const std::filesystem::path scenario = m_folder / "scenario.json";
    nlohmann::json content{{"timing", fastTiming()}, {"devices", devices}};
    if (withServer) {
        content["updateServer"] = updateServer;
    }
    std::ofstream(scenario) << content.dump(2);

    const std::string program = (platform::paths::executableFolder() / "auralis-sim").string();
    const std::string output = (m_folder / "sim.out").string();
    std::vector<std::string> args = {program, "--socket", m_socket.string(), "--scenario",
                                     scenario.string()};
    if (!withServer) {
        args.push_back("--no-http");
    }
    if (!m_process.start(args, {.output = output})) {
        return;
    }
    // Ready once the neighbourhood answers (and the update server's address has been printed).
    m_started = testing_support::eventually(
        [&] { return request("RADIO") == "OK" && (!withServer || readUpdateUrl(output)); },
        std::chrono::seconds(10));
}

bool SimNeighbourhood::readUpdateUrl(const std::string& outputFile) {
    static const std::string kPrefix = "update server: ";
    std::ifstream in(outputFile);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(kPrefix, 0) == 0) {
            m_updateUrl = line.substr(kPrefix.size());
            return true;
        }
    }
    return false;
}

SimNeighbourhood::~SimNeighbourhood() {
    m_process.stop(std::chrono::seconds(10));
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
