#pragma once

#include <cstdint>
#include <string>

class SWindowBase;

// What a widget's tooltip shows, owned by the widget. The tooltip window (a later part of the
// toolkit) reads it through IToolTipHost.
class SToolTipContent {
public:
    SToolTipContent() = default;
    explicit SToolTipContent(std::string tipText) : text(std::move(tipText)) {}
    virtual ~SToolTipContent() = default;

    std::string text;
    uint32_t showDelay = 500;            // ms before the tooltip shows
    uint32_t hideDelay = 10;             // ms before it hides after the pointer leaves or presses
    std::string kind = "SToolTipPanel";  // the kind of panel that shows it
    SWindowBase* widget = nullptr;       // back-pointer, set by SWindowBase::SetToolTip
};
