// The firmware update flow against auralis-sim and its update server, both generations: the whole
// update, the earbuds' failures, a transfer that loses the earbuds, download failures and
// packages refused before the earbuds are touched.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "flow/FirmwareUpdateFlow.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/sim/SimBackend.h"
#include "services/EnvironVar.h"
#include "services/SUtil.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/flow/FlowRecorder.h"
#include "tests/integration/SimNeighbourhood.h"
#include "tests/link/LinkTestSupport.h"

using fota_test::FlowRecorder;
using integration::SimNeighbourhood;
using link_test::EventRecorder;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

// The flow's steps run downloads and transfers through the sim: a longer bound than the default.
bool eventually(const std::function<bool()>& condition) {
    return testing_support::eventually(condition, 20s);
}

constexpr uint64_t kPlus = 0x705AB6014F2Aull;
constexpr uint64_t kFirst = 0x705AB60077A0ull;
const char* const kPlusText = "70:5A:B6:01:4F:2A";
const char* const kFirstText = "70:5A:B6:00:77:A0";

struct Pair {
    const char* address;
    uint64_t value;
    const char* name;
    const char* newVersion;
    // What the flow takes as the pair's version before the update (the lower of the two).
    const char* oldVersion;
};
const Pair kPairs[] = {{kPlusText, kPlus, "Auralis+ (4F2A)", "2.2.0", "2.1.0"},
                       {kFirstText, kFirst, "Auralis (77A0)", "1.5.0", "1.4.0"}};

json pairs() {
    return json::array({{{"address", kPlusText},
                         {"name", "Auralis+ (4F2A)"},
                         {"state", {{"versionLeft", "2.1.0"}, {"versionRight", "2.1.0"}}}},
                        {{"address", kFirstText},
                         {"name", "Auralis (77A0)"},
                         {"mtu", 300},
                         {"state", {{"versionLeft", "1.4.0"}, {"versionRight", "1.4.1"}}}}});
}

// auralis-sim with its update server, a link over its socket and a flow on that link.
class FlowAgainstSim : public ::testing::Test {
protected:
    FlowAgainstSim()
        : sim(pairs(), json::object()),
          updateUrl("AURALIS_UPDATE_URL", sim.updateUrl()),
          handle(std::make_shared<platform::bluetooth::SimBackend>(sim.socket())),
          flow(std::make_unique<FirmwareUpdateFlow>(handle, &flowEvents)) {
        handle.setTimings(link_test::simLinkTimings());
        // As in the program: the flow hears each event before the test's recorder sees it.
        handle.addReceiver(flow.get());
        handle.addReceiver(&linkEvents);
        flow->setTimings({.downloadErrorPause = 10ms, .acknowledgementWait = 2s});
        EnvironVar::SetUpdateFWStatus(1);
        EnvironVar::SetIsNotifyUpdateFW(0);
        EnvironVar::SetLastTimeUpdateFW(0);
    }
    ~FlowAgainstSim() override {
        // The link's threads end before the flow they deliver to goes.
        EXPECT_TRUE(handle.shutdown());
        flow.reset();
    }

    // Connects to the pair and waits until the flow knows its version.
    bool connect(const Pair& pair) {
        if (!device || device->address != pair.value) {
            // The link's threads may still read the pair it was last connected to; it stays
            // alive until the link has shut down.
            if (device) {
                earlierDevices.push_back(std::move(device));
            }
            device = std::make_unique<BluetoothDevice>(pair.name, pair.value);
        }
        const int before = linkEvents.count("OnDeviceConnected(1)");
        const int versions = linkEvents.count("OnDeviceVersionChange(");
        handle.ConnectToDevice(device.get());
        return linkEvents.waitFor("OnDeviceConnected(1)", before + 1) &&
               linkEvents.waitFor("OnDeviceVersionChange(", versions + 1);
    }

    // Asks the server and waits for the offer.
    bool offer() {
        const int before = flowEvents.count("Offer(");
        return flow->RequestLatestVersion() && flowEvents.waitFor("Offer(", before + 1);
    }

    bool restarted(const char* address) {
        return eventually([&] { return !sim.info(address)["restarting"].get<bool>(); });
    }

    int info(const char* address, const char* key) { return sim.info(address)[key].get<int>(); }

    SimNeighbourhood sim;
    testing_support::ScopedEnv updateUrl;
    EventRecorder linkEvents;
    FlowRecorder flowEvents;
    BluetoothHandle handle;
    std::unique_ptr<FirmwareUpdateFlow> flow;
    std::unique_ptr<BluetoothDevice> device;
    std::vector<std::unique_ptr<BluetoothDevice>> earlierDevices;
};

}  // namespace

