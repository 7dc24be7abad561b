#include "platform/bluetooth/bluez/BluezConnection.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Log.h"

namespace platform::bluetooth {
namespace {

constexpr const char* kService = "org.bluez";
// A reply the bus owes us past the call's own time-out counts as lost after this much longer.
constexpr std::chrono::milliseconds kReplyGrace{1000};
// Wake-ups on a hung-up bus socket that processing does not turn into an error: the connection
// is given up after this many.
constexpr int kMaxIdleHangUps = 100;

const char* const kDisconnected = "org.freedesktop.DBus.Error.Disconnected";

}  // namespace

struct BluezConnection::Job {
    enum class State { Queued, Running, Done, Dropped };
    const std::function<void()>* work = nullptr;
    State state = State::Queued;
};

struct BluezConnection::PendingCall {
    // Set while call() still waits; cleared (under m_mutex) when it gives up.
    const ReplyReader* readResults = nullptr;
    bool waiting = true;
    bool done = false;
    BluezReply result;
};

BluezConnection::BluezConnection(std::unique_ptr<sdbus::IConnection> bus, int wakeFd)
    : m_bus(std::move(bus)), m_wakeFd(wakeFd) {}

BluezConnection::~BluezConnection() {
    stopLoop();
    m_calls.clear();
    ::close(m_wakeFd);
}

base::Result<std::unique_ptr<BluezConnection>> BluezConnection::open() {
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        return base::Error(std::strerror(errno), errno).within("eventfd");
    }
    base::Error error;
    try {
        return std::unique_ptr<BluezConnection>(
            new BluezConnection(sdbus::createSystemBusConnection(), wakeFd));
    } catch (const sdbus::Error& e) {
        error = base::Error(e.getName() + ": " + e.getMessage());
    } catch (const std::exception& e) {
        error = base::Error(e.what());
    }
    ::close(wakeFd);
    return std::move(error).within("connecting to the system bus");
}

void BluezConnection::startLoop() {
    if (m_loop.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_running = true;
    }
    m_loop = std::thread([this] { runLoop(); });
}

void BluezConnection::stopLoop() {
    if (!m_loop.joinable()) {
        return;
    }
    m_stop.store(true);
    wake();
    m_loop.join();
}

void BluezConnection::wake() {
    const uint64_t one = 1;
    // The counter only saturates; a failed write still leaves the thread due to wake up.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
}

