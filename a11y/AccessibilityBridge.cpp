#include "a11y/AccessibilityBridge.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <utility>

#include <sdbus-c++/sdbus-c++.h>

#include "a11y/AtspiServer.h"
#include "a11y/States.h"
#include "base/Log.h"
#include "ui/SDispatcher.h"
#include "ui/SInvokeArgument.h"

namespace a11y {

namespace {

using Clock = std::chrono::steady_clock;

// How old a snapshot may be before a client's question waits for a new one, and how long it
// waits at most.
constexpr auto kFreshEnough = std::chrono::milliseconds(60);
constexpr auto kWaitForUi = std::chrono::milliseconds(250);
// How often the tree is compared for events while someone listens: every 100 ms for 3 s after
// a change, then once a second.
constexpr std::chrono::milliseconds kBusyPoll(100);
constexpr std::chrono::milliseconds kRestingPoll(1000);
constexpr std::chrono::seconds kBusyFor(3);

enum InvokeId : int32_t { kSnapshot = 1, kAction = 2, kFocus = 3 };

struct NodeRequest : SInvokeArgument {
    NodeRequest(int32_t kind, uint32_t node, int32_t index)
        : SInvokeArgument(kind, index), id(node) {}
    uint32_t id;
};

// The accessibility bus address: the environment's override, else the session's a11y bus.
std::string AccessibilityBusAddress() {
    if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address != nullptr && *address) {
        return address;
    }
    auto session = sdbus::createSessionBusConnection();
    auto bus = sdbus::createProxy(*session, "org.a11y.Bus", "/org/a11y/bus");
    std::string address;
    bus->callMethod("GetAddress")
        .onInterface("org.a11y.Bus")
        .withTimeout(std::chrono::seconds(3))
        .storeResultsTo(address);
    return address;
}

// The wait for the bus or a wake-up: until the bus's own deadline, and while someone listens
// no longer than the shortest comparison interval; without a listener, indefinitely.
int PollTimeoutMs(uint64_t deadlineUsec, bool listened) {
    const int cap = listened ? static_cast<int>(kBusyPoll.count()) : -1;
    if (deadlineUsec == UINT64_MAX) {
        return cap;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUsec =
        static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
    if (deadlineUsec <= nowUsec) {
        return 0;
    }
    const uint64_t waitMs = (deadlineUsec - nowUsec + 999) / 1000;
    if (cap >= 0 && waitMs >= static_cast<uint64_t>(cap)) {
        return cap;
    }
    return static_cast<int>(std::min<uint64_t>(waitMs, 60000));
}

}  // namespace

std::unique_ptr<AccessibilityBridge> AccessibilityBridge::Start(
    SDispatcher& dispatcher, const std::string& applicationName) {
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* direct = std::getenv("AT_SPI_BUS_ADDRESS");
    if ((session == nullptr || *session == '\0') && (direct == nullptr || *direct == '\0')) {
        return nullptr;
    }
    std::unique_ptr<AccessibilityBridge> bridge(
        new AccessibilityBridge(dispatcher, applicationName));
    bridge->m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (bridge->m_wakeFd < 0) {
        return nullptr;
    }
    bridge->m_thread = std::thread([raw = bridge.get()] { raw->Run(); });
    return bridge;
}

AccessibilityBridge::AccessibilityBridge(SDispatcher& dispatcher,
                                         const std::string& applicationName)
    : m_dispatcher(dispatcher), m_builder(dispatcher, applicationName) {}

AccessibilityBridge::~AccessibilityBridge() {
    m_stop = true;
    Wake();
    m_published.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

void AccessibilityBridge::Run() {
    std::unique_ptr<sdbus::IConnection> connection;
    try {
        const std::string address = AccessibilityBusAddress();
        connection = sdbus::createSessionBusConnectionWithAddress(address);
    } catch (const sdbus::Error& error) {
        // No accessibility bus on this desktop: nobody listens, the thread ends here.
        _Log(LOG_INFO, "a11y", __LINE__, "No accessibility bus: %s", error.getMessage().c_str());
        return;
    }
    try {
        Serve(*connection);
    } catch (const sdbus::Error& error) {
        _Log(LOG_WARNING, "a11y", __LINE__, "The accessibility bus failed: %s",
             error.getMessage().c_str());
    }
}

void AccessibilityBridge::Serve(sdbus::IConnection& connection) {
    AtspiServer server(connection, *this);
    server.Apply(Fresh());
    server.Embed();
    _Log(LOG_INFO, "a11y", __LINE__, "On the accessibility bus as %s",
         connection.getUniqueName().c_str());
    auto lastPoll = Clock::now();
    auto lastChange = Clock::now();
    while (!m_stop) {
        const sdbus::IConnection::PollData data = connection.getEventLoopPollData();
        pollfd fds[2] = {{data.fd, data.events, 0}, {m_wakeFd, POLLIN, 0}};
        poll(fds, 2, PollTimeoutMs(data.timeout_usec, server.HasListeners()));
        uint64_t drained = 0;
        while (read(m_wakeFd, &drained, sizeof drained) > 0) {
        }
        while (!m_stop && connection.processPendingRequest()) {
            if (SnapshotPtr pending = TakePending()) {
                server.Apply(pending);
            }
        }
        // Changes are looked for only while someone listens: often while the screen changes,
        // rarely while it rests.
        const auto interval = Clock::now() - lastChange < kBusyFor ? kBusyPoll : kRestingPoll;
        if (server.HasListeners() && Clock::now() - lastPoll >= interval) {
            lastPoll = Clock::now();
            RequestSnapshot();
        }
        if (SnapshotPtr pending = TakePending()) {
            if (server.Apply(pending) != 0) {
                lastChange = Clock::now();
            }
        }
    }
}

void AccessibilityBridge::Wake() {
    const uint64_t one = 1;
    if (m_wakeFd >= 0) {
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
    }
}

void AccessibilityBridge::RequestSnapshot() {
    if (!m_snapshotQueued.exchange(true)) {
        m_dispatcher.Post(this, kSnapshot, 0);
    }
}

SnapshotPtr AccessibilityBridge::TakePending() {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::exchange(m_pending, nullptr);
}

void AccessibilityBridge::Publish(SnapshotPtr snapshot) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_latest = snapshot;
        m_pending = std::move(snapshot);
        m_latestTime = Clock::now();
        ++m_generation;
    }
    m_published.notify_all();
    Wake();
}

