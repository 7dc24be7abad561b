#pragma once

#include <cstdint>

#include "ui/SColor.h"

// The toolkit's own colours (0xTTBBGGRR words), shared by the widgets whose colours the
// screens do not set and matched by the generated artwork: near-black text, greys, an orange
// accent and white surfaces.
struct SPalette {
    static constexpr uint32_t kText = SColor::Make(0x22, 0x22, 0x22);
    static constexpr uint32_t kTextSecondary = SColor::Make(0x6B, 0x6F, 0x76);
    static constexpr uint32_t kTextDisabled = SColor::Make(0xB8, 0xBB, 0xC0);
    static constexpr uint32_t kAccent = SColor::Make(0xF5, 0x82, 0x1F);
    static constexpr uint32_t kAccentDark = SColor::Make(0xD9, 0x6A, 0x0B);
    static constexpr uint32_t kLink = SColor::Make(0x1A, 0x6F, 0xD8);
    static constexpr uint32_t kLinkHover = SColor::Make(0x10, 0x52, 0xA8);
    // The keyboard focus ring: a blue that stands out against black outlines and the orange
    // accent alike.
    static constexpr uint32_t kFocusRing = SColor::Make(0x1A, 0x73, 0xE8);
    static constexpr uint32_t kSurface = SColor::Make(0xFF, 0xFF, 0xFF);
    static constexpr uint32_t kSurfaceMuted = SColor::Make(0xF5, 0xF5, 0xF5);
    static constexpr uint32_t kLine = SColor::Make(0xE5, 0xE5, 0xE5);
    static constexpr uint32_t kHoverWash = SColor::Make(0x00, 0x00, 0x00, 0xF0);  // 6 % black
    static constexpr uint32_t kPressWash = SColor::Make(0x00, 0x00, 0x00, 0xE0);  // 12 % black
    static constexpr uint32_t kTooltipText = SColor::Make(0x33, 0x33, 0x33);
};
