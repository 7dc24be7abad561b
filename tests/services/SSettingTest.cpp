#include "services/SSetting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SSettingTest : public ::testing::Test {
protected:
    void SetUp() override { m_path = testing_support::makeTempFolder("setting") / "setting.xml"; }
    fs::path m_path;
};

TEST_F(SSettingTest, FirstStartWritesAnEmptyUpdateSection) {
    SSetting setting;
    EXPECT_TRUE(setting.Load(m_path.string(), 0));
    ASSERT_TRUE(fs::exists(m_path));
    SettingChild* update = setting.GetSettingChild("Update");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->GetValue("LastVersion"), "");
    EXPECT_EQ(setting.GetSettingChild("Other"), nullptr);

    SSetting again;
    EXPECT_TRUE(again.Load(m_path.string(), 0));
    EXPECT_NE(again.GetSettingChild("Update"), nullptr);
}

TEST_F(SSettingTest, ValuesRoundTripThroughTheFile) {
    {
        SSetting setting;
        setting.Load(m_path.string(), 0);
        SettingChild* update = setting.GetSettingChild("Update");
        ASSERT_NE(update, nullptr);
        EXPECT_TRUE(update->Update("LastVersion", "1.2.0"));
        EXPECT_TRUE(update->Update("ReCheck", "1"));
        EXPECT_FALSE(update->Update("", "ignored"));
        SettingChild* other = setting.AddSettingChild("Odd <name> & \"quotes\"");
        other->Update("key with spaces", "<value> & 'text' \"ü\" 한국어\nsecond line");
        EXPECT_TRUE(setting.Save());
    }
    SSetting loaded;
    ASSERT_TRUE(loaded.Load(m_path.string(), 0));
    EXPECT_EQ(loaded.GetSettingChild("Update")->GetValue("LastVersion"), "1.2.0");
    EXPECT_EQ(loaded.GetSettingChild("Update")->GetValue("ReCheck"), "1");
    SettingChild* other = loaded.GetSettingChild("Odd <name> & \"quotes\"");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->GetValue("key with spaces"), "<value> & 'text' \"ü\" 한국어\nsecond line");
    // The save left nothing beside the file.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_path.parent_path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SSettingTest, MalformedFileLoadsEmptyAndIsNotOverwritten) {
    const std::string broken =
        "<Setting><Section name=\"Update\"><Item key=\"ReCheck\" value=\"1\"";
    for (const std::string& content : {broken, std::string("<Other/>"), std::string()}) {
        SCOPED_TRACE(content);
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << content;
        SSetting setting;
        EXPECT_FALSE(setting.Load(m_path.string(), 0));
        EXPECT_EQ(setting.GetSettingChild("Update"), nullptr);
        EXPECT_EQ(readFile(m_path), content);
        setting.ExitSetting();
        EXPECT_EQ(readFile(m_path), content);
    }
    // Saving after a failed load keeps the bad file aside before replacing it.
    std::ofstream(m_path, std::ios::binary | std::ios::trunc) << broken;
    SSetting setting;
    setting.Load(m_path.string(), 0);
    setting.AddSettingChild("Update")->Update("ReCheck", "0");
    EXPECT_TRUE(setting.Save());
    EXPECT_EQ(readFile(m_path.string() + ".bad"), broken);
    SSetting reloaded;
    ASSERT_TRUE(reloaded.Load(m_path.string(), 0));
    EXPECT_EQ(reloaded.GetSettingChild("Update")->GetValue("ReCheck"), "0");
}

TEST_F(SSettingTest, ExitSettingDoesNotSaveAndKeepsSectionsUsable) {
    SSetting setting;
    setting.Load(m_path.string(), 0);
    const std::string before = readFile(m_path);
    SettingChild* update = setting.GetSettingChild("Update");
    update->Update("LastVersion", "9.9");
    setting.ExitSetting();
    EXPECT_EQ(readFile(m_path), before);
    EXPECT_EQ(update->GetValue("LastVersion"), "");  // still a valid object, now empty
    EXPECT_EQ(setting.GetSettingChild("Update"), nullptr);
    EXPECT_FALSE(setting.Save());  // nothing loaded: nowhere to save

    // A reload hands out the same section object again.
    setting.Load(m_path.string(), 0);
    EXPECT_EQ(setting.GetSettingChild("Update"), update);
}

TEST_F(SSettingTest, ConcurrentReadersAndWriters) {
    SSetting setting;
    setting.Load(m_path.string(), 0);
    SettingChild* update = setting.GetSettingChild("Update");
    update->Update("ReCheck", "0");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0) {
                    update->Update("ReCheck", std::to_string(i % 2));
                } else if (t == 1 && i % 50 == 0) {
                    setting.Save();
                } else {
                    const std::string value = update->GetValue("ReCheck");
                    EXPECT_TRUE(value == "0" || value == "1") << value;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    SSetting reloaded;
    ASSERT_TRUE(reloaded.Load(m_path.string(), 0));
}

TEST_F(SSettingTest, ProcessWideObjectIsOne) {
    EXPECT_EQ(AfxGetSetting(), AfxGetSetting());
}

}  // namespace

TEST(SSettingPlaceTest, ARelativePathIsNeverWrittenIntoTheWorkingFolder) {
    const fs::path working = testing_support::makeTempFolder("cwd");
    const fs::path before = fs::current_path();
    fs::current_path(working);
    SSetting settings;
    settings.Load("setting.xml", 0);
    settings.AddSettingChild("Update");
    EXPECT_FALSE(settings.Save());
    fs::current_path(before);
    EXPECT_TRUE(fs::is_empty(working));
}
