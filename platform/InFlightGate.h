#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// Counts the threads that are inside something (a receiver's callback, a worker that reaches an
// object), so that the one who ends it can wait until every such thread has left. A thread
// enters through enter() and holds the pass it gets until it leaves; closeAndWait() lets no new
// thread in and then sleeps until the passes in flight have been given back.
//
// A thread that closes the gate while it holds a pass of the same gate (a receiver that
// unsubscribes itself from inside its own callback) does not wait for itself: its own passes
// are not waited for, so closing from inside never deadlocks. A pass moved elsewhere (handed to
// a thread it was taken for) belongs to no thread any more and is always waited for.
class InFlightGate {
public:
    // One thread's stay inside. Empty when the gate was already closed: the thread must not go
    // in then. Move-only; leaving happens when the pass goes.
    class Pass {
    public:
        Pass() = default;
        Pass(Pass&& other) noexcept;
        Pass& operator=(Pass&& other) noexcept;
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        explicit operator bool() const { return m_gate != nullptr; }

    private:
        friend class InFlightGate;
        Pass(InFlightGate* gate, std::thread::id holder) : m_gate(gate), m_holder(holder) {}
        void takeFrom(Pass& other);

        InFlightGate* m_gate = nullptr;
        // The thread that entered, while the pass stays with it; empty once moved.
        std::thread::id m_holder;
    };

    InFlightGate() = default;
    InFlightGate(const InFlightGate&) = delete;
    InFlightGate& operator=(const InFlightGate&) = delete;

    // A pass for the calling thread; empty once the gate is closed. Any thread.
    Pass enter();

    // Lets nobody in any more and waits until every pass in flight has left, apart from those
    // the calling thread holds itself. Any thread; closing twice is harmless.
    void closeAndWait();
    // The same, waiting at most limit: false when passes were still out then.
    bool closeAndWait(std::chrono::milliseconds limit);

    bool closed() const;
    // Passes out now, for logs.
    int inFlight() const;

private:
    void leave(std::thread::id holder);
    // The pass of holder no longer stays with that thread.
    void release(std::thread::id holder);
    // Passes out that the calling thread does not hold itself; under m_mutex.
    int othersInFlight() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_left;
    int m_inFlight = 0;
    // The entering thread of each pass still held where it was entered.
    std::vector<std::thread::id> m_holders;
    bool m_closed = false;
};

}  // namespace platform
