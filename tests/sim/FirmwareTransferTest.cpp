#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "fota/PackageFormat.h"
#include "link/MessageIds.h"
#include "sim/FirmwarePackageBuilder.h"
#include "tests/common/Eventually.h"
#include "tests/sim/ScriptedProgram.h"
#include "tests/sim/SimTestClient.h"

namespace {

using devlink::Generation;
using simtest::LinkClient;
using simtest::ScriptedProgram;
using simtest::SimRunner;

constexpr const char* kSecond = "70:5A:B6:01:4F:2A";
constexpr const char* kFirst = "70:5A:B6:00:77:A0";

struct Pair {
    Generation generation;
    const char* address;
    const char* model;
};
constexpr Pair kSecondPair{Generation::Second, kSecond, "VX-R175"};
constexpr Pair kFirstPair{Generation::First, kFirst, "VX-R170"};

sim::SimConfig config(int firstMtu = 300) {
    sim::SimConfig config = SimRunner::baseConfig();
    sim::EarbudSettings second = SimRunner::device(kSecond, "Auralis+ (4F2A)");
    second.state.versionLeft = second.state.versionRight = "2.1.0";
    second.mtu = 1000;  // the program offers 650 whatever the earbuds ask
    second.packetsPerRequest = 3;
    sim::EarbudSettings first = SimRunner::device(kFirst, "Auralis (77A0)");
    first.state.versionLeft = first.state.versionRight = "1.4.0";
    first.mtu = first.secondMtu = firstMtu;
    config.devices = {second, first};
    return config;
}

std::vector<uint8_t> package(const std::string& model, const std::string& version,
                             uint32_t imageSize = 20000) {
    std::vector<uint8_t> image;
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(sim::FirmwarePackageBuilder::loadImage({}, imageSize, image, &error));
    EXPECT_TRUE(sim::FirmwarePackageBuilder::build(model, version, image, bytes, &error)) << error;
    return bytes;
}

nlohmann::json info(SimRunner& sim, const char* address) {
    return nlohmann::json::parse(sim.ctl(std::string("INFO ") + address).substr(3));
}

// Connects like the program: the first report is acknowledged and the versions read.
std::unique_ptr<LinkClient> connect(SimRunner& sim, const Pair& pair) {
    auto link = std::make_unique<LinkClient>(pair.generation);
    EXPECT_EQ(link->connect(sim.socket(), pair.address, sim::serviceUuidOf(pair.generation)), "OK");
    EXPECT_TRUE(link->expect(MSG_ID_EXTENDED_STATUS_UPDATED));
    if (pair.generation == Generation::Second) {
        link->sendFrame(MSG_ID_EXTENDED_STATUS_UPDATED, {0x00}, true);
    } else {
        link->sendFrame(MSG_ID_UPDATE_RESPONSE, {MSG_ID_EXTENDED_STATUS_UPDATED, 0x00}, true);
    }
    EXPECT_TRUE(link->expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    EXPECT_TRUE(link->expect(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION));
    return link;
}

std::size_t entryBytes(const std::vector<uint8_t>& bytes) {
    const fota::PackageHeader header = fota::decodeHeader(bytes.data());
    std::size_t total = 0;
    for (uint32_t i = 0; i < header.entryCount; ++i) {
        total +=
            fota::decodeEntry(bytes.data() + fota::kHeaderSize + i * fota::kEntryRecordSize).size;
    }
    return total;
}

// A complete transfer ends in success; the earbuds drop the link, restart and come back with
// the package's version.
void expectSuccessfulUpdate(const Pair& pair, const std::string& newVersion,
                            ScriptedProgram::Result& result) {
    SimRunner sim(config());
    auto link = connect(sim, pair);
    const std::vector<uint8_t> bytes = package(pair.model, newVersion);
    ScriptedProgram program(*link, bytes);
    ASSERT_TRUE(program.open());
    result = program.run();

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.state, 0);
    EXPECT_EQ(result.reason, 0);
    EXPECT_EQ(result.entryRequests, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(result.bytesSent, entryBytes(bytes));
    EXPECT_EQ(result.mtuRequests, 2) << "a second MTU request after 50 percent";
    EXPECT_EQ(result.mtuAnswers, 2);
    EXPECT_TRUE(std::is_sorted(result.percents.begin(), result.percents.end()));
    EXPECT_NE(std::find(result.percents.begin(), result.percents.end(), 50), result.percents.end());
    ASSERT_FALSE(result.percents.empty());
    EXPECT_EQ(result.percents.back(), 100);

    EXPECT_TRUE(link->waitClosed()) << "the earbuds leave the link to install";
    EXPECT_TRUE(info(sim, pair.address)["restarting"].get<bool>());
    EXPECT_EQ(simtest::request(sim.socket(), "SCAN").find(pair.address), std::string::npos);
    ASSERT_TRUE(testing_support::eventually([&] {
        return simtest::request(sim.socket(), "SCAN").find(pair.address) != std::string::npos;
    }));
    const auto state = info(sim, pair.address);
    EXPECT_EQ(state["state"]["versionLeft"], newVersion);
    EXPECT_EQ(state["state"]["versionRight"], newVersion);
    EXPECT_EQ(state["updates"], 1);
    EXPECT_TRUE(state["lastResult"]["acknowledged"].get<bool>());
    EXPECT_EQ(state["expectationFailures"], 0) << state["recentFailures"].dump();

    LinkClient again(pair.generation);
    ASSERT_EQ(again.connect(sim.socket(), pair.address, sim::serviceUuidOf(pair.generation)), "OK");
    ASSERT_TRUE(again.expect(MSG_ID_EXTENDED_STATUS_UPDATED));
}

TEST(FirmwareTransferTest, SecondGenerationCompleteTransfer) {
    ScriptedProgram::Result result;
    expectSuccessfulUpdate(kSecondPair, "2.2.0", result);
    // 20000 bytes of image split 15000 + 5000, plus the descriptor: 650-byte fragments.
    EXPECT_EQ(result.dataMessages, 1u + 24u + 8u);
    EXPECT_EQ(result.longFormMessages, 0u);
}

TEST(FirmwareTransferTest, FirstGenerationCompleteTransferWithLongFormFrames) {
    ScriptedProgram::Result result;
    expectSuccessfulUpdate(kFirstPair, "1.5.0", result);
    // 300-byte fragments: every full one needs the long form (body 307 bytes). The descriptor
    // (one small fragment) and the 200-byte last fragment of the 5000-byte entry travel short.
    EXPECT_EQ(result.dataMessages, 1u + 50u + 17u);
    EXPECT_EQ(result.longFormMessages, 50u + 16u);
}

struct Rejection {
    const char* name;
    Pair pair;
    int reason;
    std::function<void(std::vector<uint8_t>&)> breakPackage;
    std::function<void(ScriptedProgram&)> breakProgram;
    const char* logged;
};

void PrintTo(const Rejection& rejection, std::ostream* out) {
    *out << rejection.name;
}

class RejectedPackageTest : public testing::TestWithParam<Rejection> {};

TEST_P(RejectedPackageTest, EndsWithAFailureReasonAndALoggedExpectation) {
    const Rejection& rejection = GetParam();
    SimRunner sim(config());
    auto link = connect(sim, rejection.pair);
    std::vector<uint8_t> bytes = package(
        rejection.pair.model, rejection.pair.generation == Generation::Second ? "2.2.0" : "1.5.0");
    if (rejection.breakPackage) {
        rejection.breakPackage(bytes);
    }
    ScriptedProgram program(*link, bytes);
    if (rejection.breakProgram) {
        rejection.breakProgram(program);
    }
    ASSERT_TRUE(program.open());
    const auto result = program.run();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.state, 0);
    EXPECT_EQ(result.reason, rejection.reason);

    // The program resets the earbuds after the failure: they restart with the old version.
    EXPECT_TRUE(link->waitClosed());
    const auto state = info(sim, rejection.pair.address);
    EXPECT_EQ(state["lastResult"]["reason"], rejection.reason);
    EXPECT_EQ(state["resets"], 1);
    EXPECT_EQ(state["updates"], 0);
    EXPECT_EQ(state["state"]["versionLeft"],
              rejection.pair.generation == Generation::Second ? "2.1.0" : "1.4.0");
    ASSERT_GE(state["expectationFailures"].get<int>(), 1);
    const std::string failure = state["recentFailures"][0];
    EXPECT_NE(failure.find(rejection.logged), std::string::npos) << failure;
}

// The table's CRC of entry 2 no longer matches its bytes.
void wrongEntryCrc(std::vector<uint8_t>& bytes) {
    uint8_t* record = bytes.data() + fota::kHeaderSize + fota::kEntryRecordSize;
    fota::writeLE32(record + 4, fota::readLE32(record + 4) ^ 0x1);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, RejectedPackageTest,
    testing::Values(
        Rejection{"SecondEntryCrc", kSecondPair, 2, wrongEntryCrc, nullptr,
                  "to have the announced CRC-32"},
        Rejection{"FirstEntryCrc", kFirstPair, 2, wrongEntryCrc, nullptr,
                  "to have the announced CRC-32"},
        Rejection{"SecondFileCrc", kSecondPair, 3, nullptr,
                  [](ScriptedProgram& program) { program.announceFileCrc(0x12345678); },
                  "announced file CRC-32 12345678"},
        Rejection{"SecondWrongPosition", kSecondPair, 4, nullptr,
                  [](ScriptedProgram& program) {
                      program.setDataTamper([](std::vector<uint8_t>& payload, int index) {
                          if (index == 5) {
                              payload[0] ^= 0x01;
                          }
                      });
                  },
                  "data of entry 2 at position 2600 with 650 bytes flagged 0x80, got 0xBD"},
        Rejection{"FirstWrongLastFlag", kFirstPair, 4, nullptr,
                  [](ScriptedProgram& program) {
                      program.setDataTamper([](std::vector<uint8_t>& payload, int index) {
                          if (index == 0) {
                              payload[3] = 0x80;  // the descriptor's only fragment is its last
                          }
                      });
                  },
                  "flagged 0x00, got 0xB2 request data-flagged"},
        Rejection{"SecondOtherModel", kSecondPair, 7,
                  [](std::vector<uint8_t>& bytes) { bytes = package("VX-R170", "1.5.0"); }, nullptr,
                  "a package for VX-R175, got one for VX-R170"}),
    [](const testing::TestParamInfo<Rejection>& info) { return std::string(info.param.name); });

TEST(FirmwareTransferTest, OpenWithoutEntriesIsRefused) {
    SimRunner sim(config());
    auto link = connect(sim, kSecondPair);
    link->sendFrame(MSG_ID_FOTA2_OPEN, {0, 0, 0, 0, 0}, false);
    const auto answer = link->expect(MSG_ID_FOTA2_OPEN);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->payload, (std::vector<uint8_t>{1}));
    const auto report = link->expect(MSG_ID_FOTA2_UPDATE);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->payload, (std::vector<uint8_t>{1, 0, 1}));
}

