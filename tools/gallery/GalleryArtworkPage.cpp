#include "tools/gallery/GalleryArtworkPage.h"

#include <algorithm>

#include "ui/SCommonToolTipContent.h"
#include "ui/SCustomSView.h"
#include "ui/SImage.h"
#include "ui/SMainPanel.h"
#include "ui/SPalette.h"
#include "ui/SShadowTooltipPanel.h"
#include "ui/SStaticImage.h"
#include "ui/TextFlags.h"

namespace {

const char* const kColourWords[] = {"blue", "pink", "black",    "white",
                                    "Norq", "red",  "deepblue", "Virel-purple"};

std::string FileName(const std::string& path) {
    const std::size_t at = path.find_last_of('\\');
    return at == std::string::npos ? path : path.substr(at + 1);
}

// The device cluster of the home screen, 408 x 229, white.
class ClusterPanel : public SPanel {
public:
    ClusterPanel() { m_background = 0x00FFFFFFu; }
};

}  // namespace

GalleryArtworkPage::GalleryArtworkPage() = default;
GalleryArtworkPage::~GalleryArtworkPage() = default;

const SImage* GalleryArtworkPage::Keep(const std::string& path) {
    m_images.push_back(LoadImage(path));
    return m_images.back().get();
}

double GalleryArtworkPage::Heading(const std::string& text, double y) {
    Label(m_sheet, text, SMargin(16, y, 16, -1), SSize(0, 24), 117, 0x00202020u);
    return y + 30;
}

double GalleryArtworkPage::Picture(const std::string& path, double x, double y, double labelWidth) {
    const SImage* image = Keep(path);
    auto* widget = Add(std::make_unique<SStaticImage>());
    widget->SetImage(image);
    const double width = image != nullptr ? image->GetWidth() : 40;
    const double height = image != nullptr ? image->GetHeight() : 40;
    widget->Create(FileName(path), m_sheet, SMargin(x, y, -1, -1), SSize(width, height));
    const double caption = std::max(width, labelWidth);
    Label(m_sheet, image != nullptr ? FileName(path) : FileName(path) + " (missing)",
          SMargin(x - (caption - width) / 2, y + height + 2, -1, -1), SSize(caption, 16), 108,
          image != nullptr ? SPalette::kTextSecondary : 0x000000FFu,
          DT_SINGLELINE | DT_CENTER | DT_END_ELLIPSIS);
    return y + height + 20;
}

void GalleryArtworkPage::Build() {
    auto* frame = Add(std::make_unique<SPanel>());
    frame->SetBackgroundColor(kSectionColour);
    frame->SetBorder(kSectionBorder, 1);
    frame->Create("Sheet frame", this, SMargin(12, 10, 12, 10), SSize());
    m_sheet = Add(std::make_unique<SCustomSView>());
    m_sheet->Create("Sheet", frame, SMargin(1, 1, 1, 1), SSize());
    m_sheet->SetPadding(SMargin(0, 0, 0, 16));
    double y = 10;
    y = BuildCluster(y);
    y = BuildEarbuds(y);
    y = BuildSmall(y);
    BuildFrames(y);
    m_sheet->ArrangeChildren();
}

