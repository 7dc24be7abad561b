#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

#include "tests/common/ChildProcess.h"

namespace integration {

// The built auralis-sim as a child process on a private socket in the test's sandbox, started
// with a scenario file and without its update server. The test talks to it through the sim
// backend and drives it with CTL commands. Ended with SIGTERM (SIGKILL when it hangs).
class SimNeighbourhood {
public:
    // Devices of the scenario: {"address", "name", "paired", ...} objects as the sim reads them.
    explicit SimNeighbourhood(const nlohmann::json& devices);
    // The same with the update server running, set up by the scenario's "updateServer" object
    // (an empty object takes the sim's defaults).
    SimNeighbourhood(const nlohmann::json& devices, const nlohmann::json& updateServer);
    ~SimNeighbourhood();
    SimNeighbourhood(const SimNeighbourhood&) = delete;
    SimNeighbourhood& operator=(const SimNeighbourhood&) = delete;

    // Timings of the virtual earbuds short enough for tests.
    static nlohmann::json fastTiming();

    bool started() const { return m_started; }
    // The update server's address ("http://127.0.0.1:PORT"); empty without the server.
    const std::string& updateUrl() const { return m_updateUrl; }
    const std::filesystem::path& socket() const { return m_socket; }
    pid_t pid() const { return m_process.pid(); }

    // One request line; the whole answer without the trailing line end.
    std::string request(const std::string& line) const;
    // "CTL <words>"; the answer ("OK", "OK <json>", "ERR <text>").
    std::string ctl(const std::string& words) const;
    // The INFO object of one device.
    nlohmann::json info(const std::string& address) const;

private:
    bool readUpdateUrl(const std::string& outputFile);

    std::filesystem::path m_folder;
    std::filesystem::path m_socket;
    std::string m_updateUrl;
    testing_support::ChildProcess m_process;
    bool m_started = false;
};

}  // namespace integration
