#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/Neighbourhood.h"
#include "sim/SimConfig.h"

namespace sim {

// The neighbourhood's Unix socket: one request per connection, one ASCII line ending in "\n".
//
//   RADIO                     OK | ERR 19
//   SCAN                      DEVICE <address> <name> ... END | ERR 19
//   PAIR <address>            OK | ERR 259 (already paired) | ERR 19 | ERR 22 | ERR 112
//   UNPAIR <address>          OK | ERR 19 | ERR 22 | ERR 2
//   CONNECT <address> <uuid>  OK, then the raw byte stream both ways |
//                             ERR 19 | ERR 22 | ERR 112 | ERR 13 | ERR 111 | ERR 16
//   CTL <words...>            OK [<text>] | ERR <text>
//
// Error codes are errno values: 19 no radio, 22 malformed request, 112 device unknown, out of
// range or restarting, 13 not paired, 111 wrong service class id for the device's generation,
// 16 device already connected, 2 no such device (UNPAIR); 259 is "already paired".
class NeighbourhoodServer {
public:
    static constexpr int kErrNoDevice = 2;
    static constexpr int kErrNotPaired = 13;
    static constexpr int kErrBusy = 16;
    static constexpr int kErrNoRadio = 19;
    static constexpr int kErrBadRequest = 22;
    static constexpr int kErrRefused = 111;
    static constexpr int kErrHostDown = 112;
    static constexpr int kErrAlreadyPaired = 259;

    // Connections served at once, each on a thread of its own (links included). One more is
    // answered "ERR 16" (busy) and closed at once, so idle or hostile clients cannot make the
    // sim start a thread each.
    static constexpr std::size_t kMaxConnections = 64;

    using CtlHandler = std::function<std::string(const std::string& words)>;

    NeighbourhoodServer(Neighbourhood& neighbourhood, const SimTiming& timing, CtlHandler ctl);
    ~NeighbourhoodServer();
    NeighbourhoodServer(const NeighbourhoodServer&) = delete;
    NeighbourhoodServer& operator=(const NeighbourhoodServer&) = delete;

    // Listens on path. A stale socket file left by a crashed sim is replaced; a path where
    // another sim answers is refused. On failure error says why.
    bool start(const std::filesystem::path& path, std::string* error);
    // Stops accepting, ends every link and request, joins all threads, removes the socket file.
    void stop();

    // The answer to every request but CONNECT (lines end in "\n").
    std::string answer(const std::string& line);

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
        int fd = -1;
    };

    void acceptLoop();
    void refuseBusy(int fd);
    void serve(int fd);
    void connect(int fd, const std::string& arguments);
    bool readLine(int fd, std::string& line) const;
    void reapFinishedWorkers();

    Neighbourhood& m_neighbourhood;
    const SimTiming& m_timing;
    CtlHandler m_ctl;
    std::filesystem::path m_path;
    int m_listenFd = -1;
    int m_stopFd = -1;
    std::thread m_acceptThread;
    std::atomic<bool> m_stopping{false};
    std::mutex m_workersMutex;
    std::list<Worker> m_workers;
};

}  // namespace sim
