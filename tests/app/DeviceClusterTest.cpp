// The home screen's device cluster: battery thresholds, colour codes and picture files, dimming
// by placement, the merged indicator, the case group, the first-generation picture, and where
// every widget goes in each layout.

#include <string>

#include "app/SDeviceCluster.h"
#include "app/SHomeView.h"
#include "flow/FirmwareUpdateFlow.h"
#include "tests/app/ScreenTestSupport.h"
#include "ui/SFontTable.h"
#include "ui/SImage.h"

namespace app_test {
namespace {

constexpr int kWhiteSlot = 3;

DeviceStatus Status(int left, int right, int batteryCase, int leftPlace, int rightPlace,
                    int colour) {
    DeviceStatus status;
    status.batteryLeft = left;
    status.batteryRight = right;
    status.batteryCase = batteryCase;
    status.wearingDetection = (leftPlace << 4) | rightPlace;
    status.DeviceColorL = colour;
    return status;
}

TEST(DeviceClusterRulesTest, BatteryLevelsMapToFivePicturesWhateverTheValue) {
    const std::pair<int, int> cases[] = {{-20, 0}, {0, 0},  {9, 0},  {10, 1}, {29, 1},  {30, 2},
                                         {54, 2},  {55, 3}, {79, 3}, {80, 4}, {100, 4}, {250, 4}};
    for (const auto& [level, index] : cases) {
        EXPECT_EQ(SDeviceCluster::BatteryPictureIndex(level), index) << "level " << level;
    }
    EXPECT_EQ(SDeviceCluster::PercentText(70), "70%");
    EXPECT_EQ(SDeviceCluster::PercentText(-3), "-3%");
}

TEST(DeviceClusterRulesTest, ColourCodesChooseTheirPictureFilesAndStrayCodesAreWhite) {
    EXPECT_EQ(SDeviceCluster::ColourSlot(258), 0);
    EXPECT_EQ(SDeviceCluster::ColourSlot(266), 8);
    for (int stray : {0, 257, 267, 300, -1}) {
        EXPECT_EQ(SDeviceCluster::ColourSlot(stray), kWhiteSlot) << stray;
    }
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(0), "\\res\\Device\\home_buds_blue.png");
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(1), "\\res\\Device\\home_buds_blue_left-dim.png");
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(2), "\\res\\Device\\home_buds_blue_right-dim.png");
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(3), "\\res\\Device\\home_craddle_blue.png");
    // Slot 7 shows the white pictures.
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(28), SDeviceCluster::DevicePicturePath(12));
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(35),
              "\\res\\Device\\home_craddle_Virel-purple.png");
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(36), "\\res\\Device\\home_buds_kestrane.png");
    EXPECT_EQ(SDeviceCluster::DevicePicturePath(37), "");
    EXPECT_EQ(SDeviceCluster::BatteryPicturePath(6),
              "\\res\\Home\\home_orvel_battery_disconnect.png");
}

class DeviceClusterTest : public ScreenTest {
protected:
    DeviceClusterTest() {
        CreateFrame(408, 459);
        home.Create("_homeView", &frame.root, SMargin(0, 0, 0, 0), SSize());
        Pump();
    }

    SDeviceCluster& Cluster() { return home.GetDeviceCluster(); }
    // Left and top of a widget inside the cluster.
    SPoint At(SWindowBase& widget) {
        const SRect r = widget.GetRect(SWindowBase::kRectInParent, 0);
        return SPoint(r.left, r.top);
    }
    void Report(const DeviceStatus& status) {
        home.OnDeviceStatusChange(status);
        Pump();
    }

    SHomeView home;
};

TEST_F(DeviceClusterTest, EveryPictureOfTheGeneratedArtworkLoads) {
    for (int i = 0; i < SDeviceCluster::kDevicePictureCount; ++i) {
        EXPECT_NE(Cluster().GetDevicePicture(i), nullptr) << i;
    }
    for (int i = 0; i < SDeviceCluster::kBatteryPictureCount; ++i) {
        EXPECT_NE(Cluster().GetBatteryPicture(i), nullptr) << i;
    }
    // The cluster sits across the top of the home screen.
    EXPECT_EQ(Cluster().GetRect(SWindowBase::kRectInParent, 0), SRect(0, 0, 408, 229));
    EXPECT_EQ(Cluster().GetName(), "_deviceInfoView");
}

