// The device link against auralis-sim: discovery, connect, watchdogs and firmware transfers of
// both generations through the sim backend, the virtual earbuds checking every frame.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "fota/PackageWriter.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/link/LinkTestSupport.h"

using integration::SimNeighbourhood;
using link_test::EventRecorder;
using link_test::LogCapture;
using nlohmann::json;
using namespace std::chrono_literals;

using testing_support::eventually;

namespace {

constexpr uint64_t kPlus = 0x705AB6014F2Aull;
constexpr uint64_t kFirst = 0x705AB60077A0ull;
constexpr uint64_t kKitchen = 0x705AB6007B2Cull;
const char* const kPlusText = "70:5A:B6:01:4F:2A";
const char* const kFirstText = "70:5A:B6:00:77:A0";

json device(const char* address, const char* name, json extra = json::object()) {
    json settings = {{"address", address}, {"name", name}};
    settings.update(extra);
    return settings;
}

json twoGenerations() {
    return json::array({device(kPlusText, "Auralis+ (4F2A)",
                               {{"mtu", 1000},
                                {"state",
                                 {{"batteryLeft", 91},
                                  {"batteryRight", 82},
                                  {"versionLeft", "2.1.0"},
                                  {"versionRight", "2.1.1"},
                                  {"serialLeft", "R175L014F2A"},
                                  {"serialRight", "R175R014F2A"}}}}),
                        device(kFirstText, "Auralis (77A0)",
                               {{"mtu", 300},
                                {"secondMtu", 200},
                                {"state", {{"batteryLeft", 40}, {"batteryRight", 45}}}})});
}

// A link over the sim backend of a running sim; the recorder outlives the link's threads.
struct SimLink {
    explicit SimLink(const SimNeighbourhood& sim)
        : handle(std::make_shared<platform::bluetooth::SimBackend>(sim.socket())) {
        handle.setTimings(link_test::simLinkTimings());
        handle.addReceiver(&events);
    }
    ~SimLink() { EXPECT_TRUE(handle.shutdown()); }

    // Connects to a record of the caller's and waits for the verdict.
    bool connect(BluetoothDevice& device) {
        const int before = events.count("OnDeviceConnected");
        handle.ConnectToDevice(&device);
        return events.waitFor("OnDeviceConnected", before + 1) &&
               events.matching("OnDeviceConnected").back() == "OnDeviceConnected(1)";
    }

    EventRecorder events;
    BluetoothHandle handle;
};

// A package in the sim's layout: a descriptor naming the model, then the image in two entries.
FileInfo writePackage(const std::string& model, std::size_t imageSize) {
    fota::PackageWriter writer;
    const std::string descriptor = "AURALIS-FW 1\nmodel=" + model + "\nversion=9.9.9\n";
    writer.addEntry(1, std::vector<uint8_t>(descriptor.begin(), descriptor.end()));
    std::vector<uint8_t> image(imageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>((i * 131) ^ (i >> 8));
    }
    const std::size_t split = imageSize * 3 / 4;
    writer.addEntry(2, std::vector<uint8_t>(image.begin(), image.begin() + split));
    writer.addEntry(3, std::vector<uint8_t>(image.begin() + split, image.end()));
    const auto path = testing_support::makeTempFolder("fw") / ("Auralis_" + model + ".bin");
    writer.writeFile(path);
    FileInfo info;
    info.path = path.string();
    EXPECT_TRUE(info.getFileInfo(info.path));
    return info;
}

std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

TEST(LinkIntegrationTest, DiscoveryFiltersNamesAndMergesCycles) {
    LogCapture log;
    SimNeighbourhood sim(json::array({
        device(kPlusText, "Auralis+ (4F2A)"),
        device(kFirstText, "Auralis (77A0)"),
        device("70:5A:B6:00:7B:2C", "Kitchen Auralis (7B2C)"),
        device("70:5A:B6:00:7B:2D", "auralis (7B2D)"),
        device("70:5A:B6:00:00:01", "Speaker"),
    }));
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    link.handle.StartFindDevice();
    ASSERT_TRUE(link.events.waitFor("OnDeviceFindChange"));
    const auto first = link.events.foundMaps().front();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first.at(kKitchen)->name, "Kitchen Auralis (7B2C)");

    // A device leaving: the next reports lack it; the others keep their records.
    ASSERT_EQ(sim.ctl(std::string("RANGE ") + kFirstText + " OUT"), "OK");
    ASSERT_TRUE(eventually([&] { return link.events.foundMaps().back().size() == 2; }));
    const auto second = link.events.foundMaps().back();
    EXPECT_EQ(second.at(kPlus), first.at(kPlus));
    EXPECT_EQ(second.at(kKitchen), first.at(kKitchen));

