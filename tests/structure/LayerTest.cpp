#include <gtest/gtest.h>

#include <filesystem>

#include "tests/structure/LayerRules.h"

namespace {

using structure::layerOf;
using structure::violationsIn;

TEST(LayerTest, NoLowerLayerIncludesAHigherOne) {
    const std::filesystem::path root = AURALIS_SOURCE_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(root / "link")) << root;
    for (const structure::IncludeViolation& violation : structure::violationsInTree(root)) {
        ADD_FAILURE() << violation.file << ":" << violation.line << " (" << layerOf(violation.file)
                      << ") includes \"" << violation.included << "\" ("
                      << layerOf(violation.included) << ")";
    }
}

TEST(LayerTest, CatchesIncludesIntoHigherLayersAndAllowsDownwardOnes) {
    // Upward: each of these is refused.
    EXPECT_EQ(
        violationsIn("platform/window/sdl/SdlWindow.cpp", "#include \"services/SUtil.h\"\n").size(),
        1u);
    EXPECT_EQ(violationsIn("base/Log.cpp", "#include \"platform/bluetooth/Backend.h\"\n").size(),
              1u);
    EXPECT_EQ(violationsIn("link/BluetoothHandle.cpp", "  #  include \"ui/SButton.h\"\n").size(),
              1u);
    EXPECT_EQ(violationsIn("fota/FileInfo.cpp", "#include \"link/BluetoothHandle.h\"\n").size(),
              1u);
    EXPECT_EQ(violationsIn("ui/SButton.cpp", "#include \"fota/FileInfo.h\"\n").size(), 1u);
    EXPECT_EQ(violationsIn("fota/FileInfo.cpp", "#include \"flow/FirmwareOffer.h\"\n").size(), 1u);
    EXPECT_EQ(
        violationsIn("link/BluetoothHandle.cpp", "#include \"flow/FirmwareOffer.h\"\n").size(), 1u);
    EXPECT_EQ(violationsIn("ctl/CtlLink.cpp", "#include \"app/SMainView.h\"\n").size(), 1u);
    // The sim uses the frame codec alone, never the link above it.
    EXPECT_EQ(violationsIn("sim/EarbudSession.cpp", "#include \"link/BluetoothHandle.h\"\n").size(),
              1u);
    EXPECT_EQ(violationsIn("link/FrameCodec.cpp", "#include \"link/BluetoothHandle.h\"\n").size(),
              1u);

    // Downward or within the layer: allowed.
    EXPECT_TRUE(violationsIn("services/SUtil.cpp",
                             "#include \"base/Log.h\"\n#include \"platform/Paths.h\"\n")
                    .empty());
    EXPECT_TRUE(violationsIn("flow/FirmwareUpdateFlow.cpp", "#include \"link/BluetoothHandle.h\"\n")
                    .empty());
    EXPECT_TRUE(violationsIn("app/SMainView.cpp", "#include \"auralis/Version.h\"\n").empty());
    EXPECT_TRUE(violationsIn("sim/EarbudSession.h", "#include \"link/FrameDecoder.h\"\n").empty());
    EXPECT_TRUE(
        violationsIn("link/FrameCodec.cpp", "#include <vector>\n// #include \"ui/x.h\"\n").empty());

    EXPECT_TRUE(violationsIn("platform/Thread.cpp", "#include \"base/Log.h\"\n").empty());

    // base/ is the lowest layer: not even the platform core is below it.
    const auto found = violationsIn("base/x.cpp", "\n\n#include \"platform/Paths.h\"\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].line, 3);
    EXPECT_EQ(found[0].included, "platform/Paths.h");
}

TEST(LayerTest, EveryLayeredFolderHasALayer) {
    EXPECT_EQ(layerOf("platform/Paths.h"), "platform");
    EXPECT_EQ(layerOf("platform/bluetooth/bluez/BluezBackend.h"), "seams");
    EXPECT_EQ(layerOf("flow/FirmwareUpdateFlow.h"), "flow");
    EXPECT_EQ(layerOf("fota/FileInfo.h"), "fota");
    EXPECT_EQ(layerOf("tests/common/TestSandbox.h"), "");
}

}  // namespace
