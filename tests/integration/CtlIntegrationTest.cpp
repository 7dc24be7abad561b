// auralis-ctl's Bluetooth commands against auralis-sim, as a user runs them.

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "services/EnvironVar.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"
#include "tests/integration/CtlAgainstSim.h"

using ctl_test::runCtl;
using integration::jsonLines;
using integration::lastObject;
using integration::withoutError;
using integration::writeCtlPackage;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

const char* const kPlus = "70:5A:B6:01:4F:2A";
const char* const kFirst = "70:5A:B6:00:77:A0";

const std::string kScanReport =
    "{\"event\":\"devices\",\"devices\":["
    "{\"name\":\"Auralis (77A0)\",\"address\":\"70:5A:B6:00:77:A0\"},"
    "{\"name\":\"Auralis+ (4F2A)\",\"address\":\"70:5A:B6:01:4F:2A\"}]}";

json demoPairs() {
    return json::array({{{"address", kPlus},
                         {"name", "Auralis+ (4F2A)"},
                         {"state",
                          {{"batteryLeft", 91},
                           {"batteryRight", 82},
                           {"batteryCase", 55},
                           {"colorLeft", 3},
                           {"versionLeft", "2.1.0"},
                           {"versionRight", "2.1.1"},
                           {"serialLeft", "R175L014F2A"},
                           {"serialRight", "R175R014F2A"}}}},
                        {{"address", kFirst}, {"name", "Auralis (77A0)"}},
                        {{"address", "70:5A:B6:00:00:01"}, {"name", "Speaker"}}});
}

std::vector<std::string> keys(const json& object) {
    std::vector<std::string> names;
    for (auto it = object.begin(); it != object.end(); ++it) {
        names.push_back(it.key());
    }
    return names;
}

// The keys in the order they stand in the text (json::parse sorts them).
std::vector<std::string> keysAsWritten(const std::string& line, const json& object) {
    std::vector<std::pair<std::size_t, std::string>> found;
    for (const std::string& key : keys(object)) {
        found.emplace_back(line.find("\"" + key + "\":"), key);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (const auto& [at, key] : found) {
        names.push_back(key);
    }
    return names;
}

class CtlIntegrationTest : public integration::CtlAgainstSim {
protected:
    CtlIntegrationTest() : CtlAgainstSim(demoPairs()) {}
};

}  // namespace

