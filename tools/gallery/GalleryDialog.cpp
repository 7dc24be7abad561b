#include "tools/gallery/GalleryDialog.h"

#include "tools/gallery/GalleryButton.h"
#include "tools/gallery/GalleryLabel.h"
#include "tools/gallery/GalleryTitleBar.h"
#include "ui/SPanel.h"
#include "ui/TextFlags.h"

int GalleryDialog::OnCreate() {
    auto root = std::make_unique<SPanel>();
    root->CreateRoot(&agent, "DialogRoot");
    root->SetBackgroundColor(0x00FFFFFFu);
    root->SetBorder(0x00503A1Eu, 2);

    auto title = std::make_unique<GalleryTitleBar>();
    title->Create("DialogTitle", root.get(), SMargin(2, 2, 2, -1), SSize(0, 28));
    title->SetBackgroundColor(0x00503A1Eu);
    auto caption = std::make_unique<GalleryLabel>("Modal dialog", DT_SINGLELINE | DT_VCENTER, 115,
                                                  0x00FFFFFFu);
    caption->Create("Caption", title.get(), SMargin(12, 0, 12, 0), SSize());
    caption->SetEnabled(0);  // presses reach the title bar, which drags the dialog

    auto message = std::make_unique<GalleryLabel>(
        "The main window is disabled while this dialog runs its own loop. Close it with OK.",
        DT_WORDBREAK | DT_CENTER, 114);
    message->Create("Message", root.get(), SMargin(16, 44, 16, 56), SSize());

    auto ok = std::make_unique<GalleryButton>("OK", [this] { EndModal(); });
    ok->Create("OkButton", root.get(), SMargin(-1, -1, -1, 14), SSize(100, 30));
    ok->SetFocus();
    agent.tabNavigation = 1;

    m_widgets.push_back(std::move(root));
    m_widgets.push_back(std::move(title));
    m_widgets.push_back(std::move(caption));
    m_widgets.push_back(std::move(message));
    m_widgets.push_back(std::move(ok));
    return 0;
}
