#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace integration {

// The built auralis-sim as a child process on a private socket in the test's sandbox, started
// with a scenario file and without its update server. The test talks to it through the sim
// backend and drives it with CTL commands. Ended with SIGTERM (SIGKILL when it hangs).
class SimNeighbourhood {
public:
    // Devices of the scenario: {"address", "name", "paired", ...} objects as the sim reads them.
    explicit SimNeighbourhood(const nlohmann::json& devices);
    ~SimNeighbourhood();
    SimNeighbourhood(const SimNeighbourhood&) = delete;
    SimNeighbourhood& operator=(const SimNeighbourhood&) = delete;

    // Timings of the virtual earbuds short enough for tests.
    static nlohmann::json fastTiming();

    bool started() const { return m_started; }
    const std::filesystem::path& socket() const { return m_socket; }
    pid_t pid() const { return m_pid; }

    // One request line; the whole answer without the trailing line end.
    std::string request(const std::string& line) const;
    // "CTL <words>"; the answer ("OK", "OK <json>", "ERR <text>").
    std::string ctl(const std::string& words) const;
    // The INFO object of one device.
    nlohmann::json info(const std::string& address) const;

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_socket;
    pid_t m_pid = -1;
    bool m_started = false;
};

}  // namespace integration
