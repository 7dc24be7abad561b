#include "updater/InstallerFileName.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "updater/SGUIMain.h"

using updater::InstallerFileName;

TEST(InstallerFileNameTest, TakesEverythingFromTheMarkerOn) {
    EXPECT_EQ(InstallerFileName::FromAddress(
                  "http://127.0.0.1:8080/app/download/LumoraAuralisManagerSetup-1.2.0.sh"),
              "LumoraAuralisManagerSetup-1.2.0.sh");
    // Without the marker the whole address is the name, reduced to its last part.
    EXPECT_EQ(InstallerFileName::FromAddress("https://example.invalid/dl/setup-1.2.sh"),
              "setup-1.2.sh");
}

TEST(InstallerFileNameTest, HostileNamesStayPlainNamesInsideTheFolder) {
    // A query string or fragment is not part of the name.
    EXPECT_EQ(InstallerFileName::FromAddress("https://h/LumoraSetup.sh?x=/../../etc/passwd#a/b"),
              "LumoraSetup.sh");
    // Folders after the marker are dropped, so ".." cannot climb out.
    EXPECT_EQ(InstallerFileName::FromAddress("https://h/Lumora/../../../home/user/.bashrc"),
              "bashrc");
    EXPECT_EQ(InstallerFileName::FromAddress("https://h/Lumora\\..\\..\\evil.sh"), "evil.sh");
    EXPECT_EQ(InstallerFileName::FromAddress("https://h/Lumora/.."), InstallerFileName::kFallback);
    EXPECT_EQ(InstallerFileName::FromAddress("https://h/Lumora/"), InstallerFileName::kFallback);
    EXPECT_EQ(InstallerFileName::FromAddress(""), InstallerFileName::kFallback);
    EXPECT_EQ(InstallerFileName::FromAddress("https://h/Lumora Setup $(rm -rf ~);.sh"),
              "Lumora_Setup___rm_-rf____.sh");
    const std::string name =
        InstallerFileName::FromAddress("https://h/Lumora" + std::string(5000, 'x') + ".sh");
    EXPECT_EQ(name.size(), InstallerFileName::kMaxLength);
    EXPECT_EQ(name.find('/'), std::string::npos);
}

TEST(UpdateClientArgumentsTest, ReadsSeparateArgumentsAndOneQuotedText) {
    const std::vector<std::string> separate = {"/v", "1.2.3", "/u",
                                               "http://127.0.0.1:1/LumoraA.sh"};
    EXPECT_EQ(updater::SGUIMain::ReadArgument(separate, "/v"), "1.2.3");
    EXPECT_EQ(updater::SGUIMain::ReadArgument(separate, "/u"), "http://127.0.0.1:1/LumoraA.sh");

    const std::vector<std::string> oneText = {"/v \"1.2.3\" /u \"http://127.0.0.1:1/Lumora A.sh\""};
    EXPECT_EQ(updater::SGUIMain::ReadArgument(oneText, "/v"), "1.2.3");
    EXPECT_EQ(updater::SGUIMain::ReadArgument(oneText, "/u"), "http://127.0.0.1:1/Lumora A.sh");

    // Quoted values in arguments of their own, as a shell passes '"1.2.3"'.
    const std::vector<std::string> quoted = {"/v", "\"1.2.3\"", "/u", "\"http://x/LumoraB.sh\""};
    EXPECT_EQ(updater::SGUIMain::ReadArgument(quoted, "/v"), "1.2.3");
    EXPECT_EQ(updater::SGUIMain::ReadArgument(quoted, "/u"), "http://x/LumoraB.sh");

    EXPECT_EQ(updater::SGUIMain::ReadArgument({"/v", "1.2.3", "/u"}, "/u"), "");
    EXPECT_EQ(updater::SGUIMain::ReadArgument({}, "/v"), "");
}

TEST(UpdateClientArgumentsTest, InstallFolderMustExistAndBeWritable) {
    EXPECT_TRUE(updater::SGUIMain::IsFolderWritable(std::getenv("AURALIS_TEMP_DIR")));
    EXPECT_FALSE(updater::SGUIMain::IsFolderWritable("/nonexistent/auralis"));
    EXPECT_FALSE(updater::SGUIMain::IsFolderWritable(""));
}
