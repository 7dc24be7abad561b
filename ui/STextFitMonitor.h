#pragma once

#include <functional>
#include <string>

#include "ui/SRect.h"

class SWindowBase;

// One text that did not fit where it was drawn.
struct STextFitProblem {
    std::string widget;  // names from the frame's root down to the widget that drew it
    std::string text;    // the text as given to the drawing context
    std::string what;    // "ellipsized", "cut", "overflows its box" or "has no glyph"
    SRect box;           // the text box in device pixels of the widget's surface, widened by
                         // the side bearings the toolkit lets glyphs keep
    SRect ink;           // where the glyphs landed, same coordinates
};

// Lets the toolkit tell when a text is cut short: Pango ellipsized it, its glyphs reach past
// its box (clipped there, or spilling over its neighbours with DT_NOCLIP), or past the part of
// its widget that is drawn; or no installed font has some of its characters. Nothing is checked
// while no listener is set, so the programs pay nothing; tests and tools set one. UI thread only.
class STextFitMonitor {
public:
    using Listener = std::function<void(const STextFitProblem&)>;

    // Sets the listener (an empty one turns the checks off).
    static void SetListener(Listener listener);
    static bool Active();

    // The widget whose painting is under way; restores the previous one when it goes.
    class PaintingScope {
    public:
        explicit PaintingScope(SWindowBase* widget);
        ~PaintingScope();
        PaintingScope(const PaintingScope&) = delete;
        PaintingScope& operator=(const PaintingScope&) = delete;

    private:
        SWindowBase* m_previous;
    };

    // Checks one drawn text: box and ink in device pixels of the surface, the part of the
    // surface drawing reaches (the widget's clip), whether Pango ellipsized it, and how many of
    // its characters no installed font could show.
    static void CheckDrawnText(const std::string& text, unsigned format, const SRect& box,
                               const SRect& ink, const SRect& clip, bool ellipsized,
                               int unknownGlyphs);

    // The names of a widget and its ancestors, root first, joined by " > ".
    static std::string WidgetPath(const SWindowBase* widget);
};