TEST(FirmwareTransferTest, AnMtuOfZeroMustNotBeTaken) {
    SimRunner sim(config());
    auto link = connect(sim, kFirstPair);
    EXPECT_EQ(sim.ctl(std::string("SET ") + kFirst + " mtu=70000"),
              "ERR mtu takes a number from 0 to 65535");
    ASSERT_EQ(sim.ctl(std::string("SET ") + kFirst + " mtu=0"), "OK");
    ScriptedProgram program(*link, package("VX-R170", "1.5.0"));
    ASSERT_TRUE(program.open());
    const auto result = program.run();
    EXPECT_EQ(result.mtuAnswers, 1);
    EXPECT_EQ(result.reason, 4);
    const std::string failure = info(sim, kFirst)["recentFailures"][0];
    EXPECT_NE(failure.find("expected no answer to an MTU request of 0, got 0xB1 response"),
              std::string::npos)
        << failure;
}

TEST(FirmwareTransferTest, ProgramThatStopsAnsweringEndsTheUpdateAfterTheTimeout) {
    SimRunner sim(config());
    auto link = connect(sim, kFirstPair);
    ScriptedProgram program(*link, package("VX-R170", "1.5.0"));
    ASSERT_TRUE(program.open());
    const auto state = link->expect(MSG_ID_FOTA_SESSION);
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->response);
    ASSERT_TRUE(link->expect(MSG_ID_FOTA_CONTROL));  // the MTU request, left unanswered
    const auto report = link->expect(MSG_ID_FOTA_UPDATE, 4000);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->payload, (std::vector<uint8_t>{1, 0, 6}));
    const std::string failure = info(sim, kFirst)["recentFailures"][0];
    EXPECT_NE(failure.find("expected the answer to the MTU request (0xB1 sub-id 0) within 1500 ms"),
              std::string::npos)
        << failure;
}

