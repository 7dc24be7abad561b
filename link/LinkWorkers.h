#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "link/LinkTimings.h"

// The device link's worker threads: each is started detached and counted, so that shutdown can
// stop them all and wait until every one has let go of the link. Workers pause through here, so
// shutdown (or a waker with a reason of its own) cuts every pause short. Also keeps the link's
// timings, the lengths of those pauses.
class LinkWorkers {
public:
    // Starts a counted worker; false once stopping has begun.
    bool start(const char* name, std::function<void()> body);
    // Sleeps, cut short by stopping. False when stopping has begun.
    bool pause(std::chrono::milliseconds duration);
    // Waits up to duration until `until` holds; it is checked under the pauses' lock, so a
    // change made through wakePauses cannot fall between its check and the wait.
    void pauseUntil(std::chrono::milliseconds duration, const std::function<bool()>& until);
    // Makes change (if any) under the pauses' lock and wakes every pause.
    void wakePauses(const std::function<void()>& change = {});

    bool stopping() const { return m_stopping.load(); }
    // No worker starts from now on; running ones see stopping() and every pause is cut short.
    void beginStop();
    // Waits up to timeout until every worker has ended, calling nudge every few milliseconds
    // meanwhile (for waiters on events that need a signal per waiter). True when all ended.
    bool waitForAll(std::chrono::milliseconds timeout, const std::function<void()>& nudge);
    // Workers that have not ended yet.
    int running() const;

    void setTimings(const LinkTimings& timings);
    LinkTimings timings() const;

private:
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_countMutex;
    std::condition_variable m_countChanged;
    int m_count = 0;
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseCut;
    mutable std::mutex m_timingsMutex;
    LinkTimings m_timings;
};
