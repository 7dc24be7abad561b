#include "sim/NeighbourhoodServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "base/Log.h"
#include "platform/Thread.h"
#include "platform/TickCount.h"
#include "platform/bluetooth/FdConnection.h"
#include "sim/DeviceAddress.h"

namespace sim {
namespace {

constexpr std::size_t kMaxLine = 4096;

std::string error(int code) {
    return "ERR " + std::to_string(code) + "\n";
}

bool sendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Splits off the first word; the rest keeps its inner blanks.
std::pair<std::string, std::string> firstWord(const std::string& text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = text.find(' ', start);
    if (end == std::string::npos) {
        return {text.substr(start), {}};
    }
    const std::size_t rest = text.find_first_not_of(' ', end);
    return {text.substr(start, end - start), rest == std::string::npos ? "" : text.substr(rest)};
}

bool socketAnswers(const std::filesystem::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answers;
}

}  // namespace

NeighbourhoodServer::NeighbourhoodServer(Neighbourhood& neighbourhood, const SimTiming& timing,
                                         CtlHandler ctl)
    : m_neighbourhood(neighbourhood), m_timing(timing), m_ctl(std::move(ctl)) {}

NeighbourhoodServer::~NeighbourhoodServer() {
    stop();
}

bool NeighbourhoodServer::start(const std::filesystem::path& path, std::string* errorText) {
    sockaddr_un address{};
    if (path.empty() || path.native().size() >= sizeof(address.sun_path)) {
        *errorText = "socket path is empty or too long: " + path.string();
        return false;
    }
    std::error_code ignored;
    if (std::filesystem::is_socket(path, ignored)) {
        if (socketAnswers(path)) {
            *errorText = "another program already listens on " + path.string();
            return false;
        }
        std::filesystem::remove(path, ignored);  // left behind by a sim that did not stop cleanly
    } else if (std::filesystem::exists(path, ignored)) {
        *errorText = path.string() + " exists and is not a socket";
        return false;
    }
    std::filesystem::create_directories(path.parent_path(), ignored);
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (m_listenFd < 0 ||
        ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listenFd, 16) != 0) {
        *errorText = "cannot listen on " + path.string() + ": " + std::strerror(errno);
        if (m_listenFd >= 0) {
            ::close(m_listenFd);
            m_listenFd = -1;
        }
        return false;
    }
    m_path = path;
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_stopping = false;
    m_acceptThread = std::thread([this] {
        platform::setCurrentThreadName("sim-accept");
        acceptLoop();
    });
    _Log(LOG_INFO, "NeighbourhoodServer::start", __LINE__, "listening on %s", path.c_str());
    return true;
}

void NeighbourhoodServer::stop() {
    if (m_listenFd < 0) {
        return;
    }
    m_stopping = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof(one));
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    m_neighbourhood.dropAllLinks();
    std::list<Worker> workers;
    {
        std::lock_guard lock(m_workersMutex);
        workers.swap(m_workers);
    }
    for (Worker& worker : workers) {
        if (!worker.done->load()) {
            ::shutdown(worker.fd, SHUT_RDWR);  // wakes a request still waiting for its line
        }
    }
    for (Worker& worker : workers) {
        worker.thread.join();
        ::close(worker.fd);
    }
    ::close(m_listenFd);
    ::close(m_stopFd);
    m_listenFd = -1;
    m_stopFd = -1;
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
    _Log(LOG_INFO, "NeighbourhoodServer::stop", __LINE__, "stopped; %s removed", m_path.c_str());
}

void NeighbourhoodServer::acceptLoop() {
    while (!m_stopping) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) {
            break;
        }
        reapFinishedWorkers();
        if (m_stopping || !(fds[0].revents & POLLIN)) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(m_workersMutex);
        if (m_workers.size() >= kMaxConnections) {
            refuseBusy(fd);
            continue;
        }
        Worker& worker = m_workers.emplace_back();
        worker.fd = fd;
        worker.done = done;
        worker.thread = std::thread([this, fd, done] {
            platform::setCurrentThreadName("sim-request");
            serve(fd);
            done->store(true);
        });
    }
}

void NeighbourhoodServer::refuseBusy(int fd) {
    static constexpr char kBusy[] = "ERR 16\n";
    static_assert(kErrBusy == 16);
    // The client may not read at all: never wait for it.
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, kBusy, sizeof(kBusy) - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    ::close(fd);
    _Log(LOG_WARNING, "NeighbourhoodServer::acceptLoop", __LINE__,
         "connection refused: %zu connections are being served already", kMaxConnections);
}

