#include "ui/SWindowBaseFinderWindow.h"

#include "ui/SPalette.h"
#include "ui/SWindowFrame.h"

namespace {
constexpr uint32_t kHeaderColour = SColor::Make(0x24, 0x2A, 0x33);
constexpr uint32_t kSubtitleColour = SColor::Make(0xB9, 0xC2, 0xCE);
constexpr uint32_t kBodyColour = SColor::Make(0xEF, 0xEC, 0xE8);
constexpr const char* kIdleText = "Nothing hovered";
}  // namespace

double SWindowBaseFinderWindow::GetPreferredHeight() const {
    return kHeaderHeight + kPadding + m_sheet.GetPreferredHeight() + kPadding;
}

void SWindowBaseFinderWindow::OnCreate() {
    SetBackgroundColor(kBodyColour);
    m_header.SetBackgroundColor(kHeaderColour);
    m_header.Create("Header", this, SMargin(0, 0, 0, -1), SSize(0, kHeaderHeight));
    m_title.SetText("WindowBase Finder");
    m_title.SetFont(117);  // 14 px bold
    m_title.SetTextColor(SPalette::kSurface);
    m_title.Create("Title", &m_header, SMargin(14, 5, 44, -1), SSize(0, 22));
    m_subtitle.SetText(kIdleText);
    m_subtitle.SetFont(110);
    m_subtitle.SetTextColor(kSubtitleColour);
    m_subtitle.Create("Subtitle", &m_header, SMargin(14, 26, 44, -1), SSize(0, 17));
    // The texts belong to the drag area, not targets of their own.
    m_title.SetEnabled(0);
    m_subtitle.SetEnabled(0);
    m_close.SetImages("\\res\\Window\\window_close_nor.png");
    m_close.SetHoverWash(SColor::Make(0xFF, 0xFF, 0xFF, 0xD0), 13);
    m_close.Create("CloseButton", &m_header, SMargin(-1, 10, 10, -1), SSize(28, 28));
    m_sheet.Create("PropSheet", this, SMargin(kPadding, kHeaderHeight + kPadding, kPadding, -1),
                   SSize(0, m_sheet.GetPreferredHeight()));
}

void SWindowBaseFinderWindow::ShowWidget(SWindowBase* widget, const SWindowFrame* frame) {
    if (widget == nullptr || frame == nullptr) {
        m_frameTitle.clear();
        m_subtitle.SetText(kIdleText);
    } else {
        m_frameTitle = frame->GetTitle().empty() ? "(untitled)" : frame->GetTitle();
        m_subtitle.SetText("Hovered in window \"" + m_frameTitle + "\"");
    }
    m_sheet.ShowWidget(widget, frame);
}

void SWindowBaseFinderWindow::ShowLastWidget() {
    if (!m_frameTitle.empty()) {
        m_subtitle.SetText("Last hovered in window \"" + m_frameTitle + "\"");
    }
}
