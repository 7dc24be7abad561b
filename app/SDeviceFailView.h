#pragma once

#include <memory>
#include <string>

#include "app/IMainViewDelegate.h"
#include "ui/IButtonDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"
#include "ui/SSlideView.h"
#include "ui/SStaticImage.h"

class SImage;

// The screen after a failed or one-sided connection: the program's name, a picture of the
// earbuds in their open case, what went wrong (set by the controller with the failure kind),
// a general recovery hint and an OK button that returns to the welcome screen. UI thread only.
class SDeviceFailView : public SSlideView, public IButtonDelegate, public IMainViewDelegate {
public:
    // Failure kinds (the controller's view types).
    static constexpr int kKindOneSide = 2;
    static constexpr int kKindConnectFail = 3;

    SDeviceFailView();
    ~SDeviceFailView() override;
    const char* GetClassName() const override { return "SDeviceFailView"; }

    void SetMainViewDelegate(IMainViewDelegate* delegate) { m_delegate = delegate; }
    IMainViewDelegate* GetMainViewDelegate() const { return m_delegate; }
    // Shows what went wrong: kind 2 one earbud only, kind 3 no connection, anything else no
    // text. The text stays until the next kind is set.
    void SetFailKind(int kind);
    int GetFailKind() const { return m_kind; }
    // The text of a failure kind, line breaks expanded.
    static std::string FailText(int kind);
    // Every two-character sequence backslash + n becomes a line break.
    static std::string ExpandLineBreaks(const std::string& text);

    SPanel& GetPanel() { return m_panel; }
    SLabel& GetTitleLabel() { return m_title; }
    SLabel& GetFailLabel() { return m_description; }
    SLabel& GetGuideLabel() { return m_guide; }
    SStaticImage& GetFailImage() { return m_failImage; }
    SCommonButton& GetOkButton() { return m_btnConnect; }

    void OnCreate() override;
    void OnSize(double width, double height) override;

    // IButtonDelegate
    void ButtonClicked(SButton* button) override;

private:
    // Sizes both description labels to their texts and stacks them under the picture.
    void ArrangeLabels();

    IMainViewDelegate* m_delegate = nullptr;
    int m_kind = 0;
    std::unique_ptr<SImage> m_picture;
    SPanel m_panel;
    SLabel m_title;
    SLabel m_description;
    SLabel m_guide;
    SStaticImage m_failImage;
    SCommonButton m_btnConnect;
};
