#include "app/SMainTitleBar.h"

#include "services/SLocale.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"

namespace {
constexpr double kButtonSize = 28;
constexpr double kLogoLeft = 8;
}  // namespace

SMainTitleBar::SMainTitleBar() {
    SetTitleBarHeight(kHeight);
}

SMainTitleBar::~SMainTitleBar() = default;

void SMainTitleBar::SetButtonDelegate(IButtonDelegate* delegate) {
    m_menuButton.SetDelegate(delegate);
    m_minButton.SetDelegate(delegate);
    m_closeButton.SetDelegate(delegate);
}

SMenuDefinition* SMainTitleBar::GetMenu(const std::string& name) {
    return name == m_windowMenu.name ? &m_windowMenu : nullptr;
}

void SMainTitleBar::OnCreate() {
    m_logoImage = LoadImage("\\res\\window_logo.png");
    m_logo.SetImage(m_logoImage.get());
    const SSize logoSize = m_logoImage != nullptr
                               ? SSize(m_logoImage->GetWidth(), m_logoImage->GetHeight())
                               : SSize(110, 24);
    // Vertically centred, anchored at the left.
    m_logo.Create("Logo", this, SMargin(kLogoLeft, -1, -1, -1), logoSize);
    // The logo is part of the drag area, not a target of its own.
    m_logo.SetEnabled(0);
    m_logo.SetAccessibleName(AfxGetLocale()->GetString("MNU_AuralisManager"));

    // Right to left: close, minimise, menu; each one button width further in.
    m_closeButton.SetImages("\\res\\Window\\window_close_nor.png");
    m_closeButton.SetHoverWash(SPalette::kHoverWash, kButtonSize / 2);
    m_closeButton.Create("CloseButton", this, SMargin(-1, -1, 0, -1),
                         SSize(kButtonSize, kButtonSize));
    m_minButton.SetImages("\\res\\Window\\window_minimum_nor.png");
    m_minButton.SetHoverWash(SPalette::kHoverWash, kButtonSize / 2);
    m_minButton.Create("MinButton", this, SMargin(-1, -1, kButtonSize, -1),
                       SSize(kButtonSize, kButtonSize));
    m_menuButton.SetImages("\\res\\Window\\window_menu_sel_nor.png",
                           "\\res\\Window\\window_menu_sel_over.png",
                           "\\res\\Window\\window_menu_sel_click.png");
    m_menuButton.SetType(SButton::kToggle);
    m_menuButton.Create("MenuButton", this, SMargin(-1, -1, 2 * kButtonSize, -1),
                        SSize(kButtonSize, kButtonSize));
    // Icon-only buttons are named by what they do.
    m_closeButton.SetAccessibleName(AfxGetLocale()->GetString("MNU_A11yClose"));
    m_minButton.SetAccessibleName(AfxGetLocale()->GetString("MNU_A11yMinimize"));
    m_menuButton.SetAccessibleName(AfxGetLocale()->GetString("MNU_A11yMenu"));
    BuildWindowMenu();
}

void SMainTitleBar::BuildWindowMenu() {
    const SMenuEntry separator{SMenuEntry::kStateSeparator, SMenuEntry::kSeparatorCommand, "", 0};
    m_windowMenu.name = "WindowMenu";
    m_windowMenu.entries = {
        {SMenuEntry::kStateDisabled, kCommandDeviceSetting, AfxGetStrRes("MNU_DeviceSetting"), 1},
        separator,
        {0, kCommandAbout, AfxGetStrRes("MNU_AboutPCSoftware"), 0},
        separator,
        // Enabled: it lets the user change pairs (the main frame greys it out while an
        // update runs).
        {0, kCommandSyncEarBuds, AfxGetStrRes("MNU_SyncEarBuds"), 0},
        separator,
    };
}
