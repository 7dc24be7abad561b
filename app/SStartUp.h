#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class IStartUpHost;

// The start-up work list: background work that runs once the main window exists, one short
// detached worker thread per item. Each finished item asks the UI thread (start-up message with
// parameter 3) to run the next one, so items run one after the other.
class SStartUp {
public:
    enum WorkType : uint32_t {
        WT_CHECK_APP_UPDATE = 0,
        WT_SKIP = 1,
        WT_ASK_UI = 2,
        WT_NEXTWORK = 3,
    };

    // The host outlives every worker thread: each worker keeps its own reference.
    explicit SStartUp(std::shared_ptr<IStartUpHost> host) : m_host(std::move(host)) {}
    virtual ~SStartUp() = default;
    SStartUp(const SStartUp&) = delete;
    SStartUp& operator=(const SStartUp&) = delete;

    void AddWork(uint32_t workType);
    // Starts the current item: WT_NEXTWORK logs and ends the chain, anything else runs on a
    // worker thread of its own. UI thread.
    void doWork();
    // Advances to the next item and starts it; nothing when the list has ended. UI thread.
    void doNextWork();

    std::size_t GetWorkCount() const;
    std::size_t GetCurrentIndex() const { return m_index.load(); }
    // Worker threads started so far (for tests).
    int GetStartedThreads() const { return m_startedThreads.load(); }

    // The body of a worker thread for one work type.
    static void doWorkThread(IStartUpHost& host, uint32_t workType);

private:
    std::shared_ptr<IStartUpHost> m_host;
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_work;
    std::atomic<std::size_t> m_index{0};
    std::atomic<int> m_startedThreads{0};
};
