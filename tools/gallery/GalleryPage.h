#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/SLabel.h"
#include "ui/SPanel.h"
#include "ui/SSlideView.h"

// One page of the gallery: a slide view (pages fade as they are switched) that owns the
// widgets it shows and lays them out in white rounded sections.
class GalleryPage : public SSlideView {
public:
    static constexpr uint32_t kSectionColour = 0x00FFFFFFu;
    static constexpr uint32_t kSectionBorder = 0x00DCD6D0u;

    // The widgets go before the tree they hang in is unlinked.
    ~GalleryPage() override;
    const char* GetClassName() const override { return "GalleryPage"; }

    // Builds the page's widgets (called once, after the page is created).
    virtual void Build() = 0;
    // A one-line status the page shows at its bottom (clicks, results).
    void SetStatus(const std::string& text);

    template <typename T>
    T* Add(std::unique_ptr<T> widget) {
        T* raw = widget.get();
        m_widgets.push_back(std::move(widget));
        return raw;
    }
    // A white rounded section with a heading; returns it to add widgets to (heading 30 high).
    SPanel* Section(const std::string& title, const SMargin& margin, const SSize& size);
    SLabel* Label(SWindowBase* parent, const std::string& text, const SMargin& margin,
                  const SSize& size, int font = 112, uint32_t colour = 0x00606060u,
                  unsigned format = SLabel::kDefaultFormat);
    // The status line at the bottom of the page.
    void AddStatusLine();

private:
    std::vector<std::unique_ptr<SWindowBase>> m_widgets;
    SLabel* m_status = nullptr;
};