TEST_F(DeviceClusterTest, BeforeAnyDeviceTheNameReadsMyBuds) {
    EXPECT_EQ(Cluster().GetNameLabel().GetText(), "My Buds");
    EXPECT_EQ(Cluster().GetModel(), "VX-R170");
    EXPECT_EQ(Cluster().GetNameLabel().GetName(), "_lbDeviceName");
    // Two widgets each carry the right battery's names.
    int named = 0;
    for (SWindowBase* child : Cluster().GetChildren()) {
        named += child->GetName() == "_lbBatteryR" ? 1 : 0;
    }
    EXPECT_EQ(named, 2);
}

TEST_F(DeviceClusterTest, CloseLevelsOfTwoWornEarbudsShareOneIndicatorAtTheLowerLevel) {
    Cluster().SetDevice("Auralis2", "VX-R175");
    Report(Status(80, 70, 50, 1, 1, 258));
    EXPECT_EQ(Cluster().IsMerged(), 1);
    EXPECT_EQ(Cluster().GetBatteryLabelL().GetText(), "70%");
    EXPECT_EQ(Cluster().GetBatteryImageL().GetImage(), Cluster().GetBatteryPicture(3));
    EXPECT_EQ(Cluster().GetBatteryImageR().GetOwnVisible(), 0);
    EXPECT_EQ(Cluster().GetBatteryLabelR().GetOwnVisible(), 0);
    // The shared indicator sits under the middle of the centred pair.
    const double budsLeft = At(Cluster().GetEarBudsImage()).x;
    EXPECT_EQ(budsLeft, (408 - 182) / 2);
    EXPECT_EQ(At(Cluster().GetBatteryImageL()).x, budsLeft + 85 - 9);
    EXPECT_EQ(At(Cluster().GetBatteryLabelL()).x, budsLeft + 85 - 20);
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(0));

    // Levels 15 apart are shown apart, and the right indicator comes back.
    Report(Status(80, 65, 50, 1, 1, 258));
    EXPECT_EQ(Cluster().IsMerged(), 0);
    EXPECT_EQ(Cluster().GetBatteryLabelL().GetText(), "80%");
    EXPECT_EQ(Cluster().GetBatteryLabelR().GetText(), "65%");
    EXPECT_EQ(Cluster().GetBatteryImageR().GetOwnVisible(), 1);
    EXPECT_EQ(At(Cluster().GetBatteryImageL()), SPoint(148, 159));
    EXPECT_EQ(At(Cluster().GetBatteryImageR()), SPoint(408 - 148 - 30, 159));
    EXPECT_EQ(At(Cluster().GetBatteryLabelL()), SPoint(137, 192));
    EXPECT_EQ(At(Cluster().GetBatteryLabelR()), SPoint(408 - 137 - 52, 192));
}

TEST_F(DeviceClusterTest, AnEarbudNotInUseIsGreyedOutWithoutALevelAndNeverMerged) {
    Cluster().SetDevice("Auralis2", "VX-R175");
    // Left not connected (0), right worn; levels close enough to merge otherwise.
    Report(Status(60, 62, 40, 0, 1, 263));
    const int red = 4 * 5;
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(red + 1));
    EXPECT_EQ(Cluster().GetBatteryLabelL().GetText(), "");
    EXPECT_EQ(Cluster().GetBatteryImageL().GetImage(), Cluster().GetBatteryPicture(6));
    EXPECT_EQ(Cluster().GetBatteryLabelR().GetText(), "62%");
    EXPECT_EQ(Cluster().IsMerged(), 0);

    // Right idle (4): the right-dim picture.
    Report(Status(60, 62, 40, 1, 4, 263));
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(red + 2));
    EXPECT_EQ(Cluster().GetBatteryLabelR().GetText(), "");

    // Both idle: the earbuds picture is the case picture of that colour.
    Report(Status(60, 62, 40, 4, 4, 263));
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(red + 3));
    EXPECT_EQ(Cluster().GetBatteryImageL().GetImage(), Cluster().GetBatteryPicture(6));
    EXPECT_EQ(Cluster().GetBatteryImageR().GetImage(), Cluster().GetBatteryPicture(6));
    // It keeps the earbuds picture's size, so the layout does not jump.
    EXPECT_EQ(Cluster().GetEarBudsImage().GetSize(), SSize(182, 88));
}

