#include "tests/sim/SimTestClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "sim/DeviceAddress.h"
#include "sim/Scenario.h"
#include "tests/common/TestSandbox.h"

namespace simtest {
namespace {

using Clock = std::chrono::steady_clock;

int connectTo(const std::filesystem::path& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::string request(const std::filesystem::path& socket, const std::string& line) {
    const int fd = connectTo(socket);
    if (fd < 0) {
        return "<no connection>";
    }
    const std::string text = line + "\n";
    sendAll(fd, text.data(), text.size());
    std::string answer;
    char buffer[4096];
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 5000) <= 0) {
            break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return answer;
}

LinkClient::LinkClient(devlink::Generation generation)
    : m_generation(generation), m_decoder(generation) {}

LinkClient::~LinkClient() {
    close();
}

void LinkClient::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::string LinkClient::connect(const std::filesystem::path& socket, const std::string& address,
                                std::string_view uuid) {
    m_fd = connectTo(socket);
    if (m_fd < 0) {
        return "<no connection>";
    }
    const std::string line = "CONNECT " + address + " " + std::string(uuid) + "\n";
    sendAll(m_fd, line.data(), line.size());
    std::string answer;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (answer.empty() || answer.back() != '\n') {
        pollfd pfd{m_fd, POLLIN, 0};
        char c = 0;
        if (::poll(&pfd, 1, remainingMs(deadline)) <= 0 || ::recv(m_fd, &c, 1, 0) != 1) {
            return answer.empty() ? "<closed>" : answer;
        }
        answer += c;
    }
    answer.pop_back();
    return answer;
}

bool LinkClient::sendBytes(std::span<const uint8_t> bytes) {
    return m_fd >= 0 && sendAll(m_fd, bytes.data(), bytes.size());
}

bool LinkClient::sendFrame(uint8_t id, const std::vector<uint8_t>& payload, bool response) {
    return sendBytes(devlink::buildFrame(m_generation, id, payload, response));
}

bool LinkClient::sendFrame(uint8_t id, const std::vector<uint8_t>& payload,
                           const devlink::FrameOptions& options) {
    return sendBytes(devlink::buildFrame(m_generation, id, payload, options));
}

bool LinkClient::readChunk(int timeoutMs) {
    if (m_fd < 0 || m_eof) {
        return false;
    }
    pollfd pfd{m_fd, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) {
        return false;
    }
    uint8_t buffer[8192];
    const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), 0);
    if (n <= 0) {
        m_eof = true;
        return false;
    }
    m_chunks.push_back(static_cast<std::size_t>(n));
    for (auto& frame :
         m_decoder.feed(std::span<const uint8_t>(buffer, static_cast<std::size_t>(n)))) {
        m_frames.push_back(std::move(frame));
    }
    return true;
}

std::optional<devlink::DecodedFrame> LinkClient::next(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_frames.empty()) {
        if (!readChunk(remainingMs(deadline)) && (m_eof || remainingMs(deadline) == 0)) {
            return std::nullopt;
        }
    }
    devlink::DecodedFrame frame = std::move(m_frames.front());
    m_frames.pop_front();
    return frame;
}

std::optional<devlink::DecodedFrame> LinkClient::expect(uint8_t id, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto frame = next(remainingMs(deadline));
        if (!frame || frame->messageId == id) {
            return frame;
        }
    }
}

bool LinkClient::waitClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_eof && remainingMs(deadline) > 0) {
        readChunk(remainingMs(deadline));
    }
    return m_eof;
}

sim::SimTiming fastTiming() {
    sim::SimTiming timing;
    timing.connectReportDelayMs = 0;
    timing.ackTimeoutMs = 300;
    timing.reportRetries = 1;
    timing.statusIntervalMs = 0;
    timing.fotaTimeoutMs = 1500;
    timing.installMs = 0;
    timing.restartMs = 300;
    timing.lineTimeoutMs = 2000;
    return timing;
}

SimRunner::SimRunner(sim::SimConfig config) {
    static std::atomic<int> counter{0};
    m_socket = testing_support::sandboxFolder() / ("sim-" + std::to_string(++counter) + ".sock");
    config.socketPath = m_socket;
    m_simulator = std::make_unique<sim::Simulator>(std::move(config));
    std::string error;
    if (!m_simulator->start(&error)) {
        throw std::runtime_error("the sim does not start: " + error);
    }
}

SimRunner::~SimRunner() {
    m_simulator->stop();
}

sim::SimConfig SimRunner::baseConfig() {
    sim::SimConfig config = sim::Scenario::defaults();
    config.timing = fastTiming();
    config.server.faults = {};
    return config;
}

sim::EarbudSettings SimRunner::device(const std::string& address, const std::string& name,
                                      bool paired) {
    sim::EarbudSettings settings;
    settings.address = *sim::DeviceAddress::parse(address);
    settings.name = name;
    settings.paired = paired;
    return settings;
}

std::string SimRunner::ctl(const std::string& words) {
    std::string answer = request(m_socket, "CTL " + words);
    if (!answer.empty() && answer.back() == '\n') {
        answer.pop_back();
    }
    return answer;
}

}  // namespace simtest
