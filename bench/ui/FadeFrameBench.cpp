// bench_ui_fade: one frame of a running fade in a window like the main window (424 x 515
// logical units): the home screen's content (device pictures, batteries, labels, a progress
// bar and buttons) fading in from its snapshot, at zoom 1 and 2. A frame is what the animation
// driver does when a frame is due: step the animation, render the layer (the transition draws
// the snapshot) and present it on the headless backend.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "ui/SAnimationDriver.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonProgressBar.h"
#include "ui/SDispatcher.h"
#include "ui/SGUIApp.h"
#include "ui/SImage.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"
#include "ui/SSlideTransition.h"
#include "ui/SSlideView.h"
#include "ui/SStaticImage.h"
#include "ui/SWindowFrame.h"

namespace {

class HomeFrame : public SWindowFrame {
public:
    ~HomeFrame() override { Destroy(); }

    int OnCreate() override {
        auto* root = Add(std::make_unique<SPanel>());
        root->CreateRoot(&agent, "MainPanel");
        root->SetBackgroundColor(0x00F5F5F5u);
        auto* title = Add(std::make_unique<SPanel>());
        title->SetBackgroundColor(0x00FFFFFFu);
        title->Create("MainTitleBar", root, SMargin(8, 8, 8, -1), SSize(0, 32));
        Picture(title, "\\res\\window_logo.png", SMargin(8, 4, -1, -1), SSize(110, 24));
        content = Add(std::make_unique<SSlideView>());
        // Shown at once; the benchmark starts the fade itself.
        content->SetFade(0);
        content->Create("Home View", root, SMargin(8, 40, 8, 16), SSize(), 1);
        auto* cluster = Add(std::make_unique<SPanel>());
        cluster->SetBackgroundColor(0x00FFFFFFu);
        cluster->Create("_deviceInfoView", content, SMargin(0, 0, 0, -1), SSize(0, 229));
        Label(cluster, "My Buds", SMargin(0, 22, 0, -1), SSize(0, 24), 119);
        Picture(cluster, "\\res\\Device\\home_buds_blue.png", SMargin(29, 64, -1, -1),
                SSize(182, 88));
        Picture(cluster, "\\res\\Device\\home_craddle_blue.png", SMargin(258, 64, -1, -1),
                SSize(120, 88));
        const double batteries[] = {58, 152, 303};
        for (double x : batteries) {
            Picture(cluster, "\\res\\Home\\home_orvel_battery_04.png", SMargin(x, 159, -1, -1),
                    SSize(30, 30));
            Label(cluster, "72%", SMargin(x - 11, 192, -1, -1), SSize(52, 18), 113);
        }
        auto* firmware = Add(std::make_unique<SPanel>());
        firmware->SetBackgroundColor(0x00F5F5F5u);
        firmware->Create("_firmwareUpdateView", content, SMargin(0, 229, 0, 0), SSize());
        Label(firmware, "Earbud software 1.2.3", SMargin(20, 20, 20, -1), SSize(0, 22), 115);
        Label(firmware, "Last update: 2026-11-30", SMargin(20, 46, 20, -1), SSize(0, 20), 112);
        auto* bar = Add(std::make_unique<SCommonProgressBar>());
        bar->SetStyle(3);
        bar->Create("SCommonProgressBar", firmware, SMargin(20, 90, 20, -1), SSize(0, 8));
        bar->SetPos(64);
        auto* button = Add(std::make_unique<SCommonButton>());
        button->SetStyle(12);
        button->SetText("Check for updates");
        button->Create("Button CheckFimwareUpdate", firmware, SMargin(-1, -1, -1, 30),
                       SSize(200, 36));
        return 0;
    }

    SSlideView* content = nullptr;

private:
    template <typename T>
    T* Add(std::unique_ptr<T> widget) {
        T* raw = widget.get();
        m_widgets.push_back(std::move(widget));
        return raw;
    }
    void Label(SWindowBase* parent, const std::string& text, const SMargin& margin,
               const SSize& size, int font) {
        auto* label = Add(std::make_unique<SLabel>(text));
        label->SetFont(font);
        label->SetFormat(SLabel::kDefaultFormat | DT_CENTER);
        label->Create("Label", parent, margin, size);
    }
    void Picture(SWindowBase* parent, const std::string& path, const SMargin& margin,
                 const SSize& size) {
        m_images.push_back(LoadImage(path));
        auto* picture = Add(std::make_unique<SStaticImage>());
        picture->SetImage(m_images.back().get());
        picture->Create("Picture", parent, margin, size);
    }

    std::vector<std::unique_ptr<SImage>> m_images;
    std::vector<std::unique_ptr<SWindowBase>> m_widgets;
};

void BM_FadeFrame(benchmark::State& state) {
    const double zoom = static_cast<double>(state.range(0));
    platform::ManualTickSource clock;
    platform::window::HeadlessBackend backend;
    SGUIApp app(backend);
    SDispatcher::SetZoomFactor(zoom);
    HomeFrame frame;
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
    app.GetDispatcher().running = 1;
    app.GetDispatcher().SetLastFrameTick(clock.now());
    // A fade of the whole content that never ends: every frame draws the snapshot half
    // transparent somewhere between 0 and 1.
    auto transition = std::make_unique<SSlideTransition>(SSlideTransition::kFade);
    transition->incoming = frame.content->RenderSnapshot();
    frame.content->StartAnimation(SSlideView::kFadeInKey, 150, -1, 5, std::move(transition), 0);
    SAnimationDriver& driver = SAnimationDriver::Instance();
    int frames = 0;
    for (auto _ : state) {
        clock.advance(31);
        frames += driver.Drive(0);
    }
    if (frames != static_cast<int>(state.iterations())) {
        state.SkipWithError("a frame was not painted");
    }
    frame.content->StopAnimation(SSlideView::kFadeInKey);
    app.GetDispatcher().running = 0;
    state.counters["pixels"] = 424 * zoom * 515 * zoom;
}
BENCHMARK(BM_FadeFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
