// The rendering core and the drawing context: colours, operators, clipping, pixel conversion
// at fractional zoom, and image resolution and loading.

#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>
#include <fstream>

#include "platform/Paths.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SImage.h"
#include "ui/SRenderingCore.h"

namespace ui_test {
namespace {

uint32_t Pixel(const SRenderingCore& core, int x, int y) {
    return SurfacePixel(core.GetSurface(), x, y);
}

TEST(RenderingCore, ColoursAndOperators) {
    SRenderingCore core(10, 10, 1);
    ASSERT_TRUE(core.IsValid());
    EXPECT_EQ(cairo_image_surface_get_format(core.GetSurface()), CAIRO_FORMAT_ARGB32);
    // Opaque colours replace what is there (SOURCE): 0x00FF0000 is opaque blue.
    core.DrawRoundRect(0, 0, 10, 10, 0x000000FFu, 0, 0);
    core.DrawRoundRect(0, 0, 5, 10, 0x00FF0000u, 0, 0);
    EXPECT_EQ(Pixel(core, 2, 2), 0xFF0000FFu);
    EXPECT_EQ(Pixel(core, 7, 2), 0xFFFF0000u);
    // Translucent ones blend (OVER): 0x80000000 is black at alpha 1 - 128/255.
    core.ClearRect(0, 0, 10, 10);
    EXPECT_EQ(Pixel(core, 2, 2), 0u);
    core.DrawRoundRect(0, 0, 10, 10, 0x80000000u, 0, 0);
    EXPECT_NEAR(static_cast<int>(Pixel(core, 2, 2) >> 24), 127, 1);
    // A fully transparent colour draws nothing.
    core.DrawRoundRect(0, 0, 10, 10, 0xFF0000FFu, 0, 0);
    EXPECT_NEAR(static_cast<int>(Pixel(core, 2, 2) >> 24), 127, 1);
    // Mode 0 is opaque.
    SRenderingCore opaque(4, 4, 0);
    EXPECT_EQ(cairo_image_surface_get_format(opaque.GetSurface()), CAIRO_FORMAT_RGB24);
}

TEST(RenderingCore, PlainRectangleWithoutRadiusOrLine) {
    SRenderingCore core(20, 20, 0);
    core.DrawRoundRect(0, 0, 20, 20, 0x00FFFFFFu, 0, 0);
    core.DrawRoundRect(5, 5, 10, 10, 0x00000000u, 0, 0);
    int black = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 5 && x < 15 && y >= 5 && y < 15;
            EXPECT_EQ(Pixel(core, x, y), inside ? 0xFF000000u : 0xFFFFFFFFu) << x << "," << y;
            black += inside;
        }
    }
    EXPECT_EQ(black, 100);
    // With a radius the corners stay free.
    core.DrawRoundRect(0, 0, 20, 20, 0x00FFFFFFu, 0, 0);
    core.DrawRoundRect(0, 0, 20, 20, 0x00000000u, 0, 8);
    EXPECT_EQ(Pixel(core, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(core, 10, 10), 0xFF000000u);
}

TEST(RenderingCore, SurfaceOutsideTheActiveClipDrawsNothing) {
    SRenderingCore core(40, 40, 0);
    core.DrawRoundRect(0, 0, 40, 40, 0x00FFFFFFu, 0, 0);
    SRenderingCore source(10, 10, 0);
    source.DrawRoundRect(0, 0, 10, 10, 0x000000FFu, 0, 0);
    core.SetClip(0, 0, 20, 20);
    core.DrawSurface(source.GetSurface(), 25, 25, 10, 10, 0, 0, 0, 1.0);
    EXPECT_EQ(Pixel(core, 30, 30), 0xFFFFFFFFu);
    EXPECT_EQ(core.GetActiveClip(), SRect(0, 0, 20, 20));
    // Partly inside: only the inside part is drawn; the clip is unchanged afterwards.
    core.DrawSurface(source.GetSurface(), 15, 15, 10, 10, 0, 0, 0, 1.0);
    EXPECT_EQ(Pixel(core, 17, 17), 0xFFFF0000u);
    EXPECT_EQ(Pixel(core, 22, 22), 0xFFFFFFFFu);
    EXPECT_EQ(core.GetActiveClip(), SRect(0, 0, 20, 20));
    // Nested clips intersect; resetting goes back one level.
    core.SetClip(10, 10, 20, 20);
    EXPECT_EQ(core.GetActiveClip(), SRect(10, 10, 20, 20));
    core.ResetClip();
    EXPECT_EQ(core.GetActiveClip(), SRect(0, 0, 20, 20));
    core.ResetClip();
    EXPECT_EQ(core.HasActiveClip(), 0);
    // Unbalanced restores and group pops are ignored instead of breaking the context.
    core.Restore();
    core.PopGroup();
    EXPECT_TRUE(core.IsValid());
}

TEST(RenderingCore, GradientAndCopy) {
    SRenderingCore core(100, 10, 0);
    core.FillGradient(0, 0, 100, 10, 0x00FFFFFFu, 0x00000000u, 0, 0);
    EXPECT_LT(Pixel(core, 0, 5) & 0xFF, 8u);     // start colour at the left
    EXPECT_GT(Pixel(core, 99, 5) & 0xFF, 247u);  // end colour at the right
    SRenderingCore target(100, 10, 0);
    target.CopyRect(core.GetSurface(), 10, 0, 90, 0, 10, 10);
    EXPECT_EQ(Pixel(target, 15, 5), Pixel(core, 95, 5));
}

TEST(DrawingContext, PixelBoxesAtFractionalZoom) {
    SDC dc;
    dc.scale = 1.25;
    ASSERT_EQ(dc.Init(SRect(0.5, 0, 10.2, 10), 1), 1);
    EXPECT_EQ(dc.pixelWidth, 13);   // from pixel 0 to ceil(12.75)
    EXPECT_EQ(dc.pixelHeight, 13);  // 12.5 rounded up
    EXPECT_EQ(dc.opaque, 0);
    EXPECT_DOUBLE_EQ(dc.margin.left, 0.625);
    EXPECT_DOUBLE_EQ(dc.margin.right, 0.25);

    SDC frame;
    frame.scale = 1.25;
    ASSERT_EQ(frame.Init(SRect(0, 0, 80, 40), 0), 1);
    EXPECT_EQ(frame.pixelWidth, 100);
    frame.visibleArea = SRect(10, 4, 30, 20);
    EXPECT_EQ(frame.ToPixels(SRect(2, 2, 6, 4)), SRect(15, 7.5, 20, 10));
    frame.mirrored = 1;  // x from the widget's right edge
    EXPECT_EQ(frame.ToPixels(SRect(2, 2, 6, 4)), SRect(30, 7.5, 35, 10));
}

TEST(DrawingContext, ChildContextSharesThePixels) {
    SDC parent;
    ASSERT_EQ(parent.Init(SRect(0, 0, 40, 40), 0), 1);
    parent.Clear(0x00FFFFFFu);
    SDC child;
    ASSERT_EQ(child.InitChild(parent, SRect(10, 10, 20, 20)), 1);
    EXPECT_EQ(child.pixelWidth, 10);
    child.Clear(0x00000000u);
    EXPECT_EQ(SurfacePixel(parent.GetSurface(), 15, 15), 0xFF000000u);
    EXPECT_EQ(SurfacePixel(parent.GetSurface(), 5, 5), 0xFFFFFFFFu);
}

class Images : public ::testing::Test {
protected:
    void TearDown() override { SDispatcher::SetZoomFactor(1.0); }
};

TEST_F(Images, HighResolutionFolderFromZoomOnePointFive) {
    SDispatcher::SetZoomFactor(1.25);
    SResolvedImagePath plain = ResolveImagePath("\\res\\Gallery\\image\\play.png");
    EXPECT_EQ(plain.factor, 1.0);
    EXPECT_EQ(plain.path, platform::paths::executableFolder() / "res/Gallery/image/play.png");

    SDispatcher::SetZoomFactor(1.5);
    SResolvedImagePath high = ResolveImagePath("\\res\\Gallery\\image\\play.png");
    EXPECT_EQ(high.factor, 2.0);
    EXPECT_EQ(high.path, platform::paths::executableFolder() / "res/Gallery/image/WQXGA/play.png");
    // No high-resolution file: the plain one with factor 1.
    SResolvedImagePath fallback = ResolveImagePath("\\res\\Gallery\\image\\chart.png");
    EXPECT_EQ(fallback.factor, 1.0);
    EXPECT_FALSE(fallback.path.empty());

    EXPECT_TRUE(ResolveImagePath("\\res\\Gallery\\image\\none.png").path.empty());
    EXPECT_TRUE(ResolveImagePath("\\res\\..\\..\\etc\\passwd").path.empty());
}

TEST_F(Images, LoadingGivesLogicalSizesAndRefusesBadFiles) {
    SDispatcher::SetZoomFactor(2.0);
    std::unique_ptr<SImage> image = LoadImage("\\res\\Gallery\\image\\play.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetPixelWidth(), 96);
    EXPECT_EQ(image->GetWidth(), 48);  // drawn at 48 logical units, 96 pixels at zoom 2

    SDC dc;
    dc.scale = 2.0;
    ASSERT_EQ(dc.Init(SRect(0, 0, 60, 60), 0), 1);
    dc.Clear(0x00FFFFFFu);
    dc.DrawImage(image.get(), 4, 4);
    EXPECT_EQ(SurfacePixel(dc.GetSurface(), 8 + 20, 8 + 48) & 0xFFFFFFu,
              0x2197E0u);                                                   // the blue disc
    EXPECT_EQ(SurfacePixel(dc.GetSurface(), 8 + 97, 8 + 48), 0xFFFFFFFFu);  // beyond 96 px

    const std::filesystem::path broken = platform::paths::tempFolder() / "broken.png";
    std::filesystem::create_directories(broken.parent_path());
    std::ofstream(broken) << "not a png";
    EXPECT_EQ(LoadImage(SResolvedImagePath{broken, 1.0}), nullptr);
    EXPECT_EQ(LoadImage(SResolvedImagePath{}), nullptr);
}

}  // namespace
}  // namespace ui_test