double GalleryArtworkPage::BuildCluster(double y) {
    y = Heading("The home screen's device cluster, laid out from the pictures", y);
    // Two clusters side by side, as the home screen places them: without the case group
    // (pictures centred) and with it (the earbuds left, the case right).
    for (int withCase = 0; withCase < 2; ++withCase) {
        auto* cluster = Add(std::make_unique<ClusterPanel>());
        cluster->SetBorder(SPalette::kLine, 1);
        cluster->Create(withCase != 0 ? "Cluster with case" : "Cluster", m_sheet,
                        SMargin(16 + withCase * 416, y, -1, -1), SSize(408, 229));
        Label(cluster, withCase != 0 ? "Auralis Buds+ (VX-R175)" : "My Buds", SMargin(0, 22, 0, -1),
              SSize(0, 24), 119, SPalette::kText, DT_SINGLELINE | DT_CENTER);
        auto* buds = Add(std::make_unique<SStaticImage>());
        buds->SetImage(Keep(withCase != 0 ? "\\res\\Device\\home_buds_blue_right-dim.png"
                                          : "\\res\\Device\\home_buds_Virel-purple.png"));
        buds->Create("_staticImgEarBuds", cluster,
                     withCase != 0 ? SMargin(29, 64, -1, -1) : SMargin(-1, 64, -1, -1),
                     SSize(182, 88));
        const struct {
            const char* picture;
            const char* text;
            SMargin picturePlace;
            SMargin labelPlace;
        } sides[] = {
            {"\\res\\Home\\home_orvel_battery_04.png", "72%",
             withCase != 0 ? SMargin(58, 159, -1, -1) : SMargin(148, 159, -1, -1),
             withCase != 0 ? SMargin(47, 192, -1, -1) : SMargin(137, 192, -1, -1)},
            {withCase != 0 ? "\\res\\Home\\home_orvel_battery_disconnect.png"
                           : "\\res\\Home\\home_orvel_battery_02.png",
             withCase != 0 ? "" : "24%",
             withCase != 0 ? SMargin(152, 159, -1, -1) : SMargin(-1, 159, 148, -1),
             withCase != 0 ? SMargin(141, 192, -1, -1) : SMargin(-1, 192, 137, -1)},
        };
        for (const auto& side : sides) {
            auto* battery = Add(std::make_unique<SStaticImage>());
            battery->SetImage(Keep(side.picture));
            battery->Create("_staticImgBattery", cluster, side.picturePlace, SSize(30, 30));
            Label(cluster, side.text, side.labelPlace, SSize(52, 18), 113, SPalette::kText,
                  DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        }
        if (withCase != 0) {
            auto* separator = Add(std::make_unique<SPanel>());
            separator->SetBackgroundColor(0x00EBEBEBu);
            separator->Create("_pnlSeparate", cluster, SMargin(236, 70, -1, -1), SSize(1, 140));
            auto* box = Add(std::make_unique<SStaticImage>());
            box->SetImage(Keep("\\res\\Device\\home_craddle_blue.png"));
            box->Create("_staticImgCase", cluster, SMargin(258, 64, -1, -1), SSize(120, 88));
            auto* battery = Add(std::make_unique<SStaticImage>());
            battery->SetImage(Keep("\\res\\Home\\home_orvel_battery_05.png"));
            battery->Create("_staticImgBatteryR", cluster, SMargin(303, 159, -1, -1),
                            SSize(30, 30));
            Label(cluster, "95%", SMargin(292, 192, -1, -1), SSize(52, 18), 113, SPalette::kText,
                  DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        }
    }
    return y + 229 + 20;
}

double GalleryArtworkPage::BuildEarbuds(double y) {
    y = Heading("Earbuds in every colour: both, left dimmed, right dimmed, the case", y);
    for (const char* word : kColourWords) {
        const std::string base = std::string("\\res\\Device\\home_buds_") + word;
        Picture(base + ".png", 16, y, 182);
        Picture(base + "_left-dim.png", 210, y, 182);
        Picture(base + "_right-dim.png", 404, y, 182);
        y = Picture(std::string("\\res\\Device\\home_craddle_") + word + ".png", 598, y, 150) + 8;
    }
    y = Heading("First generation; the welcome, connecting and failure pictures", y);
    Picture("\\res\\Device\\home_buds_kestrane.png", 16, y + 40);
    Picture("\\res\\Device\\device_connect_earbuds_case_close_white.png", 200, y);
    Picture("\\res\\Device\\device_connect_earbuds_case_open_white.png", 412, y);
    return Picture("\\res\\Device\\device_connect_earbuds_white.png", 624, y) + 8;
}

double GalleryArtworkPage::BuildSmall(double y) {
    y = Heading("Batteries, check box, title bar, icons", y);
    const char* batteries[] = {"01",  "02",         "03",       "04",    "05",
                               "dim", "disconnect", "charging", "saving"};
    double x = 16;
    for (const char* battery : batteries) {
        Picture(std::string("\\res\\Home\\home_orvel_battery_") + battery + ".png", x + 30, y, 88);
        x += 92;
    }
    y += 60;
    x = 16;
    for (const char* path :
         {"\\res\\Device\\check_bg.png", "\\res\\Device\\check_mark_normal.png",
          "\\res\\Device\\check_mark_over.png", "\\res\\Device\\check_mark_press.png",
          "\\res\\Window\\window_menu_sel_nor.png", "\\res\\Window\\window_menu_sel_over.png",
          "\\res\\Window\\window_menu_sel_click.png", "\\res\\Window\\window_minimum_nor.png",
          "\\res\\Window\\window_close_nor.png"}) {
        Picture(path, x + 30, y, 88);
        x += 92;
    }
    y += 60;
    Picture("\\res\\window_logo.png", 16, y + 20);
    Picture("\\res\\icon_64.png", 170, y);
    Picture("\\res\\imgLoadingSmall.png", 290, y + 20, 110);
    return y + 96;
}

double GalleryArtworkPage::BuildFrames(double y) {
    y = Heading("Frames put together from their slices: popup window, drop-down, tooltip", y);
    auto* popup = Add(std::make_unique<SMainPanel>());
    popup->LoadPopupSlices();
    popup->Create("Popup frame", m_sheet, SMargin(16, y, -1, -1), SSize(240, 140));
    Label(popup, "pop_up_window_*", SMargin(0, 0, 0, 0), SSize(), 112, SPalette::kTextSecondary,
          DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    auto* dropdown = Add(std::make_unique<SMainPanel>());
    SMainPanel::Slices slices;
    const char* names[] = {"left_top",     "top_middle",  "right_top",     "left_middle",
                           "right_middle", "left_bottom", "bottom_middle", "right_bottom"};
    for (std::size_t i = 0; i < slices.size(); ++i) {
        slices[i] = LoadImage(std::string("\\res\\dropdown\\dorp_down_") + names[i] + ".png");
    }
    dropdown->SetSlices(std::move(slices));
    dropdown->Create("Drop-down frame", m_sheet, SMargin(280, y, -1, -1), SSize(200, 140));
    const char* entries[] = {"Device settings", "About Auralis Manager", "Sync earbuds"};
    for (int i = 0; i < 3; ++i) {
        Label(dropdown, entries[i], SMargin(20, 22 + i * 32, 12, -1), SSize(0, 28), 114,
              i == 1 ? SPalette::kText : SPalette::kTextDisabled);
    }
    auto* bubble = Add(std::make_unique<SShadowTooltipPanel>());
    const SCommonToolTipContent content("A tooltip bubble: nine slices and the tail");
    bubble->SetContent(&content);
    bubble->Create("Tooltip bubble", m_sheet, SMargin(504, y + 40, -1, -1), SSize(240, 56));
    return y + 160;
}
