// The generated artwork: every picture the programs load exists beside them, loads, and has
// the size its screen lays it out for; a missing picture is logged by name.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SImage.h"
#include "ui/SLoadingAnimationControl.h"

namespace ui_test {
namespace {

std::vector<std::string> NamedPictures() {
    std::vector<std::string> paths = {
        "\\res\\window_logo.png",
        "\\res\\icon_64.png",
        "\\res\\imgLoadingSmall.png",
        "\\res\\Window\\window_menu_sel_nor.png",
        "\\res\\Window\\window_menu_sel_over.png",
        "\\res\\Window\\window_menu_sel_click.png",
        "\\res\\Window\\window_minimum_nor.png",
        "\\res\\Window\\window_close_nor.png",
        "\\res\\Device\\check_bg.png",
        "\\res\\Device\\check_mark_normal.png",
        "\\res\\Device\\check_mark_over.png",
        "\\res\\Device\\check_mark_press.png",
        "\\res\\Device\\home_buds_kestrane.png",
        "\\res\\Device\\device_connect_earbuds_case_close_white.png",
        "\\res\\Device\\device_connect_earbuds_case_open_white.png",
        "\\res\\Device\\device_connect_earbuds_white.png",
        "\\res\\tooltip\\tooltip_bottom_tail.png",
    };
    for (const char* slice : {"left_top", "middle_top", "right_top", "left_middle", "right_middle",
                              "left_bottom", "middle_bottom", "right_bottom"}) {
        paths.push_back(std::string("\\res\\Window\\Popup\\pop_up_window_") + slice + ".png");
    }
    for (const char* slice : {"left_top", "top_middle", "right_top", "left_middle", "right_middle",
                              "left_bottom", "bottom_middle", "right_bottom"}) {
        paths.push_back(std::string("\\res\\dropdown\\dorp_down_") + slice + ".png");
        paths.push_back(std::string("\\res\\tooltip\\tooltip_") + slice + ".png");
    }
    for (const char* name :
         {"progress_left_bg", "progress_middle_bg", "progress_right_bg", "progress_left_bar",
          "progress_middle_bar", "progress_right_bar", "progress_left_bar_red",
          "progress_middle_bar_red", "progress_right_bar_red"}) {
        paths.push_back(std::string("\\res\\Common\\progress\\") + name + ".png");
    }
    for (const char* name :
         {"home_progress_left_bg", "home_progress_middle_bg", "home_progress_right_bg",
          "home_progress_left_bar", "home_progress_middle_bar", "home_progress_right_bar",
          "home_progress_left_bg_white", "home_progress_middle_bg_white",
          "home_progress_left_bar_white", "home_progress_middle_bar_white",
          "home_progress_right_bar_white"}) {
        paths.push_back(std::string("\\res\\Home\\_progress\\") + name + ".png");
    }
    for (const char* battery :
         {"01", "02", "03", "04", "05", "dim", "disconnect", "charging", "saving"}) {
        paths.push_back(std::string("\\res\\Home\\home_orvel_battery_") + battery + ".png");
    }
    for (int type = 1; type <= 4; ++type) {
        for (const std::string& frame : SLoadingAnimationControl::FramePaths(type)) {
            paths.push_back(frame);
        }
    }
    return paths;
}

const char* const kColourWords[] = {"blue", "pink", "black",    "white",
                                    "Norq", "red",  "deepblue", "Virel-purple"};

TEST(Artwork, EveryPictureTheProgramsLoadIsThere) {
    int checked = 0;
    for (const std::string& path : NamedPictures()) {
        const std::unique_ptr<SImage> image = LoadImage(path);
        ASSERT_NE(image, nullptr) << path;
        EXPECT_GT(image->GetPixelWidth(), 0) << path;
        ++checked;
    }
    EXPECT_GT(checked, 230);
}

TEST(Artwork, DevicePicturesHaveTheirLayoutSizesInEveryColour) {
    for (const char* word : kColourWords) {
        const std::string base = std::string("\\res\\Device\\home_buds_") + word;
        for (const std::string& path :
             {base + ".png", base + "_left-dim.png", base + "_right-dim.png"}) {
            const std::unique_ptr<SImage> buds = LoadImage(path);
            ASSERT_NE(buds, nullptr) << path;
            EXPECT_EQ(buds->GetWidth(), 182) << path;
            EXPECT_EQ(buds->GetHeight(), 88) << path;
        }
        const std::unique_ptr<SImage> cradle =
            LoadImage(std::string("\\res\\Device\\home_craddle_") + word + ".png");
        ASSERT_NE(cradle, nullptr) << word;
        EXPECT_EQ(cradle->GetHeight(), 88);
    }
    const std::unique_ptr<SImage> first = LoadImage("\\res\\Device\\home_buds_kestrane.png");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetWidth(), 171);
    EXPECT_EQ(first->GetHeight(), 65);
    const std::unique_ptr<SImage> battery = LoadImage("\\res\\Home\\home_orvel_battery_03.png");
    ASSERT_NE(battery, nullptr);
    EXPECT_EQ(battery->GetWidth(), 30);
    EXPECT_EQ(battery->GetHeight(), 30);
}

uint32_t CentrePixel(const SImage& image, int dx = 0) {
    return SurfacePixel(image.GetSurface(), image.GetPixelWidth() / 2 + dx,
                        image.GetPixelHeight() / 2);
}

TEST(Artwork, ColoursAreDistinctAndDimmedBudsAreFaint) {
    std::vector<uint32_t> bodies;
    for (const char* word : kColourWords) {
        const auto buds = LoadImage(std::string("\\res\\Device\\home_buds_") + word + ".png");
        ASSERT_NE(buds, nullptr);
        // The left earbud's body, left of centre.
        bodies.push_back(CentrePixel(*buds, -46));
    }
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        for (std::size_t j = i + 1; j < bodies.size(); ++j) {
            EXPECT_NE(bodies[i], bodies[j]) << kColourWords[i] << " / " << kColourWords[j];
        }
    }
    const auto both = LoadImage("\\res\\Device\\home_buds_red.png");
    const auto leftDim = LoadImage("\\res\\Device\\home_buds_red_left-dim.png");
    ASSERT_NE(leftDim, nullptr);
    const uint32_t solid = CentrePixel(*both, -46);
    const uint32_t faint = CentrePixel(*leftDim, -46);
    EXPECT_GT(solid >> 24, 0xF0u);                                 // opaque
    EXPECT_LT(faint >> 24, 0x60u);                                 // mostly transparent
    EXPECT_EQ(CentrePixel(*both, 46), CentrePixel(*leftDim, 46));  // the right one unchanged
}

