#pragma once

#include <cstdint>
#include <string>

#include "platform/window/WindowTypes.h"
#include "ui/SPanel.h"

class SToolTipContent;

// The panel inside the tooltip window that shows a tooltip's text: a small dark rounded label
// below and right of the pointer. It keeps a copy of what it shows, so a widget that goes away
// meanwhile leaves nothing dangling.
class SToolTipPanel : public SPanel {
public:
    static constexpr int kFont = 112;
    static constexpr double kPadding = 8;
    static constexpr double kMaxTextWidth = 280;

    const char* GetClassName() const override { return "SToolTipPanel"; }

    virtual void SetContent(const SToolTipContent* content);
    virtual void ClearContent();
    const std::string& GetText() const { return m_text; }
    // The tooltip window's rectangle in screen pixels for the pointer position and the work
    // area of the screen under it.
    virtual platform::window::Rect ComputeRect(platform::window::Point cursor,
                                               platform::window::Rect monitor, double zoom);
    // Whether the tooltip stays while the pointer is over it.
    virtual int KeepsOpenWhileHovered() const { return 0; }

    void OnPaint(SDC& dc) override;

protected:
    // The text's size in logical units.
    SSize TextSize() const;
    static platform::window::Rect Clamp(platform::window::Rect rect, platform::window::Rect area);

    std::string m_text;
};
