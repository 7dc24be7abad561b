#pragma once

#include <cstdint>
#include <string>

#include "ui/SBoardButton.h"

// The pill-shaped caption button: a black outline (light grey when disabled) around a white
// face that greys while hovered or pressed, and the caption in the colours and font of its
// caption style (SetStyle). With auto size the width follows the caption.
class SCommonButton : public SBoardButton {
public:
    struct CaptionStyle {
        uint32_t normal;
        uint32_t hover;  // hover and pressed
        uint32_t disabled;
        int font;
    };
    static constexpr double kCaptionInset = 15;
    static constexpr uint32_t kOutline = 0x00000000u;
    static constexpr uint32_t kOutlineDisabled = 0x00E5E5E5u;
    static constexpr uint32_t kFace = 0x00FFFFFFu;
    static constexpr uint32_t kFaceActive = 0x00E5E5E5u;
    // Styles with white captions sit on a filled blue face; on the white face they would be
    // invisible.
    static constexpr uint32_t kFilledFace = 0x00D66F1Fu;        // RGB 1F6FD6
    static constexpr uint32_t kFilledFaceActive = 0x00B05B19u;  // RGB 195BB0
    static constexpr uint32_t kFilledFaceDisabled = 0x00EAC4A9u;

    SCommonButton();
    const char* GetClassName() const override { return "SCommonButton"; }

    // Caption styles 0 to 15; any other number has the style of the last table row.
    static CaptionStyle StyleFor(int style);
    void SetStyle(int style);
    int GetStyle() const { return m_style; }
    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    // Overrides the style's font, or its colours (every state), until the style is set again.
    void SetFont(int fontId);
    void SetTextColor(uint32_t colour);
    // The corner radius of the outline; negative (the default) makes a pill.
    void SetCornerRadius(double radius);
    // The width follows the caption (plus the insets); the height stays.
    void SetAutoSize(int autoSize);
    // The caption colour of a visual state.
    uint32_t CaptionColor(int state) const;
    // Whether the caption is light, so the face is filled.
    bool HasFilledFace() const;
    int CaptionFont() const { return m_font; }

    void OnPaint(SDC& dc) override;
    // The ring follows the pill's outline.
    void OnDrawFocusRing(SDC& dc) override;

private:
    void Remeasure();

    std::string m_text;
    int m_style = 0;
    CaptionStyle m_colours;
    int m_font;
    double m_radius = -1;
    int m_autoSize = 0;
};