// Runs the test body at a process zoom factor and puts zoom 1 back afterwards.
class ScaledArtwork : public ::testing::Test {
protected:
    void TearDown() override { SDispatcher::SetZoomFactor(1.0); }
};

// Draws `image` at its logical size into a white context of zoom `zoom`.
std::unique_ptr<SDC> DrawAtZoom(const SImage& image, double zoom) {
    auto dc = std::make_unique<SDC>();
    dc->scale = zoom;
    dc->Init(SRect(0, 0, image.GetWidth(), image.GetHeight()), 0);
    dc->Clear(0x00FFFFFFu);
    dc->DrawImage(&image, 0, 0);
    return dc;
}

// Sum of the differences between neighbouring pixels' green values: sharp edges give a
// large sum, a picture blurred by scaling up a small one a smaller one.
long EdgeEnergy(cairo_surface_t* surface, int width, int height) {
    long energy = 0;
    for (int y = 0; y + 1 < height; ++y) {
        for (int x = 0; x + 1 < width; ++x) {
            const int here = (SurfacePixel(surface, x, y) >> 8) & 0xFF;
            energy +=
                std::abs(here - static_cast<int>((SurfacePixel(surface, x + 1, y) >> 8) & 0xFF));
            energy +=
                std::abs(here - static_cast<int>((SurfacePixel(surface, x, y + 1) >> 8) & 0xFF));
        }
    }
    return energy;
}