void NeighbourhoodServer::reapFinishedWorkers() {
    std::list<Worker> finished;
    {
        std::lock_guard lock(m_workersMutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            if (it->done->load()) {
                finished.splice(finished.end(), m_workers, it++);
            } else {
                ++it;
            }
        }
    }
    for (Worker& worker : finished) {
        worker.thread.join();
        ::close(worker.fd);
    }
}

bool NeighbourhoodServer::readLine(int fd, std::string& line) const {
    // Byte by byte, so that nothing after the line (a CONNECT's first frames) is read here.
    const uint64_t deadline = platform::tickCount() + static_cast<uint64_t>(m_timing.lineTimeoutMs);
    line.clear();
    while (line.size() < kMaxLine) {
        const uint64_t now = platform::tickCount();
        if (now >= deadline) {
            return false;
        }
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(deadline - now)) <= 0) {
            return false;
        }
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n <= 0) {
            return false;
        }
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return true;
        }
        line += c;
    }
    return false;
}

void NeighbourhoodServer::serve(int fd) {
    std::string line;
    if (!readLine(fd, line)) {
        ::shutdown(fd, SHUT_RDWR);
        return;
    }
    _Log(LOG_INFO, "NeighbourhoodServer::serve", __LINE__, "request: %s", line.c_str());
    const auto [verb, arguments] = firstWord(line);
    if (verb == "CONNECT") {
        connect(fd, arguments);
    } else {
        sendAll(fd, answer(line));
    }
    // The answer is complete: the client sees the end of the stream at once. The descriptor
    // itself is closed when the worker is reaped.
    ::shutdown(fd, SHUT_RDWR);
}

std::string NeighbourhoodServer::answer(const std::string& line) {
    const auto [verb, arguments] = firstWord(line);
    if (verb == "CTL") {
        std::string reply = m_ctl ? m_ctl(arguments) : "ERR no scenario control";
        return reply + "\n";
    }
    if (!m_neighbourhood.radioOn() && (verb == "RADIO" || verb == "SCAN" || verb == "PAIR" ||
                                       verb == "UNPAIR" || verb == "CONNECT")) {
        return error(kErrNoRadio);
    }
    if (verb == "RADIO" && arguments.empty()) {
        return "OK\n";
    }
    if (verb == "SCAN" && arguments.empty()) {
        std::string reply;
        for (const auto& device : m_neighbourhood.devices()) {
            if (device->available()) {
                reply += "DEVICE " + DeviceAddress::format(device->address()) + " " +
                         device->name() + "\n";
            }
        }
        return reply + "END\n";
    }
    const auto address = DeviceAddress::parse(arguments);
    if (verb == "PAIR" && address) {
        const auto device = m_neighbourhood.find(*address);
        if (!device || !device->available()) {
            return error(kErrHostDown);
        }
        if (device->paired()) {
            return error(kErrAlreadyPaired);
        }
        device->setPaired(true);
        return "OK\n";
    }
    if (verb == "UNPAIR" && address) {
        const auto device = m_neighbourhood.find(*address);
        if (!device) {
            return error(kErrNoDevice);
        }
        device->setPaired(false);
        return "OK\n";
    }
    return error(kErrBadRequest);
}

void NeighbourhoodServer::connect(int fd, const std::string& arguments) {
    const auto [addressText, uuid] = firstWord(arguments);
    const auto address = DeviceAddress::parse(addressText);
    if (!m_neighbourhood.radioOn()) {
        sendAll(fd, error(kErrNoRadio));
        return;
    }
    if (!address || uuid.empty() || uuid.find(' ') != std::string::npos) {
        sendAll(fd, error(kErrBadRequest));
        return;
    }
    const auto device = m_neighbourhood.find(*address);
    if (!device || !device->available()) {
        sendAll(fd, error(kErrHostDown));
        return;
    }
    if (!device->paired()) {
        sendAll(fd, error(kErrNotPaired));
        return;
    }
    if (!sameUuid(uuid, serviceUuidOf(device->generation()))) {
        _Log(LOG_WARNING, "NeighbourhoodServer::connect", __LINE__,
             "%s refused: service %s is not the %s generation's %s", device->label().c_str(),
             uuid.c_str(), generationLabel(device->generation()),
             std::string(serviceUuidOf(device->generation())).c_str());
        sendAll(fd, error(kErrRefused));
        return;
    }
    const int linkFd = ::dup(fd);
    if (linkFd < 0) {
        sendAll(fd, error(kErrBusy));
        return;
    }
    auto link = std::make_shared<platform::bluetooth::FdConnection>(linkFd);
    const bool ran = device->runLink(link, [&] { return sendAll(fd, "OK\n"); });
    if (!ran) {
        sendAll(fd, error(kErrBusy));
    }
}

}  // namespace sim
