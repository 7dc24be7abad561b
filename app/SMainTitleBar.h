#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/SImageButton.h"
#include "ui/SMenuEntry.h"
#include "ui/SStaticImage.h"
#include "ui/STitleBar.h"

class IButtonDelegate;
class SImage;

// The main window's title bar: the logo at the left; the menu, minimise and close buttons at the
// right. Their clicks go to the button delegate (the main frame), which tells them apart by name.
// The menu button is a toggle: it stays pressed (checked) while its menu is open. The bar also
// holds the window menu's definition "WindowMenu".
class SMainTitleBar : public STitleBar {
public:
    static constexpr int kCommandDeviceSetting = 605;
    static constexpr int kCommandAbout = 604;
    static constexpr int kCommandSyncEarBuds = 608;
    static constexpr double kHeight = 32;

    SMainTitleBar();
    ~SMainTitleBar() override;
    const char* GetClassName() const override { return "SMainTitleBar"; }

    void SetButtonDelegate(IButtonDelegate* delegate);
    SImageButton& GetMenuButton() { return m_menuButton; }
    SImageButton& GetMinButton() { return m_minButton; }
    SImageButton& GetCloseButton() { return m_closeButton; }

    // The menu definition of that name, or null.
    SMenuDefinition* GetMenu(const std::string& name);

    void OnCreate() override;

private:
    void BuildWindowMenu();

    std::unique_ptr<SImage> m_logoImage;
    SStaticImage m_logo;
    SImageButton m_menuButton;
    SImageButton m_minButton;
    SImageButton m_closeButton;
    SMenuDefinition m_windowMenu;
};
