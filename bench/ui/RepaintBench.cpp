// bench_ui_repaint: a full repaint of a window like the main window (424 x 515 logical units:
// title bar, device picture, battery rows, status texts, buttons and a short list) at zoom 1
// and 2, rendered through the toolkit and presented on the headless backend.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/window/headless/HeadlessBackend.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SImage.h"
#include "ui/SPanel.h"
#include "ui/SView.h"
#include "ui/SWindowFrame.h"
#include "ui/TextFlags.h"

namespace {

class Text : public SWindowBase {
public:
    Text(std::string text, unsigned format, int font, uint32_t colour)
        : m_text(std::move(text)), m_format(format), m_font(font), m_colour(colour) {}
    void OnPaint(SDC& dc) override {
        dc.DrawText(m_text, GetRect(kRectOwnLogical, 0), m_format, m_font, m_colour);
    }

private:
    std::string m_text;
    unsigned m_format;
    int m_font;
    uint32_t m_colour;
};

class Picture : public SWindowBase {
public:
    explicit Picture(std::unique_ptr<SImage> image) : m_image(std::move(image)) {}
    void OnPaint(SDC& dc) override { dc.DrawImage(m_image.get(), GetRect(kRectOwnLogical, 0)); }

private:
    std::unique_ptr<SImage> m_image;
};

class BenchFrame : public SWindowFrame {
public:
    ~BenchFrame() override { Destroy(); }

    int OnCreate() override {
        auto* root = Add(std::make_unique<SPanel>());
        root->CreateRoot(&agent, "Root");
        root->SetBackgroundColor(0x00F6F3F0u);
        auto* title = Panel(root, SMargin(0, 0, 0, -1), SSize(0, 40), 0x00503A1Eu, 0);
        Label(title, "Auralis Manager", SMargin(16, 0, 80, 0), SSize(), kLine, 119, 0x00FFFFFFu);
        for (int i = 0; i < 3; ++i) {
            Panel(title, SMargin(-1, 8, 12 + i * 28, -1), SSize(24, 24), 0x00FFFFFFu, 12);
        }
        auto* card = Panel(root, SMargin(16, 56, 16, -1), SSize(0, 250), 0x00FFFFFFu, 12);
        for (int side = 0; side < 2; ++side) {
            auto* picture =
                Add(std::make_unique<Picture>(LoadImage("\\res\\Gallery\\image\\play.png")));
            picture->Create("Bud", card, SMargin(40 + side * 200, 30, -1, -1), SSize(72, 72));
            Label(card, side == 0 ? "Left" : "Right", SMargin(30 + side * 200, 110, -1, -1),
                  SSize(92, 20), kLine | DT_CENTER, 115, 0x00303030u);
            Panel(card, SMargin(30 + side * 200, 136, -1, -1), SSize(92, 8), 0x00E5E5E5u, 4);
            Panel(card, SMargin(30 + side * 200, 136, -1, -1), SSize(64, 8), 0x0050B030u, 4);
            Label(card, side == 0 ? "80 %" : "75 %", SMargin(30 + side * 200, 150, -1, -1),
                  SSize(92, 20), kLine | DT_CENTER, 114, 0x00606060u);
        }
        Label(card, "Case 40 % · Wearing · Primary: left", SMargin(16, 190, 16, -1), SSize(0, 22),
              kLine | DT_CENTER | DT_END_ELLIPSIS, 114, 0x00505050u);
        Label(card, "이어버드가 연결되었습니다", SMargin(16, 214, 16, -1), SSize(0, 22),
              kLine | DT_CENTER, 114, 0x00505050u);
        auto* list = Add(std::make_unique<SView>());
        list->Create("List", root, SMargin(16, 320, 16, 70), SSize());
        list->SetContentSize(SSize(392, 8 * 30));
        for (int i = 0; i < 8; ++i) {
            auto* row = Panel(list, SMargin(0, i * 30, 0, -1), SSize(0, 30),
                              i % 2 == 0 ? 0x00FFFFFFu : 0x00F2EFECu, 0);
            Label(row, "Firmware 1.2." + std::to_string(i) + " — release notes and fixes",
                  SMargin(10, 0, 10, 0), SSize(), kLine | DT_END_ELLIPSIS, 114, 0x00303030u);
        }
        for (int i = 0; i < 2; ++i) {
            auto* button =
                Panel(root, SMargin(16 + i * 204, -1, -1, 20), SSize(188, 36), 0x00000000u, 18);
            auto* face = Panel(button, SMargin(1, 1, 1, 1), SSize(), 0x00FFFFFFu, 17);
            Label(face, i == 0 ? "Check for update" : "Disconnect", SMargin(15, 0, 15, 0), SSize(),
                  kLine | DT_CENTER | DT_END_ELLIPSIS, 118, 0x00000000u);
        }
        return 0;
    }

private:
    static constexpr unsigned kLine = DT_SINGLELINE | DT_VCENTER;

    template <typename T>
    T* Add(std::unique_ptr<T> widget) {
        T* raw = widget.get();
        m_widgets.push_back(std::move(widget));
        return raw;
    }
    SPanel* Panel(SWindowBase* parent, const SMargin& margin, const SSize& size, uint32_t colour,
                  double radius) {
        auto* panel = Add(std::make_unique<SPanel>());
        panel->Create("Panel", parent, margin, size);
        panel->SetBackgroundColor(colour);
        panel->SetCornerRadius(radius);
        return panel;
    }
    void Label(SWindowBase* parent, const std::string& text, const SMargin& margin,
               const SSize& size, unsigned format, int font, uint32_t colour) {
        Add(std::make_unique<Text>(text, format, font, colour))
            ->Create("Text", parent, margin, size);
    }

    std::vector<std::unique_ptr<SWindowBase>> m_widgets;
};

void BM_FullRepaint(benchmark::State& state) {
    const double zoom = static_cast<double>(state.range(0));
    platform::window::HeadlessBackend backend;
    SGUIApp app(backend);
    SDispatcher::SetZoomFactor(zoom);
    BenchFrame frame;
    frame.zoomMode = 1;
    SFrameOptions options;
    options.rect = SRect(0, 0, 424 * zoom, 515 * zoom);
    if (frame.Create(options) == 0) {
        state.SkipWithError("cannot create the frame");
        return;
    }
    frame.Show();
    while (app.GetDispatcher().PumpPending()) {
    }
    SWindowBase* root = frame.agent.GetRoot();
    for (auto _ : state) {
        root->Repaint();  // render the whole tree and present it
    }
    state.counters["pixels"] = 424 * zoom * 515 * zoom;
}
BENCHMARK(BM_FullRepaint)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
