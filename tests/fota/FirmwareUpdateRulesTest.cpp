// The small rules the update flow stands on: version text order, the current version of a pair,
// the start checks, the release-notes language and the download file name.

#include <gtest/gtest.h>

#include <string>

#include "fota/DownloadFilePath.h"
#include "fota/FirmwareVersionText.h"
#include "fota/ReleaseNotesLanguage.h"
#include "fota/UpdateStartCheck.h"
#include "services/SUtil.h"

using fota::UpdateStart;

TEST(FirmwareVersionTextTest, ComparesAsTextAfterTrimming) {
    EXPECT_TRUE(fota::isNewerVersion("V10C", "V10B"));
    EXPECT_FALSE(fota::isNewerVersion("V10B", "V10C"));
    EXPECT_FALSE(fota::isNewerVersion("V10B", "V10B"));
    // Character by character: "V10" is not newer than "V9".
    EXPECT_FALSE(fota::isNewerVersion("V10", "V9"));
    EXPECT_TRUE(fota::isNewerVersion("V9", "V10"));
    // One normalisation for both sides: surrounding blanks do not count, letter case does.
    EXPECT_FALSE(fota::isNewerVersion(" V10B\n", "V10B"));
    EXPECT_TRUE(fota::isNewerVersion(" V10C ", "\tV10B"));
    EXPECT_TRUE(fota::isNewerVersion("v10b", "V10B"));
    // Anything is newer than nothing (the guest rule relies on it); nothing is newer than nothing.
    EXPECT_TRUE(fota::isNewerVersion("1.0", ""));
    EXPECT_FALSE(fota::isNewerVersion("", ""));
    EXPECT_FALSE(fota::isNewerVersion("   ", ""));
    // Beyond ASCII the order is that of the code points.
    EXPECT_TRUE(fota::isNewerVersion("1.\xc3\xa9", "1.z"));
}

TEST(FirmwareVersionTextTest, CurrentVersionOfAPairIsTheLowerOne) {
    EXPECT_EQ(fota::currentVersionOf("", "B"), "B");
    EXPECT_EQ(fota::currentVersionOf("A", "B"), "A");
    EXPECT_EQ(fota::currentVersionOf("C", "B"), "B");
    EXPECT_EQ(fota::currentVersionOf("B", "B"), "B");
    // A bud that has not reported must not hide the other's version.
    EXPECT_EQ(fota::currentVersionOf("A", ""), "A");
    EXPECT_EQ(fota::currentVersionOf("", ""), "");
}

TEST(UpdateStartCheckTest, BatteriesWearingAndTheFailedTransfer) {
    const std::string second = "VX-R175";
    EXPECT_EQ(fota::checkUpdateStart(second, 16, 16, 0x11, 1), UpdateStart::Ready);
    EXPECT_EQ(fota::checkUpdateStart(second, 15, 90, 0x11, 1), UpdateStart::BatteryLow);
    EXPECT_EQ(fota::checkUpdateStart(second, 90, 3, 0x11, 1), UpdateStart::BatteryLow);
    // Wearing: either nibble 0 or 4 means a bud is not connected; 1, 2 and 3 are fine.
    for (const int wearing : {0x01, 0x10, 0x41, 0x14, 0x00, 0x44}) {
        EXPECT_EQ(fota::checkUpdateStart(second, 80, 80, wearing, 1), UpdateStart::NotWorn)
            << wearing;
    }
    for (const int wearing : {0x11, 0x12, 0x23, 0x33, 0x31}) {
        EXPECT_EQ(fota::checkUpdateStart(second, 80, 80, wearing, 1), UpdateStart::Ready)
            << wearing;
    }
    // The wearing test comes first; the first generation skips it.
    EXPECT_EQ(fota::checkUpdateStart(second, 5, 5, 0x40, 1), UpdateStart::NotWorn);
    EXPECT_EQ(fota::checkUpdateStart("VX-R170", 80, 80, 0x00, 1), UpdateStart::Ready);
    // After a failed transfer the caller asks about sending again; the battery still comes first.
    EXPECT_EQ(fota::checkUpdateStart(second, 80, 80, 0x11, 0), UpdateStart::AskResend);
    EXPECT_EQ(fota::checkUpdateStart(second, 10, 80, 0x11, 0), UpdateStart::BatteryLow);
}

