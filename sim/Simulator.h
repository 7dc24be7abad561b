#pragma once

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/CtlCommands.h"
#include "sim/Neighbourhood.h"
#include "sim/NeighbourhoodServer.h"
#include "sim/SimConfig.h"
#include "sim/Transcript.h"
#include "sim/UpdateServer.h"

namespace sim {

// The whole auralis-sim: the neighbourhood with its devices on the Unix socket, the update
// server, the transcript and, in demo mode, the slow life of the demo earbuds (batteries
// draining, a bud going into the case and out again). Tests run it in-process.
class Simulator {
public:
    explicit Simulator(SimConfig config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Adds the configured (and, in demo mode, the demo) devices, starts the update server and
    // listens on the socket. On failure error says why and nothing keeps running.
    bool start(std::string* error);
    // Ends every link and request, stops the update server, removes the socket. Idempotent.
    void stop();

    const std::filesystem::path& socketPath() const { return m_config.socketPath; }
    // "http://127.0.0.1:PORT", empty when the update server is off.
    std::string updateServerUrl() const;
    Neighbourhood& neighbourhood() { return m_neighbourhood; }
    UpdateServer* updateServer() { return m_server.get(); }

    // $AURALIS_SIM_SOCKET, else $XDG_RUNTIME_DIR/auralis-sim.sock, else auralis-sim.sock in the
    // program's private temporary folder.
    static std::filesystem::path defaultSocketPath();

private:
    void demoLoop();
    void demoStep(bool drain, bool moveBud);

    SimConfig m_config;
    Transcript m_transcript;
    Neighbourhood m_neighbourhood;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<CtlCommands> m_ctl;
    std::unique_ptr<NeighbourhoodServer> m_socket;

    std::thread m_demoThread;
    std::mutex m_demoMutex;
    std::condition_variable m_demoWake;
    bool m_stopping = false;
    bool m_started = false;
    int m_nextBud = 0;
};

}  // namespace sim
