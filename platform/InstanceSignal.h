#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace platform {

// A knock on the door of the running instance: a named pipe (FIFO) in the same private folder
// as the single-instance lock. The holder of the lock listens on it; a second start that finds
// the lock taken writes one byte to it, and the holder brings its window to the front. Once its
// window shows, the holder answers by writing a fresh token into a file beside the pipe
// ("<pipe>.shown"); the second start waits a moment for that answer, so it can tell the user
// when the running copy knocked on shows nothing.
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

    enum class KnockResult {
        NobodyListens,  // no instance reads the pipe
        NoAnswer,       // the knock arrived, but no window was reported within the wait
        WindowShown,    // the running instance answered that its window shows
    };
    // Knocks and waits up to `wait` for the listener's answer (answerWindowShown).
    static KnockResult knockAndWait(const std::filesystem::path& path,
                                    std::chrono::milliseconds wait);
    // The listener's answer to a knock: its window is on the screen. Any thread.
    void answerWindowShown();

    const std::filesystem::path& path() const { return m_path; }

private:
    void listenLoop(std::function<void()> onKnock);
    static std::filesystem::path answerPath(const std::filesystem::path& pipe);
    static std::string readAnswer(const std::filesystem::path& pipe);

    std::filesystem::path m_path;
    int m_pipe = -1;      // read end
    int m_keepOpen = -1;  // our own write end, so the read end never reports hang-up
    int m_stop = -1;      // eventfd that ends the loop
    std::thread m_thread;
};

}  // namespace platform
