// The program's own frame layer (BluetoothHandle) against the virtual earbuds: both sides must
// agree on every byte of the status messages, serial numbers, versions and acknowledgements.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/FdConnection.h"
#include "sim/Generation.h"
#include "tests/sim/SimTestClient.h"

namespace {

using simtest::SimRunner;

class Recorder : public IBluetoothHandleDelegate {
public:
    void OnDeviceStatusChange(DeviceStatus status) override {
        std::lock_guard lock(m_mutex);
        statuses.push_back(status);
        m_changed.notify_all();
    }
    void OnDeviceVersionChange(std::string left, std::string right) override {
        std::lock_guard lock(m_mutex);
        versions.emplace_back(left, right);
        m_changed.notify_all();
    }
    void OnDeviceIMEIChange(bool valid, std::string left, std::string right) override {
        std::lock_guard lock(m_mutex);
        serials.emplace_back(valid ? left : "", right);
        m_changed.notify_all();
    }
    // Waits until the condition on the recorded events holds (5 s at most).
    bool waitFor(const std::function<bool()>& condition) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), condition);
    }

    std::vector<DeviceStatus> statuses;
    std::vector<std::pair<std::string, std::string>> versions;
    std::vector<std::pair<std::string, std::string>> serials;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

// CONNECT on the neighbourhood socket; the socket after "OK", or -1.
int connectLink(const std::filesystem::path& socket, const std::string& address,
                std::string_view uuid) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::strncpy(where.sun_path, socket.c_str(), sizeof(where.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string line = "CONNECT " + address + " " + std::string(uuid) + "\n";
    ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
    std::string answer;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n') {
        answer += c;
    }
    if (answer != "OK") {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Case {
    const char* address;
    const char* name;
    std::size_t serialLength;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class LinkInteropTest : public testing::TestWithParam<Case> {};

TEST_P(LinkInteropTest, ProgramFrameLayerAndEarbudsAgree) {
    const Case& c = GetParam();
    sim::SimConfig config = SimRunner::baseConfig();
    sim::EarbudSettings device = SimRunner::device(c.address, c.name);
    device.state.batteryLeft = 44;
    device.state.colorLeft = 265;
    config.devices = {device};
    SimRunner sim(config);

    BluetoothDevice record(c.name, 0);
    Recorder recorder;
    BluetoothHandle handle;
    handle.addReceiver(&recorder);
    handle.setConnectedDevice(&record);
    const int fd =
        connectLink(sim.socket(), c.address, sim::serviceUuidOf(sim::generationOfName(c.name)));
    ASSERT_GE(fd, 0);
    auto connection = std::make_shared<platform::bluetooth::FdConnection>(fd);
    handle.setConnection(connection);
    // The response listener: every chunk goes through the program's own receive path.
    std::thread listener([&] {
        uint8_t buffer[1024];
        for (std::ptrdiff_t n; (n = connection->receive(buffer, sizeof(buffer))) > 0;) {
            handle.handleReceivedChunk(buffer, static_cast<std::size_t>(n));
        }
    });

    ASSERT_TRUE(handle.SendGetDeviceIMEI());
    ASSERT_TRUE(recorder.waitFor([&] { return !recorder.serials.empty(); }));
    EXPECT_EQ(recorder.serials[0].first.size(), c.serialLength);
    EXPECT_EQ(recorder.serials[0].second.size(), c.serialLength);

    // The first report reaches the program, which acknowledges it; the versions follow.
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.versions.size() >= 2; }));
    EXPECT_EQ(recorder.statuses[0].batteryLeft, 44);
    const bool second = sim::generationOfName(c.name) == sim::Generation::Second;
    EXPECT_EQ(recorder.statuses[0].DeviceColorL, second ? 265 : 0);
    const std::string version = second ? "2.1.0" : "1.4.0";
    EXPECT_EQ(recorder.versions.back(), std::make_pair(version, version));

    // A state change travels as 0x60 and is acknowledged the program's way.
    ASSERT_EQ(sim.ctl(std::string("BATTERY ") + c.address + " 33 22 11"), "OK");
    ASSERT_TRUE(recorder.waitFor([&] { return recorder.statuses.size() >= 2; }));
    EXPECT_EQ(recorder.statuses.back().batteryRight, 22);
    EXPECT_EQ(recorder.statuses.back().batteryCase, 11);

    nlohmann::json info;
    for (int i = 0; i < 200; ++i) {
        info = nlohmann::json::parse(sim.ctl(std::string("INFO ") + c.address).substr(3));
        if (info["acknowledgements"] == 2) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(info["acknowledgements"], 2);
    EXPECT_EQ(info["expectationFailures"], 0) << info["recentFailures"].dump();

    connection->close();
    listener.join();
}

INSTANTIATE_TEST_SUITE_P(Generations, LinkInteropTest,
                         testing::Values(Case{"70:5A:B6:01:4F:2A", "Auralis+ (4F2A)", 11},
                                         Case{"70:5A:B6:00:77:A0", "Auralis (77A0)", 12}),
                         [](const testing::TestParamInfo<Case>& info) {
                             return info.param.serialLength == 11 ? std::string("Second")
                                                                  : std::string("First");
                         });

}  // namespace