    // A cycle that finds nothing of ours: no report, and the map stays as it was.
    sim.ctl(std::string("RANGE ") + kPlusText + " OUT");
    sim.ctl("RANGE 70:5A:B6:00:7B:2C OUT");
    ASSERT_TRUE(eventually([&] { return log.contains("No device found"); }));
    const int reports = link.events.count("OnDeviceFindChange");
    ASSERT_TRUE(eventually([&] { return occurrences(log.text(), "No device found") >= 3; }));
    EXPECT_EQ(link.events.count("OnDeviceFindChange"), reports);
    EXPECT_EQ(link.handle.foundDevices(), second);

    // Back in range: the device that never left the map keeps its record, the one that left
    // gets a new one while its old record stays readable.
    sim.ctl(std::string("RANGE ") + kPlusText + " IN");
    sim.ctl(std::string("RANGE ") + kFirstText + " IN");
    ASSERT_TRUE(eventually([&] {
        const auto last = link.events.foundMaps().back();
        return last.size() == 2 && last.count(kFirst) == 1;
    }));
    const auto back = link.events.foundMaps().back();
    EXPECT_EQ(back.at(kPlus), first.at(kPlus));
    EXPECT_NE(back.at(kFirst), first.at(kFirst));
    EXPECT_EQ(first.at(kFirst)->name, "Auralis (77A0)");
    link.handle.StopFindDevice();
    EXPECT_TRUE(eventually([&] { return link.handle.runningThreads() == 0; }));
}

TEST(LinkIntegrationTest, ConnectsToEachGenerationAndReportsItsState) {
    LogCapture log;
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
    ASSERT_TRUE(link.connect(plus));
    EXPECT_EQ(plus.modelCode(), "VX-R175");
    EXPECT_EQ(plus.connected(), 1);
    ASSERT_TRUE(link.events.waitFor("OnDeviceStatusChange(91,82)"));
    ASSERT_TRUE(link.events.waitFor("OnDeviceVersionChange(2.1.0,2.1.1)"));
    ASSERT_TRUE(link.events.waitFor("OnDeviceIMEIChange(1,R175L014F2A,R175R014F2A)"));
    EXPECT_EQ(link.handle.deviceStatus().batteryLeft, 91);
    EXPECT_TRUE(sim.info(kPlusText)["paired"].get<bool>());

    // The first generation on the same link: the old link is closed, the new one reports.
    BluetoothDevice first("Auralis (77A0)", kFirst);
    ASSERT_TRUE(link.connect(first));
    EXPECT_EQ(first.modelCode(), "VX-R170");
    ASSERT_TRUE(link.events.waitFor("OnDeviceStatusChange(40,45)"));
    ASSERT_TRUE(eventually([&] { return !sim.info(kPlusText)["connected"].get<bool>(); }));
    EXPECT_EQ(link.events.count("OnDeviceDisconnected"), 0);

    // Connecting again to a paired device: pairing says so and the link comes up anyway.
    ASSERT_TRUE(link.connect(plus));
    EXPECT_TRUE(log.contains("Already paired!"));
    EXPECT_EQ(sim.info(kPlusText)["expectationFailures"], 0);
    EXPECT_EQ(sim.info(kFirstText)["expectationFailures"], 0);
}

TEST(LinkIntegrationTest, AliveCheckDisconnectsASilentPair) {
    LogCapture log;
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
    ASSERT_TRUE(link.connect(plus));
    // Answered probes bring the serial numbers again and again.
    ASSERT_TRUE(link.events.waitFor("OnDeviceIMEIChange", 3));
    EXPECT_EQ(link.events.count("OnDeviceDisconnected"), 0);
    ASSERT_EQ(sim.ctl(std::string("SILENT ") + kPlusText + " ON"), "OK");
    ASSERT_TRUE(link.events.waitFor("OnDeviceDisconnected"));
    EXPECT_EQ(link.events.matching("OnDeviceDisconnected"),
              (std::vector<std::string>{"OnDeviceDisconnected(0)"}));
    EXPECT_TRUE(log.contains("ThreadCheckDeviceAlive -> do not REVC alive response"));
    EXPECT_TRUE(eventually([&] { return !sim.info(kPlusText)["connected"].get<bool>(); }));
}

