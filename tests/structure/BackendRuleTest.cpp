#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/structure/BackendRules.h"

namespace {

using structure::backendIncludesIn;
using structure::backendLibrariesIn;
using structure::librariesIn;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(BackendRuleTest, NothingAbovePlatformIncludesABackendButAProgramsMain) {
    const std::filesystem::path root = AURALIS_SOURCE_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(root / "app")) << root;
    for (const structure::IncludeViolation& violation : structure::backendIncludesInTree(root)) {
        ADD_FAILURE() << violation.file << ":" << violation.line << " includes \""
                      << violation.included << "\": only a program's main.cpp chooses backends";
    }
}

TEST(BackendRuleTest, TheLinkLinksNoBackend) {
    const std::filesystem::path root = AURALIS_SOURCE_DIR;
    const std::string cmake = readFile(root / "link" / "CMakeLists.txt");
    ASSERT_NE(cmake.find("add_library(auralis_link"), std::string::npos);
    EXPECT_EQ(backendLibrariesIn(cmake), std::vector<std::string>{});
}

// auralis-sim speaks the frame codec only: linking the link would bring its Bluetooth backends,
// BlueZ and the D-Bus library with it.
TEST(BackendRuleTest, TheSimulatorLinksTheFrameCodecAlone) {
    const std::filesystem::path root = AURALIS_SOURCE_DIR;
    const std::string cmake = readFile(root / "sim" / "CMakeLists.txt");
    ASSERT_NE(cmake.find("auralis_link_codec"), std::string::npos);
    constexpr std::string_view kTooMuch[] = {"auralis_link", "auralis_fota_flow"};
    EXPECT_EQ(librariesIn(cmake, kTooMuch), std::vector<std::string>{});
    EXPECT_EQ(backendLibrariesIn(cmake), std::vector<std::string>{});
    constexpr std::string_view kLink[] = {"auralis_link"};
    EXPECT_EQ(librariesIn("target_link_libraries(x PUBLIC auralis_link_codec)", kLink),
              std::vector<std::string>{});
    EXPECT_EQ(librariesIn("target_link_libraries(x PUBLIC auralis_link)", kLink),
              std::vector<std::string>{"auralis_link"});
}

TEST(BackendRuleTest, CatchesBackendIncludesAndLinksOutsideTheirPlaces) {
    for (const char* header :
         {"platform/bluetooth/bluez/BluezBatteryProvider.h", "platform/bluetooth/sim/SimBackend.h",
          "platform/window/sdl/SdlBackend.h", "platform/window/headless/HeadlessBackend.h",
          "platform/bluetooth/BackendFactory.h"}) {
        const std::string text = std::string("#include \"") + header + "\"\n";
        EXPECT_EQ(backendIncludesIn("app/EarbudsBatteryIndicator.cpp", text).size(), 1u) << header;
        EXPECT_EQ(backendIncludesIn("link/BluetoothHandle.cpp", text).size(), 1u) << header;
        // Where backends are chosen or made.
        EXPECT_TRUE(backendIncludesIn("app/main.cpp", text).empty()) << header;
        EXPECT_TRUE(backendIncludesIn("platform/bluetooth/BackendFactory.cpp", text).empty());
    }
    // The seams' interfaces are for everyone.
    EXPECT_TRUE(backendIncludesIn("app/SMainView.cpp",
                                  "#include \"platform/bluetooth/BatteryProvider.h\"\n"
                                  "#include \"platform/window/Backend.h\"\n")
                    .empty());

    EXPECT_EQ(
        backendLibrariesIn("target_link_libraries(x PRIVATE auralis_platform_bluetooth_select)"),
        std::vector<std::string>{"auralis_platform_bluetooth_select"});
    EXPECT_TRUE(backendLibrariesIn("target_link_libraries(x PUBLIC auralis_platform_bluetooth)\n"
                                   "# not auralis_platform_bluetooth_bluez\n")
                    .empty());
}

}  // namespace