SnapshotPtr AccessibilityBridge::Fresh() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_latest != nullptr && Clock::now() - m_latestTime < kFreshEnough) {
        return m_latest;
    }
    const uint64_t generation = m_generation;
    lock.unlock();
    RequestSnapshot();
    lock.lock();
    m_published.wait_for(lock, kWaitForUi,
                         [&] { return m_generation != generation || m_stop.load(); });
    return m_latest != nullptr ? m_latest : std::make_shared<AccessibleSnapshot>();
}

bool AccessibilityBridge::RequestAction(uint32_t id, int index) {
    const SnapshotPtr tree = Fresh();
    const AccessibleNode* node = tree->Find(id);
    // What a user could not press now (disabled, or under a modal dialog) is refused.
    if (node == nullptr || index < 0 || index >= static_cast<int>(node->actions.size()) ||
        !node->HasState(state::kSensitive)) {
        return false;
    }
    m_dispatcher.Post(this, std::make_unique<NodeRequest>(kAction, id, index));
    return true;
}

bool AccessibilityBridge::RequestFocus(uint32_t id) {
    const SnapshotPtr tree = Fresh();
    const AccessibleNode* node = tree->Find(id);
    if (node == nullptr) {
        return false;
    }
    m_dispatcher.Post(this, std::make_unique<NodeRequest>(kFocus, id, 0));
    return true;
}

void AccessibilityBridge::Dispatcher_Invoked(SInvokeArgument* argument) {
    if (argument->id == kSnapshot) {
        m_snapshotQueued = false;
    } else if (auto* request = dynamic_cast<NodeRequest*>(argument)) {
        if (argument->id == kAction) {
            m_builder.DoAction(request->id, argument->param);
        } else {
            m_builder.GrabFocus(request->id);
        }
    }
    Publish(m_builder.Build());
}

}  // namespace a11y