TEST(LinkIntegrationTest, DamagedAndSplitFramesFromTheEarbuds) {
    LogCapture log;
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
    ASSERT_TRUE(link.connect(plus));
    ASSERT_TRUE(link.events.waitFor("OnDeviceStatusChange"));
    const int statuses = link.events.count("OnDeviceStatusChange");

    // A frame cut into two writes is joined.
    sim.ctl(std::string("SPLIT ") + kPlusText);
    sim.ctl(std::string("REPORT ") + kPlusText + " 60");
    ASSERT_TRUE(link.events.waitFor("OnDeviceStatusChange", statuses + 1));

    // A frame with a bad checksum is dropped; the earbuds send it again without an answer.
    sim.ctl(std::string("CORRUPT ") + kPlusText);
    sim.ctl(std::string("REPORT ") + kPlusText + " 61");
    ASSERT_TRUE(link.events.waitFor("OnDeviceStatusChange", statuses + 2));
    EXPECT_TRUE(log.contains("checkMessageCRC ==> BAD"));
    EXPECT_EQ(link.events.count("OnDeviceDisconnected"), 0);
}

class TransferIntegrationTest : public ::testing::TestWithParam<bool> {};

TEST_P(TransferIntegrationTest, CompleteTransferWithProgress) {
    const bool second = GetParam();
    const char* address = second ? kPlusText : kFirstText;
    LogCapture log;
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    BluetoothDevice target(second ? "Auralis+ (4F2A)" : "Auralis (77A0)", second ? kPlus : kFirst);
    ASSERT_TRUE(link.connect(target));
    link.handle.setFotaBin(writePackage(second ? "VX-R175" : "VX-R170", 60000));
    ASSERT_TRUE(link.handle.OpenFotaSession());
    ASSERT_TRUE(link.events.waitFor("OnDownloadFinish", 1, 60s));
    EXPECT_EQ(link.events.matching("OnDownloadFinish"),
              (std::vector<std::string>{"OnDownloadFinish(1,0)"}));
    EXPECT_GT(link.events.count("OnDownloadProgressChange"), 50);
    EXPECT_GE(link.events.count("OnDownloadProgressChange(100,"), 1);
    EXPECT_EQ(link.events.count("OnDeviceDisconnected"), 0);
    // The earbuds record their result after sending it, so the link may hear of it first.
    json info;
    ASSERT_TRUE(eventually([&] {
        info = sim.info(address);
        return info.contains("lastResult");
    })) << info.dump();
    EXPECT_EQ(info["expectationFailures"], 0) << info.dump();
    EXPECT_EQ(info["lastResult"]["reason"], 0);
    EXPECT_TRUE(
        eventually([&] { return sim.info(address)["lastResult"]["acknowledged"] == true; }));
    // The second generation was offered 650 bytes although it announced 1000; the first took
    // 300 (long frames) and, after 50 percent, 200.
    if (second) {
        EXPECT_TRUE(log.contains("MTU size : 1000"));
    } else {
        EXPECT_TRUE(log.contains("MTU size : 300"));
        EXPECT_TRUE(log.contains("MTU size : 200"));
    }
    // The receive watchdog stopped with the verdict.
    EXPECT_TRUE(eventually([&] { return link.handle.runningThreads() <= 2; }));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, TransferIntegrationTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Second" : "First"; });

TEST(LinkIntegrationTest, RejectedPackageResetsAndUnpairsUnlessTheReasonIs14) {
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    {
        // A package for the other model: the earbuds refuse it (their reason 7).
        SimLink link(sim);
        BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
        ASSERT_TRUE(link.connect(plus));
        link.handle.setFotaBin(writePackage("VX-R170", 5000));
        ASSERT_TRUE(link.handle.OpenFotaSession());
        ASSERT_TRUE(link.events.waitFor("OnDownloadFinish", 1, 30s));
        EXPECT_EQ(link.events.matching("OnDownloadFinish"),
                  (std::vector<std::string>{"OnDownloadFinish(0,7)"}));
        EXPECT_TRUE(link.events.waitFor("OnFotaError(7)"));
        EXPECT_TRUE(eventually([&] { return sim.info(kPlusText)["resets"] == 1; }));
        EXPECT_FALSE(sim.info(kPlusText)["paired"].get<bool>());
    }
    // Reason 14 leaves the earbuds as they are.
    SimLink link(sim);
    BluetoothDevice first("Auralis (77A0)", kFirst);
    ASSERT_TRUE(link.connect(first));
    ASSERT_EQ(sim.ctl(std::string("FWRESULT ") + kFirstText + " 0 14"), "OK");
    link.handle.setFotaBin(writePackage("VX-R170", 5000));
    ASSERT_TRUE(link.handle.OpenFotaSession());
    ASSERT_TRUE(link.events.waitFor("OnDownloadFinish", 1, 30s));
    EXPECT_EQ(link.events.matching("OnDownloadFinish"),
              (std::vector<std::string>{"OnDownloadFinish(0,14)"}));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sim.info(kFirstText)["resets"], 0);
    EXPECT_TRUE(sim.info(kFirstText)["paired"].get<bool>());
}