TEST_F(DeviceClusterTest, TheCaseGroupShowsWhileAnEarbudSitsInTheCase) {
    Cluster().SetDevice("Auralis2", "VX-R175");
    Report(Status(90, 40, 35, 3, 1, 259));
    EXPECT_EQ(Cluster().IsCaseHidden(), 0);
    for (SWindowBase* widget : {static_cast<SWindowBase*>(&Cluster().GetCaseImage()),
                                static_cast<SWindowBase*>(&Cluster().GetSeparator()),
                                static_cast<SWindowBase*>(&Cluster().GetCaseBatteryImage()),
                                static_cast<SWindowBase*>(&Cluster().GetCaseBatteryLabel())}) {
        EXPECT_EQ(widget->GetOwnVisible(), 1) << widget->GetName();
    }
    EXPECT_EQ(Cluster().GetCaseBatteryLabel().GetText(), "35%");
    EXPECT_EQ(Cluster().GetCaseBatteryImage().GetImage(), Cluster().GetBatteryPicture(2));
    EXPECT_EQ(Cluster().GetCaseImage().GetImage(), Cluster().GetDevicePicture(4 + 3));
    EXPECT_EQ(Cluster().GetSeparator().GetBackgroundColor(), 0x00EBEBEBu);
    EXPECT_EQ(At(Cluster().GetEarBudsImage()), SPoint(29, 64));
    EXPECT_EQ(At(Cluster().GetBatteryImageL()), SPoint(58, 159));
    EXPECT_EQ(At(Cluster().GetBatteryImageR()), SPoint(152, 159));
    EXPECT_EQ(At(Cluster().GetBatteryLabelL()), SPoint(47, 192));
    EXPECT_EQ(At(Cluster().GetBatteryLabelR()), SPoint(141, 192));

    // Both earbuds out of the case: hidden again, the pair centred.
    Report(Status(90, 40, 35, 1, 1, 259));
    EXPECT_EQ(Cluster().IsCaseHidden(), 1);
    EXPECT_EQ(Cluster().GetCaseImage().GetOwnVisible(), 0);
    EXPECT_EQ(Cluster().GetCaseBatteryLabel().GetOwnVisible(), 0);
    EXPECT_EQ(At(Cluster().GetEarBudsImage()), SPoint((408 - 182) / 2, 64));
}

TEST_F(DeviceClusterTest, ACaseGroupWithMergedLevelsPutsTheSharedIndicatorUnderThePair) {
    Cluster().SetDevice("Auralis2", "VX-R175");
    // Right in the case (not dimmed), levels close: merged and the case shown.
    Report(Status(50, 55, 80, 1, 3, 260));
    EXPECT_EQ(Cluster().IsMerged(), 1);
    EXPECT_EQ(Cluster().IsCaseHidden(), 0);
    EXPECT_EQ(At(Cluster().GetBatteryImageL()), SPoint(29 + 85 - 9, 159));
    EXPECT_EQ(Cluster().GetBatteryLabelL().GetText(), "50%");
}

TEST_F(DeviceClusterTest, AStrayColourCodeShowsTheWhitePictures) {
    Cluster().SetDevice("Auralis2", "VX-R175");
    Report(Status(70, 20, 50, 1, 1, 300));
    const int white = 4 * kWhiteSlot;
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(white));
    EXPECT_EQ(Cluster().GetCaseImage().GetImage(), Cluster().GetDevicePicture(white + 3));
}

