#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace integration {

// The built auralis-sim as a child process on a private socket in the test's sandbox, started
// with a scenario file, without its update server unless asked for (then on a free port). The test
// talks to it through the sim backend and drives it with CTL commands. Ended with SIGTERM (SIGKILL
// when it hangs).
class SimNeighbourhood {
public:
    // Devices of the scenario: {"address", "name", "paired", ...} objects as the sim reads them.
    enum class UpdateServer { None, Local };
    explicit SimNeighbourhood(const nlohmann::json& devices,
                              UpdateServer updateServer = UpdateServer::None);
    ~SimNeighbourhood();
    SimNeighbourhood(const SimNeighbourhood&) = delete;
    SimNeighbourhood& operator=(const SimNeighbourhood&) = delete;

    // Timings of the virtual earbuds short enough for tests.
    static nlohmann::json fastTiming();

    bool started() const { return m_started; }
    const std::filesystem::path& socket() const { return m_socket; }
    pid_t pid() const { return m_pid; }
    // The update server's address ("http://127.0.0.1:PORT"); empty without one.
    const std::string& updateUrl() const { return m_updateUrl; }

    // One request line; the whole answer without the trailing line end.
    std::string request(const std::string& line) const;
    // "CTL <words>"; the answer ("OK", "OK <json>", "ERR <text>").
    std::string ctl(const std::string& words) const;
    // The INFO object of one device.
    nlohmann::json info(const std::string& address) const;

private:
    void readUpdateUrl(const std::string& output);

    std::filesystem::path m_folder;
    std::filesystem::path m_socket;
    pid_t m_pid = -1;
    bool m_started = false;
    std::string m_updateUrl;
};

}  // namespace integration