TEST_F(CtlIntegrationTest, CheckAndScanListTheEarbudsInRange) {
    auto run = runCtl({"--backend", "sim", "check"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "Bluetooth is available (backend sim)\n");

    run = runCtl({"--backend", "sim", "--json", "scan", "--seconds", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto reports = jsonLines(run.out);
    ASSERT_GE(reports.size(), 1u);
    // Exactly the line the documentation shows, keys in its order.
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), kScanReport);
    run = runCtl({"--backend", "sim", "scan", "--seconds", "1"});
    EXPECT_NE(run.out.find("  70:5A:B6:01:4F:2A  Auralis+ (4F2A)\n"), std::string::npos);

    ASSERT_EQ(m_sim.ctl("RADIO OFF"), "OK");
    run = runCtl({"--backend", "sim", "--json", "check"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutError(lastObject(run.out)),
              json::parse(R"({"supported":false,"backend":"sim"})"));
    EXPECT_NE(run.err.find("Bluetooth is not available (backend sim)"), std::string::npos);
    EXPECT_EQ(runCtl({"--backend", "sim", "scan", "--seconds", "1"}).exitCode, 1);
}

TEST_F(CtlIntegrationTest, StatusShowsTheReportsOfEitherGeneration) {
    auto run = runCtl({"--backend", "sim", "--json", "status", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto objects = jsonLines(run.out);
    ASSERT_EQ(objects.size(), 1u);
    const json& status = objects[0];
    EXPECT_EQ(
        keysAsWritten(run.out, status),
        (std::vector<std::string>{"connected", "name", "address", "model", "status", "versionLeft",
                                  "versionRight", "serialLeft", "serialRight"}));
    EXPECT_EQ(status["connected"], true);
    EXPECT_EQ(status["name"], "Auralis+ (4F2A)");
    EXPECT_EQ(status["address"], kPlus);
    EXPECT_EQ(status["model"], "VX-R175");
    EXPECT_EQ(status["versionLeft"], "2.1.0");
    EXPECT_EQ(status["versionRight"], "2.1.1");
    EXPECT_EQ(status["serialLeft"], "R175L014F2A");
    EXPECT_EQ(keysAsWritten(run.out.substr(run.out.find("\"status\":{")), status["status"]),
              (std::vector<std::string>{"revision", "earType", "batteryLeft", "batteryRight",
                                        "batteryCase", "twsStatus", "primary", "wearing",
                                        "colorLeft", "colorRight"}));
    EXPECT_EQ(status["status"]["batteryLeft"], 91);
    EXPECT_EQ(status["status"]["batteryCase"], 55);
    EXPECT_EQ(status["status"]["colorLeft"], 3);

    run = runCtl({"--backend", "sim", "status", kFirst});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Model:      VX-R170"), std::string::npos);

    // Not in range: bounded by --seconds, then a failure.
    run = runCtl({"--backend", "sim", "--json", "status", "--seconds", "1", "00:00:00:00:00:09"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(jsonLines(run.out).size(), 1u) << run.out;
    EXPECT_EQ(withoutError(lastObject(run.out)),
              json::parse(R"({"connected":false,"address":"00:00:00:00:00:09"})"));
    EXPECT_NE(run.err.find("was not found"), std::string::npos);

    // Bad usage.
    EXPECT_EQ(runCtl({"--backend", "sim", "status", "70:5A:B6:01:4F"}).exitCode, 2);
    EXPECT_EQ(runCtl({"--backend", "sim", "status", "--seconds", "0", kPlus}).exitCode, 2);
    EXPECT_EQ(runCtl({"--backend", "sim", "status"}).exitCode, 2);
}

TEST_F(CtlIntegrationTest, FirmwareUpdateReportsProgressAndTheEarbudsVerdict) {
    const std::string package = writeCtlPackage(30000, 10000);
    auto run = runCtl({"--backend", "sim", "--json", "fw", "update", kPlus, package});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto objects = jsonLines(run.out);
    ASSERT_GE(objects.size(), 3u);
    EXPECT_EQ(objects.back(), json::parse(R"({"event":"finish","success":true,"reason":0})"));
    EXPECT_EQ(run.out.substr(run.out.rfind("{\"event\":\"finish\"")),
              "{\"event\":\"finish\",\"success\":true,\"reason\":0}\n");
    EXPECT_EQ(keysAsWritten(run.out, objects[0]),
              (std::vector<std::string>{"event", "percent", "bytes"}));
    EXPECT_EQ(objects[0]["event"], "progress");
    EXPECT_EQ(objects[objects.size() - 2]["percent"], 100);
    // The date of the update is the updated pair's; the other pair was never updated.
    EnvironVar::Reload();
    EXPECT_NE(EnvironVar::GetLastTimeUpdateFW(kPlus), 0u);
    EXPECT_EQ(EnvironVar::GetLastTimeUpdateFW(kFirst), 0u);

    // Human output, first generation.
    run = runCtl({"--backend", "sim", "fw", "update", kFirst, package});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("progress: 50 %"), std::string::npos);
    EXPECT_NE(run.out.find("Firmware update finished: the earbuds report success."),
              std::string::npos);

    // A failure the earbuds report: exit 1, and the reason as they gave it.
    std::this_thread::sleep_for(500ms);  // the earbuds restart after an update
    ASSERT_EQ(m_sim.ctl(std::string("FWRESULT ") + kFirst + " 0 3"), "OK");
    run = runCtl({"--backend", "sim", "--json", "fw", "update", kFirst, package});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutError(jsonLines(run.out).back()),
              json::parse(R"({"event":"finish","success":false,"reason":3})"));

    // Not a package at all.
    run = runCtl({"--backend", "sim", "fw", "update", kPlus, "/nonexistent/package.bin"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("not a valid firmware package"), std::string::npos);
}

TEST_F(CtlIntegrationTest, WatchFollowsTheEarbudsUntilTheLinkEnds) {
    ctl_test::Run run;
    std::thread watcher([&] { run = runCtl({"--backend", "sim", "--json", "watch", kPlus}); });
    testing_support::eventually([&] { return m_sim.info(kPlus)["connected"].get<bool>(); });
    std::this_thread::sleep_for(300ms);
    m_sim.ctl(std::string("BATTERY ") + kPlus + " 33 44 55");
    std::this_thread::sleep_for(300ms);
    m_sim.ctl(std::string("DROP ") + kPlus);
    watcher.join();
    EXPECT_EQ(run.exitCode, 1);
    const auto objects = jsonLines(run.out);
    ASSERT_GE(objects.size(), 4u);
    EXPECT_EQ(withoutError(objects.back()), json::parse(R"({"event":"disconnected","reason":0})"));
    bool sawVersions = false;
    bool sawSerials = false;
    bool sawBattery = false;
    for (const json& object : objects) {
        sawVersions |=
            object ==
            json::parse(R"({"event":"versions","versionLeft":"2.1.0","versionRight":"2.1.1"})");
        sawSerials |= object["event"] == "serials" && object["serialRight"] == "R175R014F2A";
        sawBattery |= object["event"] == "status" && object["batteryLeft"] == 33 &&
                      object["batteryCase"] == 55;
    }
    EXPECT_TRUE(sawVersions);
    EXPECT_TRUE(sawSerials);
    EXPECT_TRUE(sawBattery);
    EXPECT_EQ(run.out.find("{\"event\":\"status\",\"revision\":"),
              run.out.find("{\"event\":\"status\""));
}

TEST_F(CtlIntegrationTest, UnpairRemovesThePairing) {
    ASSERT_EQ(m_sim.ctl(std::string("PAIRED ") + kPlus + " YES"), "OK");
    auto run = runCtl({"--backend", "sim", "unpair", kPlus});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::string("Unpaired ") + kPlus + ".\n");
    EXPECT_FALSE(m_sim.info(kPlus)["paired"].get<bool>());
    run = runCtl({"--backend", "sim", "unpair", "00:00:00:00:00:09"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot unpair 00:00:00:00:00:09"), std::string::npos);
}

TEST(CtlBluetoothUnavailableTest, BluezReportsBluetoothAsNotAvailable) {
    // A system bus that does not exist, so the answer is the same on a machine with BlueZ.
    testing_support::ScopedEnv noBus(
        "DBUS_SYSTEM_BUS_ADDRESS",
        "unix:path=" + (testing_support::sandboxFolder() / "no-such-bus").string());
    const auto run = runCtl({"--backend", "bluez", "check"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Bluetooth is not available (backend bluez)"), std::string::npos);
    EXPECT_EQ(runCtl({"--backend", "bluez", "unpair", "not-an-address"}).exitCode, 2);
}
