// The in-flight gate: closing waits, asleep, until the passes in flight have left; a thread
// that closes from inside never waits for itself; a pass handed to another thread is waited for.

#include "platform/InFlightGate.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Event.h"

namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::InFlightGate;

// The calling thread's voluntary context switches so far: a thread that sleeps on a condition
// variable makes a handful, one that polls makes one per round.
long voluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

// A thread inside the gate until released.
class Visitor {
public:
    explicit Visitor(InFlightGate& gate)
        : m_thread([this, &gate] {
              const InFlightGate::Pass pass = gate.enter();
              entered.signal();
              release.wait(30s);
              leaving.store(true);
          }) {
        entered.wait(10s);
    }
    ~Visitor() {
        release.signal();
        m_thread.join();
    }

    Event entered{Event::Reset::Manual};
    Event release{Event::Reset::Manual};
    std::atomic<bool> leaving{false};

private:
    std::thread m_thread;
};

}  // namespace

TEST(InFlightGateTest, ClosingSleepsUntilThePassesInFlightHaveLeft) {
    InFlightGate gate;
    Visitor visitor(gate);
    ASSERT_EQ(gate.inFlight(), 1);

    Event closed{Event::Reset::Manual};
    std::atomic<bool> visitorHadLeft{false};
    long switches = 0;
    std::thread closer([&] {
        const long before = voluntarySwitches();
        gate.closeAndWait();
        switches = voluntarySwitches() - before;
        visitorHadLeft.store(visitor.leaving.load());
        closed.signal();
    });
    EXPECT_FALSE(closed.wait(400ms));
    // Closed at once: nobody new gets in, while the one inside is still waited for.
    EXPECT_TRUE(gate.closed());
    EXPECT_FALSE(gate.enter());
    visitor.release.signal();
    EXPECT_TRUE(closed.wait(10s));
    closer.join();
    EXPECT_TRUE(visitorHadLeft.load());
    // A loop that looked every few milliseconds would have woken about a hundred times.
    EXPECT_LT(switches, 20);
}

TEST(InFlightGateTest, ABoundedCloseReportsPassesStillOut) {
    InFlightGate gate;
    Visitor visitor(gate);
    EXPECT_FALSE(gate.closeAndWait(50ms));
    visitor.release.signal();
    EXPECT_TRUE(gate.closeAndWait(10s));
    EXPECT_EQ(gate.inFlight(), 0);
}

TEST(InFlightGateTest, AThreadClosingFromInsideDoesNotWaitForItselfButForOthers) {
    InFlightGate gate;
    Visitor visitor(gate);
    const InFlightGate::Pass own = gate.enter();
    ASSERT_TRUE(own);
    EXPECT_FALSE(gate.closeAndWait(100ms)) << "the other thread's pass is still waited for";
    visitor.release.signal();
    EXPECT_TRUE(gate.closeAndWait(10s)) << "its own pass is not";
}

// A pass taken for a thread about to start (so that closing waits for it even before it runs)
// belongs to that thread once handed over: the thread that took it waits for it too.
TEST(InFlightGateTest, APassHandedToAnotherThreadIsWaitedFor) {
    InFlightGate gate;
    InFlightGate::Pass pass = gate.enter();
    Event release{Event::Reset::Manual};
    std::thread worker([&release, held = std::move(pass)] { release.wait(30s); });
    EXPECT_FALSE(gate.closeAndWait(100ms));
    release.signal();
    worker.join();
    EXPECT_TRUE(gate.closeAndWait(10s));
}
