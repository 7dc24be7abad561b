#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace platform {

// A knock on the door of the running instance: a named pipe (FIFO) in the same private folder
// as the single-instance lock. The holder of the lock listens on it; a second start that finds
// the lock taken writes one byte to it, and the holder brings its window to the front.
//
// The listening thread blocks in poll() on the pipe and an eventfd, so it costs nothing while
// idle and stops at once when asked.
class InstanceSignal {
public:
    explicit InstanceSignal(std::filesystem::path path);
    ~InstanceSignal();
    InstanceSignal(const InstanceSignal&) = delete;
    InstanceSignal& operator=(const InstanceSignal&) = delete;

    // Makes a fresh pipe (a stale one left by a crash is replaced) and calls `onKnock` on the
    // listening thread once for every batch of knocks that arrives. Only the holder of the
    // single-instance lock may listen. False (with the pipe left alone) when it cannot be made.
    bool listen(std::function<void()> onKnock);
    // Stops the listening thread and removes the pipe. Safe to call more than once.
    void stop();
    bool listening() const { return m_thread.joinable(); }

    // Knocks at the instance listening on `path`. False when nobody listens there.
    static bool knock(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return m_path; }

private:
    void listenLoop(std::function<void()> onKnock);

    std::filesystem::path m_path;
    int m_pipe = -1;      // read end
    int m_keepOpen = -1;  // our own write end, so the read end never reports hang-up
    int m_stop = -1;      // eventfd that ends the loop
    std::thread m_thread;
};

}  // namespace platform
