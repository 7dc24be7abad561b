#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "link/MessageIds.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/sim/SimTestClient.h"

namespace {

using devlink::Generation;
using simtest::LinkClient;
using simtest::SimRunner;

constexpr const char* kSecond = "70:5A:B6:01:4F:2A";
constexpr const char* kFirst = "70:5A:B6:00:77:A0";

sim::SimConfig config() {
    sim::SimConfig config = SimRunner::baseConfig();
    sim::EarbudSettings second = SimRunner::device(kSecond, "Auralis+ (4F2A)");
    second.state = {
        1, 0, 85, 80, 60, 1, 0, 0x13, 262, 263, "2.1.0", "2.1.1", "R175L4F2A01", "R175R4F2A02"};
    sim::EarbudSettings first = SimRunner::device(kFirst, "Auralis (77A0)");
    first.state = {
        2, 1, 70, 66, 50, 1, 1, 0x11, 258, 258, "1.4.0", "1.4.0", "R170L77A0001", "R170R77A0002"};
    config.devices = {second, first};
    return config;
}

std::string uuidOf(Generation generation) {
    return std::string(sim::serviceUuidOf(generation));
}

// Acknowledges a status report the way the program does.
void acknowledge(LinkClient& link, uint8_t reportedId) {
    if (link.generation() == Generation::Second) {
        link.sendFrame(reportedId, {0x00}, true);
    } else {
        link.sendFrame(MSG_ID_UPDATE_RESPONSE, {reportedId, 0x00}, true);
    }
}

nlohmann::json info(SimRunner& sim, const char* address) {
    return nlohmann::json::parse(sim.ctl(std::string("INFO ") + address).substr(3));
}

std::string text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(EarbudLinkTest, SecondGenerationReportsOnConnectAndAnswersSerialRequests) {
    SimRunner sim(config());
    LinkClient link(Generation::Second);
    ASSERT_EQ(link.connect(sim.socket(), kSecond, uuidOf(Generation::Second)), "OK");

    const auto status = link.next();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->messageId, MSG_ID_EXTENDED_STATUS_UPDATED);
    EXPECT_FALSE(status->response);
    EXPECT_TRUE(status->checksumOk);
    const std::vector<uint8_t> expected = {1, 0, 85, 80, 1, 0,    0x13, 60,   0,   0,
                                           0, 0, 0,  0,  0, 0x06, 0x01, 0x07, 0x01};
    EXPECT_EQ(status->payload, expected);

    // The versions follow the acknowledgement, one frame per bud, as responses.
    EXPECT_FALSE(link.next(150)) << "versions before the acknowledgement";
    acknowledge(link, MSG_ID_EXTENDED_STATUS_UPDATED);
    const auto left = link.next();
    const auto right = link.next();
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->messageId, MSG_ID_FOTA_DEVICE_INFO_SW_VERSION);
    EXPECT_TRUE(left->response);
    EXPECT_EQ(text(left->payload), "L2.1.0");
    EXPECT_EQ(text(right->payload), "R2.1.1");

    // Every serial-number request gets both serials, 11 characters each.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(link.sendBytes(std::vector<uint8_t>{0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD}));
        const auto serials = link.next();
        ASSERT_TRUE(serials);
        EXPECT_EQ(serials->messageId, MSG_ID_DEBUG_SERIAL_NUMBER);
        EXPECT_TRUE(serials->response);
        EXPECT_EQ(text(serials->payload), "R175L4F2A01R175R4F2A02");
    }
    EXPECT_EQ(info(sim, kSecond)["expectationFailures"], 0);
}

TEST(EarbudLinkTest, FirstGenerationReportsSevenBytesAndTwelveCharacterSerials) {
    SimRunner sim(config());
    LinkClient link(Generation::First);
    ASSERT_EQ(link.connect(sim.socket(), kFirst, uuidOf(Generation::First)), "OK");
    const auto status = link.expect(MSG_ID_EXTENDED_STATUS_UPDATED);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->frame.front(), 0xFE);
    EXPECT_EQ(status->payload, (std::vector<uint8_t>{2, 1, 70, 66, 1, 1, 0x11}));
    acknowledge(link, MSG_ID_EXTENDED_STATUS_UPDATED);
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));

    ASSERT_TRUE(link.sendBytes(std::vector<uint8_t>{0xFE, 0x00, 0x03, 0x29, 0x4B, 0xB5, 0xEE}));
    const auto serials = link.expect(MSG_ID_DEBUG_SERIAL_NUMBER);
    ASSERT_TRUE(serials);
    EXPECT_EQ(text(serials->payload), "R170L77A0001R170R77A0002");
    EXPECT_EQ(info(sim, kFirst)["acknowledgements"], 1);
    EXPECT_EQ(info(sim, kFirst)["expectationFailures"], 0);
}

