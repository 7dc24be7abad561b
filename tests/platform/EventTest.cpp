#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using platform::Event;
using namespace std::chrono_literals;

TEST(EventTest, AutoResetLetsOneWaiterThroughPerSignal) {
    Event event(Event::Reset::Auto);
    EXPECT_FALSE(event.wait(10ms));
    event.signal();
    EXPECT_TRUE(event.isSignalled());
    EXPECT_TRUE(event.wait(0ms));
    EXPECT_FALSE(event.isSignalled())
        << "an auto-reset event clears itself when it releases a wait";
    EXPECT_FALSE(event.wait(10ms));
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    Event event(Event::Reset::Manual, Event::Initial::Signalled);
    EXPECT_TRUE(event.wait(0ms));
    EXPECT_TRUE(event.wait(0ms));
    event.reset();
    EXPECT_FALSE(event.wait(10ms));
}

TEST(EventTest, TimedWaitReturnsWhenSignalledFromAnotherThread) {
    Event event(Event::Reset::Auto);
    const auto start = std::chrono::steady_clock::now();
    std::thread signaller([&] {
        std::this_thread::sleep_for(20ms);
        event.signal();
    });
    EXPECT_TRUE(event.wait(5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4000ms);
    signaller.join();
}

TEST(EventTest, ManualResetReleasesEveryWaiter) {
    Event event(Event::Reset::Manual);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (event.wait(5000ms)) {
                ++released;
            }
        });
    }
    std::this_thread::sleep_for(20ms);
    event.signal();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 4);
}

TEST(EventTest, AutoResetSignalReleasesOnlyOneOfTwoWaiters) {
    Event event(Event::Reset::Auto);
    std::atomic<int> released{0};
    std::thread first([&] { released += event.wait(300ms) ? 1 : 0; });
    std::thread second([&] { released += event.wait(300ms) ? 1 : 0; });
    std::this_thread::sleep_for(30ms);
    event.signal();
    first.join();
    second.join();
    EXPECT_EQ(released.load(), 1);
}