TEST_F(DeviceClusterTest, AFirstGenerationPairShowsItsSinglePictureAndTwoLevelsOnly) {
    // A second-generation pair with its case open first, so every flag is set ...
    Cluster().SetDevice("Auralis2", "VX-R175");
    Report(Status(70, 72, 50, 3, 1, 258));
    ASSERT_EQ(Cluster().IsMerged(), 1);
    // ... then a first-generation pair: no case group, no merging, no dimming.
    Cluster().SetDevice("Auralis", "VX-R170");
    Report(Status(70, 72, 50, 0, 3, 258));
    EXPECT_EQ(Cluster().GetNameLabel().GetText(), "Auralis");
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(36));
    EXPECT_EQ(Cluster().GetEarBudsImage().GetSize(), SSize(171, 65));
    EXPECT_EQ(At(Cluster().GetEarBudsImage()), SPoint((408 - 171) / 2.0, 89));
    EXPECT_EQ(Cluster().GetBatteryLabelL().GetText(), "70%");
    EXPECT_EQ(Cluster().GetBatteryLabelR().GetText(), "72%");
    EXPECT_EQ(Cluster().GetBatteryImageR().GetOwnVisible(), 1);
    EXPECT_EQ(Cluster().GetCaseImage().GetOwnVisible(), 0);
    EXPECT_EQ(Cluster().GetBatteryImageL().GetImage(), Cluster().GetBatteryPicture(3));

    // Another model still uses the single picture, at the second generation's height.
    Cluster().SetDevice("Auralis X", "VX-R999");
    Report(Status(5, 100, 0, 1, 1, 258));
    EXPECT_EQ(Cluster().GetEarBudsImage().GetImage(), Cluster().GetDevicePicture(36));
    EXPECT_EQ(At(Cluster().GetEarBudsImage()).y, 64);
    EXPECT_EQ(Cluster().GetBatteryImageL().GetImage(), Cluster().GetBatteryPicture(0));
}

TEST_F(DeviceClusterTest, TheClusterPaintsWhiteAndTheNameIsCentred) {
    Cluster().SetDevice("Auralis2 (Blue)", "VX-R175");
    home.SetVisible(1);
    Advance(600);
    const SRect name = Cluster().GetNameLabel().GetRect(SWindowBase::kRectInParent, 0);
    EXPECT_NEAR((name.left + name.right) / 2, 204, 1);
    EXPECT_EQ(PresentedPixel(5, 5), 0xFFFFFFFFu);
}

// In Arabic the home screen mirrors, save the pictures of the left and right earbud, which stay
// on their physical sides with their batteries; the firmware panel's progress row changes
// sides and a size keeps its order inside the Arabic caption.
TEST_F(DeviceClusterTest, InARightToLeftLanguageTheBudsKeepTheirSidesWhileTheRestMirrors) {
    auto frameRect = [](SWindowBase& widget) {
        return widget.GetRect(SWindowBase::kRectInFrame, 0);
    };
    SFirmwareUpdateView& firmware = home.GetFirmwareUpdateView();
    Cluster().SetDevice("Auralis2 (Blue)", "VX-R175");
    Report(Status(80, 20, 60, 1, 1, 258));
    firmware.OnFlowPhaseChange(FirmwareUpdateFlow::PH_DOWNLOAD);
    firmware.OnFlowDownloadProgress(42, 126000);
    Advance(100);
    const SRect leftBattery = frameRect(Cluster().GetBatteryImageL());
    const SRect rightBattery = frameRect(Cluster().GetBatteryImageR());
    const SRect leftLevel = frameRect(Cluster().GetBatteryLabelL());
    const SRect percent = frameRect(firmware.GetPercentLabel());
    const SRect counter = frameRect(firmware.GetCounterLabel());
    ASSERT_LT(leftBattery.left, rightBattery.left);

    struct EnglishAgainAfterwards {
        ~EnglishAgainAfterwards() { SFontTable::Instance().SetLanguage("en-US"); }
    } english;
    SFontTable::Instance().SetLanguage("ar-AE");
    Advance(100);
    EXPECT_EQ(frameRect(Cluster().GetBatteryImageL()), leftBattery);
    EXPECT_EQ(frameRect(Cluster().GetBatteryImageR()), rightBattery);
    EXPECT_EQ(frameRect(Cluster().GetBatteryLabelL()), leftLevel);
    EXPECT_EQ(Cluster().GetBatteryLabelL().GetText(), "80%");
    // The progress row: each label where the other side's mirror image puts it.
    const double width = 408;
    EXPECT_DOUBLE_EQ(frameRect(firmware.GetPercentLabel()).left, width - percent.right);
    EXPECT_DOUBLE_EQ(frameRect(firmware.GetCounterLabel()).right, width - counter.left);

    FirmwareOffer offer;
    offer.currentVersion = "1.5.0";
    offer.newVersion = "2.2.0";
    offer.sizeText = "98 KB";
    offer.offered = offer.newer = true;
    firmware.ShowOffer(offer);
    Advance(100);
    const std::string mark = "\u200E";
    EXPECT_NE(firmware.GetSizeLabel().GetText().find(mark + "98 KB" + mark), std::string::npos)
        << firmware.GetSizeLabel().GetText();
}

}  // namespace
}  // namespace app_test
