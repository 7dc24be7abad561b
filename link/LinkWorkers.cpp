#include "link/LinkWorkers.h"

#include "platform/Thread.h"

namespace {

// How often waitForAll nudges threads that wait on the link's auto-reset events.
constexpr std::chrono::milliseconds kShutdownNudge{10};

}  // namespace

bool LinkWorkers::start(const char* name, std::function<void()> body) {
    {
        std::lock_guard lock(m_countMutex);
        if (m_stopping.load()) {
            return false;
        }
        ++m_count;
    }
    platform::startDetachedThread(name, [this, body = std::move(body)] {
        body();
        // Notified under the lock: waitForAll cannot return, and the link cannot go away,
        // before this thread has let go of it.
        std::lock_guard lock(m_countMutex);
        --m_count;
        m_countChanged.notify_all();
    });
    return true;
}

bool LinkWorkers::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_pauseMutex);
    return !m_pauseCut.wait_for(lock, duration, [this] { return m_stopping.load(); });
}

void LinkWorkers::pauseUntil(std::chrono::milliseconds duration,
                             const std::function<bool()>& until) {
    std::unique_lock lock(m_pauseMutex);
    m_pauseCut.wait_for(lock, duration, until);
}

void LinkWorkers::wakePauses(const std::function<void()>& change) {
    {
        std::lock_guard lock(m_pauseMutex);
        if (change) {
            change();
        }
    }
    m_pauseCut.notify_all();
}

void LinkWorkers::beginStop() {
    std::lock_guard lock(m_countMutex);
    m_stopping.store(true);
}

bool LinkWorkers::waitForAll(std::chrono::milliseconds timeout,
                             const std::function<void()>& nudge) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_countMutex);
    while (m_count > 0) {
        nudge();
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        m_countChanged.wait_for(lock, kShutdownNudge);
    }
    return true;
}

int LinkWorkers::running() const {
    std::lock_guard lock(m_countMutex);
    return m_count;
}

void LinkWorkers::setTimings(const LinkTimings& timings) {
    std::lock_guard lock(m_timingsMutex);
    m_timings = timings;
}

LinkTimings LinkWorkers::timings() const {
    std::lock_guard lock(m_timingsMutex);
    return m_timings;
}
