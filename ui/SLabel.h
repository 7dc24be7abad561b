#pragma once

#include <cstdint>
#include <string>

#include "ui/SPalette.h"
#include "ui/SWindowBase.h"
#include "ui/TextFlags.h"

// Static text. By default a single vertically centred line that ends in "…" when it does not
// fit (text flags 0x8024), in the toolkit's label font (12 px) and text colour.
class SLabel : public SWindowBase {
public:
    static constexpr unsigned kDefaultFormat = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    static constexpr int kDefaultFont = 112;

    SLabel() = default;
    explicit SLabel(std::string text) : m_text(std::move(text)) {}
    const char* GetClassName() const override { return "SLabel"; }

    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    void SetFont(int fontId);
    int GetFont() const { return m_font; }
    void SetTextColor(uint32_t colour);
    uint32_t GetTextColor() const { return m_colour; }
    void SetFormat(unsigned format);
    unsigned GetFormat() const { return m_format; }
    void SetBackgroundColor(uint32_t colour);
    // With auto size on, every text change sizes the label to its text (wrapped at maxWidth
    // when the format breaks words; 0 = no limit).
    void SetAutoSize(int autoSize, double maxWidth = 0);
    // Sizes the label to its text now; returns the new size.
    SSize SizeToText();
    // The size the text needs at the current font and format.
    SSize MeasureText(double maxWidth) const;

    void OnPaint(SDC& dc) override;

protected:
    std::string m_text;
    int m_font = kDefaultFont;
    uint32_t m_colour = SPalette::kText;
    unsigned m_format = kDefaultFormat;
    uint32_t m_background = SColor::kTransparent;
    int m_autoSize = 0;
    double m_maxWidth = 0;
};
