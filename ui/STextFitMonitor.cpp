#include "ui/STextFitMonitor.h"

#include <utility>
#include <vector>

#include "ui/SWindowBase.h"
#include "ui/TextFlags.h"

namespace {

// Antialiasing may put a faint pixel just past an edge; a glyph cut by more is seen.
constexpr double kTolerancePixels = 1.0;

STextFitMonitor::Listener& TheListener() {
    static STextFitMonitor::Listener listener;
    return listener;
}

SWindowBase*& Painting() {
    static SWindowBase* widget = nullptr;
    return widget;
}

bool Reaches(const SRect& ink, const SRect& area) {
    return ink.left < area.left - kTolerancePixels || ink.top < area.top - kTolerancePixels ||
           ink.right > area.right + kTolerancePixels || ink.bottom > area.bottom + kTolerancePixels;
}

// Text that scrolls is cut by its viewport on purpose.
bool Scrolls(SWindowBase* widget) {
    for (SWindowBase* w = widget; w != nullptr; w = w->GetParent()) {
        if (w->IsScrollable() != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void STextFitMonitor::SetListener(Listener listener) {
    TheListener() = std::move(listener);
}

bool STextFitMonitor::Active() {
    return static_cast<bool>(TheListener());
}

STextFitMonitor::PaintingScope::PaintingScope(SWindowBase* widget) : m_previous(Painting()) {
    Painting() = widget;
}

STextFitMonitor::PaintingScope::~PaintingScope() {
    Painting() = m_previous;
}

std::string STextFitMonitor::WidgetPath(const SWindowBase* widget) {
    std::vector<std::string> names;
    for (const SWindowBase* w = widget; w != nullptr; w = w->GetParent()) {
        names.push_back(w->GetName().empty() ? std::string(w->GetClassName()) : w->GetName());
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        path += (path.empty() ? "" : " > ") + *it;
    }
    return path.empty() ? "(no widget)" : path;
}

void STextFitMonitor::CheckDrawnText(const std::string& text, unsigned format, const SRect& box,
                                     const SRect& ink, const SRect& clip, bool ellipsized,
                                     int unknownGlyphs) {
    const Listener& listener = TheListener();
    if (!listener || ink.IsEmpty()) {
        return;
    }
    const char* what = nullptr;
    if (unknownGlyphs > 0) {
        what = "has no glyph";
    } else if (ellipsized) {
        what = "ellipsized";
    } else if (Reaches(ink, box)) {
        what = (format & DT_NOCLIP) != 0 ? "overflows its box" : "cut";
    } else if (!clip.IsEmpty() && Reaches(ink, clip) && !Scrolls(Painting())) {
        what = "cut";
    }
    if (what == nullptr) {
        return;
    }
    listener(STextFitProblem{WidgetPath(Painting()), text, what, box, ink});
}
