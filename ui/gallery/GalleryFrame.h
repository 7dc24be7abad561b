#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/ICommandDelegate.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

class GalleryLabel;

// The gallery's main window: a tree of panels with text in several flag combinations and
// scripts, images, buttons and a scrolling list.
class GalleryFrame : public SWindowFrame, public ICommandDelegate {
public:
    static constexpr double kDesignWidth = 600;
    static constexpr double kDesignHeight = 540;

    // The tree goes before the widgets it is made of.
    ~GalleryFrame() override { Destroy(); }
    int OnCreate() override;
    int OnCommand(int commandId) override;
    void SetStatus(const std::string& text);
    // Ends the program after `milliseconds` (0: never).
    void QuitAfter(uint32_t milliseconds) { m_quitAfter = milliseconds; }

private:
    template <typename T>
    T* Add(std::unique_ptr<T> widget) {
        T* raw = widget.get();
        m_widgets.push_back(std::move(widget));
        return raw;
    }
    SWindowBase* BuildTitleBar(SWindowBase* root);
    void BuildTextPanel(SWindowBase* root);
    void BuildImagePanel(SWindowBase* root);
    void BuildInputPanel(SWindowBase* root);
    void BuildList(SWindowBase* root);
    void ToggleMirroring();
    void OpenDialog();

    std::vector<std::unique_ptr<SWindowBase>> m_widgets;
    GalleryLabel* m_status = nullptr;
    int m_clicks = 0;
    uint32_t m_quitAfter = 0;
};