TEST_F(FlowAgainstSim, UpdatesBothGenerationsAndTheyComeBackWithTheNewVersion) {
    ASSERT_TRUE(sim.started());
    for (const Pair& pair : kPairs) {
        SCOPED_TRACE(pair.name);
        ASSERT_TRUE(connect(pair));
        // A version report of the pair connected before may still be on its way.
        ASSERT_TRUE(eventually([&] { return flow->currentVersion() == pair.oldVersion; }));
        ASSERT_TRUE(offer());
        const FirmwareOffer offered = flowEvents.lastOffer();
        EXPECT_EQ(offered.newVersion, pair.newVersion);
        EXPECT_TRUE(offered.offered);
        EXPECT_GT(offered.size, 0u);
        EXPECT_FALSE(offered.shownNotes.empty());
        EXPECT_EQ(flow->CheckStart(), fota::UpdateStart::Ready);

        const int finishes = flowEvents.count("Finish(");
        ASSERT_TRUE(flow->StartDownload());
        ASSERT_TRUE(flowEvents.waitFor("Finish(", finishes + 1));
        EXPECT_EQ(flowEvents.events().back(), "Finish(1,0)");
        EXPECT_GT(flowEvents.downloadReports(), 0);
        EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 1);
        EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 0);
        EXPECT_NE(EnvironVar::GetLastTimeUpdateFW(), 0u);
        // The date belongs to the pair updated; the other pair has not been updated yet.
        EXPECT_NE(EnvironVar::GetLastTimeUpdateFW(pair.address), 0u);
        if (&pair == &kPairs[0]) {
            EXPECT_EQ(EnvironVar::GetLastTimeUpdateFW(kPairs[1].address), 0u);
        }
        // The link acknowledged the verdict before the flow closed it.
        const json result = sim.info(pair.address)["lastResult"];
        EXPECT_TRUE(result["acknowledged"].get<bool>());
        EXPECT_EQ(info(pair.address, "resets"), 0);
        // The earbuds run it now: the package is not kept in the temporary folder.
        EXPECT_FALSE(flow->HasKeptPackage());

        // After their restart the earbuds report the new version.
        ASSERT_TRUE(restarted(pair.address));
        ASSERT_TRUE(connect(pair));
        ASSERT_TRUE(eventually([&] { return flow->currentVersion() == pair.newVersion; }));
    }
}

TEST_F(FlowAgainstSim, TransferProgressCountsTheFirstGenerationsBytesTwice) {
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(connect(kPairs[1]));
    ASSERT_TRUE(offer());
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(flowEvents.waitFor("Finish(1,0)"));
    const std::string last = linkEvents.matching("OnDownloadProgressChange(").back();
    const uint64_t linkBytes = std::stoull(last.substr(last.find(',') + 1));
    EXPECT_EQ(flowEvents.lastTransferBytes(), linkBytes / 2);
}

TEST_F(FlowAgainstSim, FailureResetsUnpairsAndTheKeptPackageIsSentAgainWithoutADownload) {
    ASSERT_TRUE(sim.started());
    const Pair& pair = kPairs[0];
    ASSERT_TRUE(connect(pair));
    ASSERT_TRUE(offer());
    ASSERT_EQ(sim.ctl(std::string("FWRESULT ") + pair.address + " 0 5"), "OK");
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(flowEvents.waitFor("Finish(0,5)"));
    EXPECT_EQ(info(pair.address, "resets"), 1);
    EXPECT_FALSE(sim.info(pair.address)["paired"].get<bool>());
    EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 0);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 1);
    EXPECT_EQ(EnvironVar::GetLastTimeUpdateFW(), 0u);
    EXPECT_EQ(flowEvents.count("Phase(1)"), 1);

    // The next start asks about sending again; the kept package goes without a download.
    EXPECT_EQ(flow->CheckStart(), fota::UpdateStart::AskResend);
    ASSERT_TRUE(flow->HasKeptPackage());
    ASSERT_TRUE(restarted(pair.address));
    const int connects = linkEvents.count("OnDeviceConnected(1)");
    flow->ConnectAgain();
    ASSERT_TRUE(linkEvents.waitFor("OnDeviceConnected(1)", connects + 1));
    ASSERT_TRUE(flow->Resend());
    ASSERT_TRUE(flowEvents.waitFor("Finish(1,0)"));
    EXPECT_EQ(flowEvents.count("Phase(1)"), 1);
    EXPECT_EQ(flowEvents.count("Phase(3)"), 2);
    EXPECT_EQ(flowEvents.count("Finish(0,5)"), 1);
    EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 1);
}

