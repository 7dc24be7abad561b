#include "tools/gallery/GalleryWidgetsPage.h"

#include <string>

#include "ui/SCheckButton.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonProgressBar.h"
#include "ui/SHyperlinkButton.h"
#include "ui/SImageButton.h"
#include "ui/SLinkButton.h"
#include "ui/SPalette.h"
#include "ui/SSeeThroughScrollBarFactory.h"
#include "ui/SView.h"

void GalleryWidgetsPage::Build() {
    BuildButtons();
    BuildToggles();
    BuildLabels();
    BuildProgress();
    BuildScrolling();
    AddStatusLine();
    SetStatus("Click anything: the delegate's notifications show here.");
}

void GalleryWidgetsPage::BuildButtons() {
    SPanel* section =
        Section("SCommonButton: caption styles 0 to 15", SMargin(12, 10, -1, -1), SSize(432, 250));
    for (int style = 0; style < 16; ++style) {
        auto* button = Add(std::make_unique<SCommonButton>());
        button->SetStyle(style);
        button->SetText("Style " + std::to_string(style));
        button->SetDelegate(this);
        button->Create("Style " + std::to_string(style), section,
                       SMargin(12 + (style % 4) * 104, 38 + (style / 4) * 40, -1, -1),
                       SSize(96, 32));
    }
    auto* disabled = Add(std::make_unique<SCommonButton>());
    disabled->SetStyle(12);
    disabled->SetText("Disabled");
    disabled->Create("Disabled", section, SMargin(12, 204, -1, -1), SSize(124, 32));
    disabled->SetEnabled(0);
    auto* sized = Add(std::make_unique<SCommonButton>());
    sized->SetStyle(12);
    sized->SetAutoSize(1);
    sized->SetText("Sized to its caption");
    sized->SetDelegate(this);
    sized->Create("Auto size", section, SMargin(148, 204, -1, -1), SSize(0, 32));
    sized->SetAutoSize(1);
}

void GalleryWidgetsPage::BuildToggles() {
    SPanel* section = Section("Check boxes, radio group, image and link buttons",
                              SMargin(456, 10, 12, -1), SSize(0, 250));
    const char* checks[] = {"Don't remind me again", "Checked", "Disabled"};
    for (int i = 0; i < 3; ++i) {
        auto* check = Add(std::make_unique<SCheckButton>());
        check->SetDefaultCheckImages();
        check->SetText(checks[i]);
        check->SetDelegate(this);
        check->Create(checks[i], section, SMargin(14, 40 + i * 28, -1, -1), SSize(190, 22));
        check->SetChecked(i == 1 ? 1 : 0);
        check->SetEnabled(i == 2 ? 0 : 1);
    }
    const char* radios[] = {"Left earbud", "Right earbud", "Both"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = Add(std::make_unique<SCheckButton>());
        radio->SetType(SButton::kRadio);
        radio->SetDefaultCheckImages();
        radio->SetText(radios[i]);
        radio->SetGroup(&m_group);
        radio->SetDelegate(this);
        radio->Create(radios[i], section, SMargin(214, 40 + i * 28, -1, -1), SSize(160, 22));
    }
    m_group.buttons.back()->SetChecked(1);
    Label(section, "Title bar:", SMargin(14, 132, -1, -1), SSize(80, 28));
    const char* images[][3] = {
        {"\\res\\Window\\window_menu_sel_nor.png", "\\res\\Window\\window_menu_sel_over.png",
         "\\res\\Window\\window_menu_sel_click.png"},
        {"\\res\\Window\\window_minimum_nor.png", "", ""},
        {"\\res\\Window\\window_close_nor.png", "", ""}};
    const char* names[] = {"MenuButton", "MinButton", "CloseButton"};
    for (int i = 0; i < 3; ++i) {
        auto* button = Add(std::make_unique<SImageButton>());
        button->SetImages(images[i][0], images[i][1], images[i][2]);
        if (i > 0) {
            button->SetHoverWash(SPalette::kHoverWash, 13);
        }
        button->SetDelegate(this);
        button->Create(names[i], section, SMargin(96 + i * 34, 132, -1, -1), SSize(28, 28));
    }
    auto* link = Add(std::make_unique<SLinkButton>());
    link->SetText("SLinkButton: check for updates");
    link->SetDelegate(this);
    link->Create("Link", section, SMargin(14, 172, -1, -1), SSize(260, 22));
    auto* hyperlink = Add(std::make_unique<SHyperlinkButton>());
    hyperlink->SetText("SHyperlinkButton: opens a page in the browser");
    hyperlink->SetTarget("https://example.invalid/auralis");
    hyperlink->Create("Hyperlink", section, SMargin(14, 200, -1, -1), SSize(320, 22));
}

