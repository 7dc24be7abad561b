#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/IButtonDelegate.h"
#include "ui/ICommandDelegate.h"
#include "ui/SButtonGroup.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

class GalleryPage;

// The gallery's main window: a title bar, a row of page tabs and the pages (the toolkit core,
// the standard widgets, animation, dialogs and tooltips, the artwork). Switching pages fades
// the old one out and the new one in.
class GalleryFrame : public SWindowFrame, public ICommandDelegate, public IButtonDelegate {
public:
    static constexpr double kDesignWidth = 880;
    static constexpr double kDesignHeight = 640;
    static const std::vector<std::string>& PageNames();

    ~GalleryFrame() override;
    // The page shown first (one of PageNames()).
    void SetInitialPage(const std::string& name) { m_initialPage = name; }
    int OnCreate() override;
    int OnCommand(int commandId) override;
    void ButtonClicked(SButton* button) override;
    // Ends the program after `milliseconds` (0: never).
    void QuitAfter(uint32_t milliseconds) { m_quitAfter = milliseconds; }
    // Shows a page (faded unless at once) and marks its tab.
    void ShowPage(const std::string& name, bool atOnce = false);
    GalleryPage* GetPage(const std::string& name) const;

private:
    template <typename T>
    T* Add(std::unique_ptr<T> widget) {
        T* raw = widget.get();
        m_widgets.push_back(std::move(widget));
        return raw;
    }
    SWindowBase* BuildTitleBar(SWindowBase* root);
    void BuildTabs(SWindowBase* root);
    void BuildPages(SWindowBase* root);

    std::vector<std::unique_ptr<SWindowBase>> m_widgets;
    std::vector<GalleryPage*> m_pages;
    SButtonGroup m_tabs;
    std::string m_initialPage = "core";
    std::string m_current;
    uint32_t m_quitAfter = 0;
};