void BluezConnection::runLoop() {
    try {
        int idleHangUps = 0;
        while (!m_stop.load()) {
            dispatchOnce();
            if (m_stop.load()) {
                break;
            }
            const sdbus::IConnection::PollData data = m_bus->getEventLoopPollData();
            pollfd fds[2] = {{data.fd, data.events, 0}, {m_wakeFd, POLLIN, 0}};
            if (::poll(fds, 2, data.getPollTimeout()) < 0 && errno != EINTR) {
                throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
            }
            if ((fds[1].revents & POLLIN) != 0) {
                uint64_t count = 0;
                [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof(count));
            }
            // sd-bus turns a closed socket into an error while processing; should it not,
            // a hung-up socket must not keep this thread spinning.
            const bool hungUp = (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            idleHangUps = hungUp ? idleHangUps + 1 : 0;
            if (idleHangUps > kMaxIdleHangUps) {
                throw std::runtime_error("the bus socket hung up");
            }
        }
    } catch (const sdbus::Error& e) {
        _Log(LOG_WARNING, "BluezConnection::runLoop", __LINE__,
             "D-Bus connection to the system bus lost: %s: %s", e.getName().c_str(),
             e.getMessage().c_str());
    } catch (const std::exception& e) {
        _Log(LOG_WARNING, "BluezConnection::runLoop", __LINE__,
             "D-Bus connection to the system bus lost: %s", e.what());
    }
    finishLoop();
}

void BluezConnection::dispatchOnce() {
    runJobs();
    while (m_bus->processPendingRequest()) {
    }
    // A proxy cannot go while its own reply handler runs: answered calls are dropped here.
    for (const uint64_t call : m_answered) {
        m_calls.erase(call);
    }
    m_answered.clear();
}

void BluezConnection::runJobs() {
    std::deque<std::shared_ptr<Job>> jobs;
    {
        std::lock_guard lock(m_mutex);
        jobs.swap(m_jobs);
        for (const auto& job : jobs) {
            job->state = Job::State::Running;
        }
    }
    for (const auto& job : jobs) {
        try {
            (*job->work)();
        } catch (const std::exception& e) {
            _Log(LOG_WARNING, "BluezConnection::runJobs", __LINE__, "job failed: %s", e.what());
        }
        std::lock_guard lock(m_mutex);
        job->state = Job::State::Done;
        m_changed.notify_all();
    }
}

void BluezConnection::finishLoop() {
    std::lock_guard lock(m_mutex);
    m_running = false;
    if (!m_stop.load()) {
        m_broken.store(true);
    }
    for (const auto& job : m_jobs) {
        job->state = Job::State::Dropped;
    }
    m_jobs.clear();
    m_changed.notify_all();
}

bool BluezConnection::runOnLoop(const std::function<void()>& work,
                                std::chrono::milliseconds timeout) {
    if (std::this_thread::get_id() == m_loop.get_id()) {
        work();
        return true;
    }
    auto job = std::make_shared<Job>();
    job->work = &work;
    std::unique_lock lock(m_mutex);
    if (!m_running) {
        return false;
    }
    m_jobs.push_back(job);
    lock.unlock();
    wake();
    lock.lock();
    m_changed.wait_for(lock, timeout, [&] { return job->state != Job::State::Queued; });
    if (job->state == Job::State::Queued) {
        // Never taken: drop it, so it cannot run after work has gone.
        std::erase(m_jobs, job);
        return false;
    }
    // Taken: jobs do not block, so this wait is short.
    m_changed.wait(lock, [&] { return job->state != Job::State::Running; });
    return job->state == Job::State::Done;
}

void BluezConnection::sendCall(const std::shared_ptr<PendingCall>& pending, const std::string& path,
                               const std::string& interface, const std::string& method,
                               const ArgumentWriter& writeArguments,
                               std::chrono::milliseconds timeout) {
    try {
        std::unique_ptr<sdbus::IProxy> proxy = sdbus::createProxy(*m_bus, kService, path);
        sdbus::MethodCall message = proxy->createMethodCall(interface, method);
        if (writeArguments) {
            writeArguments(message);
        }
        const uint64_t call = ++m_lastCall;
        auto onReply = [this, pending, call](sdbus::MethodReply& reply, const sdbus::Error* error) {
            finishCall(*pending, reply, error);
            m_answered.push_back(call);
        };
        proxy->callMethod(message, std::move(onReply), timeout);
        m_calls.emplace(call, std::move(proxy));
    } catch (const sdbus::Error& e) {
        std::lock_guard lock(m_mutex);
        pending->result.errorName = e.getName();
        pending->result.errorMessage = e.getMessage();
        pending->done = true;
        m_changed.notify_all();
    }
}

void BluezConnection::finishCall(PendingCall& pending, sdbus::MethodReply& reply,
                                 const sdbus::Error* error) {
    // Under the lock: call() cannot give up (and take its reader away) meanwhile.
    std::lock_guard lock(m_mutex);
    if (error != nullptr) {
        pending.result.errorName =
            error->getName().empty() ? "org.bluez.Error.Failed" : error->getName();
        pending.result.errorMessage = error->getMessage();
    } else if (pending.waiting && pending.readResults != nullptr && *pending.readResults) {
        bool read = false;
        try {
            read = (*pending.readResults)(reply);
        } catch (const std::exception& e) {
            pending.result.errorMessage = e.what();
        }
        if (!read) {
            pending.result.errorName = "org.freedesktop.DBus.Error.InvalidSignature";
            if (pending.result.errorMessage.empty()) {
                pending.result.errorMessage = "the answer has an unexpected shape";
            }
        }
    }
    pending.done = true;
    m_changed.notify_all();
}

BluezReply BluezConnection::call(const std::string& path, const std::string& interface,
                                 const std::string& method, const ArgumentWriter& writeArguments,
                                 std::chrono::milliseconds timeout,
                                 const ReplyReader& readResults) {
    auto pending = std::make_shared<PendingCall>();
    pending->readResults = &readResults;
    const std::function<void()> send = [&] {
        sendCall(pending, path, interface, method, writeArguments, timeout);
    };
    const bool sent = runOnLoop(send, timeout);
    std::unique_lock lock(m_mutex);
    if (sent) {
        m_changed.wait_for(lock, timeout + kReplyGrace,
                           [&] { return pending->done || !m_running; });
    }
    // From here on a late reply is not read: readResults may go away with this frame.
    pending->waiting = false;
    if (pending->done) {
        return std::move(pending->result);
    }
    if (!sent || !m_running) {
        return {.errorName = kDisconnected,
                .errorMessage = "the connection to the system bus is lost"};
    }
    return {.errorName = "org.freedesktop.DBus.Error.Timeout",
            .errorMessage = method + " got no answer in time"};
}

}  // namespace platform::bluetooth
