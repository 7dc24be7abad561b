// The device link over the BlueZ backend and the mock BlueZ: its discovery thread with the name
// filter, and a connect to already paired earbuds.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/FdConnection.h"
#include "platform/bluetooth/bluez/BluezBackend.h"
#include "tests/platform/bluetooth/bluez/MockBluez.h"

namespace {

using namespace std::chrono_literals;
namespace bt = platform::bluetooth;

constexpr uint64_t kEarbuds = 0x0A1B2C3D4E5FULL;
constexpr const char* kEarbudsText = "0A:1B:2C:3D:4E:5F";
constexpr uint64_t kKitchenEarbuds = 0x0A1B2C3D4E60ULL;
constexpr std::chrono::seconds kEventBound{20};

// Keeps the link's discovery reports and connect results for the test thread.
class Recorder : public IBluetoothHandleDelegate {
public:
    void OnDeviceFindChange(std::map<uint64_t, BluetoothDevice*> devices) override {
        std::set<std::string> names;
        for (const auto& [address, device] : devices) {
            names.insert(device->name);
        }
        std::lock_guard lock(m_mutex);
        m_reports.push_back(names);
        m_last = std::move(devices);
        m_changed.notify_all();
    }

    void OnDeviceConnected(bool isConnected, BluetoothDevice* /*device*/) override {
        std::lock_guard lock(m_mutex);
        m_connected = isConnected;
        m_changed.notify_all();
    }

    // Waits for a discovery report with exactly these names.
    bool waitForReport(const std::set<std::string>& names) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kEventBound,
                                  [&] { return !m_reports.empty() && m_reports.back() == names; });
    }

    BluetoothDevice* device(uint64_t address) {
        std::lock_guard lock(m_mutex);
        const auto found = m_last.find(address);
        return found == m_last.end() ? nullptr : found->second;
    }

    std::optional<bool> waitForConnect() {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kEventBound, [&] { return m_connected.has_value(); });
        return m_connected;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::set<std::string>> m_reports;
    std::map<uint64_t, BluetoothDevice*> m_last;
    std::optional<bool> m_connected;
};

bt::BluezOptions testOptions() {
    bt::BluezOptions options;
    options.discoveryWindow = 150ms;
    options.scaleDiscovery(bluez_test::MockBluez::kTimeScale);
    return options;
}

LinkTimings fastTimings() {
    LinkTimings timings;
    timings.supportCheckPause = 10ms;
    timings.discoveryPause = 20ms;
    timings.lookupFailurePause = 20ms;
    return timings;
}

class BluezLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_mock.startBus());
        ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
        m_mock.addAdapter();
        m_link.setTimings(fastTimings());
        m_link.addReceiver(&m_recorder);
    }
    void TearDown() override { EXPECT_TRUE(m_link.shutdown()); }

    bluez_test::MockBluez m_mock;
    Recorder m_recorder;
    BluetoothHandle m_link{std::make_shared<bt::BluezBackend>(testOptions())};
};

TEST_F(BluezLinkTest, DiscoveryReportsNamedEarbudsAsTheyComeAndGo) {
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    m_mock.addDevice("0A:1B:2C:3D:4E:60", "Kitchen Auralis (7B2C)");
    m_mock.addDevice("0A:1B:2C:3D:4E:61", "auralis (7B2C)");
    m_mock.addDevice("66:55:44:33:22:11", "Kitchen speaker");
    m_link.StartFindDevice();
    ASSERT_TRUE(m_recorder.waitForReport({"Auralis+ (4F2A)", "Kitchen Auralis (7B2C)"}));
    BluetoothDevice* kitchen = m_recorder.device(kKitchenEarbuds);
    ASSERT_NE(kitchen, nullptr);

    m_mock.control("SetInRange",
                   {"string:hci0", std::string("string:") + kEarbudsText, "boolean:false"});
    ASSERT_TRUE(m_recorder.waitForReport({"Kitchen Auralis (7B2C)"}));
    // Still the same record for the earbuds that stayed.
    EXPECT_EQ(m_recorder.device(kKitchenEarbuds), kitchen);
    m_link.StopFindDevice();
}

TEST_F(BluezLinkTest, ConnectToPairedEarbudsGoesOnAfterAlreadyPairedAndOpensTheSerialPort) {
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    m_mock.control("PairDevice", {"string:hci0", std::string("string:") + kEarbudsText, "int32:0"});
    // The earbuds: a socket the mock connects the profile to.
    const std::filesystem::path earbudsPath = m_mock.folder() / "earbuds";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    earbudsPath.string().copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    m_mock.control("SetPeer", {"string:raw", "string:" + earbudsPath.string()});

    m_link.StartFindDevice();
    ASSERT_TRUE(m_recorder.waitForReport({"Auralis+ (4F2A)"}));
    m_link.StopFindDevice();
    BluetoothDevice* device = m_recorder.device(kEarbuds);
    ASSERT_NE(device, nullptr);
    m_link.ConnectToDevice(device);
    EXPECT_EQ(m_recorder.waitForConnect(), std::optional<bool>(true));
    EXPECT_EQ(device->modelCode(), "VX-R175");

    // The link's first frame (the serial-number request) reaches the earbuds.
    const int peerFd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(peerFd, 0);
    bt::FdConnection peer(peerFd);
    uint8_t buffer[64];
    EXPECT_GT(peer.receive(buffer, sizeof(buffer)), 0);
    ::close(listener);

    base::log::flush();
    std::ifstream in(base::log::currentFile(), std::ios::binary);
    const std::string log(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(log.find("Already paired!"), std::string::npos);
}

}  // namespace
