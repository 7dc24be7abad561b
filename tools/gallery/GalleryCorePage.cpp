#include "tools/gallery/GalleryCorePage.h"

#include <cairo.h>

#include <cmath>
#include <cstdio>

#include "tools/gallery/GalleryButton.h"
#include "tools/gallery/GalleryDialog.h"
#include "tools/gallery/GalleryFrame.h"
#include "tools/gallery/GalleryImage.h"
#include "tools/gallery/GalleryLabel.h"
#include "tools/gallery/GalleryRow.h"
#include "ui/SCustomSView.h"
#include "ui/SDispatcher.h"
#include "ui/SFontTable.h"
#include "ui/SImage.h"
#include "ui/SPanel.h"
#include "ui/TextFlags.h"

namespace {

constexpr uint32_t kPanelColour = 0x00FFFFFFu;
constexpr uint32_t kPanelBorder = 0x00DCD6D0u;
constexpr unsigned kLine = DT_SINGLELINE | DT_VCENTER;
constexpr int kRowCount = 30;
constexpr double kRowHeight = 26;

// A battery icon drawn at run time, in the high-resolution variant when the screen is scaled.
std::unique_ptr<SImage> MakeBatteryImage() {
    const double factor = SDispatcher::GetZoomFactor() >= 1.5 ? 2.0 : 1.0;
    const int width = static_cast<int>(60 * factor);
    const int height = static_cast<int>(30 * factor);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, factor, factor);
    cairo_set_line_width(cr, 2);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_rectangle(cr, 2, 4, 50, 22);
    cairo_stroke(cr);
    cairo_rectangle(cr, 53, 11, 4, 8);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.18, 0.67, 0.33);
    cairo_rectangle(cr, 5, 7, 44 * 0.7, 16);
    cairo_fill(cr);
    cairo_destroy(cr);
    return std::make_unique<SImage>(surface, factor);
}

}  // namespace

void GalleryCorePage::Build() {
    BuildTextPanel();
    BuildImagePanel();
    BuildInputPanel();
    BuildList();
}

void GalleryCorePage::BuildTextPanel() {
    auto* panel = Add(std::make_unique<SPanel>());
    panel->Create("TextPanel", this, SMargin(12, 10, -1, -1), SSize(300, 320));
    panel->SetBackgroundColor(kPanelColour);
    panel->SetBorder(kPanelBorder, 1);
    panel->SetCornerRadius(8);
    struct Sample {
        const char* name;
        const char* text;
        unsigned format;
        int font;
        SRect box;  // left, top, width, height
    };
    const Sample samples[] = {
        {"Header", "Text flags and scripts", kLine, 117, SRect(12, 6, 276, 24)},
        {"Ellipsis", "Single line, end ellipsis: the quick brown fox jumps over the lazy dog",
         DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 114, SRect(12, 34, 276, 24)},
        {"WordBreak",
         "Word break: a paragraph wraps at word boundaries inside its box, as firmware notes do.",
         DT_WORDBREAK, 114, SRect(12, 64, 276, 54)},
        {"Centre", "Centred", kLine | DT_CENTER, 115, SRect(12, 124, 134, 24)},
        {"Right", "Right aligned", kLine | DT_RIGHT, 115, SRect(154, 124, 134, 24)},
        {"Korean", "한국어: 이어버드를 연결하세요", kLine | DT_END_ELLIPSIS, 116,
         SRect(12, 154, 276, 24)},
        {"Cjk", "中文 · 日本語: 连接耳机 / イヤホンを接続", kLine | DT_END_ELLIPSIS, 116,
         SRect(12, 184, 276, 24)},
        {"Hebrew", "עברית: חבר את האוזניות", kLine | DT_RIGHT | DT_RTLREADING, 116,
         SRect(12, 214, 276, 24)},
        {"Arabic", "العربية: قم بتوصيل سماعات الأذن", kLine | DT_RIGHT | DT_RTLREADING, 116,
         SRect(12, 244, 276, 24)},
        {"Prefix", "&Save && exit", kLine, 114, SRect(12, 274, 100, 36)},
        {"TwoLines",
         "Wrapped text that is much too long for two lines ends with an ellipsis on the second",
         DT_WORDBREAK | DT_END_ELLIPSIS, 112, SRect(120, 274, 168, 36)},
    };
    for (const Sample& sample : samples) {
        auto* label = Add(std::make_unique<GalleryLabel>(sample.text, sample.format, sample.font));
        label->Create(sample.name, panel, SMargin(sample.box.left, sample.box.top, -1, -1),
                      SSize(sample.box.right, sample.box.bottom));
        label->SetShowBox(std::string(sample.name) != "Header");
    }
}

