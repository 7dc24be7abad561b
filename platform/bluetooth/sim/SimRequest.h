#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace platform::bluetooth {

// One request to the virtual neighbourhood: a fresh connection to its Unix socket, one request
// line, then answer lines. Every step is bounded by the deadline given at the start; after a
// failure error() holds an errno value (ENOENT/ECONNREFUSED: nobody listens, ETIMEDOUT: no
// answer in time, ECONNRESET: the answer broke off, ENAMETOOLONG: the socket path is too long).
class SimRequest {
public:
    SimRequest(const std::filesystem::path& socketPath, std::chrono::milliseconds timeout);
    ~SimRequest();
    SimRequest(const SimRequest&) = delete;
    SimRequest& operator=(const SimRequest&) = delete;

    // Connects and writes line plus "\n". False on failure.
    bool send(const std::string& line);

    // Reads one answer line without its "\n". Reads byte by byte so that after the answer to
    // CONNECT no byte of the following stream is taken. False on failure.
    bool readLine(std::string& line);

    // Hands over the connected socket (for CONNECT); -1 when there is none.
    int release();

    int error() const { return m_error; }

private:
    bool waitFor(short events);

    const std::filesystem::path m_path;
    const std::chrono::steady_clock::time_point m_deadline;
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace platform::bluetooth
