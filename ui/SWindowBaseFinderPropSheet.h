#pragma once

#include <string>
#include <vector>

#include "ui/SPanel.h"
#include "ui/SWindowBasePropPage.h"

class SWindowBase;
class SWindowFrame;

// The inspector's pages, one above the other: the hovered widget's own properties (class,
// name, margin, size, rectangles, state, frame) and the chain of its parents up to the root.
// The texts are made by the static Describe functions, which tests use directly.
class SWindowBaseFinderPropSheet : public SPanel {
public:
    using Row = SWindowBasePropPage::Row;
    static constexpr std::size_t kWidgetRows = 8;
    static constexpr std::size_t kParentRows = 9;
    static constexpr double kGap = 8;
    static constexpr double kParentKeyWidth = 128;  // class names of screens run long

    SWindowBaseFinderPropSheet();
    const char* GetClassName() const override { return "SWindowBaseFinderPropSheet"; }

    // The widget's class: its C++ type (demangled), followed by the toolkit class name it
    // reports when the two differ ("GalleryButton (SButton)").
    static std::string ClassNameOf(const SWindowBase& widget);
    // Class, name, margin "(L,T,R,B)=…", size "(W,H)=…", rectangle "(L,T,W,H)=…" in the parent
    // (logical units) and in the frame (pixels), state flags and the frame it lives in.
    static std::vector<Row> DescribeWidget(SWindowBase& widget, const SWindowFrame* frame);
    // One row per ancestor, nearest first: class, then name and rectangle in its parent.
    static std::vector<Row> DescribeParents(const SWindowBase& widget);

    // Fills both pages for a widget, or shows placeholders for null.
    void ShowWidget(SWindowBase* widget, const SWindowFrame* frame);
    SWindowBasePropPage& GetWidgetPage() { return m_widgetPage; }
    SWindowBasePropPage& GetParentsPage() { return m_parentsPage; }
    double GetPreferredHeight() const;

    void OnCreate() override;

private:
    SWindowBasePropPage m_widgetPage;
    SWindowBasePropPage m_parentsPage;
};
