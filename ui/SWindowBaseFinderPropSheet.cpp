#include "ui/SWindowBaseFinderPropSheet.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "ui/SPalette.h"
#include "ui/SWindowBase.h"
#include "ui/SWindowFrame.h"

namespace {

std::string Demangled(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

std::string Quoted(const std::string& name) {
    return name.empty() ? std::string("(unnamed)") : "\"" + name + "\"";
}

std::string StateText(SWindowBase& widget) {
    char text[128];
    std::snprintf(text, sizeof text, "visible %d, enabled %d, focus %d, layer %d, fixed %d",
                  widget.GetVisible(), widget.GetEnabled(), widget.HasFocus(), widget.HasOwnLayer(),
                  widget.IsFixed());
    return text;
}

std::string FrameText(const SWindowFrame* frame) {
    if (frame == nullptr) {
        return "-";
    }
    char zoom[48];
    std::snprintf(zoom, sizeof zoom, "  zoom %.3f", frame->zoom);
    return (frame->GetTitle().empty() ? std::string("(untitled)") : Quoted(frame->GetTitle())) +
           zoom;
}

}  // namespace

SWindowBaseFinderPropSheet::SWindowBaseFinderPropSheet()
    : m_widgetPage("Hovered widget", kWidgetRows),
      m_parentsPage("Parents, nearest first", kParentRows, kParentKeyWidth) {}

std::string SWindowBaseFinderPropSheet::ClassNameOf(const SWindowBase& widget) {
    const std::string type = Demangled(typeid(widget));
    const std::string reported = widget.GetClassName();
    return type == reported ? type : type + " (" + reported + ")";
}

std::vector<SWindowBaseFinderPropSheet::Row> SWindowBaseFinderPropSheet::DescribeWidget(
    SWindowBase& widget, const SWindowFrame* frame) {
    return {
        {"Class", ClassNameOf(widget)},
        {"Name", Quoted(widget.GetName())},
        {"Margin", widget.GetMargin().ToString()},
        {"Size", widget.GetSize().ToString()},
        {"Rect", widget.GetRect(SWindowBase::kRectInParent, 0).ToStringLTWH()},
        {"In frame", widget.GetRect(SWindowBase::kRectInFrame, 0).ToStringLTWH()},
        {"State", StateText(widget)},
        {"Frame", FrameText(frame)},
    };
}

std::vector<SWindowBaseFinderPropSheet::Row> SWindowBaseFinderPropSheet::DescribeParents(
    const SWindowBase& widget) {
    std::vector<Row> rows;
    for (SWindowBase* parent = widget.GetParent(); parent != nullptr;
         parent = parent->GetParent()) {
        rows.push_back(Row{ClassNameOf(*parent),
                           Quoted(parent->GetName()) + "  " +
                               parent->GetRect(SWindowBase::kRectInParent, 0).ToStringLTWH()});
    }
    return rows;
}

double SWindowBaseFinderPropSheet::GetPreferredHeight() const {
    return m_widgetPage.GetPreferredHeight() + kGap + m_parentsPage.GetPreferredHeight();
}

void SWindowBaseFinderPropSheet::OnCreate() {
    for (SWindowBasePropPage* page : {&m_widgetPage, &m_parentsPage}) {
        page->SetBackgroundColor(SPalette::kSurface);
        page->SetCornerRadius(6);
        page->SetBorder(SPalette::kLine, 1);
    }
    m_widgetPage.SetPlaceholder("Move the pointer over a window of the program.");
    m_parentsPage.SetPlaceholder("-");
    m_widgetPage.Create("WidgetPage", this, SMargin(0, 0, 0, -1),
                        SSize(0, m_widgetPage.GetPreferredHeight()));
    m_parentsPage.Create("ParentsPage", this,
                         SMargin(0, m_widgetPage.GetPreferredHeight() + kGap, 0, -1),
                         SSize(0, m_parentsPage.GetPreferredHeight()));
}

void SWindowBaseFinderPropSheet::ShowWidget(SWindowBase* widget, const SWindowFrame* frame) {
    if (widget == nullptr) {
        m_widgetPage.SetRows({});
        m_parentsPage.SetRows({});
        return;
    }
    m_widgetPage.SetRows(DescribeWidget(*widget, frame));
    const std::vector<Row> parents = DescribeParents(*widget);
    m_parentsPage.SetRows(parents.empty() ? std::vector<Row>{{"", "(the root)"}} : parents);
}
