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
    base::log::configure({.folder = m_folder, .name = "link"});
}

LogCapture::~LogCapture() {
    base::log::configure({});
}

std::string LogCapture::text() const {
    base::log::flush();
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
    handle.addReceiver(&delegate);
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

namespace {

std::string textOf(const LinkEvent& event) {
    using Kind = LinkEvent::Kind;
    const auto flag = [&] { return std::to_string(event.flag ? 1 : 0); };
    const std::string number = std::to_string(event.number);
    switch (event.kind) {
        case Kind::Status:
            return "OnDeviceStatusChange(" + std::to_string(event.status.batteryLeft) + "," +
                   std::to_string(event.status.batteryRight) + ")";
        case Kind::Connected:
            return "OnDeviceConnected(" + flag() + ")";
        case Kind::Disconnected:
            return "OnDeviceDisconnected(" + number + ")";
        case Kind::FotaState:
            return "OnFotaStateChange(" + number + ")";
        case Kind::Versions:
            return "OnDeviceVersionChange(" + event.left + "," + event.right + ")";
        case Kind::VersionMismatch:
            return "OnDeviceVersionMismatch()";
        case Kind::FotaError:
            return "OnFotaError(" + number + ")";
        case Kind::Progress:
            return "OnDownloadProgressChange(" + number + "," + std::to_string(event.bytes) + ")";
        case Kind::Finish:
            return "OnDownloadFinish(" + flag() + "," + number + ")";
        case Kind::Support:
            return "OnCheckBluetoothResponse(" + flag() + ")";
        case Kind::Serials:
            return "OnDeviceIMEIChange(" + flag() + "," + event.left + "," + event.right + ")";
        case Kind::Found:
            return "OnDeviceFindChange(" + std::to_string(event.devices.size()) + ")";
    }
    return "?";
}

}  // namespace

void EventRecorder::record(const LinkEvent& event) {
    if (event.kind == LinkEvent::Kind::Status) {
        m_statuses.push_back(event.status);
    } else if (event.kind == LinkEvent::Kind::Connected) {
        m_lastConnected = event.device;
    } else if (event.kind == LinkEvent::Kind::Found) {
        m_foundMaps.push_back(event.devices);
    }
    m_events.push_back(textOf(event));
}

void EventRecorder::takeUntil(Clock::time_point deadline) {
    while (std::optional<LinkEvent> event = next(deadline)) {
        record(*event);
    }
}

int EventRecorder::seen(const std::string& prefix) const {
    int found = 0;
    for (const std::string& event : m_events) {
        found += event.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return found;
}

std::vector<std::string> EventRecorder::events() {
    takeUntil(Clock::now());
    return m_events;
}

std::vector<std::string> EventRecorder::matching(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& event : events()) {
        if (event.rfind(prefix, 0) == 0) {
            found.push_back(event);
        }
    }
    return found;
}

bool EventRecorder::waitFor(const std::string& prefix, int n, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    takeUntil(Clock::now());
    while (seen(prefix) < n) {
        std::optional<LinkEvent> event = next(deadline);
        if (!event) {
            return false;
        }
        record(*event);
    }
    return true;
}

std::vector<std::map<uint64_t, BluetoothDevice*>> EventRecorder::foundMaps() {
    takeUntil(Clock::now());
    return m_foundMaps;
}

std::vector<DeviceStatus> EventRecorder::statuses() {
    takeUntil(Clock::now());
    return m_statuses;
}

BluetoothDevice* EventRecorder::lastConnectedDevice() {
    takeUntil(Clock::now());
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

LinkTimings simLinkTimings(std::chrono::milliseconds aliveWait,
                           std::chrono::milliseconds receiveWatchdog) {
    LinkTimings timings;
    timings.supportCheckPause = std::chrono::milliseconds(10);
    timings.discoveryPause = std::chrono::milliseconds(30);
    timings.lookupFailurePause = std::chrono::milliseconds(10);
    timings.aliveWait = aliveWait;
    timings.alivePauseStep = std::chrono::milliseconds(10);
    timings.alivePauseSteps = 5;
    timings.receiveWatchdog = receiveWatchdog;
    timings.fotaOpenPause = std::chrono::milliseconds(0);
    return timings;
}

}  // namespace link_test
