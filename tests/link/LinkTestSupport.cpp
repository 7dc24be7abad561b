#include "tests/link/LinkTestSupport.h"

#include <sys/socket.h>

#include <fstream>
#include <iterator>

#include "base/Log.h"
#include "fota/PackageWriter.h"
#include "link/FrameCodec.h"
#include "tests/common/TestSandbox.h"

namespace link_test {

LogCapture::LogCapture() : m_folder(testing_support::makeTempFolder("linklog")) {
    services::log::configure({.folder = m_folder, .name = "link"});
}

LogCapture::~LogCapture() {
    services::log::configure({});
}

std::string LogCapture::text() const {
    services::log::flush();
    std::ifstream in(m_folder / "link.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LinkUnderTest::LinkUnderTest(const std::string& deviceName,
                             std::shared_ptr<platform::bluetooth::Backend> backend)
    : handle(std::move(backend)),
      m_generation(devlink::isSecondGenerationName(deviceName) ? devlink::Generation::Second
                                                               : devlink::Generation::First) {
    std::tie(ours, peer) = platform::bluetooth::FdConnection::createPair();
    handle.setConnection(ours);
    handle.setDelegate(&delegate);
    if (!deviceName.empty()) {
        device = std::make_unique<BluetoothDevice>(deviceName, 0x0011223344556677ull);
        handle.setConnectedDevice(device.get());
    }
}

Bytes LinkUnderTest::sentBytes() {
    Bytes bytes;
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(peer->fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got <= 0) {
            return bytes;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

std::vector<devlink::DecodedFrame> LinkUnderTest::sentFrames() {
    devlink::FrameDecoder decoder(m_generation);
    const Bytes bytes = sentBytes();
    return decoder.feed(bytes);
}

void LinkUnderTest::receiveFrame(uint8_t id, const Bytes& payload, bool response) {
    receive(devlink::buildFrame(m_generation, id, payload, response));
}

void EventRecorder::add(std::string text) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(text));
    m_added.notify_all();
}

void EventRecorder::OnDeviceStatusChange(DeviceStatus status) {
    {
        std::lock_guard lock(m_mutex);
        m_statuses.push_back(status);
    }
    add("OnDeviceStatusChange(" + std::to_string(status.batteryLeft) + "," +
        std::to_string(status.batteryRight) + ")");
}

void EventRecorder::OnDeviceConnected(bool isConnected, BluetoothDevice* device) {
    {
        std::lock_guard lock(m_mutex);
        m_lastConnected = device;
    }
    add("OnDeviceConnected(" + std::to_string(isConnected ? 1 : 0) + ")");
}

void EventRecorder::OnDeviceDisconnected(int error) {
    add("OnDeviceDisconnected(" + std::to_string(error) + ")");
}

void EventRecorder::OnFotaStateChange(int state) {
    add("OnFotaStateChange(" + std::to_string(state) + ")");
}

void EventRecorder::OnDeviceVersionChange(std::string left, std::string right) {
    add("OnDeviceVersionChange(" + left + "," + right + ")");
}

void EventRecorder::OnDeviceVersionMismatch() {
    add("OnDeviceVersionMismatch()");
}

void EventRecorder::OnFotaError(int errCode) {
    add("OnFotaError(" + std::to_string(errCode) + ")");
}

void EventRecorder::OnDownloadProgressChange(int percent, uint64_t bytes) {
    add("OnDownloadProgressChange(" + std::to_string(percent) + "," + std::to_string(bytes) + ")");
}

void EventRecorder::OnDownloadFinish(bool success, int errorCode) {
    add("OnDownloadFinish(" + std::to_string(success ? 1 : 0) + "," + std::to_string(errorCode) +
        ")");
}

void EventRecorder::OnCheckBluetoothResponse(bool isSupport) {
    add("OnCheckBluetoothResponse(" + std::to_string(isSupport ? 1 : 0) + ")");
}

void EventRecorder::OnDeviceIMEIChange(bool valid, std::string left, std::string right) {
    add("OnDeviceIMEIChange(" + std::to_string(valid ? 1 : 0) + "," + left + "," + right + ")");
}

void EventRecorder::OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) {
    {
        std::lock_guard lock(m_mutex);
        m_foundMaps.push_back(devices);
    }
    add("OnDeviceFindChange(" + std::to_string(devices.size()) + ")");
}

std::vector<std::string> EventRecorder::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<std::string> EventRecorder::matching(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& event : events()) {
        if (event.rfind(prefix, 0) == 0) {
            found.push_back(event);
        }
    }
    return found;
}

bool EventRecorder::waitFor(const std::string& prefix, int n,
                            std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_added.wait_for(lock, timeout, [&] {
        int seen = 0;
        for (const std::string& event : m_events) {
            seen += event.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return seen >= n;
    });
}

std::vector<std::map<uint64_t, BluetoothDevice*>> EventRecorder::foundMaps() const {
    std::lock_guard lock(m_mutex);
    return m_foundMaps;
}

std::vector<DeviceStatus> EventRecorder::statuses() const {
    std::lock_guard lock(m_mutex);
    return m_statuses;
}

BluetoothDevice* EventRecorder::lastConnectedDevice() const {
    std::lock_guard lock(m_mutex);
    return m_lastConnected;
}

TestPackage::TestPackage(const std::vector<std::pair<uint32_t, std::size_t>>& entries) {
    fota::PackageWriter writer;
    uint8_t seed = 1;
    for (const auto& [id, size] : entries) {
        Bytes data(size);
        for (std::size_t i = 0; i < size; ++i) {
            data[i] = static_cast<uint8_t>(seed + i * 7);
        }
        seed = static_cast<uint8_t>(seed + 31);
        contents.push_back(data);
        writer.addEntry(id, std::move(data));
    }
    path = testing_support::makeTempFolder("package") / "firmware.bin";
    writer.writeFile(path);
    info.path = path.string();
    info.getFileInfo(info.path);
}

Bytes TestPackage::entryBytes(std::size_t index) const {
    return contents.at(index);
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace link_test