void GalleryWidgetsPage::BuildLabels() {
    SPanel* section = Section("SLabel", SMargin(12, 272, -1, -1), SSize(432, 120));
    Label(section, "Single line, vertically centred, ending in an ellipsis when it is too long",
          SMargin(12, 36, 12, -1), SSize(0, 22), 112, SPalette::kText);
    Label(section,
          "Word-wrapped text flows onto the next line within the label's box, the way release "
          "notes and descriptions are shown.",
          SMargin(12, 62, 12, -1), SSize(0, 36), 112, SPalette::kTextSecondary, DT_WORDBREAK);
    Label(section, "Bold 15 px, centred", SMargin(12, 96, 12, -1), SSize(0, 20), 119,
          SPalette::kAccent, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void GalleryWidgetsPage::BuildProgress() {
    SPanel* section =
        Section("SCommonProgressBar: styles 0 to 6", SMargin(456, 272, 12, -1), SSize(0, 250));
    const int values[] = {70, 55, 45, 80, 0, 0, 0};
    const char* notes[] = {"0 red",     "1 white",   "2 common", "3 home",
                           "4 + light", "5 + light", "6 + light"};
    for (int style = 0; style < 7; ++style) {
        const double top = 38 + style * 29;
        // The white set is for coloured ground.
        SWindowBase* parent = section;
        if (style == 1 || style == 6) {
            auto* ground = Add(std::make_unique<SPanel>());
            ground->SetBackgroundColor(SPalette::kAccent);
            ground->SetCornerRadius(4);
            ground->Create("Ground", section, SMargin(96, top - 6, 14, -1), SSize(0, 22));
            parent = ground;
        }
        Label(section, notes[style], SMargin(14, top - 6, -1, -1), SSize(80, 22));
        auto* bar = Add(std::make_unique<SCommonProgressBar>());
        bar->SetStyle(style);
        const SMargin margin = parent == section ? SMargin(96, top, 14, -1) : SMargin(8, 6, 8, -1);
        bar->Create("Bar", parent, margin, SSize(0, style == 3 || style == 5 ? 8 : 10));
        bar->SetPos(values[style]);
    }
}

void GalleryWidgetsPage::BuildScrolling() {
    SPanel* section = Section("SView scroll bars", SMargin(12, 404, -1, 30), SSize(432, 0));
    for (int kind = 0; kind < 2; ++kind) {
        auto* view = Add(std::make_unique<SView>());
        if (kind == 1) {
            view->SetScrollBarFactory(std::make_unique<SSeeThroughScrollBarFactory>());
        }
        view->Create(kind == 0 ? "Standard bars" : "See-through bars", section,
                     SMargin(12 + kind * 210, 34, -1, 8), SSize(198, 0));
        view->SetContentSize(SSize(420, 300));
        for (int row = 0; row < 10; ++row) {
            auto* line = Add(std::make_unique<SLabel>(
                (kind == 0 ? "SScrollBar, row " : "SSeeThroughScrollBar, row ") +
                std::to_string(row + 1) + " — scroll both ways"));
            line->SetBackgroundColor(row % 2 == 0 ? 0x00F7F5F3u : 0x00FFFFFFu);
            line->Create("Row", view, SMargin(0, row * 30, -1, -1), SSize(420, 30));
        }
        view->ArrangeChildren();
    }
}

void GalleryWidgetsPage::ButtonClicked(SButton* button) {
    std::string state;
    if (button->GetType() != SButton::kPush) {
        state = button->GetChecked() != 0 ? " (checked)" : " (unchecked)";
    }
    SetStatus("ButtonClicked: " + button->GetName() + state);
}
