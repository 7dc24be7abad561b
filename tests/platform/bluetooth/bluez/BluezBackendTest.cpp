// The BlueZ backend against a mock BlueZ on a private bus: radio check, discovery, pairing with
// the agent, removing a pairing, and the profile connection with its socket.

#include "platform/bluetooth/bluez/BluezBackend.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "base/Log.h"
#include "platform/bluetooth/FdConnection.h"
#include "platform/bluetooth/bluez/BluezStandInRfcommDialer.h"
#include "tests/common/Eventually.h"
#include "tests/platform/bluetooth/bluez/MockBluez.h"

namespace {

using platform::bluetooth::BluezBackend;
using platform::bluetooth::BluezOptions;
using platform::bluetooth::DiscoveredDevice;
using namespace std::chrono_literals;
namespace bt = platform::bluetooth;

constexpr uint64_t kEarbuds = 0x0A1B2C3D4E5FULL;
constexpr const char* kEarbudsText = "0A:1B:2C:3D:4E:5F";
constexpr const char* kEarbudsPath = "/org/bluez/hci0/dev_0A_1B_2C_3D_4E_5F";
constexpr uint64_t kSpeaker = 0x665544332211ULL;
constexpr const char* kSpeakerText = "66:55:44:33:22:11";
constexpr const char* kSerialPortUuid = "00001101-0000-1000-8000-00805F9B34FB";
constexpr const char* kVendorUuid = "0000fd2a-0000-1000-8000-00805f9b34fb";

BluezOptions testOptions() {
    BluezOptions options;
    options.discoveryWindow = 200ms;
    options.scaleDiscovery(bluez_test::MockBluez::kTimeScale);
    options.pairTimeout = 15s;
    options.connectTimeout = 15s;
    options.connectBusyPause = 20ms;
    return options;
}

std::string logText() {
    base::log::flush();
    std::ifstream in(base::log::currentFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool contains(const std::vector<DiscoveredDevice>& devices, const DiscoveredDevice& device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

// A Unix socket the mock connects to when asked for the earbuds: the test holds the earbuds' end.
class EarbudsListener {
public:
    explicit EarbudsListener(const std::filesystem::path& path) : m_path(path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.string().copy(address.sun_path, sizeof(address.sun_path) - 1);
        const bool bound =
            ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        EXPECT_TRUE(bound && ::listen(m_fd, 4) == 0) << path;
    }
    ~EarbudsListener() { ::close(m_fd); }

    // The earbuds' end of the next link the mock opened.
    std::shared_ptr<bt::FdConnection> accept() {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        return fd < 0 ? nullptr : std::make_shared<bt::FdConnection>(fd);
    }

private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

class BluezBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_mock.startBus());
        ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
    }

    bool waitForLinkState(const std::string& wanted) {
        return testing_support::eventually([&] {
            const std::vector<std::string> state = bluez_test::MockBluez::strings(
                m_mock.control("LinkState", {"string:" + std::string(kEarbudsPath)}));
            return !state.empty() && state.front() == wanted;
        });
    }

    // Scans until a report holds exactly these devices (each scan waits for news itself).
    bool scanUntil(const std::vector<DiscoveredDevice>& wanted, BluezBackend* backend = nullptr) {
        BluezBackend& scanner = backend != nullptr ? *backend : m_backend;
        std::vector<DiscoveredDevice> sorted = wanted;
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto& a, const auto& b) { return a.address < b.address; });
        return testing_support::eventually([&] {
            const bt::ScanResult scan = scanner.scan();
            return scan.code == bt::kOk && scan.devices == sorted;
        });
    }

    void setRecords(const std::string& records) {
        m_mock.control("SetServiceRecords",
                       {"string:hci0", std::string("string:") + kEarbudsText, "string:" + records});
    }

    // The earbuds on a socket the test holds, reached through the mock.
    std::unique_ptr<EarbudsListener> listenAsEarbuds() {
        auto listener = std::make_unique<EarbudsListener>(m_mock.folder() / "earbuds");
        m_mock.control("SetPeer",
                       {"string:raw", "string:" + (m_mock.folder() / "earbuds").string()});
        return listener;
    }

    bluez_test::MockBluez m_mock;
    BluezBackend m_backend{testOptions()};
};

