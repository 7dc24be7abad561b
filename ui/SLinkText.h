#pragma once

#include <cstdint>
#include <string>

#include "ui/SRect.h"

class SDC;

// Draws the text of a link: the caption and, when asked, an underline under exactly the
// width the text takes (aligned as the format says).
class SLinkText {
public:
    static void Draw(SDC& dc, const std::string& text, const SRect& box, unsigned format,
                     int fontId, uint32_t colour, bool underline);
};
