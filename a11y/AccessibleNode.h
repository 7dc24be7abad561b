#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace a11y {

// A rectangle in pixels: x, y, width, height.
struct Extents {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Extents&) const = default;
    bool Contains(int px, int py) const {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
};

// A number shown on a scale: a progress bar or a battery level.
struct RangeValue {
    double minimum = 0;
    double maximum = 100;
    double current = 0;
    bool operator==(const RangeValue&) const = default;
};

// What assistive technology learns about one window, widget or list row at one moment. Ids are
// stable for as long as the thing they stand for lives; id 0 is the application itself.
struct AccessibleNode {
    uint32_t id = 0;
    uint32_t parent = 0;
    std::vector<uint32_t> children;
    uint32_t role = 0;  // an AT-SPI role number (Roles.h)
    std::string name;
    std::string description;
    std::string accessibleId;  // the widget's own name, the same in every language
    std::string className;
    uint64_t states = 0;  // bits by AT-SPI state number (States.h)
    uint32_t window = 0;  // the id of the window node it belongs to; its own id for a window
    Extents inWindow;     // relative to its window's client area
    Extents onScreen;     // as the display server places the window (x, y 0 when unknown)
    std::vector<std::string> actions;
    bool hasText = false;
    std::string text;
    bool hasValue = false;
    RangeValue value;
    std::string valueText;

    bool HasState(int state) const { return (states >> state) & 1u; }
};

// The whole tree at one moment, shared read-only between the UI thread that makes it and the
// bus thread that answers from it.
struct AccessibleSnapshot {
    std::map<uint32_t, AccessibleNode> nodes;
    std::string applicationName;
    std::string locale;  // the active language, e.g. "de_DE"

    const AccessibleNode* Find(uint32_t id) const {
        const auto it = nodes.find(id);
        return it == nodes.end() ? nullptr : &it->second;
    }
};

using SnapshotPtr = std::shared_ptr<const AccessibleSnapshot>;

}  // namespace a11y
