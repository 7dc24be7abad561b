#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "link/IBluetoothHandleDelegate.h"

// One event of the device link, as a value that can wait in a queue.
struct LinkEvent {
    enum class Kind {
        Status,           // status
        Connected,        // flag, device
        Disconnected,     // number = reason
        FotaState,        // number = state
        Versions,         // left, right
        VersionMismatch,  //
        FotaError,        // number = error
        Progress,         // number = percent, bytes
        Finish,           // flag = success, number = reason
        Support,          // flag = supported
        Serials,          // flag = valid, left, right
        Found,            // devices
    };
    Kind kind = Kind::Status;
    DeviceStatus status;
    bool flag = false;
    int number = 0;
    uint64_t bytes = 0;
    std::string left;
    std::string right;
    BluetoothDevice* device = nullptr;
    std::map<uint64_t, BluetoothDevice*> devices;
};

// A delegate that queues every event of a link (they arrive on the link's threads) for one
// consumer thread, which takes them in order: auralis-ctl's commands and the tests use it.
// Declare it before the link so that it outlives the link's threads.
class LinkEventQueue : public IBluetoothHandleDelegate {
public:
    using Clock = std::chrono::steady_clock;

    // The next event, or nothing once the deadline has passed.
    std::optional<LinkEvent> next(Clock::time_point deadline);

    // A second receiver that gets every event too, on the link's thread, before it is queued (so
    // the consumer sees an event only after that receiver has). Null: none. The receiver
    // must outlive the link's threads (shut the link down before it goes).
    void alsoTell(IBluetoothHandleDelegate* receiver) { m_also.store(receiver); }

    void OnDeviceStatusChange(DeviceStatus status) override;
    void OnDeviceConnected(bool isConnected, BluetoothDevice* device) override;
    void OnDeviceDisconnected(int error) override;
    void OnFotaStateChange(int state) override;
    void OnDeviceVersionChange(std::string left, std::string right) override;
    void OnDeviceVersionMismatch() override;
    void OnFotaError(int errCode) override;
    void OnDownloadProgressChange(int percent, uint64_t bytes) override;
    void OnDownloadFinish(bool success, int errorCode) override;
    void OnCheckBluetoothResponse(bool isSupport) override;
    void OnDeviceIMEIChange(bool valid, std::string left, std::string right) override;
    void OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) override;

private:
    // Hands an event to the second receiver, if there is one.
    template <typename Method, typename... Args>
    void tellAlso(Method method, const Args&... args);
    void push(LinkEvent event);

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<LinkEvent> m_events;
    std::atomic<IBluetoothHandleDelegate*> m_also{nullptr};
};