// Each reason for "Bluetooth is not available" has its own code and its own log line, and one
// backend object recovers as each piece comes up.
TEST(BluezRadioTest, NoBusNoBluezNoAdapterAndAdapterOffAreToldApart) {
    bluez_test::MockBluez mock;
    BluezBackend backend(testOptions());

    EXPECT_EQ(backend.checkRadio(), ENOSYS);
    EXPECT_EQ(backend.scan().code, ENOSYS);
    EXPECT_EQ(backend.connect(kEarbuds, kSerialPortUuid).code, ENOSYS);
    EXPECT_NE(logText().find("no system bus"), std::string::npos);
    // The cause comes with the step that met it.
    EXPECT_NE(logText().find("no system bus to reach BlueZ on (connecting to the system bus: "),
              std::string::npos)
        << logText();

    ASSERT_TRUE(mock.startBus());
    EXPECT_EQ(backend.checkRadio(), ECONNREFUSED);
    EXPECT_EQ(backend.pair(kEarbuds), ECONNREFUSED);
    EXPECT_EQ(backend.connect(kEarbuds, kSerialPortUuid).code, ENOENT);
    EXPECT_NE(logText().find("BlueZ is not running"), std::string::npos);

    ASSERT_TRUE(mock.startBluez()) << mock.log();
    EXPECT_EQ(backend.checkRadio(), ENODEV);
    EXPECT_NE(logText().find("no Bluetooth adapter"), std::string::npos);

    mock.addAdapter();
    EXPECT_EQ(backend.checkRadio(), bt::kOk);

    mock.setPowered(false);
    EXPECT_EQ(backend.checkRadio(), ENODEV);
    EXPECT_NE(logText().find("is switched off"), std::string::npos);
    EXPECT_EQ(backend.scan().code, ENODEV);
    EXPECT_EQ(backend.unpair(kEarbuds), ENODEV);

    mock.setPowered(true);
    EXPECT_EQ(backend.checkRadio(), bt::kOk);

    // BlueZ stops, then the bus itself goes away: answers, not hangs.
    mock.stopBluez();
    EXPECT_EQ(backend.checkRadio(), ECONNREFUSED);
    mock.stopBus();
    EXPECT_NE(backend.checkRadio(), bt::kOk);
    EXPECT_EQ(backend.checkRadio(), ENOSYS);

    ASSERT_TRUE(mock.startBus());
    ASSERT_TRUE(mock.startBluez()) << mock.log();
    mock.addAdapter();
    EXPECT_EQ(backend.checkRadio(), bt::kOk);
}

TEST_F(BluezBackendTest, DiscoveryYieldsDevicesInRangeAndPairedOnesOverClassicTransport) {
    m_mock.addAdapter();
    bt::ScanResult scan = m_backend.scan();
    EXPECT_EQ(scan.code, bt::kOk);
    EXPECT_TRUE(scan.devices.empty());

    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    m_mock.addDevice(kSpeakerText, "Kitchen speaker");
    EXPECT_TRUE(scanUntil({{"Auralis+ (4F2A)", kEarbuds}, {"Kitchen speaker", kSpeaker}}));
    EXPECT_EQ(bluez_test::MockBluez::strings(m_mock.control("DiscoveryTransport", {"string:hci0"})),
              std::vector<std::string>{"bredr"});
    // One discovery session across the scans.
    EXPECT_EQ(m_mock.property("/org/bluez/hci0", "org.bluez.Adapter1", "Discovering"),
              "boolean true");

    // The speaker leaves: it is no longer heard, and goes from the report.
    m_mock.control("SetInRange",
                   {"string:hci0", std::string("string:") + kSpeakerText, "boolean:false"});
    EXPECT_TRUE(scanUntil({{"Auralis+ (4F2A)", kEarbuds}}));

    // Paired earbuds that stopped being discoverable are still offered; unpaired ones are not.
    m_mock.control("PairDevice", {"string:hci0", std::string("string:") + kEarbudsText, "int32:0"});
    m_mock.control("SetInRange",
                   {"string:hci0", std::string("string:") + kEarbudsText, "boolean:false"});
    scan = m_backend.scan();
    ASSERT_EQ(scan.code, bt::kOk);
    EXPECT_EQ(scan.devices, (std::vector<DiscoveredDevice>{{"Auralis+ (4F2A)", kEarbuds}}));

    // Scans that stop coming end the session.
    EXPECT_TRUE(testing_support::eventually([&] {
        return m_mock.property("/org/bluez/hci0", "org.bluez.Adapter1", "Discovering") ==
               "boolean false";
    }));
}

