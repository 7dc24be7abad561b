#include "sim/Simulator.h"

#include <cstdlib>

#include "base/Log.h"
#include "platform/Paths.h"
#include "platform/Thread.h"
#include "platform/TickCount.h"
#include "sim/Scenario.h"

namespace sim {
namespace {

constexpr int kInEar = 1;
constexpr int kInCase = 3;
constexpr int kLowestDemoBattery = 10;

}  // namespace

Simulator::Simulator(SimConfig config)
    : m_config(std::move(config)),
      m_transcript(m_config.transcriptFolder),
      m_neighbourhood(m_config.timing, m_transcript, m_config.echoFailures) {}

Simulator::~Simulator() {
    stop();
}

std::filesystem::path Simulator::defaultSocketPath() {
    if (const char* path = std::getenv("AURALIS_SIM_SOCKET"); path != nullptr && *path != '\0') {
        return path;
    }
    const std::filesystem::path runtime = platform::paths::xdgRuntimeDir();
    if (!runtime.empty()) {
        return runtime / "auralis-sim.sock";
    }
    const std::filesystem::path temp = platform::paths::tempFolder();
    platform::paths::ensurePrivateFolder(temp);
    return temp / "auralis-sim.sock";
}

std::string Simulator::updateServerUrl() const {
    return m_server ? m_server->baseUrl() : std::string();
}

bool Simulator::start(std::string* error) {
    if (m_config.socketPath.empty()) {
        m_config.socketPath = defaultSocketPath();
    }
    m_neighbourhood.setRadio(m_config.radioOn);
    for (const EarbudSettings& device : m_config.devices) {
        if (std::string problem = m_neighbourhood.add(device); !problem.empty()) {
            *error = problem;
            return false;
        }
    }
    if (m_config.demo) {
        // A scenario may bring its own pairs at the demo's addresses; those stay.
        for (EarbudSettings& demo : Scenario::demoDevices()) {
            m_neighbourhood.add(std::move(demo));
        }
    }
    if (m_config.server.enabled) {
        m_server = std::make_unique<UpdateServer>(m_config.server, &m_neighbourhood);
        if (!m_server->start(error)) {
            m_server.reset();
            return false;
        }
    }
    m_ctl = std::make_unique<CtlCommands>(m_neighbourhood, m_server.get());
    m_socket = std::make_unique<NeighbourhoodServer>(
        m_neighbourhood, m_config.timing,
        [this](const std::string& words) { return m_ctl->execute(words); });
    if (!m_socket->start(m_config.socketPath, error)) {
        m_socket.reset();
        if (m_server) {
            m_server->stop();
            m_server.reset();
        }
        return false;
    }
    m_started = true;
    if (m_config.demo) {
        m_demoThread = std::thread([this] {
            platform::setCurrentThreadName("sim-demo");
            demoLoop();
        });
    }
    return true;
}

void Simulator::stop() {
    if (!m_started) {
        return;
    }
    m_started = false;
    {
        std::lock_guard lock(m_demoMutex);
        m_stopping = true;
    }
    m_demoWake.notify_all();
    if (m_demoThread.joinable()) {
        m_demoThread.join();
    }
    m_socket->stop();
    if (m_server) {
        m_server->stop();
    }
    _Log(LOG_INFO, "Simulator::stop", __LINE__, "stopped");
}

void Simulator::demoLoop() {
    const SimTiming& timing = m_config.timing;
    uint64_t nextDrain = platform::tickCount() + static_cast<uint64_t>(timing.demoDrainIntervalMs);
    uint64_t nextBud = platform::tickCount() + static_cast<uint64_t>(timing.demoBudIntervalMs);
    std::unique_lock lock(m_demoMutex);
    while (!m_stopping) {
        const uint64_t now = platform::tickCount();
        const uint64_t next = std::min(nextDrain, nextBud);
        if (now < next) {
            m_demoWake.wait_for(lock, std::chrono::milliseconds(next - now));
            continue;
        }
        const bool drain = now >= nextDrain;
        const bool moveBud = now >= nextBud;
        if (drain) {
            nextDrain = now + static_cast<uint64_t>(std::max(1, timing.demoDrainIntervalMs));
        }
        if (moveBud) {
            nextBud = now + static_cast<uint64_t>(std::max(1, timing.demoBudIntervalMs));
        }
        lock.unlock();
        demoStep(drain, moveBud);
        lock.lock();
    }
}

// One step of the demo's life: buds in the ear lose a percent, buds in the case charge; now and
// then one bud (left and right in turn) goes into the case or comes back out.
void Simulator::demoStep(bool drain, bool moveBud) {
    const int bud = m_nextBud;
    if (moveBud) {
        m_nextBud = 1 - m_nextBud;
    }
    for (const auto& device : m_neighbourhood.devices()) {
        if (device->transferActive()) {
            continue;  // the earbuds are busy with an update
        }
        const EarbudState state = device->state();
        int left = state.wearing >> 4;
        int right = state.wearing & 0x0F;
        std::vector<std::pair<std::string, std::string>> changes;
        if (moveBud) {
            int& placement = bud == 0 ? left : right;
            placement = placement == kInCase ? kInEar : kInCase;
            changes.emplace_back("wearing", std::to_string(left << 4 | right));
        }
        if (drain) {
            const auto next = [](int level, int placement) {
                if (placement == kInCase) {
                    return std::min(100, level + 2);
                }
                return level <= kLowestDemoBattery ? 100 : level - 1;  // "recharged" overnight
            };
            changes.emplace_back("batteryLeft", std::to_string(next(state.batteryLeft, left)));
            changes.emplace_back("batteryRight", std::to_string(next(state.batteryRight, right)));
        }
        if (!changes.empty()) {
            device->applyChanges(changes);
        }
    }
}

}  // namespace sim
