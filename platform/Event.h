#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// A waitable flag shared between threads, in the two flavours the device link and the toolkit
// need: an auto-reset event lets exactly one waiter through per signal and clears itself; a
// manual-reset event stays signalled, releasing every waiter, until reset() is called.
class Event {
public:
    enum class Reset { Auto, Manual };
    enum class Initial { NotSignalled, Signalled };

    explicit Event(Reset reset, Initial initial = Initial::NotSignalled);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void signal();
    void reset();
    bool isSignalled() const;

    // Waits until signalled. Returns true when signalled, false on time-out.
    bool wait(std::chrono::milliseconds timeout);
    void wait();

private:
    bool consumeIfSignalled();

    const Reset m_reset;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled;
};

}  // namespace platform
