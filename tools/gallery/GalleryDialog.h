#pragma once

#include <memory>
#include <vector>

#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

// A small modal dialog: a message and an OK button that ends the nested loop.
class GalleryDialog : public SWindowFrame {
public:
    // The tree goes before the widgets it is made of.
    ~GalleryDialog() override { Destroy(); }
    int OnCreate() override;

private:
    std::vector<std::unique_ptr<SWindowBase>> m_widgets;
};
