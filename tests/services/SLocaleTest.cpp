#include "services/SLocale.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "services/EnvironVar.h"
#include "tests/common/TestSandbox.h"

namespace {

namespace fs = std::filesystem;

// Every key the product's screens look up.
const char* const kKeys[] = {
    "MNU_Abort",
    "MNU_AboutPCProgram",
    "MNU_AboutPCSoftware",
    "MNU_Auralis",
    "MNU_AuralisManager",
    "MNU_BatteryLow",
    "MNU_BluetoothUnavailable",
    "MNU_CheckUpdate",
    "MNU_CheckboxText",
    "MNU_Connect",
    "MNU_Continue",
    "MNU_DeviceSetting",
    "MNU_ExifVersion",
    "MNU_FirmwareUpdateTitle",
    "MNU_Ignore",
    "MNU_Kestrane_PairBlueTooth",
    "MNU_Kestrane_Stop",
    "MNU_LicenceInformation",
    "MNU_No",
    "MNU_Notify",
    "MNU_Pelk_UpdateFailTitle",
    "MNU_Retry",
    "MNU_Second2",
    "MNU_Size",
    "MNU_SyncEarBuds",
    "MNU_UpdateNetworkErrorTitle",
    "MNU_Yes",
    "MNU_Zephiro_Cancel",
    "MNU_Zephiro_OK",
    "MNU_Zephiro_Update",
    "MSG_BatteryLowDescription",
    "MSG_BluetoothUnavailableDescription",
    "MSG_BluetoothUnavailableDescription2",
    "MSG_Cautions",
    "MSG_CautionsDescription",
    "MSG_CautionsDescription2",
    "MSG_ConnectingFail2",
    "MSG_ConnectingOneSide_1",
    "MSG_DeviceConnectDescription15",
    "MSG_DeviceConnectDescription17",
    "MSG_DeviceConnectDescription19",
    "MSG_InstalledLatestVersion",
    "MSG_InstalledVersion",
    "MSG_InternetUnavailableDescription",
    "MSG_Kestrane_ConnectingFail2",
    "MSG_Kestrane_ConnectingToEabuds",
    "MSG_Kestrane_CopyRight",
    "MSG_Kestrane_CopyingingToEarbuds",
    "MSG_Kestrane_DownloadingSoftware",
    "MSG_Kestrane_UpdateFail",
    "MSG_LastUpdate",
    "MSG_NetworkNotConnect",
    "MSG_NewSoftwareAvailable",
    "MSG_Pelk_CurrentSoftwareVersion",
    "MSG_Pelk_UpdateFailDescription1",
    "MSG_SoftwareUpdateAvailable",
    "MSG_SoftwareUpdateFailDescription",
    "MSG_SoftwareUpdateFailDescription2",
    "MSG_SoftwareUpdateSuccessDescription",
    "MSG_SoftwareVersionMismatch",
    "MSG_UpdateCheckVerify",
    "MSG_UpdateNetworkErrorDescription",
    "MSG_Version",
    "MSG_WelcomeToPomaret1",
    "MSG_WhatsNew",
    "MUA_UpdateCancelQ",
    "PCS_RES0080",
};

class SLocaleTest : public ::testing::Test {
protected:
    void TearDown() override {
        AfxGetLocale()->SetResourceFolder({});
        AfxGetLocale()->ExitLocale();
    }
};

TEST_F(SLocaleTest, EnglishTableHasEveryKey) {
    ASSERT_EQ(std::size(kKeys), 67u);
    AfxGetLocale()->SetLocale("en-US");
    for (const char* key : kKeys) {
        const std::string text = AfxGetStrRes(key);
        EXPECT_NE(text, key) << key << " is missing";
        EXPECT_FALSE(text.empty()) << key;
    }
}

TEST_F(SLocaleTest, PartialTableFallsBackToEnglishThenToTheKey) {
    EXPECT_TRUE(AfxGetLocale()->SetLocale("de-DE"));
    EXPECT_EQ(AfxGetLocale()->GetLanguage(), "de-DE");
    EXPECT_EQ(AfxGetStrRes("MNU_Zephiro_Cancel"), "Abbrechen");
    EXPECT_EQ(AfxGetStrRes("MSG_NoSuchKey"), "MSG_NoSuchKey");
    EXPECT_EQ(AfxGetStrResFormat("MSG_BatteryLowDescription", 1, "15").substr(0, 38),
              "Der Akku eines Ohrhörers ist bei 15 %");

    // An unknown region of a known language uses the language's table.
    const fs::path folder = testing_support::makeTempFolder("strings");
    std::ofstream(folder / "en-US.json") << R"({"A": "english A", "B": "english B"})";
    std::ofstream(folder / "pt.json") << R"({"A": "português A", "B": 5})";
    AfxGetLocale()->SetResourceFolder(folder);
    EXPECT_TRUE(AfxGetLocale()->SetLocale("pt-BR"));
    EXPECT_EQ(AfxGetStrRes("A"), "português A");
    EXPECT_EQ(AfxGetStrRes("B"), "english B");  // a non-text entry is skipped, English fills in

    // Unknown, malformed or unsafe language names leave English.
    std::ofstream(folder / "xx-XX.json") << "{ not json";
    for (const char* language : {"sv-SE", "xx-XX", "../en-US", ""}) {
        EXPECT_FALSE(AfxGetLocale()->SetLocale(language)) << language;
        EXPECT_EQ(AfxGetStrRes("A"), "english A") << language;
    }
}

TEST_F(SLocaleTest, RegionsWithoutATableReadTheNearestCulture) {
    using List = std::vector<std::string>;
    EXPECT_EQ(SLocale::TableCandidates("es-AR"), (List{"es-AR", "es", "es-MX", "es-ES"}));
    EXPECT_EQ(SLocale::TableCandidates("es-419"), (List{"es-419", "es", "es-MX", "es-ES"}));
    EXPECT_EQ(SLocale::TableCandidates("es-ES"), (List{"es-ES", "es"}));
    EXPECT_EQ(SLocale::TableCandidates("zh-SG"), (List{"zh-SG", "zh", "zh-CN"}));
    EXPECT_EQ(SLocale::TableCandidates("zh-MO"), (List{"zh-MO", "zh", "zh-HK", "zh-CN"}));
    EXPECT_EQ(SLocale::TableCandidates("ar-SA"), (List{"ar-SA", "ar", "ar-AE"}));
    EXPECT_EQ(SLocale::TableCandidates("sv-SE"), (List{"sv-SE", "sv"}));

    // With the shipped tables: a region of its own, a related one, and none.
    EXPECT_TRUE(AfxGetLocale()->SetLocale("es-CO"));
    EXPECT_EQ(AfxGetStrRes("MNU_SyncEarBuds"), "Sincronizar audífonos");
    EXPECT_TRUE(AfxGetLocale()->SetLocale("de-AT"));
    EXPECT_EQ(AfxGetStrRes("MNU_Zephiro_Cancel"), "Abbrechen");
    EXPECT_TRUE(AfxGetLocale()->SetLocale("zh-MO"));
    EXPECT_EQ(AfxGetStrRes("MNU_UpdateNetworkErrorTitle"), "網絡錯誤");
}

// Every shipped table holds every English key, with the same placeholders and line breaks, so
// no text falls back to English and no argument is lost or left as "%1".
TEST_F(SLocaleTest, EveryTableIsCompleteAndKeepsItsPlaceholders) {
    const fs::path folder = fs::path(EnvironVar::GetInstallPath()) / "res" / "strings";
    const auto load = [](const fs::path& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return nlohmann::json::parse(text.str(), nullptr, false);
    };
    // The placeholders of a text, "%%" left out, in order of their numbers.
    const auto placeholders = [](const std::string& text) {
        std::multiset<std::string> found;
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '%' && text[i + 1] == '%') {
                ++i;
            } else if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
                found.insert(text.substr(i, 2));
            }
        }
        return found;
    };
    const auto count = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + part.size())) {
            ++n;
        }
        return n;
    };
    const nlohmann::json english = load(folder / "en-US.json");
    ASSERT_TRUE(english.is_object());
    int tables = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string language = entry.path().stem().string();
        const nlohmann::json table = load(entry.path());
        ASSERT_TRUE(table.is_object()) << language;
        ++tables;
        for (const auto& [key, value] : english.items()) {
            ASSERT_TRUE(table.contains(key) && table[key].is_string())
                << language << " lacks " << key;
            const std::string ours = value.get<std::string>();
            const std::string theirs = table[key].get<std::string>();
            EXPECT_FALSE(theirs.empty()) << language << " " << key;
            EXPECT_EQ(placeholders(theirs), placeholders(ours)) << language << " " << key;
            EXPECT_EQ(count(theirs, "\\n"), count(ours, "\\n")) << language << " " << key;
            EXPECT_EQ(count(theirs, "\n"), count(ours, "\n")) << language << " " << key;
        }
        for (const auto& [key, value] : table.items()) {
            EXPECT_TRUE(english.contains(key)) << language << " has the unknown key " << key;
        }
    }
    EXPECT_EQ(tables, 18);
}