TEST(EarbudLinkTest, StateChangesAreReportedAndRepeatedUntilAcknowledged) {
    SimRunner sim(config());
    LinkClient link(Generation::Second);
    ASSERT_EQ(link.connect(sim.socket(), kSecond, uuidOf(Generation::Second)), "OK");
    ASSERT_TRUE(link.expect(MSG_ID_EXTENDED_STATUS_UPDATED));
    acknowledge(link, MSG_ID_EXTENDED_STATUS_UPDATED);
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));

    ASSERT_EQ(sim.ctl(std::string("BATTERY ") + kSecond + " 40 35 90"), "OK");
    const auto report = link.next();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->messageId, MSG_ID_STATUS_UPDATED);
    EXPECT_EQ(report->payload, (std::vector<uint8_t>{0, 40, 35, 1, 0, 0x13, 90}));

    // Without an acknowledgement the report comes again (one retry in the test timing) and the
    // missing acknowledgement is logged; then the earbuds give up.
    const auto again = link.next(1000);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->messageId, MSG_ID_STATUS_UPDATED);
    EXPECT_FALSE(link.next(700));
    auto state = info(sim, kSecond);
    EXPECT_EQ(state["expectationFailures"], 2);
    EXPECT_NE(state["recentFailures"][0].get<std::string>().find("acknowledgement of 0x60"),
              std::string::npos);

    // A malformed acknowledgement does not count; the right one does.
    ASSERT_EQ(sim.ctl(std::string("WEARING ") + kSecond + " 3 1"), "OK");
    const auto worn = link.next();
    ASSERT_TRUE(worn);
    EXPECT_EQ(worn->payload[5], 0x31);
    link.sendFrame(MSG_ID_STATUS_UPDATED, {0x01}, true);
    acknowledge(link, MSG_ID_STATUS_UPDATED);
    EXPECT_FALSE(link.next(700)) << "an acknowledged report is not repeated";
    state = info(sim, kSecond);
    EXPECT_EQ(state["expectationFailures"], 3);
    EXPECT_EQ(state["acknowledgements"], 2);

    // A version change is reported with 0xB4 for both buds.
    ASSERT_EQ(sim.ctl(std::string("SET ") + kSecond + " versionRight=2.1.2"), "OK");
    ASSERT_TRUE(link.expect(MSG_ID_STATUS_UPDATED));
    acknowledge(link, MSG_ID_STATUS_UPDATED);
    const auto versionLeft = link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION);
    const auto versionRight = link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION);
    ASSERT_TRUE(versionLeft && versionRight);
    EXPECT_EQ(text(versionRight->payload), "R2.1.2");
}

TEST(EarbudLinkTest, FirstGenerationAcknowledgementsTravelAsUpdateResponses) {
    SimRunner sim(config());
    LinkClient link(Generation::First);
    ASSERT_EQ(link.connect(sim.socket(), kFirst, uuidOf(Generation::First)), "OK");
    ASSERT_TRUE(link.expect(MSG_ID_EXTENDED_STATUS_UPDATED));
    // The second generation's form of the acknowledgement is not what these earbuds expect.
    link.sendFrame(MSG_ID_EXTENDED_STATUS_UPDATED, {0x00}, true);
    // The worked frame: FE 01 05 51 61 00 crc EE.
    acknowledge(link, MSG_ID_EXTENDED_STATUS_UPDATED);
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    EXPECT_EQ(info(sim, kFirst)["expectationFailures"], 1);
    EXPECT_EQ(info(sim, kFirst)["acknowledgements"], 1);
}

