// Worker threads: cooperative stop, a stop that times out, start rules and exit codes.

#include <gtest/gtest.h>

#include <atomic>

#include "platform/Event.h"
#include "ui/SThreadBase.h"

namespace {

// Runs until asked to stop; the result tells how it ended.
class PoliteWorker : public SThreadBase {
public:
    ~PoliteWorker() override { Stop(); }
    std::atomic<int> runs{0};

protected:
    int Run() override {
        ++runs;
        while (!WaitForStop(1000)) {
        }
        return 42;
    }
};

// Ignores the stop event until the test releases it.
class StubbornWorker : public SThreadBase {
public:
    ~StubbornWorker() override {
        release.signal();
        Stop();
    }
    platform::Event release{platform::Event::Reset::Manual};
    std::atomic<bool> sawTerminateRequest{false};

protected:
    int Run() override {
        release.wait();
        sawTerminateRequest = IsTerminateRequested();
        return 7;
    }
    int GetStopTimeout() const override { return 20; }
    int GetTerminateRetries() const override { return 3; }
};

class RefusingWorker : public SThreadBase {
public:
    ~RefusingWorker() override { Stop(); }
    bool ran = false;

protected:
    bool OnThreadStart() override { return false; }
    int Run() override {
        ran = true;
        return 0;
    }
};

TEST(ThreadBase, PoliteStopEndsTheRunWithoutForce) {
    PoliteWorker worker;
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.Start());  // a running thread is not started twice
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_TRUE(worker.Stop());
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.GetExitCode(), 42);
    EXPECT_EQ(worker.GetTerminateAttempts(), 0);
    EXPECT_EQ(worker.runs.load(), 1);
    // It can be started again after it ended.
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.Stop());
    EXPECT_EQ(worker.runs.load(), 2);
    EXPECT_TRUE(worker.Stop());  // stopping a stopped thread succeeds
}

TEST(ThreadBase, StopThatTimesOutIsReported) {
    StubbornWorker worker;
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Stop());
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_EQ(worker.GetTerminateAttempts(), 4);  // retries + 1
    EXPECT_EQ(worker.GetExitCode(), -2);
    worker.release.signal();
    EXPECT_TRUE(worker.Stop());
    EXPECT_TRUE(worker.sawTerminateRequest.load());
    EXPECT_EQ(worker.GetExitCode(), 7);
}

TEST(ThreadBase, RefusedStartGivesMinusOne) {
    RefusingWorker worker;
    ASSERT_TRUE(worker.Start());
    EXPECT_TRUE(worker.Stop());
    EXPECT_FALSE(worker.ran);
    EXPECT_EQ(worker.GetExitCode(), -1);
}

}  // namespace