TEST_F(ScaledArtwork, EveryPictureHasItsDrawnVariantsAtThePlainLayoutSize) {
    std::vector<std::pair<std::string, SSize>> plainSizes;
    for (const std::string& path : NamedPictures()) {
        const auto plain = LoadImage(path);
        ASSERT_NE(plain, nullptr) << path;
        EXPECT_EQ(plain->GetFactor(), 1.0) << path;
        plainSizes.emplace_back(path, SSize(plain->GetWidth(), plain->GetHeight()));
    }
    // Zoom 1.25 and 1.75 take the nearer variant, a tie the larger.
    for (const auto& [zoom, factor] :
         {std::pair{1.5, 1.5}, std::pair{2.0, 2.0}, std::pair{1.25, 1.5}, std::pair{1.8, 2.0},
          std::pair{3.0, 2.0}}) {
        SDispatcher::SetZoomFactor(zoom);
        for (const auto& [path, size] : plainSizes) {
            const auto image = LoadImage(path);
            ASSERT_NE(image, nullptr) << path << " at " << zoom;
            EXPECT_EQ(image->GetFactor(), factor) << path << " at " << zoom;
            EXPECT_EQ(image->GetWidth(), size.width) << path << " at " << zoom;
            EXPECT_EQ(image->GetHeight(), size.height) << path << " at " << zoom;
            EXPECT_NEAR(image->GetPixelWidth(), size.width * factor, 0.5) << path;
        }
    }
}

TEST_F(ScaledArtwork, AtZoomTwoAndOnePointFiveTheDrawnVariantIsSharperThanAScaledUpPlainOne) {
    const std::string path = "\\res\\Device\\home_buds_kestrane.png";
    const auto plain = LoadImage(path);
    ASSERT_NE(plain, nullptr);
    for (double zoom : {2.0, 1.5}) {
        SDispatcher::SetZoomFactor(zoom);
        const auto drawn = LoadImage(path);
        ASSERT_NE(drawn, nullptr);
        ASSERT_EQ(drawn->GetFactor(), zoom);
        const auto fromDrawn = DrawAtZoom(*drawn, zoom);
        const auto fromPlain = DrawAtZoom(*plain, zoom);
        const int width = static_cast<int>(fromDrawn->pixelWidth);
        const int height = static_cast<int>(fromDrawn->pixelHeight);
        ASSERT_EQ(width, static_cast<int>(fromPlain->pixelWidth));
        int differing = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t a = SurfacePixel(fromDrawn->GetSurface(), x, y);
                const uint32_t b = SurfacePixel(fromPlain->GetSurface(), x, y);
                differing += a != b ? 1 : 0;
            }
        }
        EXPECT_GT(differing, width * height / 50) << "zoom " << zoom;
        EXPECT_GT(EdgeEnergy(fromDrawn->GetSurface(), width, height),
                  EdgeEnergy(fromPlain->GetSurface(), width, height) * 11 / 10)
            << "zoom " << zoom;
    }
}

TEST_F(ScaledArtwork, PixelsAreDecodedOnlyWhenFirstDrawnAndOnlyForTheZoomInUse) {
    SDispatcher::SetZoomFactor(1.0);
    const auto plain = LoadImage("\\res\\window_logo.png");
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->IsDecoded());  // laid out from the file's header alone
    EXPECT_EQ(plain->GetWidth(), 110);
    EXPECT_EQ(ResolveImagePath("\\res\\window_logo.png").path.filename(), "window_logo.png");
    DrawAtZoom(*plain, 1.0);
    EXPECT_TRUE(plain->IsDecoded());

    SDispatcher::SetZoomFactor(2.0);
    EXPECT_EQ(ResolveImagePath("\\res\\window_logo.png").path.filename(), "window_logo@2x.png");
}

TEST(Artwork, AMissingPictureIsLoggedByName) {
    EXPECT_EQ(LoadImage("\\res\\Home\\no_such_picture.png"), nullptr);
    EXPECT_EQ(LoadImage("\\res\\Home\\no_such_picture.png"), nullptr);
    EXPECT_EQ(CountInLog("image missing: \\res\\Home\\no_such_picture.png"), 1);
}

}  // namespace
}  // namespace ui_test