TEST(ReleaseNotesLanguageTest, MapsCultureNamesToNotesKeys) {
    EXPECT_EQ(fota::releaseNotesKey("es-MX"), "ESP_LAT");
    EXPECT_EQ(fota::releaseNotesKey("es-ES"), "ESP");
    EXPECT_EQ(fota::releaseNotesKey("zh-HK"), "TWN");
    EXPECT_EQ(fota::releaseNotesKey("zh-TW"), "TWN");
    EXPECT_EQ(fota::releaseNotesKey("zh-CN"), "CHN");
    EXPECT_EQ(fota::releaseNotesKey("vi-VN"), "VNM");
    for (const char* other : {"ko-KR", "en-GB", "pt-BR", "en-US", "", "ES-MX", "es-mx"}) {
        EXPECT_EQ(fota::releaseNotesKey(other), "ENG") << other;
    }
    const std::map<std::string, std::string> notes = {{"ESP", "es"}, {"ESP_LAT", "lat"}};
    EXPECT_EQ(fota::releaseNotesFor(notes, "es-MX"), "lat");
    // A missing key gives empty notes.
    EXPECT_EQ(fota::releaseNotesFor(notes, "de-DE"), "");
}

TEST(DownloadFilePathTest, TheNameAfterFileIsOnePlainNameInTheTemporaryFolder) {
    const std::string base = "http://127.0.0.1:8/firmware/download?model=M&version=2";
    EXPECT_EQ(fota::safePackageFileName(base + "&file=Auralis_M_2.bin"), "Auralis_M_2.bin");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=a.bin&x=1#frag"), "a.bin");
    // Without "&file=" or with nothing usable after it: no name.
    EXPECT_EQ(fota::safePackageFileName(base), "");
    EXPECT_EQ(fota::safePackageFileName(base + "&file="), "");
    EXPECT_EQ(fota::safePackageFileName("?file=a.bin"), "");
    // Hostile names never leave the folder and never hide.
    EXPECT_EQ(fota::safePackageFileName(base + "&file=../../etc/passwd"), "passwd");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=..\\..\\x.bin"), "x.bin");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=/abs/x.bin"), "x.bin");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=.."), "");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=a/.."), "");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=.hidden"), "hidden");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=%2e%2e%2fx"), "_2e_2e_2fx");
    EXPECT_EQ(fota::safePackageFileName(base + "&file=a b;$(rm).bin"), "a_b___rm_.bin");
    const std::string longName =
        fota::safePackageFileName(base + "&file=" + std::string(5000, 'x'));
    EXPECT_EQ(longName, std::string(fota::kMaxPackageFileNameLength, 'x'));

    const std::string folder = SUtil::GetUserTempFolder();
    EXPECT_EQ(fota::GetDownLoadFilePath(base + "&file=../a.bin", true), folder + "/a.bin.temp");
    EXPECT_EQ(fota::GetDownLoadFilePath(base + "&file=../a.bin", false), folder + "/a.bin");
    // No name: the temporary file is ".temp" inside the folder.
    EXPECT_EQ(fota::GetDownLoadFilePath(base, true), folder + "/.temp");
}

TEST(DownloadFilePathTest, EachPairKeepsItsOwnPackageAndEveryAddressGivesAName) {
    const std::string url = "https://updates.example/fw?model=VX-R175&file=Auralis_9.9.9.bin";
    // Two pairs updated at once from the same address never share a file.
    const std::string first = fota::packageFileName(url, "VX-R175", "9.9.9", 0x705AB6014F2Aull);
    const std::string second = fota::packageFileName(url, "VX-R175", "9.9.9", 0x705AB60077A0ull);
    EXPECT_EQ(first, "705AB6014F2A-Auralis_9.9.9.bin");
    EXPECT_NE(first, second);
    // An address that names no file: model and version, made as plain as any other name.
    EXPECT_EQ(fota::packageFileName("https://updates.example/pkg/77", "VX-R170", "1.5.0", 1),
              "000000000001-Auralis_VX-R170_1.5.0.bin");
    EXPECT_EQ(fota::packageFileName("https://x/?a=1&file=", "M/../..", "", 2),
              "000000000002-_.bin");
    EXPECT_EQ(fota::packageFilePath("n.bin", true), SUtil::GetUserTempFolder() + "/n.bin.temp");
}