TEST_F(FlowAgainstSim, ReasonFourteenReconnectsWithoutResetOrUnpairing) {
    ASSERT_TRUE(sim.started());
    const Pair& pair = kPairs[1];
    ASSERT_TRUE(connect(pair));
    ASSERT_TRUE(offer());
    ASSERT_EQ(sim.ctl(std::string("FWRESULT ") + pair.address + " 0 14"), "OK");
    const int connects = linkEvents.count("OnDeviceConnected(1)");
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(flowEvents.waitFor("Finish(0,14)"));
    EXPECT_EQ(flowEvents.count("Phase(5)"), 1);
    EXPECT_EQ(info(pair.address, "resets"), 0);
    EXPECT_TRUE(sim.info(pair.address)["paired"].get<bool>());
    // The flow asked the link to connect again by itself.
    EXPECT_TRUE(linkEvents.waitFor("OnDeviceConnected(1)", connects + 1));
}

TEST_F(FlowAgainstSim, EarbudsLostDuringTheTransferEndTheUpdate) {
    ASSERT_TRUE(sim.started());
    // Silent from 30 percent on: the receive watchdog ends the link.
    const Pair& pair = kPairs[0];
    ASSERT_TRUE(connect(pair));
    ASSERT_TRUE(offer());
    ASSERT_EQ(sim.ctl(std::string("STALL ") + pair.address + " 30"), "OK");
    ASSERT_TRUE(flow->StartDownload());
    // The 20 s silence (here shortened) is named as such.
    ASSERT_TRUE(flowEvents.waitFor("Bluetooth(2)"));
    EXPECT_TRUE(linkEvents.waitFor("OnDeviceDisconnected(1)"));
    EXPECT_FALSE(flow->busy());
    EXPECT_EQ(flowEvents.count("Finish("), 0);

    // Out of range in the middle of a transfer: the update ends, no verdict is invented.
    const Pair& first = kPairs[1];
    ASSERT_TRUE(connect(first));
    ASSERT_TRUE(offer());
    ASSERT_EQ(sim.ctl(std::string("STALL ") + first.address + " 40"), "OK");
    const int lost = flowEvents.count("Bluetooth(") + flowEvents.count("DeviceLost()");
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(
        eventually([&] { return sim.info(first.address)["transfer"]["active"].get<bool>(); }));
    ASSERT_EQ(sim.ctl(std::string("RANGE ") + first.address + " OUT"), "OK");
    ASSERT_TRUE(eventually(
        [&] { return flowEvents.count("Bluetooth(") + flowEvents.count("DeviceLost()") > lost; }));
    EXPECT_TRUE(eventually([&] { return !flow->busy(); }));
    EXPECT_EQ(flowEvents.count("Finish("), 0);
}

TEST_F(FlowAgainstSim, DownloadFailuresReportTheInternetUnavailableAndLeaveNoFile) {
    ASSERT_TRUE(sim.started());
    const Pair& pair = kPairs[0];
    ASSERT_TRUE(connect(pair));
    ASSERT_TRUE(offer());
    const std::string kept = flow->keptPackagePath();
    std::filesystem::remove(kept);  // kept by an earlier test of this process

    ASSERT_EQ(sim.ctl("SERVER error500=1"), "OK");
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(flowEvents.waitFor("Internet(500)"));

    // A failed download forgets the offer: the next one begins with a new check.
    EXPECT_FALSE(flow->StartDownload());
    ASSERT_EQ(sim.ctl("SERVER error500=0 drops=1"), "OK");
    ASSERT_TRUE(offer());
    ASSERT_TRUE(flow->StartDownload());
    // The server was reached and broke off: not a missing network.
    ASSERT_TRUE(flowEvents.waitFor("Internet(7)"));
    EXPECT_FALSE(flow->busy());
    for (const char* suffix : {"", ".temp", ".temp.part"}) {
        EXPECT_FALSE(std::filesystem::exists(kept + suffix)) << suffix;
    }
    EXPECT_EQ(flowEvents.count("Phase(3)"), 0);
    EXPECT_EQ(info(pair.address, "updates"), 0);
    EXPECT_TRUE(sim.info(pair.address)["lastResult"].is_null());
}

