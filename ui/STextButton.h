#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/SBoardButton.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

// A button painted from its state pictures (stretched over the button) with a caption on top,
// centred on one line. Default caption font 112 (12 px regular).
class STextButton : public SBoardButton {
public:
    static constexpr int kDefaultFont = 112;

    STextButton();
    const char* GetClassName() const override { return "STextButton"; }

    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    void SetFont(int fontId);
    int GetFont() const { return m_font; }
    // One colour for every state, or one per visual state (normal, hover, pressed, disabled).
    void SetTextColor(uint32_t colour);
    void SetTextColors(uint32_t normal, uint32_t hover, uint32_t pressed, uint32_t disabled);
    uint32_t GetTextColor(int state) const;
    void SetTextFormat(unsigned format) { m_format = format; }

    void OnPaint(SDC& dc) override;

protected:
    std::string m_text;
    int m_font = kDefaultFont;
    std::array<uint32_t, 4> m_colours{SPalette::kText, SPalette::kText, SPalette::kText,
                                      SPalette::kTextDisabled};
    unsigned m_format = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS;
};
