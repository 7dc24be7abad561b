#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "link/LinkWorkers.h"

using namespace std::chrono_literals;

namespace {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(LinkWorkersTest, StoppingCutsEveryPauseShortAndRefusesNewWorkers) {
    LinkWorkers workers;
    std::atomic<int> cut{0};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(workers.start("test-pause", [&] {
            if (!workers.pause(60s)) {
                ++cut;
            }
        }));
    }
    ASSERT_TRUE(waitUntil([&] { return workers.running() == 2; }));
    const auto begun = std::chrono::steady_clock::now();
    workers.beginStop();
    workers.wakePauses();
    EXPECT_TRUE(workers.waitForAll(5s, [] {}));
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
    EXPECT_EQ(cut.load(), 2);
    EXPECT_EQ(workers.running(), 0);
    EXPECT_FALSE(workers.start("test-late", [] {}));
}

TEST(LinkWorkersTest, AChangeMadeThroughWakePausesEndsAPauseUntilIt) {
    LinkWorkers workers;
    bool flag = false;  // changed and read under the pauses' lock only
    std::atomic<bool> ended{false};
    ASSERT_TRUE(workers.start("test-until", [&] {
        workers.pauseUntil(60s, [&] { return flag; });
        ended = true;
    }));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(ended.load());
    workers.wakePauses([&] { flag = true; });
    EXPECT_TRUE(waitUntil([&] { return ended.load(); }));
    EXPECT_TRUE(workers.waitForAll(5s, [] {}));
}

TEST(LinkWorkersTest, WaitingForAllGivesUpAfterItsTimeoutAndNudgesMeanwhile) {
    LinkWorkers workers;
    std::atomic<bool> release{false};
    ASSERT_TRUE(workers.start("test-stuck", [&] { waitUntil([&] { return release.load(); }); }));
    int nudges = 0;
    EXPECT_FALSE(workers.waitForAll(50ms, [&] { ++nudges; }));
    EXPECT_GE(nudges, 2);
    release = true;
    EXPECT_TRUE(workers.waitForAll(5s, [] {}));
}
