#pragma once

#include <cstdint>
#include <string>

#include "ui/SWindowBase.h"

// Static text drawn with the toolkit's text flags; a light frame shows the box it fills.
class GalleryLabel : public SWindowBase {
public:
    GalleryLabel(std::string text, unsigned format, int fontId, uint32_t colour = 0x00202020u);
    const char* GetClassName() const override { return "GalleryLabel"; }

    void SetText(const std::string& text);
    void SetBackground(uint32_t colour) { m_background = colour; }
    void SetShowBox(bool show) { m_showBox = show; }
    void OnPaint(SDC& dc) override;

private:
    std::string m_text;
    unsigned m_format;
    int m_fontId;
    uint32_t m_colour;
    uint32_t m_background;
    bool m_showBox = false;
};