TEST_F(SLocaleTest, LookUpsWorkBeforeSetLocaleAndAfterExitLocale) {
    EXPECT_EQ(AfxGetStrRes("MNU_Zephiro_OK"), "OK");
    AfxGetLocale()->SetLocale("de-DE");
    AfxGetLocale()->ExitLocale();
    EXPECT_EQ(AfxGetStrRes("MNU_Zephiro_Cancel"), "Cancel");
}

TEST_F(SLocaleTest, FormatPlaceholders) {
    using List = std::vector<std::string_view>;
    EXPECT_EQ(SLocale::Format("%1 and %2", List{"a", "b"}), "a and b");
    EXPECT_EQ(SLocale::Format("%2 before %1", List{"a", "b"}), "b before a");
    EXPECT_EQ(SLocale::Format("%1, %1", List{"x"}), "x, x");
    EXPECT_EQ(SLocale::Format("at %1% or 100%%", List{"15"}), "at 15% or 100%");
    EXPECT_EQ(SLocale::Format("%3 missing", List{"a"}), "%3 missing");
    EXPECT_EQ(SLocale::Format("100% sure %", List{}), "100% sure %");
    EXPECT_EQ(SLocale::Format("%1", List{"%2"}), "%2");  // arguments are not scanned again
}

TEST_F(SLocaleTest, FormatCallsAsTheScreensMakeThem) {
    AfxGetLocale()->SetLocale("en-US");
    const std::string product = AfxGetStrRes("MNU_AuralisManager");
    EXPECT_EQ(AfxGetStrResFormat("MSG_WelcomeToPomaret1", 2, product, AfxGetStrRes("MNU_Auralis")),
              "Welcome to Auralis Manager. Connect your Auralis earbuds to get started.");
    EXPECT_EQ(AfxGetStrResFormat("MSG_NewSoftwareAvailable", 1, product),
              "A new version of Auralis Manager is available. Do you want to update now?");
    EXPECT_NE(AfxGetStrResFormat("MSG_BatteryLowDescription", 1, "15").find("15%"),
              std::string::npos);
    const std::string twice =
        AfxGetStrResFormat("MSG_DeviceConnectDescription19", 2, product, product);
    EXPECT_EQ(twice.find("%"), std::string::npos);
    // count limits the arguments used.
    EXPECT_EQ(AfxGetStrResFormat("MSG_WelcomeToPomaret1", 1, "A", "B"),
              "Welcome to A. Connect your %2 earbuds to get started.");
    // Every placeholder in the English table is filled by the screens' argument counts.
    for (const char* key : kKeys) {
        const std::string text = AfxGetStrResFormat(key, 2, "x", "y");
        EXPECT_EQ(text.find("%1"), std::string::npos) << key;
        EXPECT_EQ(text.find("%2"), std::string::npos) << key;
    }
}

}  // namespace