TEST_F(FlowAgainstSim, UnsoundPackagesAreRefusedBeforeTheEarbudsAreTouched) {
    ASSERT_TRUE(sim.started());
    const Pair& pair = kPairs[1];
    ASSERT_TRUE(connect(pair));
    for (const char* fault : {"corrupt=1", "wrongsize=1"}) {
        SCOPED_TRACE(fault);
        ASSERT_EQ(sim.ctl(std::string("SERVER corrupt=0 wrongsize=0 ") + fault), "OK");
        ASSERT_TRUE(offer());
        const int refused = flowEvents.count("Refused(");
        EnvironVar::SetUpdateFWStatus(1);
        ASSERT_TRUE(flow->StartDownload());
        ASSERT_TRUE(flowEvents.waitFor("Refused(", refused + 1));
        EXPECT_FALSE(std::filesystem::exists(flow->keptPackagePath()));
        EXPECT_EQ(flowEvents.count("Phase(3)"), 0);
        const json state = sim.info(pair.address);
        EXPECT_EQ(state["updates"].get<int>(), 0);
        EXPECT_FALSE(state["transfer"]["active"].get<bool>());
        EXPECT_EQ(state["resets"].get<int>(), 0);
        EXPECT_TRUE(state["connected"].get<bool>());
    }
    EXPECT_NE(flowEvents.events().back().find("announced"), std::string::npos);
}

TEST_F(FlowAgainstSim, AWrongSizeIsAskedAgainAndTheFixedServerUpdates) {
    ASSERT_TRUE(sim.started());
    const Pair& pair = kPairs[0];
    ASSERT_TRUE(connect(pair));
    ASSERT_EQ(sim.ctl("SERVER wrongsize=1"), "OK");
    ASSERT_TRUE(offer());
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(flowEvents.waitFor("Refused("));
    // Nothing of that answer is used again: no update without a new check.
    EXPECT_FALSE(flow->StartDownload());
    ASSERT_EQ(sim.ctl("SERVER wrongsize=0"), "OK");
    ASSERT_TRUE(offer());
    ASSERT_TRUE(flow->StartDownload());
    ASSERT_TRUE(flowEvents.waitFor("Finish("));
    EXPECT_EQ(flowEvents.events().back(), "Finish(1,0)");
}

// A download slow enough to lose the pair in the middle of it.
class PairLostAgainstSim : public FlowAgainstSim {
protected:
    // Starts the update of pair and waits until part of its package has arrived.
    bool downloading(const Pair& pair) {
        if (!connect(pair) || !offer() || sim.ctl("SERVER slow=4000") != "OK") {
            return false;
        }
        kept = flow->keptPackagePath();
        std::filesystem::remove(kept);  // kept by an earlier update of this process
        lostBefore = flowEvents.count("PairLost()");
        const int reports = flowEvents.downloadReports();
        return flow->StartDownload() &&
               eventually([&] { return flowEvents.downloadReports() > reports + 2; });
    }

    // The update ended with one event that says the pair went away, and left nothing behind.
    void expectEndedWithNothingSent(const Pair& pair) {
        ASSERT_TRUE(flowEvents.waitFor("PairLost()", lostBefore + 1));
        EXPECT_FALSE(flow->busy());
        // Ended at once, not when the slow download would have completed.
        const int reports = flowEvents.downloadReports();
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(flowEvents.downloadReports(), reports);
        EXPECT_EQ(flowEvents.count("PairLost()"), lostBefore + 1);
        EXPECT_EQ(flowEvents.count("Bluetooth("), 0);
        EXPECT_EQ(flowEvents.count("DeviceLost()"), 0);
        EXPECT_EQ(flowEvents.count("Phase(3)"), 0);
        EXPECT_EQ(info(pair.address, "updates"), 0);
        const std::string folder = std::filesystem::path(kept).parent_path().string();
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            EXPECT_EQ(entry.path().filename().string().rfind(
                          std::filesystem::path(kept).filename().string(), 0),
                      std::string::npos)
                << "left behind: " << entry.path();
        }
        // Nothing of the old offer remains to be started.
        EXPECT_FALSE(flow->StartDownload());
    }

    std::string kept;
    int lostBefore = 0;
};

TEST_F(PairLostAgainstSim, LosingThePairEndsTheDownloadAtOnceAndDeletesIt) {
    ASSERT_TRUE(sim.started());
    for (const Pair& pair : kPairs) {
        SCOPED_TRACE(pair.name);
        ASSERT_TRUE(downloading(pair));
        ASSERT_EQ(sim.ctl(std::string("RANGE ") + pair.address + " OUT"), "OK");
        expectEndedWithNothingSent(pair);
        ASSERT_EQ(sim.ctl(std::string("RANGE ") + pair.address + " IN"), "OK");
        ASSERT_EQ(sim.ctl("SERVER slow=0"), "OK");
    }
}

TEST_F(PairLostAgainstSim, AnotherPairConnectingNeverReceivesThePackage) {
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(downloading(kPairs[0]));
    // The user connects the other pair (another model) while the download runs.
    ASSERT_TRUE(connect(kPairs[1]));
    expectEndedWithNothingSent(kPairs[0]);
    EXPECT_EQ(info(kPairs[1].address, "updates"), 0);
    EXPECT_FALSE(sim.info(kPairs[1].address)["transfer"]["active"].get<bool>());
}
