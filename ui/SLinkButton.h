#pragma once

#include <cstdint>
#include <string>

#include "ui/SButton.h"
#include "ui/SPalette.h"

// A text link that behaves as a push button: its caption (font 113, 12 px bold) in the link
// colour, underlined while hovered. Clicks go to the button delegate.
class SLinkButton : public SButton {
public:
    static constexpr int kDefaultFont = 113;

    SLinkButton();
    const char* GetClassName() const override { return "SLinkButton"; }

    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    void SetFont(int fontId);
    void SetTextColors(uint32_t normal, uint32_t hover);
    void SetTextFormat(unsigned format) { m_format = format; }
    // Sizes the button to its caption.
    void SizeToText();

    void OnPaint(SDC& dc) override;
    int OnSetCursor(const SMouseEventArgs& event) override;

private:
    std::string m_text;
    int m_font = kDefaultFont;
    uint32_t m_normal = SPalette::kLink;
    uint32_t m_hover = SPalette::kLinkHover;
    unsigned m_format;
};