TEST(LinkIntegrationTest, EmergencyRequestIsAnsweredAndReported) {
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
    ASSERT_TRUE(link.connect(plus));
    ASSERT_EQ(sim.ctl(std::string("EMERGENCY ") + kPlusText), "OK");
    ASSERT_TRUE(link.events.waitFor("OnDeviceVersionMismatch()"));
    EXPECT_EQ(sim.info(kPlusText)["expectationFailures"], 0);
}

TEST(LinkIntegrationTest, ReceiveWatchdogEndsAStalledTransfer) {
    LogCapture log;
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    SimLink link(sim);
    BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
    ASSERT_TRUE(link.connect(plus));
    ASSERT_EQ(sim.ctl(std::string("STALL ") + kPlusText + " 30"), "OK");
    link.handle.setFotaBin(writePackage("VX-R175", 40000));
    ASSERT_TRUE(link.handle.OpenFotaSession());
    ASSERT_TRUE(link.events.waitFor("OnDeviceDisconnected", 1, 30s));
    EXPECT_EQ(link.events.matching("OnDeviceDisconnected"),
              (std::vector<std::string>{"OnDeviceDisconnected(1)"}));
    EXPECT_TRUE(log.contains("ThreadCheckDeviceConnect -> do not REVC any message over 20s"));
    EXPECT_EQ(link.events.count("OnDownloadFinish"), 0);
}

// Cuts the package short as soon as the first data leaves, so a later fragment cannot be read.
class TruncatingRecorder : public EventRecorder {
public:
    explicit TruncatingRecorder(std::filesystem::path path) : m_path(std::move(path)) {}
    void OnDownloadProgressChange(int percent, uint64_t bytes) override {
        if (bytes > 0 && !m_cut.exchange(true)) {
            std::filesystem::resize_file(m_path, 2000);
        }
        EventRecorder::OnDownloadProgressChange(percent, bytes);
    }

private:
    std::filesystem::path m_path;
    std::atomic<bool> m_cut{false};
};

TEST(LinkIntegrationTest, AnUnreadablePackageEndsTheTransferWithoutSendingUnreadData) {
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    const FileInfo package = writePackage("VX-R175", 40000);
    TruncatingRecorder events(package.path);
    BluetoothHandle handle(std::make_shared<platform::bluetooth::SimBackend>(sim.socket()));
    handle.setTimings(link_test::simLinkTimings());
    handle.addReceiver(&events);
    BluetoothDevice plus("Auralis+ (4F2A)", kPlus);
    handle.ConnectToDevice(&plus);
    ASSERT_TRUE(events.waitFor("OnDeviceConnected(1)"));
    handle.setFotaBin(package);
    ASSERT_TRUE(handle.OpenFotaSession());
    ASSERT_TRUE(events.waitFor("OnDownloadFinish", 1, 30s));
    EXPECT_EQ(events.matching("OnDownloadFinish"),
              (std::vector<std::string>{"OnDownloadFinish(0,-1)"}));
    // The earbuds never saw a fragment with unread bytes: nothing they checked failed.
    EXPECT_EQ(sim.info(kPlusText)["expectationFailures"], 0);
    EXPECT_EQ(sim.info(kPlusText)["resets"], 0);
    EXPECT_TRUE(handle.shutdown());
}

TEST(LinkIntegrationTest, AnMtuOfZeroIsNotTaken) {
    SimNeighbourhood sim(twoGenerations());
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(sim.ctl(std::string("SET ") + kFirstText + " mtu=0"), "OK");
    SimLink link(sim);
    // The earbuds' own time-out (3 s) comes before the link's receive watchdog.
    LinkTimings timings = link_test::simLinkTimings();
    timings.receiveWatchdog = 20s;
    link.handle.setTimings(timings);
    BluetoothDevice first("Auralis (77A0)", kFirst);
    ASSERT_TRUE(link.connect(first));
    link.handle.setFotaBin(writePackage("VX-R170", 5000));
    ASSERT_TRUE(link.handle.OpenFotaSession());
    // Neither an answer nor empty data goes out, so the earbuds give up on their own time-out
    // (their reason 6) instead of finding a protocol error (4).
    ASSERT_TRUE(link.events.waitFor("OnDownloadFinish", 1, 30s));
    EXPECT_EQ(link.events.matching("OnDownloadFinish"),
              (std::vector<std::string>{"OnDownloadFinish(0,6)"}));
    EXPECT_EQ(link.events.count("OnDownloadProgressChange"), 0);
}