TEST_F(BluezBackendTest, PairingAcceptsOnlyTheTargetAndTrustsIt) {
    m_mock.addAdapter();
    const std::string earbuds = m_mock.addDevice(kEarbudsText, "Auralis2 (7B2C)");
    const std::string bystander = m_mock.addDevice(kSpeakerText, "Kitchen speaker");
    m_mock.control("SetBystander", {"string:" + bystander});

    ASSERT_EQ(m_backend.pair(kEarbuds), bt::kOk) << m_mock.log();
    EXPECT_EQ(
        bluez_test::MockBluez::strings(m_mock.control("AgentVerdicts", {})),
        (std::vector<std::string>{bystander + " org.bluez.Error.Rejected", earbuds + " accepted"}));
    EXPECT_EQ(m_mock.property(earbuds, "org.bluez.Device1", "Paired"), "boolean true");
    EXPECT_EQ(m_mock.property(earbuds, "org.bluez.Device1", "Trusted"), "boolean true");

    // Pairing again: BlueZ's "already paired" is the link's 259, and no agent is asked.
    EXPECT_EQ(m_backend.pair(kEarbuds), bt::kErrorAlreadyPaired);
    EXPECT_EQ(bluez_test::MockBluez::strings(m_mock.control("AgentVerdicts", {})).size(), 2u);

    // The agent was registered for that pairing only; the next one registers it afresh.
    m_mock.control("SetBystander", {"string:"});
    EXPECT_EQ(m_backend.pair(kSpeaker), bt::kOk);
}

TEST_F(BluezBackendTest, PairingFailuresKeepTheLinksResultCodes) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    const std::string device = std::string("string:") + kEarbudsText;
    const struct {
        const char* bluezError;
        int code;
    } cases[] = {
        {"org.bluez.Error.AuthenticationCanceled", bt::kErrorCancelled},
        {"org.bluez.Error.AuthenticationRejected", bt::kErrorNotAuthenticated},
        {"org.bluez.Error.AuthenticationFailed", bt::kErrorNotAuthenticated},
        {"org.bluez.Error.AuthenticationTimeout", ETIMEDOUT},
        {"org.bluez.Error.ConnectionAttemptFailed", EHOSTDOWN},
        {"org.bluez.Error.InvalidArguments", bt::kErrorInvalidParameter},
        {"org.bluez.Error.InProgress", EBUSY},
    };
    for (const auto& entry : cases) {
        m_mock.control("SetPairError",
                       {"string:hci0", device, std::string("string:") + entry.bluezError});
        EXPECT_EQ(m_backend.pair(kEarbuds), entry.code) << entry.bluezError;
    }
    EXPECT_EQ(m_mock.property(kEarbudsPath, "org.bluez.Device1", "Trusted"), "boolean false");

    // A device BlueZ has not found: nothing to pair with.
    EXPECT_EQ(m_backend.pair(kSpeaker), EHOSTDOWN);

    // Already paired by someone else and not trusted yet: 259, and trusted now.
    m_mock.control("SetPairError", {"string:hci0", device, "string:"});
    m_mock.control("PairDevice", {"string:hci0", device, "int32:0"});
    EXPECT_EQ(m_backend.pair(kEarbuds), bt::kErrorAlreadyPaired);
    EXPECT_EQ(m_mock.property(kEarbudsPath, "org.bluez.Device1", "Trusted"), "boolean true");
}

TEST_F(BluezBackendTest, UnpairRemovesTheDevice) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    ASSERT_EQ(m_backend.pair(kEarbuds), bt::kOk);
    m_mock.control("SetInRange",
                   {"string:hci0", std::string("string:") + kEarbudsText, "boolean:false"});
    ASSERT_EQ(m_backend.scan().devices.size(), 1u);

    EXPECT_EQ(m_backend.unpair(kEarbuds), bt::kOk);
    bool exists = true;
    m_mock.call(kEarbudsPath, "org.freedesktop.DBus.Properties.GetAll",
                {"string:org.bluez.Device1"}, &exists);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(m_backend.scan().devices.empty());
    EXPECT_EQ(m_backend.unpair(kEarbuds), ENOENT);
}