TEST(FirmwareTransferTest, ForcedResultReplacesTheVerdict) {
    SimRunner sim(config());
    auto link = connect(sim, kSecondPair);
    ASSERT_EQ(sim.ctl(std::string("FWRESULT ") + kSecond + " 0 14"), "OK");
    ScriptedProgram program(*link, package("VX-R175", "2.2.0"));
    ASSERT_TRUE(program.open());
    const auto result = program.run();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.reason, 14);
    EXPECT_EQ(result.percents.back(), 100) << "the whole package was received first";
    // Reason 14 is not followed by a reset: the link stays, the version too.
    EXPECT_FALSE(link->waitClosed(500));
    auto state = info(sim, kSecond);
    EXPECT_EQ(state["state"]["versionLeft"], "2.1.0");
    EXPECT_EQ(state["lastResult"]["reason"], 14);

    // NOW reports at once, with or without a transfer.
    ASSERT_EQ(sim.ctl(std::string("FWRESULT ") + kSecond + " 1 9 NOW"), "OK");
    const auto report = link->expect(MSG_ID_FOTA2_UPDATE);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->payload, (std::vector<uint8_t>{1, 1, 9}));
    EXPECT_EQ(sim.ctl(std::string("FWRESULT ") + kSecond + " 0 300"),
              "ERR FWRESULT takes an address, a state and a reason (0-255), and optionally NOW");
}

TEST(FirmwareTransferTest, StallStopsAnsweringMidTransfer) {
    SimRunner sim(config());
    auto link = connect(sim, kFirstPair);
    ASSERT_EQ(sim.ctl(std::string("STALL ") + kFirst + " 40"), "OK");
    ScriptedProgram program(*link, package("VX-R170", "1.5.0"));
    ASSERT_TRUE(program.open());
    const auto result = program.run(1000);
    EXPECT_FALSE(result.finished);
    ASSERT_FALSE(result.percents.empty());
    EXPECT_GE(result.percents.back(), 40);
    EXPECT_LT(result.percents.back(), 100);
    EXPECT_FALSE(link->waitClosed(300)) << "stalled earbuds keep the link open";
    link->sendBytes(std::vector<uint8_t>{0xFE, 0x00, 0x03, 0x29, 0x4B, 0xB5, 0xEE});
    EXPECT_FALSE(link->next(300));
}

}  // namespace
