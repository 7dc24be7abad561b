#pragma once

#include <string>

#include "ui/SImageButton.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"

class IButtonDelegate;

// A dialog's title row: the title text and the close button "CloseButton" at the right. The
// rest of the row drags the window.
class SDialogTitleBar : public SPanel {
public:
    static constexpr double kHeight = 28;

    const char* GetClassName() const override { return "SDialogTitleBar"; }

    void SetTitle(const std::string& title) { m_title.SetText(title); }
    const std::string& GetTitle() const { return m_title.GetText(); }
    void SetButtonDelegate(IButtonDelegate* delegate) { m_close.SetDelegate(delegate); }
    SImageButton& GetCloseButton() { return m_close; }

    void OnCreate() override;
    int OnHitTestArea(const SMouseEventArgs& event) override;

private:
    SLabel m_title;
    SImageButton m_close;
};