TEST_F(BluezBackendTest, ConnectHandsTheProfileSocketToTheLinkAndCloseDropsIt) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    ASSERT_EQ(m_backend.pair(kEarbuds), bt::kOk);
    EarbudsListener earbuds(m_mock.folder() / "earbuds");
    m_mock.control("SetPeer", {"string:raw", "string:" + (m_mock.folder() / "earbuds").string()});

    bt::ConnectResult result = m_backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(result.code, bt::kOk) << m_mock.log();
    ASSERT_TRUE(result.connection);
    std::shared_ptr<bt::FdConnection> peer = earbuds.accept();
    ASSERT_TRUE(peer);

    // BlueZ's copy of the socket is non-blocking; the link's must not be.
    const auto* link = dynamic_cast<bt::FdConnection*>(result.connection.get());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(::fcntl(link->fd(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(link->fd(), F_GETFD) & FD_CLOEXEC, 0);

    const uint8_t probe[] = {0xFD, 0x03, 0x00, 0x29};
    ASSERT_EQ(result.connection->send(probe, sizeof(probe)), 4);
    uint8_t buffer[16];
    ASSERT_EQ(peer->receive(buffer, sizeof(buffer)), 4);
    EXPECT_EQ(buffer[3], 0x29);
    ASSERT_EQ(peer->send(probe, 2), 2);
    EXPECT_EQ(result.connection->receive(buffer, sizeof(buffer)), 2);

    // The mock holds a copy of the socket as bluetoothd does: only a shutdown ends the link.
    EXPECT_TRUE(waitForLinkState("open"));
    result.connection->close();
    EXPECT_EQ(peer->receive(buffer, sizeof(buffer)), 0);
    EXPECT_TRUE(waitForLinkState("dropped"));

    // The service stays registered for the next connect.
    result = m_backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(result.code, bt::kOk) << m_mock.log();
    EXPECT_TRUE(earbuds.accept());
}

TEST_F(BluezBackendTest, ConnectFailuresAreReportedNotHung) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    EXPECT_EQ(m_backend.connect(kEarbuds, "not-a-uuid").code, EINVAL);
    EXPECT_EQ(m_backend.connect(kSpeaker, kSerialPortUuid).code, EHOSTDOWN);

    // Nobody listens where the earbuds should be: the connection is refused.
    m_mock.control("SetPeer", {"string:raw", "string:" + (m_mock.folder() / "nobody").string()});
    bt::ConnectResult result = m_backend.connect(kEarbuds, kSerialPortUuid);
    EXPECT_EQ(result.code, ECONNREFUSED);
    EXPECT_FALSE(result.connection);

    // The earbuds do not answer the page.
    m_mock.control("SetPeer", {"string:none", "string:"});
    EXPECT_EQ(m_backend.connect(kEarbuds, kSerialPortUuid).code, EHOSTDOWN);

    // A second program (a second connection to the bus) cannot take the same service.
    BluezBackend other(testOptions());
    EXPECT_EQ(other.connect(kEarbuds, kSerialPortUuid).code, EBUSY);

    m_mock.setPowered(false);
    EXPECT_EQ(m_backend.connect(kEarbuds, kSerialPortUuid).code, ENODEV);
}

// BlueZ taking a request and never answering it: the backend gives up after its own time-out
// and cancels what it left half done.
TEST_F(BluezBackendTest, UnansweredRequestsEndInTimeOuts) {
    BluezOptions options = testOptions();
    options.pairTimeout = 300ms;
    options.connectTimeout = 300ms;
    BluezBackend backend(options);
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    m_mock.control("SetPairError",
                   {"string:hci0", std::string("string:") + kEarbudsText, "string:hang"});
    EXPECT_EQ(backend.pair(kEarbuds), ETIMEDOUT);
    EXPECT_NE(m_mock.log().find("CancelPairing"), std::string::npos);

    m_mock.control("SetPeer", {"string:hang", "string:"});
    EXPECT_EQ(backend.connect(kEarbuds, kSerialPortUuid).code, ETIMEDOUT);
}

