#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "sim/Generation.h"
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
