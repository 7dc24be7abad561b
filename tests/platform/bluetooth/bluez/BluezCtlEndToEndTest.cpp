// auralis-ctl over the BlueZ backend, end to end: the program talks D-Bus to a mock BlueZ on a
// private bus, and the mock hands the program sockets connected to auralis-sim's virtual
// earbuds, as bluetoothd hands over RFCOMM sockets.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <thread>

#include "fota/PackageWriter.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/platform/bluetooth/bluez/MockBluez.h"

namespace {

using ctl_test::runCtl;
using nlohmann::json;
using namespace std::chrono_literals;

const char* const kPlus = "70:5A:B6:01:4F:2A";
const char* const kFirst = "70:5A:B6:00:77:A0";

json earbuds() {
    return json::array(
        {{{"address", kPlus},
          {"name", "Auralis+ (4F2A)"},
          {"state", {{"batteryLeft", 91}, {"batteryRight", 82}, {"versionLeft", "2.1.0"}}}},
         {{"address", kFirst},
          {"name", "Auralis (77A0)"},
          {"state", {{"batteryLeft", 64}, {"versionLeft", "1.4.2"}}}}});
}

std::vector<json> jsonLines(const std::string& text) {
    std::vector<json> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(json::parse(line, nullptr, false));
    }
    return objects;
}

std::string writePackage() {
    fota::PackageWriter writer;
    writer.addEntry(2, std::vector<uint8_t>(24000, 0x5A));
    writer.addEntry(3, std::vector<uint8_t>(8000, 0xA5));
    const auto path = testing_support::makeTempFolder("bluezfw") / "package.bin";
    writer.writeFile(path);
    return path.string();
}

class BluezCtlEndToEndTest : public ::testing::Test {
protected:
    BluezCtlEndToEndTest()
        : m_sim(earbuds()),
          m_scanWindow("AURALIS_BLUEZ_SCAN_MS", "300"),
          m_timeScale("AURALIS_BLUEZ_TIME_SCALE",
                      std::to_string(bluez_test::MockBluez::kTimeScale)) {}

    void SetUp() override {
        ASSERT_TRUE(m_sim.started());
        ASSERT_TRUE(m_mock.startBus());
        ASSERT_TRUE(m_mock.startBluez()) << m_mock.log();
        m_mock.addAdapter();
        m_mock.addDevice(kPlus, "Auralis+ (4F2A)");
        m_mock.addDevice(kFirst, "Auralis (77A0)");
        m_mock.addDevice("70:5A:B6:00:00:01", "Speaker");
        m_mock.control("SetPeer", {"string:sim", "string:" + m_sim.socket().string()});
    }

    integration::SimNeighbourhood m_sim;
    bluez_test::MockBluez m_mock;
    testing_support::ScopedEnv m_scanWindow;
    testing_support::ScopedEnv m_timeScale;
};