void GalleryCorePage::BuildImagePanel() {
    auto* panel = Add(std::make_unique<SPanel>());
    panel->Create("ImagePanel", this, SMargin(324, 10, 12, -1), SSize(0, 150));
    panel->SetBackgroundColor(kPanelColour);
    panel->SetBorder(kPanelBorder, 1);
    panel->SetCornerRadius(8);
    auto* header = Add(std::make_unique<GalleryLabel>("Images", kLine, 117, 0x00202020u));
    header->Create("Header", panel, SMargin(12, 6, 12, -1), SSize(0, 24));
    struct Picture {
        const char* name;
        std::unique_ptr<SImage> image;
        GalleryImage::Mode mode;
        SRect box;
    };
    Picture pictures[] = {
        {"Play", LoadImage("\\res\\Gallery\\image\\play.png"), GalleryImage::Mode::Natural,
         SRect(12, 36, 48, 48)},
        {"Chart", LoadImage("\\res\\Gallery\\image\\chart.png"), GalleryImage::Mode::Natural,
         SRect(72, 36, 64, 40)},
        {"ChartStretched", LoadImage("\\res\\Gallery\\image\\chart.png"),
         GalleryImage::Mode::Stretch, SRect(148, 36, 100, 56)},
        {"Battery", MakeBatteryImage(), GalleryImage::Mode::Natural, SRect(12, 100, 60, 30)},
        {"ChartCircle", LoadImage("\\res\\Gallery\\image\\chart.png"), GalleryImage::Mode::Circle,
         SRect(84, 96, 44, 44)},
    };
    for (Picture& picture : pictures) {
        auto* widget = Add(std::make_unique<GalleryImage>(std::move(picture.image), picture.mode));
        widget->Create(picture.name, panel, SMargin(picture.box.left, picture.box.top, -1, -1),
                       SSize(picture.box.right, picture.box.bottom));
    }
    auto* note = Add(std::make_unique<GalleryLabel>("natural · stretched · drawn · circle",
                                                    DT_WORDBREAK, 110, 0x00707070u));
    note->Create("Note", panel, SMargin(140, 100, 12, -1), SSize(0, 40));
}

void GalleryCorePage::BuildInputPanel() {
    auto* panel = Add(std::make_unique<SPanel>());
    panel->Create("InputPanel", this, SMargin(324, 170, 12, -1), SSize(0, 160));
    panel->SetBackgroundColor(kPanelColour);
    panel->SetBorder(kPanelBorder, 1);
    panel->SetCornerRadius(8);
    auto* header = Add(std::make_unique<GalleryLabel>("Input", kLine, 117, 0x00202020u));
    header->Create("Header", panel, SMargin(12, 6, 12, -1), SSize(0, 24));
    auto* click = Add(std::make_unique<GalleryButton>("Click me", nullptr));
    click->SetOnClick([this, click] {
        ++m_clicks;
        char caption[48];
        std::snprintf(caption, sizeof caption, "Clicked %d×", m_clicks);
        click->SetCaption(caption);
        SetCoreStatus(std::string("Button: ") + caption);
    });
    click->Create("ClickButton", panel, SMargin(12, 36, -1, -1), SSize(116, 30));
    auto* modal = Add(std::make_unique<GalleryButton>("Modal dialog", [this] { OpenDialog(); }));
    modal->Create("ModalButton", panel, SMargin(-1, 36, 12, -1), SSize(116, 30));
    auto* mirror =
        Add(std::make_unique<GalleryButton>("Mirror (RTL)", [this] { ToggleMirroring(); }));
    mirror->Create("MirrorButton", panel, SMargin(12, 74, -1, -1), SSize(116, 30));
    auto* quit = Add(std::make_unique<GalleryButton>("Quit", [this] { m_frame->Destroy(); }));
    quit->Create("QuitButton", panel, SMargin(-1, 74, 12, -1), SSize(116, 30));
    m_status = Add(std::make_unique<GalleryLabel>(
        "Tab moves the focus, the title bar drags the window, the wheel scrolls the list.",
        DT_WORDBREAK | DT_END_ELLIPSIS, 112, 0x00606060u));
    m_status->Create("Status", panel, SMargin(12, 112, 12, 8), SSize());
}

void GalleryCorePage::BuildList() {
    auto* frame = Add(std::make_unique<SPanel>());
    frame->Create("ListFrame", this, SMargin(12, 342, 12, 12), SSize());
    frame->SetBackgroundColor(kPanelColour);
    frame->SetBorder(kPanelBorder, 1);
    auto* list = Add(std::make_unique<SCustomSView>());
    list->Create("List", frame, SMargin(1, 1, 1, 1), SSize());
    for (int i = 0; i < kRowCount; ++i) {
        auto* row = Add(std::make_unique<GalleryRow>(i));
        char name[32];
        std::snprintf(name, sizeof name, "Row%02d", i + 1);
        row->Create(name, list, SMargin(0, i * kRowHeight, 0, -1), SSize(0, kRowHeight));
    }
    list->ArrangeChildren();
}

void GalleryCorePage::SetCoreStatus(const std::string& text) {
    if (m_status != nullptr) {
        m_status->SetText(text);
    }
}

void GalleryCorePage::ToggleMirroring() {
    // Layout is mirrored when both the frame's switch and the process-wide flag are on.
    const bool mirror = m_frame->rightToLeft == 0 || !SFontTable::Instance().IsRightToLeft();
    SFontTable::Instance().SetRightToLeft(mirror);
    m_frame->SetRightToLeft(mirror ? 1 : 0);
    SetCoreStatus(m_frame->rightToLeft != 0 ? "Layout mirrored right to left"
                                            : "Layout left to right");
}

void GalleryCorePage::OpenDialog() {
    SetCoreStatus("Modal dialog open: a nested loop runs");
    GalleryDialog dialog;
    SFrameOptions options;
    options.title = "Modal dialog";
    const double scale = m_frame->zoomMode != 0 ? m_frame->zoom : 1.0;
    options.rect = SRect(0, 0, std::ceil(320 * scale), std::ceil(170 * scale));
    options.centered = true;
    options.owner = m_frame;
    dialog.zoomMode = m_frame->zoomMode;
    dialog.rightToLeft = m_frame->rightToLeft;
    dialog.DoModal(options);
    if (m_frame->IsWindow()) {
        SetCoreStatus("Modal dialog closed; the outer loop carries on");
    }
}
