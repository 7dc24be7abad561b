#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/BluetoothHandle.h"
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
class LinkUnderTest {
public:
    // deviceName empty: no connected device (first generation).
    explicit LinkUnderTest(const std::string& deviceName = "Auralis+ (4F2A)");

    // Every byte the link has sent so far and the test has not read yet.
    Bytes sentBytes();
    // Feeds bytes to the link as the listener would hand over one read.
    void receive(const Bytes& chunk) { handle.handleReceivedChunk(chunk.data(), chunk.size()); }

    BluetoothHandle handle;
    RecordingDelegate delegate;
    std::unique_ptr<BluetoothDevice> device;
    std::shared_ptr<platform::bluetooth::FdConnection> ours;
    std::shared_ptr<platform::bluetooth::FdConnection> peer;
};

Bytes join(std::initializer_list<Bytes> parts);

}  // namespace link_test
