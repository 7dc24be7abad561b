#include "services/SUtil.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

int sign(int value) {
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

TEST(SUtilTest, CompareVersionOrdersPartsAsNumbers) {
    const struct {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"1.0.0.5", "1.0.0.4", 1},
        {"1.0.10", "1.0.9", 1},
        {"1.0.9", "1.0.10", -1},
        {"2.0", "10.0", -1},
        {"1.2.3", "1.2.3", 0},
        {"1.0", "1.0.0", 0},  // a missing part counts as 0
        {"1.0.1", "1.0", 1},
        {"01.002", "1.2", 0},                      // leading zeros do not matter
        {"1.0.99999999999999999999", "1.0.9", 1},  // longer than any integer type
        {"", "0.0.1", -1},                         // empty is older than any
        {"0", "", 1},
        {"", "", 0},
        {" 1.2 ", "1.2", 0},
        {"V10C", "V10B", 1},  // text runs compare as text
        {"v10b", "V10B", 0},
        {"V9", "V10", -1},     // digit runs inside a part compare as numbers
        {"1.0a", "1.0", 1},    // a longer part is newer
        {"1.1", "1.beta", 1},  // a number is newer than text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(SUtil::CompareVersion(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(sign(SUtil::CompareVersion(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(SUtilTest, GetTokenCountCountsParts) {
    EXPECT_EQ(SUtil::GetTokenCount("1.0.0.5", '.'), 4);
    EXPECT_EQ(SUtil::GetTokenCount("105", '.'), 1);
    EXPECT_EQ(SUtil::GetTokenCount("", '.'), 0);
    EXPECT_EQ(SUtil::GetTokenCount("a..b", '.'), 3);
}

TEST(SUtilTest, GetArgvValueHandlesQuotesAndSpaces) {
    const std::string line = R"(/v "1.2.0" /u "https://updates.example/Lumora setup 1.2.bin?x=1")";
    EXPECT_EQ(SUtil::GetArgvValue(line, "/v"), "1.2.0");
    EXPECT_EQ(SUtil::GetArgvValue(line, "/u"), "https://updates.example/Lumora setup 1.2.bin?x=1");
    EXPECT_EQ(SUtil::GetArgvValue(line, "/U"), "https://updates.example/Lumora setup 1.2.bin?x=1");
    EXPECT_EQ(SUtil::GetArgvValue(line, "/z"), "");

    EXPECT_EQ(SUtil::GetArgvValue("  /v   1.2  /u  http://x  ", "/v"), "1.2");  // unquoted
    EXPECT_EQ(SUtil::GetArgvValue(R"(/v"1.3" /u"a b")", "/v"), "1.3");          // glued
    EXPECT_EQ(SUtil::GetArgvValue(R"(/v"1.3" /u"a b")", "/u"), "a b");
    EXPECT_EQ(SUtil::GetArgvValue("/v", "/v"), "");                             // last word
    EXPECT_EQ(SUtil::GetArgvValue("/v /u \"x\"", "/v"), "");                    // no value
    EXPECT_EQ(SUtil::GetArgvValue(R"(/v "" /u "x")", "/v"), "");                // empty value
    EXPECT_EQ(SUtil::GetArgvValue(R"(/v "/opt/a b" /u x)", "/v"), "/opt/a b");  // quoted path
    EXPECT_EQ(SUtil::GetArgvValue(R"("/v" 1.2)", "/v"),
              "");  // a quoted word is a value, not a switch
    EXPECT_EQ(SUtil::GetArgvValue(R"(/v "1.2)", "/v"), "1.2");  // unterminated quote
    EXPECT_EQ(SUtil::GetArgvValue("", "/v"), "");

    const std::vector<std::string> args = {"/v", "1.2.0", "/u", "https://x/a b.bin"};
    EXPECT_EQ(SUtil::GetArgvValue(args, "/v"), "1.2.0");
    EXPECT_EQ(SUtil::GetArgvValue(args, "/u"), "https://x/a b.bin");
    EXPECT_EQ(SUtil::GetArgvValue(std::vector<std::string>{"/v"}, "/v"), "");
}

TEST(SUtilTest, SizeTextsForPeople) {
    EXPECT_EQ(SUtil::GetStringSizeFromByte(0), "0 B");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(512), "512 B");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(1024), "1 KB");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(1536), "1.5 KB");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(820 * 1024), "820 KB");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(1572864), "1.5 MB");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(12 * 1024 * 1024 + 300000), "12 MB");
    EXPECT_EQ(SUtil::GetStringSizeFromByte(1024 * 1024 - 10), "1 MB");  // not "1024 KB"
    EXPECT_EQ(SUtil::GetStringSizeFromByte(5ull * 1024 * 1024 * 1024 / 2), "2.5 GB");
    std::string out;
    SUtil::GetStringSizeFromByte(2048, out);
    EXPECT_EQ(out, "2 KB");
    EXPECT_EQ(SUtil::GetFileLengthString(1.5 * 1024 * 1024), "1.5 MB");
    EXPECT_EQ(SUtil::GetFileLengthString(-3), "0 B");
}

TEST(SUtilTest, FoldersAreCreatedPrivate) {
    const fs::path base = testing_support::makeTempFolder("folders");
    const ScopedEnv user("AURALIS_CONFIG_DIR", (base / "user" / "deeper").string());
    const ScopedEnv temp("AURALIS_TEMP_DIR", (base / "tmp/").string());
    const std::string userFolder = SUtil::GetUserFolder();
    const std::string tempFolder = SUtil::GetUserTempFolder();
    EXPECT_EQ(userFolder, (base / "user" / "deeper").string());
    EXPECT_EQ(tempFolder, (base / "tmp").string());  // no trailing separator
    for (const std::string& folder : {userFolder, tempFolder}) {
        struct stat info {};
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_TRUE(SUtil::FileExist(userFolder));
    EXPECT_FALSE(SUtil::FileExist(userFolder + "/nothing"));
    EXPECT_FALSE(SUtil::FileExist(""));
}

TEST(SUtilTest, OfflineCanBeForced) {
    const ScopedEnv offline("AURALIS_OFFLINE", "1");
    EXPECT_EQ(SUtil::IsNetWorkConnectionCheck(), 0);
}

}  // namespace
