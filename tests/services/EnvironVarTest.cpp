#include "services/EnvironVar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "auralis/Version.h"
#include "platform/Paths.h"
#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;

TEST(EnvironVarTest, LanguageFromLocaleValues) {
    const struct {
        const char* locale;
        const char* language;
    } cases[] = {
        {"ko_KR.UTF-8", "ko-KR"}, {"zh_CN.GB2312", "zh-CN"}, {"es_MX", "es-MX"},
        {"de_DE@euro", "de-DE"},  {"pt_br.utf8", "pt-BR"},   {"C", "en-US"},
        {"POSIX", "en-US"},       {"C.UTF-8", "en-US"},      {"", "en-US"},
        {"de", "de-DE"},          {"fr-FR", "fr-FR"},        {"../x", "en-US"},
        {"zh_HK.UTF-8", "zh-HK"}, {"zh_TW.Big5", "zh-TW"},   {"es_MX.UTF-8", "es-MX"},
        {"ar", "ar-AE"},          {"he", "he-IL"},           {"iw_IL.UTF-8", "he-IL"},
        {"ar_EG.UTF-8", "ar-EG"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EnvironVar::LanguageFromLocale(c.locale), c.language) << c.locale;
    }
}

TEST(EnvironVarTest, LanguagePrefersOwnVariableThenLocaleOrder) {
    const ScopedEnv all("LC_ALL", "");
    const ScopedEnv messages("LC_MESSAGES", "");
    const ScopedEnv lang("LANG", "");
    EXPECT_EQ(EnvironVar::GetLanguage(), "en-US");
    {
        const ScopedEnv lang2("LANG", "ja_JP.UTF-8");
        EXPECT_EQ(EnvironVar::GetLanguage(), "ja-JP");
        const ScopedEnv messages2("LC_MESSAGES", "it_IT.UTF-8");
        EXPECT_EQ(EnvironVar::GetLanguage(), "it-IT");
        const ScopedEnv all2("LC_ALL", "tr_TR.UTF-8");
        EXPECT_EQ(EnvironVar::GetLanguage(), "tr-TR");
        const ScopedEnv own("AURALIS_LANG", "ko-KR");
        EXPECT_EQ(EnvironVar::GetLanguage(), "ko-KR");
    }
}

TEST(EnvironVarTest, InstallPathAndVersion) {
    EXPECT_EQ(EnvironVar::GetInstallPath(), platform::paths::executableFolder().string());
    EXPECT_NE(EnvironVar::GetInstallPath().back(), '/');
    std::string expected = AURALIS_VERSION;
    std::replace(expected.begin(), expected.end(), '_', '.');
    EXPECT_EQ(EnvironVar::GetLocalVer(), expected);
    const ScopedEnv local("AURALIS_LOCAL_VERSION", "1_0_0_4");
    EXPECT_EQ(EnvironVar::GetLocalVer(), "1.0.0.4");
}

class EnvironVarFlagsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_user = std::make_unique<ScopedEnv>("AURALIS_CONFIG_DIR",
                                             testing_support::makeTempFolder("flags").string());
        EnvironVar::Reload();
    }
    void TearDown() override {
        m_user.reset();
        EnvironVar::Reload();
    }
    std::unique_ptr<ScopedEnv> m_user;
};

TEST_F(EnvironVarFlagsTest, DefaultsOnFirstStart) {
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 1);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 0);
    EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 1);
    EXPECT_EQ(EnvironVar::GetLastTimeUpdateFW(), 0u);
    EXPECT_EQ(EnvironVar::IsSupportGuest(), 0);
    EXPECT_EQ(EnvironVar::IsSupportMultiPopup(), 1);
}

TEST_F(EnvironVarFlagsTest, FlagsSurviveARestart) {
    EnvironVar::SetIsNotifyUpdate(0);
    EnvironVar::SetIsNotifyUpdateFW(1);
    EnvironVar::SetUpdateFWStatus(0);
    EnvironVar::SetLastTimeUpdateFW(4000000000u);  // beyond a signed 32-bit value
    EnvironVar::SetSupportGuest(1);
    EnvironVar::SetSupportMultiPopup(0);
    EnvironVar::Reload();
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 0);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdateFW(), 1);
    EXPECT_EQ(EnvironVar::GetUpdateFWStatus(), 0);
    EXPECT_EQ(EnvironVar::GetLastTimeUpdateFW(), 4000000000u);
    EXPECT_EQ(EnvironVar::IsSupportGuest(), 1);
    EXPECT_EQ(EnvironVar::IsSupportMultiPopup(), 0);
    // Only the file is written; nothing half-written stays beside it.
    const fs::path folder = platform::paths::userFolder();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "flags.json");
    }
    EXPECT_EQ(files, 1);
}

TEST_F(EnvironVarFlagsTest, UnreadableFlagsFileGivesDefaults) {
    std::ofstream(platform::paths::userFolder() / "flags.json") << "{\"notify\": 0, broken";
    EnvironVar::Reload();
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 1);
    EXPECT_EQ(EnvironVar::IsSupportMultiPopup(), 1);
    EnvironVar::SetSupportGuest(1);  // repairs the file
    EnvironVar::Reload();
    EXPECT_EQ(EnvironVar::IsSupportGuest(), 1);
    EXPECT_EQ(EnvironVar::GetIsNotifyUpdate(), 1);
}

}  // namespace