// Earbuds whose serial record lists our service id after a vendor id: BlueZ makes a profile of
// the vendor id only (Device1.UUIDs) and answers ConnectProfile with "profile unavailable"; the
// backend finds the channel in the SDP records and connects it itself.
TEST_F(BluezBackendTest, SerialIdListedSecondIsConnectedOnItsRfcommChannel) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    setRecords(std::string(kVendorUuid) + ",00001101-0000-1000-8000-00805f9b34fb:rfcomm:4");
    m_mock.control("PairDevice", {"string:hci0", std::string("string:") + kEarbudsText, "int32:0"});
    const std::string standIn = (m_mock.folder() / "rfcomm").string();
    m_mock.control("StartRfcommStandIn", {"string:" + standIn});
    auto earbuds = listenAsEarbuds();
    BluezBackend backend(testOptions(), std::make_unique<bt::BluezStandInRfcommDialer>(standIn));

    bt::ConnectResult result = backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(result.code, bt::kOk) << m_mock.log();
    std::shared_ptr<bt::FdConnection> peer = earbuds->accept();
    ASSERT_TRUE(peer);
    const uint8_t probe[] = {0xFD, 0x03, 0x00, 0x29};
    ASSERT_EQ(result.connection->send(probe, sizeof(probe)), 4);
    uint8_t buffer[16];
    EXPECT_EQ(peer->receive(buffer, sizeof(buffer)), 4);
    const auto* link = dynamic_cast<bt::FdConnection*>(result.connection.get());
    ASSERT_NE(link, nullptr);
    EXPECT_NE(::fcntl(link->fd(), F_GETFD) & FD_CLOEXEC, 0);

    // The log tells what the earbuds offered and which channel was used.
    const std::string log = logText();
    EXPECT_NE(log.find(std::string("Device1.UUIDs) ") + kVendorUuid), std::string::npos);
    EXPECT_NE(log.find("RFCOMM channel 4"), std::string::npos);

    // A record without our id anywhere: refused, nothing connected.
    setRecords(std::string(kVendorUuid) + ":rfcomm:4");
    EXPECT_EQ(backend.connect(kEarbuds, kSerialPortUuid).code, ECONNREFUSED);
}

// Earbuds that do not broadcast their name are known by an alias made of their address until
// BlueZ asks for the name, after the 10.24 s inquiry; a late responder answers near its end.
// The scan window is 6 s here, as the backend once stopped each cycle after 6 s.
TEST_F(BluezBackendTest, NamesAskedForAfterTheInquiryReachTheReport) {
    BluezOptions options = testOptions();
    options.discoveryWindow =
        std::chrono::milliseconds(static_cast<int>(6000 * bluez_test::MockBluez::kTimeScale));
    BluezBackend backend(options);
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    m_mock.control("SetInquiryAnswer", {"string:hci0", std::string("string:") + kEarbudsText,
                                        "boolean:false", "double:0.8"});
    EXPECT_TRUE(scanUntil({{"Auralis+ (4F2A)", kEarbuds}}, &backend)) << m_mock.log();
}

// A desktop panel or another scanner keeps BlueZ discovering, so RSSI is not cleared: earbuds
// that left still have one. Only what is heard during our session counts; earbuds in range are
// heard at every inquiry.
TEST_F(BluezBackendTest, AnotherScannersLeftoverRssiIsNotPresence) {
    // BlueZ keeps a device it no longer sees for 30 s: 3 s at this scale.
    constexpr double kScale = 0.1;
    m_mock.setTimeScale(kScale);
    m_mock.addAdapter();
    m_mock.control("StartOtherScanner", {"string:hci0"});
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    m_mock.addDevice(kSpeakerText, "Kitchen speaker");
    ASSERT_TRUE(testing_support::eventually([&] {
        bool ok = false;
        m_mock.call(kEarbudsPath, "org.freedesktop.DBus.Properties.Get",
                    {"string:org.bluez.Device1", "string:RSSI"}, &ok);
        return ok;
    }));
    m_mock.control("SetInRange",
                   {"string:hci0", std::string("string:") + kEarbudsText, "boolean:false"});

    // While BlueZ still holds the earbuds with their RSSI, scans see the speaker answer the
    // inquiries and never report the earbuds.
    const auto observed = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(25000 * kScale));
    bool speakerHeard = false;
    while (std::chrono::steady_clock::now() < observed) {
        const bt::ScanResult scan = m_backend.scan();
        ASSERT_EQ(scan.code, bt::kOk);
        EXPECT_FALSE(contains(scan.devices, {"Auralis+ (4F2A)", kEarbuds}));
        speakerHeard = speakerHeard || contains(scan.devices, {"Kitchen speaker", kSpeaker});
    }
    EXPECT_TRUE(speakerHeard);
}

