#pragma once

#include <string>

#include "ui/SImageButton.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"
#include "ui/SWindowBaseFinderPropSheet.h"

class IButtonDelegate;
class SWindowFrame;

// The widget tree of the inspector's window: a dark header (title, where the hovered widget
// lives, a close button; pressing the rest of it drags the window) over the property sheet.
class SWindowBaseFinderWindow : public SPanel {
public:
    static constexpr double kDesignWidth = 470;
    static constexpr double kHeaderHeight = 48;
    static constexpr double kPadding = 10;

    const char* GetClassName() const override { return "SWindowBaseFinderWindow"; }

    // The logical height the window needs.
    double GetPreferredHeight() const;
    void SetCloseDelegate(IButtonDelegate* delegate) { m_close.SetDelegate(delegate); }
    // Shows a widget (null: nothing hovered) of a frame.
    void ShowWidget(SWindowBase* widget, const SWindowFrame* frame);
    // The pointer left the widget: its texts stay, marked as the last ones seen.
    void ShowLastWidget();
    SWindowBaseFinderPropSheet& GetSheet() { return m_sheet; }
    const std::string& GetSubtitle() const { return m_subtitle.GetText(); }

    void OnCreate() override;

private:
    // The header band: a drag handle for the whole window.
    class Header : public SPanel {
    public:
        const char* GetClassName() const override { return "SWindowBaseFinderHeader"; }
        int OnHitTestArea(const SMouseEventArgs&) override { return kHitCaption; }
    };

    Header m_header;
    SLabel m_title;
    SLabel m_subtitle;
    SImageButton m_close;
    SWindowBaseFinderPropSheet m_sheet;
    std::string m_frameTitle;  // where the shown widget lives; empty when none is shown
};
