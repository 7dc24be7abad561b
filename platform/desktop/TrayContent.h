#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::desktop {

// One size of the tray icon: width x height pixels, 4 bytes each, alpha red green blue in that
// order (straight, not premultiplied alpha), rows top to bottom.
struct TrayPixmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> argb;

    bool operator==(const TrayPixmap&) const = default;
};

// One line of the tray item's menu.
struct TrayMenuEntry {
    enum class Kind { Action, Text, Toggle, Separator };

    int id = 0;  // > 0, unique in the menu; what a choice reports
    Kind kind = Kind::Action;
    std::string label;
    bool checked = false;  // Toggle only

    bool operator==(const TrayMenuEntry&) const = default;
};

// What the tray item shows: its name, icon (several sizes, the tray picks), tooltip and menu.
struct TrayContent {
    std::string title;
    std::vector<TrayPixmap> icon;
    std::string tooltipTitle;
    std::string tooltipText;
    std::vector<TrayMenuEntry> menu;
    bool rightToLeft = false;

    bool operator==(const TrayContent&) const = default;
};

}  // namespace platform::desktop
