#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/SPoint.h"

class SWindowBase;

// Receives files dragged onto a widget registered as a drop target. Points are in the
// widget's local units; effects follow the usual numbering (0 none, 1 copy, 2 move, 4 link).
class IDropTargetDelegate {
public:
    virtual ~IDropTargetDelegate() = default;
    virtual int OnDragEnter(SWindowBase* widget, const std::vector<std::string>& files,
                            uint32_t keys, const SPoint& point) = 0;
    virtual int OnDragOver(SWindowBase* widget, const SPoint& point) = 0;
    virtual int OnDrop(SWindowBase* widget, uint32_t keys, const SPoint& point, int effect) = 0;
    virtual void OnDragLeave(SWindowBase* widget) = 0;
};
