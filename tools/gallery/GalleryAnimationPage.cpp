#include "tools/gallery/GalleryAnimationPage.h"

#include <string>

#include "tools/gallery/GalleryEasingPlot.h"
#include "ui/SCommonButton.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SLoadingAnimationControl.h"
#include "ui/SPalette.h"
#include "ui/SStaticImage.h"

namespace {

// A slide view showing one picture on white.
class PictureView : public SSlideView {
public:
    void SetImage(const SImage* image) { m_image = image; }
    void OnPaint(SDC& dc) override {
        const SRect own = GetRect(kRectOwnLogical, 0);
        dc.DrawRoundRect(own, 0x00F7F5F3u, 0, 8);
        if (m_image != nullptr) {
            dc.DrawImage(m_image, (own.Width() - m_image->GetWidth()) / 2,
                         (own.Height() - m_image->GetHeight()) / 2);
        }
    }

private:
    const SImage* m_image = nullptr;
};

}  // namespace

GalleryAnimationPage::GalleryAnimationPage() = default;
GalleryAnimationPage::~GalleryAnimationPage() = default;

void GalleryAnimationPage::Build() {
    BuildLoading();
    BuildSlideView();
    BuildEasing();
    AddStatusLine();
    SetStatus("Loading animations loop while visible; the slide views fade and slide on request.");
}

void GalleryAnimationPage::BuildLoading() {
    SPanel* section = Section("SLoadingAnimationControl: the four sequences, playing and still",
                              SMargin(12, 10, 12, -1), SSize(0, 236));
    const char* notes[] = {"1  sync, 12 frames, 2000 ms", "2  loading, 60 frames, 2000 ms",
                           "3  interval light, 50 frames, 1600 ms",
                           "4  update loading, 50 frames, 1660 ms"};
    const double rowHeight = 48;
    for (int type = 1; type <= 4; ++type) {
        const double top = 34 + (type - 1) * rowHeight;
        Label(section, notes[type - 1], SMargin(14, top, -1, -1), SSize(230, rowHeight));
        // The light of type 3 shows on a bar; the others on white.
        SWindowBase* parent = section;
        SMargin margin(250, top, -1, -1);
        if (type == 3) {
            auto* track = Add(std::make_unique<SPanel>());
            track->SetBackgroundColor(SPalette::kAccent);
            track->SetCornerRadius(5);
            track->Create("Track", section, SMargin(250, top + 19, -1, -1), SSize(300, 10));
            parent = track;
            margin = SMargin(0, 0, 0, 0);
        }
        auto* loading = Add(std::make_unique<SLoadingAnimationControl>(type));
        loading->Create("Loading Control", parent, margin,
                        type == 3 ? SSize() : SSize(300, rowHeight));
        const auto paths = SLoadingAnimationControl::FramePaths(type);
        for (int k = 0; k < 4; ++k) {
            m_images.push_back(LoadImage(paths[paths.size() * static_cast<std::size_t>(k) / 4]));
            const double width = type == 3 || type == 4 ? 60 : 44;
            const SMargin place(566 + k * (width + 8), top + (type >= 3 ? 20 : 4), -1, -1);
            const SSize size(width, type >= 3 ? 6 : 40);
            SWindowBase* ground = section;
            if (type == 3) {
                // The light is white: it shows on the bar's colour.
                auto* bar = Add(std::make_unique<SPanel>());
                bar->SetBackgroundColor(SPalette::kAccent);
                bar->Create("Still ground", section, place, size);
                ground = bar;
            }
            auto* still = Add(std::make_unique<SStaticImage>());
            still->SetImage(m_images.back().get());
            still->SetStretch(type == 3 || type == 4 ? 1 : 0);
            still->Create("Still", ground, ground == section ? place : SMargin(0, 0, 0, 0),
                          ground == section ? size : SSize());
        }
    }
}

void GalleryAnimationPage::BuildSlideView() {
    SPanel* section =
        Section("SSlideView: delayed show, fade, slide", SMargin(12, 258, -1, 30), SSize(420, 0));
    m_images.push_back(LoadImage("\\res\\Device\\device_connect_earbuds_white.png"));
    m_images.push_back(LoadImage("\\res\\Device\\device_connect_earbuds_case_open_white.png"));
    auto* fading = Add(std::make_unique<PictureView>());
    fading->SetImage(m_images[m_images.size() - 2].get());
    fading->SetDuration(250);
    fading->Create("Fading view", section, SMargin(12, 80, -1, 12), SSize(190, 0));
    auto* sliding = Add(std::make_unique<PictureView>());
    sliding->SetImage(m_images.back().get());
    sliding->SetVerticalSlide(1);
    sliding->SetDuration(400);
    sliding->Create("Sliding view", section, SMargin(216, 80, -1, 12), SSize(190, 0));
    sliding->SetClipChildren(1);
    m_fading = fading;
    m_sliding = sliding;
    const char* captions[] = {"Fade in / out", "Slide in / out"};
    for (int i = 0; i < 2; ++i) {
        auto* button = Add(std::make_unique<SCommonButton>());
        button->SetStyle(12);
        button->SetText(captions[i]);
        button->SetDelegate(this);
        button->Create(captions[i], section, SMargin(12 + i * 204, 38, -1, -1), SSize(180, 32));
    }
}

void GalleryAnimationPage::BuildEasing() {
    SPanel* section = Section("SEasing: curves 1 to 20 (anything else is linear)",
                              SMargin(444, 258, 12, 30), SSize());
    for (int curve = 1; curve <= 20; ++curve) {
        auto* plot = Add(std::make_unique<GalleryEasingPlot>(curve));
        const int column = (curve - 1) % 5;
        const int row = (curve - 1) / 5;
        plot->Create("Curve " + std::to_string(curve), section,
                     SMargin(12 + column * 82, 36 + row * 58, -1, -1), SSize(76, 54));
    }
}

void GalleryAnimationPage::ButtonClicked(SButton* button) {
    SSlideView* view = button->GetName() == "Fade in / out" ? m_fading : m_sliding;
    const bool show = view->GetOwnVisible() == 0 && view->IsWaiting() == 0;
    view->SetVisible(show ? 1 : 0);
    SetStatus(std::string(view->GetName()) + (show ? ": delayed show, then in" : ": out"));
}
