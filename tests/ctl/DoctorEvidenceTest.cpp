// What the doctor and the report read from files: the programs' connect attempts in their logs,
// and the settings as a report shows them.

#include <gtest/gtest.h>

#include "ctl/ConnectHistory.h"
#include "ctl/ReportSettings.h"

namespace {

using ctl::ConnectHistory;

const char* const kCtlLog =
    "2026-12-09 06:00:00 [1] INFO BluetoothHandle::connectProcedure(114) Connecting device "
    "[Auralis (77A0)]....\n"
    "2026-12-09 06:00:05 [1] INFO BluetoothHandle::connectProcedure(132) Connect Ret = 111\n"
    "2026-12-09 06:00:05 [1] WARNING BluetoothHandle::connectProcedure(134) Connect "
    "Error:[111] [Connection refused] service [00001102-0000-1000-8000-00805F9B34FD]\n"
    "2026-12-09 06:10:00 [1] INFO BluetoothHandle::connectProcedure(114) Connecting device "
    "[Auralis+ (4F2A)]....\n"
    "2026-12-09 06:10:01 [1] INFO BluetoothHandle::connectProcedure(132) Connect Ret = 0\n";

const char* const kAppLog =
    "2026-12-09 06:05:00 [1] INFO BluetoothHandle::connectProcedure(114) Connecting device "
    "[Auralis (77A0)]....\n"
    "2026-12-09 06:05:09 [1] INFO BluetoothHandle::connectProcedure(132) Connect Ret = 0\n"
    // An attempt whose outcome the log never got to (the program ended) counts for nothing.
    "2026-12-09 06:20:00 [1] INFO BluetoothHandle::connectProcedure(114) Connecting device "
    "[Auralis+ (4F2A)]....\n";

TEST(ConnectHistoryTest, TheLatestFinishedAttemptOfEachPairAcrossPrograms) {
    ConnectHistory history;
    history.addLog("auralis-ctl", kCtlLog);
    history.addLog("AuralisManager", kAppLog);

    const auto first = history.lastFor("Auralis (77A0)");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->program, "AuralisManager");
    EXPECT_EQ(first->code, 0);
    EXPECT_EQ(first->time, "2026-12-09 06:05:09");

    const auto plus = history.lastFor("Auralis+ (4F2A)");
    ASSERT_TRUE(plus);
    EXPECT_EQ(plus->program, "auralis-ctl");
    EXPECT_EQ(plus->code, 0);
    EXPECT_FALSE(history.lastFor("Auralis (0000)"));

    ConnectHistory failed;
    failed.addLog("auralis-ctl", kCtlLog);
    const auto refused = failed.lastFor("Auralis (77A0)");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code, 111);
    EXPECT_EQ(refused->text, "Connection refused");
    EXPECT_NE(ConnectHistory::plainWords(refused->code).find("serial-port"), std::string::npos);
}

TEST(ConnectHistoryTest, BrokenLinesAreSkipped) {
    ConnectHistory history;
    history.addLog("auralis-ctl",
                   "Connecting device [\nConnect Ret = x\nConnect Error:[\n"
                   "2026 Connecting device [A]....\n2026 Connect Ret = 5\n2026 Connect Error:[5\n");
    const auto attempt = history.lastFor("A");
    ASSERT_TRUE(attempt);
    EXPECT_EQ(attempt->code, 5);
    EXPECT_EQ(attempt->text, "");
}

TEST(ReportSettingsTest, SecretsCredentialsQueriesAndTheHomeFolderStayOut) {
    const std::string xml =
        "<Setting><Section name=\"Update\">"
        "<Item key=\"ServerUrl\" value=\"https://u:pw@host.example:8443/a/b?token=1#x\"/>"
        "<Item key=\"DownloadPage\" value=\"https://host.example/get\"/>"
        "<Item key=\"PassWord\" value=\"pw\"/>"
        "<Item key=\"Folder\" value=\"/home/ana/Music\"/>"
        "</Section></Setting>";
    const std::string out = ctl::reportSettings(xml, "/home/ana");
    EXPECT_NE(out.find("value=\"https://host.example:8443/a/b\""), std::string::npos) << out;
    EXPECT_NE(out.find("value=\"https://host.example/get\""), std::string::npos) << out;
    EXPECT_NE(out.find("key=\"PassWord\" value=\"(removed)\""), std::string::npos) << out;
    EXPECT_NE(out.find("value=\"~/Music\""), std::string::npos) << out;
    for (const char* gone : {"u:pw", "token=1", "#x", "/home/ana"}) {
        EXPECT_EQ(out.find(gone), std::string::npos) << gone;
    }
    EXPECT_NE(out.find("<Section name=\"Update\">"), std::string::npos);
}

}  // namespace
