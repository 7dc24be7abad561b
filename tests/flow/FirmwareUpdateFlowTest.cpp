// The update flow without earbuds or a server: offers made from a version answer, the current
// version, progress halving, refusals that need no network, and one report per finish reason.

#include "flow/FirmwareUpdateFlow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "services/EnvironVar.h"
#include "services/SUtil.h"
#include "tests/common/TestSandbox.h"
#include "tests/flow/FlowRecorder.h"

using fota_test::FlowRecorder;
using namespace std::chrono_literals;

namespace {

WEBAPI_FIRMWARE_VERSION answer(const std::string& version) {
    WEBAPI_FIRMWARE_VERSION answer;
    answer.version = version;
    // No update server: the size request fails quickly and gives 0.
    answer.url = "http://127.0.0.1:1/firmware/download?model=VX-R175&file=fw.bin";
    answer.flag = 7;
    answer.notes = {{"ENG", "english"}, {"ESP_LAT", "latino"}};
    answer.extra = "x";
    answer.notesKorean = "korean";
    return answer;
}

// A flow on a link without Bluetooth, with the earbuds of the given model "connected".
struct FlowUnderTest {
    explicit FlowUnderTest(const std::string& model = "VX-R175") : device("Auralis+ (4F2A)", 1) {
        device.setModelCode(model);
        flow = std::make_unique<FirmwareUpdateFlow>(link, &events);
        flow->setTimings({.downloadErrorPause = 1ms, .acknowledgementWait = 1ms});
        flow->OnDeviceConnected(true, &device);
    }

    FlowRecorder events;
    BluetoothDevice device;
    BluetoothHandle link;
    std::unique_ptr<FirmwareUpdateFlow> flow;
};

}  // namespace

TEST(FirmwareUpdateFlowTest, OfferComparesVersionsSetsTheBadgeAndAppliesTheGuestRule) {
    testing_support::ScopedEnv language("AURALIS_LANG", "es-MX");
    EnvironVar::SetSupportGuest(0);
    FlowUnderTest rig;
    rig.flow->OnDeviceVersionChange("V10B", "V10C");
    EXPECT_EQ(rig.flow->currentVersion(), "V10B");
    ASSERT_TRUE(rig.events.waitFor("Current(V10B)"));

    FirmwareOffer offer = rig.flow->AcceptAnswer(answer("V10C"));
    EXPECT_TRUE(offer.newer);
    EXPECT_TRUE(offer.offered);
    EXPECT_EQ(offer.currentVersion, "V10B");
    EXPECT_EQ(offer.notes, "latino");
    EXPECT_EQ(offer.shownNotes, "latino");
    EXPECT_EQ(offer.flag, 7);
    EXPECT_EQ(offer.size, 0u);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 1);
    EXPECT_EQ(rig.flow->offer().newVersion, "V10C");

    offer = rig.flow->AcceptAnswer(answer("V10B"));
    EXPECT_FALSE(offer.newer);
    EXPECT_FALSE(offer.offered);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 0);

    // Compared as text: V10 is not newer than V9.
    rig.flow->OnDeviceVersionChange("V9", "V9");
    EXPECT_FALSE(rig.flow->AcceptAnswer(answer("V10")).offered);

    // The guest setting offers firmware whatever the version; the badge follows the comparison.
    EnvironVar::SetSupportGuest(1);
    offer = rig.flow->AcceptAnswer(answer("V9"));
    EXPECT_TRUE(offer.offered);
    EXPECT_FALSE(offer.newer);
    EnvironVar::SetSupportGuest(0);
}

TEST(FirmwareUpdateFlowTest, KoreanUsersSeeTheKoreanNotes) {
    testing_support::ScopedEnv language("AURALIS_LANG", "ko-KR");
    FlowUnderTest rig;
    const FirmwareOffer offer = rig.flow->AcceptAnswer(answer("2.0"));
    EXPECT_EQ(offer.notes, "english");
    EXPECT_EQ(offer.shownNotes, "korean");
}

TEST(FirmwareUpdateFlowTest, TransferProgressIsHalvedForTheFirstGeneration) {
    FlowUnderTest second("VX-R175");
    second.flow->OnDownloadProgressChange(50, 1000);
    EXPECT_EQ(second.events.lastTransferBytes(), 1000u);
    FlowUnderTest first("VX-R170");
    first.flow->OnDownloadProgressChange(50, 1001);
    EXPECT_EQ(first.events.lastTransferBytes(), 500u);
}

TEST(FirmwareUpdateFlowTest, EachFinishReasonIsReportedOncePerTransfer) {
    EnvironVar::SetUpdateFWStatus(1);
    FlowUnderTest rig;
    rig.flow->OnDownloadFinish(false, 5);
    rig.flow->OnDownloadFinish(false, 5);
    rig.flow->OnDownloadFinish(false, 7);
    ASSERT_TRUE(rig.events.waitFor("Finish(0,7)"));
    ASSERT_TRUE(rig.events.waitFor("Finish(0,5)"));
    rig.flow.reset();  // waits for every finish thread
    EXPECT_EQ(rig.events.count("Finish(0,5)"), 1);
    EXPECT_EQ(rig.events.count("Finish("), 2);
    EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 0);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 1);
    EnvironVar::SetUpdateFWStatus(1);
}

