#pragma once

class SDC;

// Post-processes a copy of a composed frame before it is shown (the widget inspector draws its
// highlight this way).
class SDrawFilterDelegate {
public:
    virtual ~SDrawFilterDelegate() = default;
    virtual void FilterFrame(SDC& frameCopy) = 0;
};
