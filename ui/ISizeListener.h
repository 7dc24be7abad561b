#pragma once

class SWindowBase;

// Told the new size of a widget (cut to whole numbers) whenever it changes.
class ISizeListener {
public:
    virtual ~ISizeListener() = default;
    virtual void OnWidgetSizeChanged(SWindowBase* widget, int width, int height) = 0;
};