TEST_F(BluezCtlEndToEndTest, CheckAndScanGoThroughBluez) {
    auto run = runCtl({"--backend", "bluez", "check"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Bluetooth is available (backend bluez)\n");

    // The default backend is BlueZ.
    run = runCtl({"--json", "scan", "--seconds", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Reports come as devices are announced; the last one holds both earbuds.
    const auto reports = jsonLines(run.out);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), json::parse(R"j({"event":"devices","devices":[
                  {"name":"Auralis (77A0)","address":"70:5A:B6:00:77:A0"},
                  {"name":"Auralis+ (4F2A)","address":"70:5A:B6:01:4F:2A"}]})j"));
}

// In real time, with the default scan window and a desktop panel discovering beside us: the
// earbuds answer about a second into BlueZ's 10.24 s inquiry, and a 5 s scan shows them.
TEST_F(BluezCtlEndToEndTest, FiveSecondScanShowsWhatBluezAnnouncedBesideAnotherScanner) {
    m_mock.setTimeScale(1.0);
    testing_support::ScopedEnv realTime("AURALIS_BLUEZ_TIME_SCALE", "1");
    testing_support::ScopedEnv defaultWindow("AURALIS_BLUEZ_SCAN_MS", "");
    m_mock.control("StartOtherScanner", {"string:hci0"});

    const auto run = runCtl({"--backend", "bluez", "--json", "scan", "--seconds", "5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json both = json::parse(R"j({"event":"devices","devices":[
                  {"name":"Auralis (77A0)","address":"70:5A:B6:00:77:A0"},
                  {"name":"Auralis+ (4F2A)","address":"70:5A:B6:01:4F:2A"}]})j");
    const auto reports = jsonLines(run.out);
    EXPECT_NE(std::find(reports.begin(), reports.end(), both), reports.end()) << run.out;
}

// Earbuds whose serial record lists the service id after a vendor id, with another scanner
// running: status and a firmware update go over the RFCOMM channel found in the SDP records.
TEST_F(BluezCtlEndToEndTest, SerialIdListedSecondServesStatusAndFirmwareUpdate) {
    const std::string standIn = (m_mock.folder() / "rfcomm").string();
    m_mock.control("StartRfcommStandIn", {"string:" + standIn});
    testing_support::ScopedEnv dialer("AURALIS_BLUEZ_RFCOMM_STANDIN", standIn);
    m_mock.control("SetServiceRecords", {"string:hci0", std::string("string:") + kPlus,
                                         "string:0000fd2a-0000-1000-8000-00805f9b34fb,"
                                         "00001101-0000-1000-8000-00805f9b34fb:rfcomm:3"});
    m_mock.control("StartOtherScanner", {"string:hci0"});

    auto run = runCtl({"--backend", "bluez", "--json", "status", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err << m_mock.log();
    const json status = jsonLines(run.out).at(0);
    EXPECT_EQ(status["connected"], true);
    EXPECT_EQ(status["model"], "VX-R175");
    EXPECT_EQ(status["status"]["batteryLeft"], 91);

    run = runCtl({"--backend", "bluez", "--json", "fw", "update", kPlus, writePackage()});
    ASSERT_EQ(run.exitCode, 0) << run.err << m_mock.log();
    EXPECT_EQ(jsonLines(run.out).back(),
              json::parse(R"({"event":"finish","success":true,"reason":0})"));
}

TEST_F(BluezCtlEndToEndTest, StatusOfEitherGenerationPairsTrustsAndConnects) {
    auto run = runCtl({"--backend", "bluez", "--json", "status", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err << m_mock.log();
    json status = jsonLines(run.out).at(0);
    EXPECT_EQ(status["connected"], true);
    EXPECT_EQ(status["model"], "VX-R175");
    EXPECT_EQ(status["status"]["batteryLeft"], 91);
    EXPECT_EQ(status["versionLeft"], "2.1.0");
    // Paired through BlueZ (our agent confirmed it), and so in the earbuds too.
    const std::string plusPath = "/org/bluez/hci0/dev_70_5A_B6_01_4F_2A";
    EXPECT_EQ(m_mock.property(plusPath, "org.bluez.Device1", "Paired"), "boolean true");
    EXPECT_EQ(m_mock.property(plusPath, "org.bluez.Device1", "Trusted"), "boolean true");
    EXPECT_TRUE(m_sim.info(kPlus)["paired"].get<bool>());

    run = runCtl({"--backend", "bluez", "--json", "status", kFirst});
    ASSERT_EQ(run.exitCode, 0) << run.err << m_mock.log();
    status = jsonLines(run.out).at(0);
    EXPECT_EQ(status["model"], "VX-R170");
    EXPECT_EQ(status["status"]["batteryLeft"], 64);
    EXPECT_EQ(status["versionLeft"], "1.4.2");

    // Paired already: the second status goes on after "Already paired!".
    run = runCtl({"--backend", "bluez", "--json", "status", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(jsonLines(run.out).at(0)["connected"], true);
}

TEST_F(BluezCtlEndToEndTest, FirmwareUpdateOfEitherGeneration) {
    const std::string package = writePackage();
    for (const char* address : {kPlus, kFirst}) {
        const auto run = runCtl({"--backend", "bluez", "--json", "fw", "update", address, package});
        ASSERT_EQ(run.exitCode, 0) << address << ": " << run.err << m_mock.log();
        const auto objects = jsonLines(run.out);
        ASSERT_GE(objects.size(), 2u);
        EXPECT_EQ(objects.back(), json::parse(R"({"event":"finish","success":true,"reason":0})"));
        EXPECT_EQ(objects[objects.size() - 2]["percent"], 100);
    }
}

TEST_F(BluezCtlEndToEndTest, UnpairRemovesTheDeviceFromBluez) {
    ASSERT_EQ(runCtl({"--backend", "bluez", "status", kPlus}).exitCode, 0);
    auto run = runCtl({"--backend", "bluez", "unpair", kPlus});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::string("Unpaired ") + kPlus + ".\n");
    bool exists = true;
    m_mock.call("/org/bluez/hci0/dev_70_5A_B6_01_4F_2A", "org.freedesktop.DBus.Properties.GetAll",
                {"string:org.bluez.Device1"}, &exists);
    EXPECT_FALSE(exists);
    EXPECT_FALSE(m_sim.info(kPlus)["paired"].get<bool>());
}

// A computer without BlueZ, or without a system bus at all: the support check says so.
TEST(BluezCtlUnavailableTest, NoBluezAndNoBusReadAsBluetoothNotAvailable) {
    bluez_test::MockBluez mock;
    auto run = runCtl({"--backend", "bluez", "check"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Bluetooth is not available (backend bluez)"), std::string::npos);

    ASSERT_TRUE(mock.startBus());
    run = runCtl({"--backend", "bluez", "--json", "check"});
    EXPECT_EQ(run.exitCode, 1);
    // The object says why, beside the answer itself.
    json answer = json::parse(run.out, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << run.out;
    EXPECT_NE(answer.value("error", "").find("Bluetooth is not available"), std::string::npos);
    answer.erase("error");
    EXPECT_EQ(answer, json::parse(R"({"supported":false,"backend":"bluez"})"));
}

}  // namespace
