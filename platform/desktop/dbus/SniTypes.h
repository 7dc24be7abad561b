#pragma once

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/desktop/TrayContent.h"

namespace platform::desktop::sni {

constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";

// (iiay): one icon size.
using Pixmap = sdbus::Struct<int32_t, int32_t, std::vector<uint8_t>>;
// (sa(iiay)ss): icon name, icon pixmaps, title, text.
using ToolTip = sdbus::Struct<std::string, std::vector<Pixmap>, std::string, std::string>;
using Properties = std::map<std::string, sdbus::Variant>;
// (ia{sv}av): a menu item, its properties and its children (each a variant of the same).
using MenuLayout = sdbus::Struct<int32_t, Properties, std::vector<sdbus::Variant>>;

inline std::vector<Pixmap> ToWire(const std::vector<TrayPixmap>& pixmaps) {
    std::vector<Pixmap> wire;
    wire.reserve(pixmaps.size());
    for (const TrayPixmap& pixmap : pixmaps) {
        wire.emplace_back(pixmap.width, pixmap.height, pixmap.argb);
    }
    return wire;
}

}  // namespace platform::desktop::sni
