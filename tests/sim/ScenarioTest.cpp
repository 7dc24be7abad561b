#include <gtest/gtest.h>

#include <fstream>

#include "sim/Scenario.h"
#include "sim/SimOptions.h"
#include "tests/common/TestSandbox.h"

namespace {

using sim::Scenario;
using sim::SimConfig;

TEST(ScenarioTest, FileOverridesDefaultsAndResolvesImagesBesideIt) {
    const auto folder = testing_support::makeTempFolder("scenario");
    std::ofstream(folder / "fw.bin") << "image";
    std::ofstream(folder / "demo.json") << R"json({
      "radio": false,
      "timing": {"restartMs": 50, "statusIntervalMs": 0},
      "devices": [{"address": "70:5a:b6:01:4f:2a", "name": "Auralis2 (0C11)", "paired": true,
                   "packetsPerRequest": 2, "checkFileCrc": false,
                   "state": {"batteryLeft": 12, "serialLeft": "ABCDEFGHIJK", "colorLeft": 266}}],
      "updateServer": {"port": 0,
                       "firmware": {"VX-R175": {"version": "3.0.0", "image": "fw.bin",
                                                "notes": {"ENG": "English only"}}},
                       "faults": {"dropCount": 3, "corruptPackage": true, "wrongSize": true}}
    })json";
    SimConfig config = Scenario::defaults();
    std::string error;
    ASSERT_TRUE(Scenario::load(folder / "demo.json", config, &error)) << error;
    EXPECT_FALSE(config.radioOn);
    EXPECT_EQ(config.timing.restartMs, 50);
    EXPECT_EQ(config.timing.ackTimeoutMs, sim::SimTiming().ackTimeoutMs);
    ASSERT_EQ(config.devices.size(), 1u);
    EXPECT_EQ(config.devices[0].address, 0x705AB6014F2AULL);
    EXPECT_EQ(config.devices[0].packetsPerRequest, 2);
    EXPECT_FALSE(config.devices[0].checkFileCrc);
    EXPECT_EQ(config.devices[0].state.batteryLeft, 12);
    EXPECT_EQ(config.devices[0].state.batteryRight, sim::EarbudState().batteryRight);
    EXPECT_EQ(config.devices[0].state.colorLeft, 266);
    const sim::FirmwareRelease& release = config.server.firmware.at("VX-R175");
    EXPECT_EQ(release.version, "3.0.0");
    EXPECT_EQ(release.image, folder / "fw.bin");
    EXPECT_EQ(release.notes.size(), 1u);
    EXPECT_EQ(config.server.firmware.at("VX-R170").version, "1.5.0") << "the default stays";
    EXPECT_EQ(config.server.faults.dropCount, 3);
    EXPECT_TRUE(config.server.faults.corruptPackage);
    EXPECT_TRUE(config.server.faults.wrongSize);
}

TEST(ScenarioTest, MistakesAreNamedAndLeaveTheConfigurationAlone) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {"{\"devices\": [{\"address\": \"70:5A:B6:01:4F:2A\", \"name\": \"Auralis (1)\", "
         "\"batery\": 1}]}",
         "unknown key \"batery\" in devices[0]"},
        {"{\"devices\": [{\"address\": \"70-5A\", \"name\": \"A\"}]}",
         "devices[0].address must be written AA:BB:CC:DD:EE:FF"},
        {"{\"devices\": [{\"address\": \"70:5A:B6:01:4F:2A\", \"name\": \"Auralis+ (4F2A)\", "
         "\"state\": {\"serialLeft\": \"TWELVE_CHARS\"}}]}",
         "devices[0]: serial numbers of this generation have 11 characters"},
        {"{\"timing\": {\"restartMs\": \"soon\"}}", "timing.restartMs must be a whole number"},
        {"{\"updateServer\": {\"firmware\": {\"VX-R999\": {\"flag\": 1}}}}",
         "updateServer.firmware.VX-R999.version is required"},
        {"[1, 2", "not valid JSON"},
    };
    for (const auto& c : cases) {
        SimConfig config = Scenario::defaults();
        std::string error;
        EXPECT_FALSE(Scenario::parse(c.json, "/", config, &error)) << c.json;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(config.devices.empty());
        EXPECT_EQ(config.timing.restartMs, sim::SimTiming().restartMs);
    }
}

TEST(ScenarioTest, CommandLine) {
    sim::SimOptions options;
    std::string error;
    const char* good[] = {"auralis-sim", "--socket",     "/tmp/x.sock", "--http-port", "0",
                          "--demo",      "--transcript", "/tmp/t",      "-v"};
    ASSERT_TRUE(sim::SimOptions::parse(9, good, options, &error)) << error;
    EXPECT_EQ(options.socket, "/tmp/x.sock");
    EXPECT_EQ(options.httpPort, 0);
    EXPECT_TRUE(options.demo);
    EXPECT_TRUE(options.verbose);

    const char* badPort[] = {"auralis-sim", "--http-port", "70000"};
    EXPECT_FALSE(sim::SimOptions::parse(3, badPort, options, &error));
    const char* missing[] = {"auralis-sim", "--scenario"};
    EXPECT_FALSE(sim::SimOptions::parse(2, missing, options, &error));
    EXPECT_EQ(error, "--scenario needs a value");

    // The help documents every CTL command.
    const std::string help = sim::SimOptions::usage();
    for (const char* command : {"ADD", "REMOVE", "RADIO", "RANGE", "PAIRED", "SET", "BATTERY",
                                "WEARING", "SILENT", "DROP", "CORRUPT", "SPLIT", "EMERGENCY",
                                "FWRESULT", "STALL", "REPORT", "INFO", "SERVER"}) {
        EXPECT_NE(help.find(std::string("  ") + command + " "), std::string::npos) << command;
    }
}

}  // namespace
