#pragma once

#include <atomic>

// The keep-running flag of one nested dispatcher loop (a modal frame). The loop returns 1
// once the flag is cleared.
class SDispatcherFrame {
public:
    SDispatcherFrame() = default;
    SDispatcherFrame(const SDispatcherFrame&) = delete;
    SDispatcherFrame& operator=(const SDispatcherFrame&) = delete;

    bool KeepRunning() const { return keepRunning.load(); }
    void Reset() { keepRunning = 1; }
    // Clears the flag and wakes the loop so it notices at once, from any thread.
    void Exit();

    std::atomic<int> keepRunning{1};
};