TEST(FirmwareUpdateFlowTest, ReasonFourteenEntersQuitBeforeItIsReported) {
    FlowUnderTest rig;
    rig.flow->OnDownloadFinish(false, FirmwareUpdateFlow::kReasonRetry);
    ASSERT_TRUE(rig.events.waitFor("Finish(0,14)"));
    const auto events = rig.events.events();
    // PH_QUIT comes before the finish report.
    EXPECT_EQ(events[events.size() - 2], "Phase(5)");
    EnvironVar::SetUpdateFWStatus(1);
}

// A shared download folder (anyone may write, sticky) is refused: the update ends at once with
// its own code, and nothing is written anywhere (not at the file system's root either).
TEST(FirmwareUpdateFlowTest, RefusedTemporaryFolderEndsTheUpdateBeforeAnyDownload) {
    EnvironVar::SetUpdateFWStatus(1);
    const std::filesystem::path shared = testing_support::makeTempFolder("shared-temp");
    std::filesystem::permissions(shared,
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    testing_support::ScopedEnv temp("AURALIS_TEMP_DIR", shared.string());
    FlowUnderTest rig;
    rig.flow->AcceptAnswer(answer("9.9"));
    EXPECT_TRUE(rig.flow->StartDownload());
    ASSERT_TRUE(
        rig.events.waitFor("Internet(" + std::to_string(WEBAPI_ERROR_NO_TEMP_FOLDER) + ")"));
    EXPECT_EQ(rig.events.count("Phase(1)"), 0);
    EXPECT_FALSE(rig.flow->busy());
    EXPECT_TRUE(std::filesystem::is_empty(shared));
    EXPECT_FALSE(std::filesystem::exists("/fw.bin.temp"));
    EXPECT_FALSE(std::filesystem::exists("/fw.bin"));
}

TEST(FirmwareUpdateFlowTest, RefusalsThatNeedNoServer) {
    EnvironVar::SetUpdateFWStatus(1);
    FlowUnderTest rig;
    // Nothing offered yet: nothing starts.
    EXPECT_FALSE(rig.flow->StartDownload());

    // An address without "&file=" is downloaded under a name made of model and version (here
    // it fails: nothing listens), the pair's address in front.
    WEBAPI_FIRMWARE_VERSION nameless = answer("9.9/../x");
    nameless.url = "http://127.0.0.1:1/firmware/download?model=VX-R175";
    rig.flow->AcceptAnswer(nameless);
    EXPECT_EQ(rig.flow->keptPackagePath(), SUtil::GetUserTempFolder() + "/000000000001-x.bin");
    EXPECT_TRUE(rig.flow->StartDownload());
    ASSERT_TRUE(rig.events.waitFor("Internet(6)"));
    // The flow's step in front of the web request's cause.
    EXPECT_EQ(
        rig.events.lastCause().rfind("download: no connection to the server could be made", 0), 0u)
        << rig.events.lastCause();
    EXPECT_EQ(rig.events.count("Refused("), 0);
    EXPECT_FALSE(rig.flow->busy());
    // A failed download forgets the offer.
    EXPECT_FALSE(rig.flow->StartDownload());

    // A kept package that is not a package: refused, deleted, and nothing kept to resend.
    rig.flow->AcceptAnswer(answer("9.9"));
    const std::string kept = rig.flow->keptPackagePath();
    EXPECT_EQ(kept, SUtil::GetUserTempFolder() + "/000000000001-fw.bin");
    std::ofstream(kept) << "not a package";
    ASSERT_TRUE(rig.flow->HasKeptPackage());
    EnvironVar::SetUpdateFWStatus(0);
    EXPECT_TRUE(rig.flow->Resend());
    ASSERT_TRUE(rig.events.waitFor("Refused("));
    EXPECT_EQ(rig.events.lastCause(), "reading header: the file is shorter than a package header");
    EXPECT_FALSE(std::filesystem::exists(kept));
    EXPECT_FALSE(rig.flow->HasKeptPackage());
    EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 1);
    EXPECT_EQ(rig.events.count("Phase(3)"), 0);

    // A download that fails (nothing listens on the port): internet unavailable, no file left.
    EXPECT_FALSE(rig.flow->StartDownload()) << "the refusal forgot the offer";
    rig.flow->AcceptAnswer(answer("9.9"));
    EXPECT_TRUE(rig.flow->StartDownload());
    ASSERT_TRUE(rig.events.waitFor("Internet(", 2));
    EXPECT_FALSE(std::filesystem::exists(kept + ".temp"));
    EXPECT_FALSE(std::filesystem::exists(kept + ".temp.part"));
    EXPECT_FALSE(rig.flow->busy());
}
