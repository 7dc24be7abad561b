#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/BluetoothHandle.h"
#include "link/FrameDecoder.h"
#include "link/LinkEventQueue.h"
#include "platform/bluetooth/FdConnection.h"

namespace link_test {

using Bytes = std::vector<uint8_t>;

// Sends the log of this test into a folder of its own and reads it back.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::string text() const;
    bool contains(const std::string& piece) const { return text().find(piece) != npos; }
    static constexpr std::size_t npos = std::string::npos;

private:
    std::filesystem::path m_folder;
};

// Records every event with its arguments.
class RecordingDelegate : public IBluetoothHandleDelegate {
public:
    void OnDeviceStatusChange(DeviceStatus status) override { statuses.push_back(status); }
    void OnDeviceVersionChange(std::string left, std::string right) override {
        versions.emplace_back(std::move(left), std::move(right));
    }
    void OnDeviceIMEIChange(bool valid, std::string left, std::string right) override {
        imeis.push_back({valid, std::move(left), std::move(right)});
    }

    struct Imei {
        bool valid;
        std::string left;
        std::string right;
    };
    std::vector<DeviceStatus> statuses;
    std::vector<std::pair<std::string, std::string>> versions;
    std::vector<Imei> imeis;
};

// A link over one end of a socket pair, the test holding the other end as the earbuds.
// Members are declared so that the link goes first: its destructor waits for its threads while
// the delegate and the device they use still exist.
class LinkUnderTest {
public:
    // deviceName empty: no connected device (first generation).
    explicit LinkUnderTest(const std::string& deviceName = "Auralis+ (4F2A)",
                           std::shared_ptr<platform::bluetooth::Backend> backend = nullptr);

    // Every byte the link has sent so far and the test has not read yet.
    Bytes sentBytes();
    // The frames among sentBytes(), decoded with the markers of the device's generation.
    std::vector<devlink::DecodedFrame> sentFrames();
    // Feeds bytes to the link as the listener would hand over one read.
    void receive(const Bytes& chunk) { handle.handleReceivedChunk(chunk.data(), chunk.size()); }
    // Feeds one frame of the device's generation.
    void receiveFrame(uint8_t id, const Bytes& payload, bool response = false);
    // Events go to receiver instead of the recording delegate.
    void receiveWith(IBluetoothHandleDelegate& receiver) {
        handle.removeReceiver(&delegate);
        handle.addReceiver(&receiver);
    }

    RecordingDelegate delegate;
    std::unique_ptr<BluetoothDevice> device;
    std::shared_ptr<platform::bluetooth::FdConnection> ours;
    std::shared_ptr<platform::bluetooth::FdConnection> peer;
    BluetoothHandle handle;

private:
    devlink::Generation m_generation;
};

// Every event of the link, queued as it arrives from any thread and kept in order as text
// ("OnDownloadFinish(0,14)") so that a test can look back at them and wait for more with a
// time-out. Read from the test's thread only.
class EventRecorder : public LinkEventQueue {
public:
    std::vector<std::string> events();
    // Events whose text starts with prefix.
    std::vector<std::string> matching(const std::string& prefix);
    int count(const std::string& prefix) { return static_cast<int>(matching(prefix).size()); }
    // Waits until at least n events start with prefix. False on time-out.
    bool waitFor(const std::string& prefix, int n = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<std::map<uint64_t, BluetoothDevice*>> foundMaps();
    std::vector<DeviceStatus> statuses();
    BluetoothDevice* lastConnectedDevice();

private:
    // Takes the queued events until the deadline has passed (now: only those already queued).
    void takeUntil(Clock::time_point deadline);
    void record(const LinkEvent& event);
    int seen(const std::string& prefix) const;

    std::vector<std::string> m_events;
    std::vector<std::map<uint64_t, BluetoothDevice*>> m_foundMaps;
    std::vector<DeviceStatus> m_statuses;
    BluetoothDevice* m_lastConnected = nullptr;
};

// A firmware package written into a fresh folder of the sandbox, read back as the link's FotaBin.
struct TestPackage {
    // entries: (id, size); the contents are a counting byte pattern, distinct per entry.
    explicit TestPackage(const std::vector<std::pair<uint32_t, std::size_t>>& entries);
    // The bytes of entry index i as the package holds them.
    Bytes entryBytes(std::size_t index) const;

    std::filesystem::path path;
    FileInfo info;
    std::vector<Bytes> contents;
};

Bytes join(std::initializer_list<Bytes> parts);

// Link timings for tests against auralis-sim: short pauses, an alive check every aliveWait and
// a receive watchdog of receiveWatchdog.
LinkTimings simLinkTimings(
    std::chrono::milliseconds aliveWait = std::chrono::milliseconds(500),
    std::chrono::milliseconds receiveWatchdog = std::chrono::milliseconds(1500));

}  // namespace link_test
