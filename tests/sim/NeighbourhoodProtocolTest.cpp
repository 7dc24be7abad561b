#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "sim/NeighbourhoodServer.h"

#include "sim/Generation.h"
#include "tests/common/Eventually.h"
#include "tests/sim/SimTestClient.h"

namespace {

using simtest::LinkClient;
using simtest::request;
using simtest::SimRunner;

constexpr const char* kSecond = "70:5A:B6:01:4F:2A";
constexpr const char* kFirst = "70:5A:B6:00:77:A0";
constexpr std::string_view kSerialPortUuid = "00001101-0000-1000-8000-00805F9B34FB";
constexpr std::string_view kFirstUuid = "00001102-0000-1000-8000-00805F9B34FD";

sim::SimConfig twoPairs(bool paired) {
    sim::SimConfig config = SimRunner::baseConfig();
    config.devices = {SimRunner::device(kSecond, "Auralis+ (4F2A)", paired),
                      SimRunner::device(kFirst, "Auralis (77A0)", paired)};
    return config;
}

TEST(NeighbourhoodProtocolTest, RadioAndScanListEveryDeviceInRange) {
    SimRunner sim(twoPairs(false));
    EXPECT_EQ(request(sim.socket(), "RADIO"), "OK\n");
    EXPECT_EQ(request(sim.socket(), "SCAN"),
              "DEVICE 70:5A:B6:01:4F:2A Auralis+ (4F2A)\n"
              "DEVICE 70:5A:B6:00:77:A0 Auralis (77A0)\n"
              "END\n");

    // A device out of range is not seen; a device added by name joins the list.
    EXPECT_EQ(sim.ctl(std::string("RANGE ") + kFirst + " OUT"), "OK");
    EXPECT_EQ(sim.ctl("ADD 11:22:33:44:55:66 Kitchen Speaker (7B2C)"), "OK");
    EXPECT_EQ(request(sim.socket(), "SCAN"),
              "DEVICE 70:5A:B6:01:4F:2A Auralis+ (4F2A)\n"
              "DEVICE 11:22:33:44:55:66 Kitchen Speaker (7B2C)\n"
              "END\n");
    EXPECT_EQ(sim.ctl("ADD 11:22:33:44:55:66 Again"), "ERR address 11:22:33:44:55:66 is taken");
    EXPECT_EQ(sim.ctl("REMOVE 11:22:33:44:55:66"), "OK");
    EXPECT_EQ(sim.ctl("REMOVE 11:22:33:44:55:66"), "ERR no device 11:22:33:44:55:66");
}

TEST(NeighbourhoodProtocolTest, PairingStateIsKeptPerDevice) {
    SimRunner sim(twoPairs(false));
    EXPECT_EQ(request(sim.socket(), std::string("PAIR ") + kSecond), "OK\n");
    EXPECT_EQ(request(sim.socket(), std::string("PAIR ") + kSecond), "ERR 259\n");
    EXPECT_EQ(request(sim.socket(), std::string("PAIR ") + kFirst), "OK\n");
    EXPECT_EQ(request(sim.socket(), std::string("UNPAIR ") + kSecond), "OK\n");
    EXPECT_EQ(request(sim.socket(), std::string("PAIR ") + kSecond), "OK\n");
    // Lower-case addresses are the same device.
    EXPECT_EQ(request(sim.socket(), "PAIR 70:5a:b6:00:77:a0"), "ERR 259\n");
    EXPECT_EQ(request(sim.socket(), "PAIR 01:02:03:04:05:06"), "ERR 112\n");
    EXPECT_EQ(request(sim.socket(), "UNPAIR 01:02:03:04:05:06"), "ERR 2\n");

    const auto info = nlohmann::json::parse(sim.ctl(std::string("INFO ") + kFirst).substr(3));
    EXPECT_TRUE(info["paired"].get<bool>());
}

TEST(NeighbourhoodProtocolTest, MalformedRequestsAreRefused) {
    SimRunner sim(twoPairs(true));
    for (const char* line : {"HELLO", "PAIR", "PAIR 70:5A:B6:01:4F", "PAIR 70-5A-B6-01-4F-2A",
                             "SCAN now", "CONNECT 70:5A:B6:01:4F:2A", "UNPAIR x"}) {
        EXPECT_EQ(request(sim.socket(), line), "ERR 22\n") << line;
    }
    EXPECT_EQ(sim.ctl("FLY 70:5A:B6:01:4F:2A"), "ERR unknown command FLY");
    EXPECT_EQ(sim.ctl("SET 70:5A:B6:01:4F:2A batteryLeft=300"),
              "ERR batteryLeft takes a number from 0 to 255");
    EXPECT_EQ(sim.ctl("SET 70:5A:B6:01:4F:2A serialLeft=SHORT"),
              "ERR serialLeft takes exactly 11 characters on this generation");
    EXPECT_EQ(sim.ctl("SET 70:5A:B6:00:77:A0 serialLeft=R175L4F2A01"),
              "ERR serialLeft takes exactly 12 characters on this generation");
}

TEST(NeighbourhoodProtocolTest, ConnectNeedsTheServiceIdOfTheDevicesGeneration) {
    SimRunner sim(twoPairs(true));
    {
        LinkClient link(devlink::Generation::Second);
        EXPECT_EQ(link.connect(sim.socket(), kSecond, kFirstUuid), "ERR 111");
    }
    {
        LinkClient link(devlink::Generation::First);
        EXPECT_EQ(link.connect(sim.socket(), kFirst, kSerialPortUuid), "ERR 111");
    }
    {
        // The service id compares without regard to case.
        LinkClient link(devlink::Generation::First);
        EXPECT_EQ(link.connect(sim.socket(), kFirst, "00001102-0000-1000-8000-00805f9b34fd"), "OK");
    }
    LinkClient link(devlink::Generation::Second);
    EXPECT_EQ(link.connect(sim.socket(), kSecond, kSerialPortUuid), "OK");
    // One link per device at a time.
    LinkClient second(devlink::Generation::Second);
    EXPECT_EQ(second.connect(sim.socket(), kSecond, kSerialPortUuid), "ERR 16");
}

TEST(NeighbourhoodProtocolTest, ConnectIsRefusedWhenUnpairedOutOfRangeOrWithoutRadio) {
    SimRunner sim(twoPairs(false));
    LinkClient unpaired(devlink::Generation::Second);
    EXPECT_EQ(unpaired.connect(sim.socket(), kSecond, kSerialPortUuid), "ERR 13");
    LinkClient unknown(devlink::Generation::Second);
    EXPECT_EQ(unknown.connect(sim.socket(), "01:02:03:04:05:06", kSerialPortUuid), "ERR 112");

    EXPECT_EQ(sim.ctl(std::string("PAIRED ") + kSecond + " YES"), "OK");
    EXPECT_EQ(sim.ctl(std::string("RANGE ") + kSecond + " OUT"), "OK");
    LinkClient away(devlink::Generation::Second);
    EXPECT_EQ(away.connect(sim.socket(), kSecond, kSerialPortUuid), "ERR 112");

    EXPECT_EQ(sim.ctl(std::string("RANGE ") + kSecond + " IN"), "OK");
    LinkClient link(devlink::Generation::Second);
    ASSERT_EQ(link.connect(sim.socket(), kSecond, kSerialPortUuid), "OK");
    // Switching the radio off drops the link and refuses the neighbourhood's requests.
    EXPECT_EQ(sim.ctl("RADIO OFF"), "OK");
    EXPECT_TRUE(link.waitClosed());
    for (const char* line : {"RADIO", "SCAN", "PAIR 70:5A:B6:00:77:A0"}) {
        EXPECT_EQ(request(sim.socket(), line), "ERR 19\n") << line;
    }
    EXPECT_EQ(sim.ctl("RADIO ON"), "OK");
    EXPECT_EQ(request(sim.socket(), "RADIO"), "OK\n");
}

TEST(NeighbourhoodProtocolTest, StoppingRemovesTheSocketAndEndsOpenLinks) {
    auto sim = std::make_unique<SimRunner>(twoPairs(true));
    const auto socket = sim->socket();
    LinkClient link(devlink::Generation::Second);
    ASSERT_EQ(link.connect(socket, kSecond, kSerialPortUuid), "OK");
    sim.reset();
    EXPECT_FALSE(std::filesystem::exists(socket));
    EXPECT_TRUE(link.waitClosed());
}

}  // namespace