// A link dropped without close() must still end: bluetoothd holds a copy of the socket. And when
// BlueZ still holds a link of the service, ConnectProfile succeeds without a socket: the backend
// disconnects the profile and tries once more.
TEST_F(BluezBackendTest, LinksEndForBluezAndAHeldLinkIsReplaced) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    ASSERT_EQ(m_backend.pair(kEarbuds), bt::kOk);
    auto earbuds = listenAsEarbuds();

    bt::ConnectResult first = m_backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(first.code, bt::kOk) << m_mock.log();
    std::shared_ptr<bt::FdConnection> firstPeer = earbuds->accept();
    ASSERT_TRUE(firstPeer);
    EXPECT_TRUE(waitForLinkState("open"));
    first.connection.reset();
    EXPECT_TRUE(waitForLinkState("dropped"));

    first = m_backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(first.code, bt::kOk) << m_mock.log();
    firstPeer = earbuds->accept();
    ASSERT_TRUE(firstPeer);
    const bt::ConnectResult second = m_backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(second.code, bt::kOk) << m_mock.log();
    std::shared_ptr<bt::FdConnection> secondPeer = earbuds->accept();
    ASSERT_TRUE(secondPeer);
    uint8_t buffer[8];
    // The held link was let go (RequestDisconnection) and the new one carries bytes.
    EXPECT_FALSE(first.connection->isOpen());
    EXPECT_EQ(firstPeer->receive(buffer, sizeof(buffer)), 0);
    const uint8_t probe[] = {0x29};
    ASSERT_EQ(second.connection->send(probe, 1), 1);
    EXPECT_EQ(secondPeer->receive(buffer, sizeof(buffer)), 1);
    EXPECT_NE(logText().find("disconnecting it and trying once more"), std::string::npos);
}

// BlueZ 5.66 reports a connect that finds the device busy as org.bluez.Error.Failed
// "br-connection-busy" (not InProgress): tried again all the same.
TEST_F(BluezBackendTest, BusyByMessageIsTriedAgain) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    ASSERT_EQ(m_backend.pair(kEarbuds), bt::kOk);
    auto earbuds = listenAsEarbuds();
    m_mock.control("SetConnectBusy",
                   {"string:hci0", std::string("string:") + kEarbudsText, "int32:2"});
    const bt::ConnectResult result = m_backend.connect(kEarbuds, kSerialPortUuid);
    ASSERT_EQ(result.code, bt::kOk) << m_mock.log();
    EXPECT_TRUE(earbuds->accept());
    EXPECT_NE(logText().find("br-connection-busy); trying again"), std::string::npos);
}

// A record that names an L2CAP PSM makes BlueZ hand over a packet socket, which would cut the
// link's frames apart: refused.
TEST_F(BluezBackendTest, ASocketThatIsNotAnRfcommStreamIsRefused) {
    m_mock.addAdapter();
    m_mock.addDevice(kEarbudsText, "Auralis+ (4F2A)");
    setRecords("00001101-0000-1000-8000-00805f9b34fb:l2cap:4097");
    ASSERT_EQ(m_backend.pair(kEarbuds), bt::kOk);
    const bt::ConnectResult result = m_backend.connect(kEarbuds, kSerialPortUuid);
    EXPECT_EQ(result.code, EPROTO);
    EXPECT_FALSE(result.connection);
    EXPECT_NE(logText().find("instead of a stream"), std::string::npos);
}

}  // namespace
