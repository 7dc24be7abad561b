#include "tools/gallery/GalleryFrame.h"

#include "platform/window/Keys.h"
#include "tools/gallery/GalleryAnimationPage.h"
#include "tools/gallery/GalleryArtworkPage.h"
#include "tools/gallery/GalleryButton.h"
#include "tools/gallery/GalleryCorePage.h"
#include "tools/gallery/GalleryDialogsPage.h"
#include "tools/gallery/GalleryLabel.h"
#include "tools/gallery/GalleryRoot.h"
#include "tools/gallery/GalleryTab.h"
#include "tools/gallery/GalleryTitleBar.h"
#include "tools/gallery/GalleryWidgetsPage.h"
#include "ui/SPalette.h"
#include "ui/SPanel.h"
#include "ui/TextFlags.h"

namespace {
constexpr int kCommandQuit = 1;
constexpr uint32_t kTitleColour = 0x00503A1Eu;  // RGB 1E3A50
constexpr double kTitleHeight = 34;
constexpr double kTabsHeight = 40;
const char* const kTabCaptions[] = {"Core", "Widgets", "Animation", "Dialogs", "Artwork"};
}  // namespace

const std::vector<std::string>& GalleryFrame::PageNames() {
    static const std::vector<std::string> names = {"core", "widgets", "animation", "dialogs",
                                                   "artwork"};
    return names;
}

GalleryFrame::~GalleryFrame() {
    // The tree goes before the widgets it is made of.
    Destroy();
}

int GalleryFrame::OnCreate() {
    auto* root = Add(std::make_unique<GalleryRoot>());
    root->CreateRoot(&agent, "GalleryRoot");
    root->SetBackgroundColor(0x00F4F1EEu);
    root->SetOnTimer([this](uint32_t id) {
        if (id == GalleryRoot::kQuitTimer) {
            Destroy();
        }
    });
    agent.tabNavigation = 1;
    AddCommandDelegate(this);
    AddAccelerator(SAccelerator{FVIRTKEY, platform::window::keys::kEscape, kCommandQuit});
    AddAccelerator(SAccelerator{FVIRTKEY | FCONTROL, 'Q', kCommandQuit});
    BuildTitleBar(root);
    BuildTabs(root);
    BuildPages(root);
    if (m_quitAfter > 0) {
        root->SetTimer(GalleryRoot::kQuitTimer, m_quitAfter);
    }
    return 0;
}

SWindowBase* GalleryFrame::BuildTitleBar(SWindowBase* root) {
    auto* title = Add(std::make_unique<GalleryTitleBar>());
    title->Create("TitleBar", root, SMargin(0, 0, 0, -1), SSize(0, kTitleHeight));
    title->SetBackgroundColor(kTitleColour);
    auto* caption = Add(std::make_unique<GalleryLabel>(
        "Auralis UI gallery", DT_SINGLELINE | DT_VCENTER, 119, 0x00FFFFFFu));
    caption->Create("Caption", title, SMargin(14, 0, 60, 0), SSize());
    // A disabled widget is transparent to the pointer, so presses on the caption text reach
    // the title bar and drag the window.
    caption->SetEnabled(0);
    auto* close = Add(std::make_unique<GalleryButton>("✕", [this] { Destroy(); }));
    close->Create("CloseButton", title, SMargin(-1, 5, 8, -1), SSize(40, 24));
    return title;
}

void GalleryFrame::BuildTabs(SWindowBase* root) {
    auto* row = Add(std::make_unique<SPanel>());
    row->SetBackgroundColor(SPalette::kSurface);
    row->Create("Tabs", root, SMargin(0, kTitleHeight, 0, -1), SSize(0, kTabsHeight));
    auto* line = Add(std::make_unique<SPanel>());
    line->SetBackgroundColor(0x00DCD6D0u);
    line->Create("TabLine", row, SMargin(0, -1, 0, 0), SSize(0, 1));
    m_tabs.selectOnPress = 1;
    for (std::size_t i = 0; i < PageNames().size(); ++i) {
        auto* tab = Add(std::make_unique<GalleryTab>(kTabCaptions[i]));
        tab->SetGroup(&m_tabs);
        tab->SetDelegate(this);
        tab->Create(PageNames()[i], row, SMargin(12 + static_cast<double>(i) * 108, 0, -1, 0),
                    SSize(104, 0));
    }
}

void GalleryFrame::BuildPages(SWindowBase* root) {
    auto* area = Add(std::make_unique<SPanel>());
    area->Create("Pages", root, SMargin(0, kTitleHeight + kTabsHeight, 0, 0), SSize());
    for (const std::string& name : PageNames()) {
        std::unique_ptr<GalleryPage> page;
        if (name == "core") {
            page = std::make_unique<GalleryCorePage>(this);
        } else if (name == "widgets") {
            page = std::make_unique<GalleryWidgetsPage>();
        } else if (name == "animation") {
            page = std::make_unique<GalleryAnimationPage>();
        } else if (name == "dialogs") {
            page = std::make_unique<GalleryDialogsPage>();
        } else {
            page = std::make_unique<GalleryArtworkPage>();
        }
        page->Create(name, area, SMargin(0, 0, 0, 0), SSize(), 0);
        page->Build();
        m_pages.push_back(Add(std::move(page)));
    }
    ShowPage(m_initialPage, true);
}

GalleryPage* GalleryFrame::GetPage(const std::string& name) const {
    for (GalleryPage* page : m_pages) {
        if (page->GetName() == name) {
            return page;
        }
    }
    return nullptr;
}

void GalleryFrame::ShowPage(const std::string& name, bool atOnce) {
    GalleryPage* next = GetPage(name);
    if (next == nullptr || name == m_current) {
        return;
    }
    for (SButton* tab : m_tabs.buttons) {
        if (tab->GetName() == name) {
            tab->SetChecked(1);
        }
    }
    if (GalleryPage* old = GetPage(m_current)) {
        if (atOnce) {
            old->SWindowBase::SetVisible(0);
        } else {
            old->SetVisible(0);
        }
    }
    if (atOnce) {
        next->SWindowBase::SetVisible(1);
    } else {
        next->SetVisible(1);
    }
    m_current = name;
}

void GalleryFrame::ButtonClicked(SButton* button) {
    ShowPage(button->GetName());
}

int GalleryFrame::OnCommand(int commandId) {
    if (commandId == kCommandQuit) {
        Destroy();
        return 1;
    }
    return 0;
}