namespace {

int threadsOfThisProcess() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

int connectIdle(const std::filesystem::path& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    return fd;
}

// What the sim writes on fd within a generous bound (empty when nothing comes).
std::string answerOn(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, 10000) <= 0) {
        return {};
    }
    char buffer[64] = {};
    const ssize_t n = ::recv(fd, buffer, sizeof(buffer) - 1, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

TEST(NeighbourhoodProtocolTest, IdleConnectionsBeyondTheLimitAreRefusedWithoutAThreadEach) {
    sim::SimConfig config = twoPairs(true);
    config.timing.lineTimeoutMs = 60000;  // idle clients stay for the whole test
    SimRunner sim(config);
    const int before = threadsOfThisProcess();
    std::vector<int> idle;
    for (int i = 0; i < 300; ++i) {
        idle.push_back(connectIdle(sim.socket()));
    }
    // Connections are taken in order, so once the last is answered every one has been seen.
    EXPECT_EQ(answerOn(idle.back()), "ERR 16\n");
    // One thread per served connection, plus a few the process starts on its own meanwhile
    // (the log's writer, the virtual earbuds' timers): far from one per connection.
    EXPECT_LE(threadsOfThisProcess() - before,
              static_cast<int>(sim::NeighbourhoodServer::kMaxConnections) + 8);
    for (const int fd : idle) {
        ::close(fd);
    }
    // The served clients' threads end when their connections close; then requests get through.
    std::string answer;
    EXPECT_TRUE(testing_support::eventually([&] {
        answer = request(sim.socket(), "RADIO");
        return answer == "OK\n";
    })) << answer;
}
