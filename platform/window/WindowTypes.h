#pragma once

#include <cstdint>

namespace platform::window {

// Windows are identified by a number that stays unique for the backend's lifetime; 0 is "none".
using WindowId = uint32_t;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
    bool contains(Point p) const {
        return p.x >= x && p.y >= y && p.x < x + width && p.y < y + height;
    }
};

// Style flags of a native window (combine with |).
enum Style : uint32_t {
    kStyleNone = 0,
    kStyleBorderless = 1u << 0,   // no decorations: the toolkit draws its own title bar
    kStyleResizable = 1u << 1,    // the borders may resize the window (needs a window manager)
    kStyleSkipTaskbar = 1u << 2,  // not listed in the task bar (popups, tooltips)
    kStyleAlwaysOnTop = 1u << 3,
    kStyleTooltip = 1u << 4,    // a tooltip window: never takes focus
    kStylePopupMenu = 1u << 5,  // a transient popup
    kStyleUtility = 1u << 6,
    // The picture's alpha is the window's: where the desktop composites, translucent pixels
    // (rounded corners, shadows) show the desktop behind; elsewhere the window takes the shape
    // of its opaque pixels.
    kStyleTranslucent = 1u << 7,
    // A dialog of its owner window (WindowOptions::owner): the window manager keeps it over the
    // owner, lists it with the owner rather than as a program of its own, and gives it the
    // keyboard when it shows.
    kStyleDialog = 1u << 8,
};

// How a window shows the transparent pixels of its picture.
enum class Transparency {
    None,      // over black (an opaque window)
    PerPixel,  // blended over the desktop by the compositor
    Shape,     // cut away: the window's shape covers only the pixels of alpha >= 50 %
};

// The answer of a window's hit-test callback for a point of its client area: whether the press
// there belongs to the application or starts a move or a resize done by the window manager.
enum class HitCode {
    Normal,
    Caption,
    ResizeTopLeft,
    ResizeTop,
    ResizeTopRight,
    ResizeRight,
    ResizeBottomRight,
    ResizeBottom,
    ResizeBottomLeft,
    ResizeLeft,
};

enum class Cursor {
    Arrow,
    IBeam,
    Wait,
    Crosshair,
    Hand,
    SizeNWSE,
    SizeNESW,
    SizeWE,
    SizeNS,
    SizeAll,
    No
};

enum class MouseButton { None, Left, Middle, Right };

// Modifier state carried by pointer and key events.
enum Modifier : uint32_t {
    kModNone = 0,
    kModShift = 1u << 0,
    kModControl = 1u << 1,
    kModAlt = 1u << 2,
    kModLeftButton = 1u << 3,
    kModRightButton = 1u << 4,
    kModMiddleButton = 1u << 5,
};

enum class MessageBoxKind { Information, Warning, Error };

}  // namespace platform::window
