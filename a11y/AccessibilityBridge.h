#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "a11y/AccessibleNode.h"
#include "a11y/AccessibleTreeBuilder.h"
#include "a11y/IAccessibleSource.h"
#include "ui/IDispatcherInvokeDelegate.h"

class SDispatcher;
namespace sdbus {
class IConnection;
}

namespace a11y {

// Puts the program's windows on the desktop's accessibility bus. When the session offers one,
// a thread of its own connects, exports every window and widget and answers screen readers and
// other clients from snapshots the UI thread makes; actions and focus requests go back to the
// UI thread through the dispatcher. The UI thread never waits for the bus or a client.
class AccessibilityBridge : public IDispatcherInvokeDelegate, private IAccessibleSource {
public:
    // A running bridge, or null when the session has no bus at all (then nothing runs).
    static std::unique_ptr<AccessibilityBridge> Start(SDispatcher& dispatcher,
                                                      const std::string& applicationName);
    ~AccessibilityBridge() override;
    AccessibilityBridge(const AccessibilityBridge&) = delete;
    AccessibilityBridge& operator=(const AccessibilityBridge&) = delete;

    // UI thread: a snapshot, an action or a focus request the bus thread asked for.
    void Dispatcher_Invoked(SInvokeArgument* argument) override;

private:
    AccessibilityBridge(SDispatcher& dispatcher, const std::string& applicationName);

    // IAccessibleSource (bus thread)
    SnapshotPtr Fresh() override;
    bool RequestAction(uint32_t id, int index) override;
    bool RequestFocus(uint32_t id) override;

    void Run();
    void Serve(sdbus::IConnection& connection);
    void RequestSnapshot();
    void Publish(SnapshotPtr snapshot);
    void Wake();
    SnapshotPtr TakePending();

    SDispatcher& m_dispatcher;
    AccessibleTreeBuilder m_builder;  // UI thread
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_snapshotQueued{false};
    int m_wakeFd = -1;

    std::mutex m_lock;
    std::condition_variable m_published;
    SnapshotPtr m_latest;
    SnapshotPtr m_pending;  // published but not yet applied to the exported objects
    std::chrono::steady_clock::time_point m_latestTime;
    uint64_t m_generation = 0;
};

}  // namespace a11y