TEST(EarbudLinkTest, FaultsSilenceCorruptionSplitAndDrop) {
    sim::SimConfig setup = config();
    setup.transcriptFolder = testing_support::makeTempFolder("transcript");
    SimRunner sim(setup);
    LinkClient link(Generation::Second);
    ASSERT_EQ(link.connect(sim.socket(), kSecond, uuidOf(Generation::Second)), "OK");
    ASSERT_TRUE(link.expect(MSG_ID_EXTENDED_STATUS_UPDATED));
    acknowledge(link, MSG_ID_EXTENDED_STATUS_UPDATED);
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    ASSERT_TRUE(link.expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    const std::vector<uint8_t> serialRequest = {0xFD, 0x03, 0x00, 0x29, 0x4B, 0xB5, 0xDD};

    // Silent: reads, answers nothing.
    ASSERT_EQ(sim.ctl(std::string("SILENT ") + kSecond + " ON"), "OK");
    link.sendBytes(serialRequest);
    EXPECT_FALSE(link.next(500));
    ASSERT_EQ(sim.ctl(std::string("SILENT ") + kSecond + " OFF"), "OK");

    // The next frame carries a wrong checksum, the one after is sound again.
    ASSERT_EQ(sim.ctl(std::string("CORRUPT ") + kSecond), "OK");
    link.sendBytes(serialRequest);
    link.sendBytes(serialRequest);
    const auto corrupted = link.next();
    const auto sound = link.next();
    ASSERT_TRUE(corrupted && sound);
    EXPECT_FALSE(corrupted->checksumOk);
    EXPECT_TRUE(sound->checksumOk);

    // The next frame arrives in two reads.
    ASSERT_EQ(sim.ctl(std::string("SPLIT ") + kSecond), "OK");
    const std::size_t chunksBefore = link.chunkSizes().size();
    link.sendBytes(serialRequest);
    const auto split = link.next();
    ASSERT_TRUE(split);
    EXPECT_TRUE(split->checksumOk);
    ASSERT_EQ(link.chunkSizes().size(), chunksBefore + 2);
    EXPECT_EQ(link.chunkSizes()[chunksBefore] + link.chunkSizes()[chunksBefore + 1],
              split->frame.size());

    // The emergency request, answered the way the program answers it.
    ASSERT_EQ(sim.ctl(std::string("EMERGENCY ") + kSecond), "OK");
    const auto emergency = link.expect(MSG_ID_FOTA2_EMERGENCY);
    ASSERT_TRUE(emergency);
    EXPECT_FALSE(emergency->response);
    link.sendBytes(devlink::buildFrame(Generation::Second, MSG_ID_FOTA2_EMERGENCY,
                                       std::vector<uint8_t>{0x00}, true));
    testing_support::eventually([&] { return info(sim, kSecond)["acknowledgements"] == 2; });

    ASSERT_EQ(sim.ctl(std::string("DROP ") + kSecond), "OK");
    EXPECT_TRUE(link.waitClosed());
    const auto state = info(sim, kSecond);
    EXPECT_EQ(state["expectationFailures"], 0);
    EXPECT_EQ(state["acknowledgements"], 2);

    // The transcript holds every frame both ways, in hex with a direction.
    std::ifstream transcript(setup.transcriptFolder / "70_5A_B6_01_4F_2A.log");
    const std::string all(std::istreambuf_iterator<char>(transcript), {});
    EXPECT_NE(all.find(" RECV FD 03 00 29 4B B5 DD\n"), std::string::npos);
    EXPECT_NE(all.find(" SENT FD 19 10 29 52 31 37 35 4C "), std::string::npos) << all;
    EXPECT_NE(all.find(" RECV FD 04 10 BA 00 "), std::string::npos);
    EXPECT_NE(all.find("NOTE link closed"), std::string::npos);
}

TEST(EarbudLinkTest, ResetRequestRestartsTheEarbuds) {
    SimRunner sim(config());
    LinkClient link(Generation::Second);
    ASSERT_EQ(link.connect(sim.socket(), kSecond, uuidOf(Generation::Second)), "OK");
    ASSERT_TRUE(link.expect(MSG_ID_EXTENDED_STATUS_UPDATED));
    // The reset request: second-generation markers around a first-generation header.
    link.sendBytes(std::vector<uint8_t>{0xFD, 0x00, 0x03, 0x50, 0xF5, 0x5A, 0xDD});
    EXPECT_TRUE(link.waitClosed());
    EXPECT_EQ(simtest::request(sim.socket(), "SCAN"),
              "DEVICE 70:5A:B6:00:77:A0 Auralis (77A0)\nEND\n");
    const auto state = info(sim, kSecond);
    EXPECT_EQ(state["resets"], 1);
    EXPECT_EQ(state["expectationFailures"], 0);
}

}  // namespace
