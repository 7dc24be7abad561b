#include "ui/SMenuItem.h"

#include "ui/IMenuItemDelegate.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

namespace {
constexpr unsigned kCaptionFormat = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr double kHighlightInset = 2;
}  // namespace

SMenuItem::SMenuItem() = default;
SMenuItem::~SMenuItem() = default;

void SMenuItem::SetEntry(SMenuDefinition* menu, std::size_t index) {
    m_menu = menu;
    m_index = index;
    Invalidate();
}

const SMenuEntry* SMenuItem::GetEntry() const {
    if (m_menu == nullptr || m_index >= m_menu->entries.size()) {
        return nullptr;
    }
    return &m_menu->entries[m_index];
}

double SMenuItem::HeightFor(const SMenuEntry& entry) {
    return entry.IsSeparator() ? kSeparatorHeight : kHeight;
}

double SMenuItem::WidthFor(const SMenuEntry& entry) {
    if (entry.IsSeparator()) {
        return 0;
    }
    const SSize caption = SDC::MeasureText(entry.caption, kFont, kCaptionFormat, 0);
    return kCheckColumn + kPadding + caption.width + kPadding;
}

void SMenuItem::OnPaint(SDC& dc) {
    const SMenuEntry* entry = GetEntry();
    if (entry == nullptr) {
        return;
    }
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (entry->IsSeparator()) {
        const double y = own.top + own.Height() / 2;
        dc.DrawLine(SPoint(own.left + kPadding, y), SPoint(own.right - kPadding, y), 1,
                    SPalette::kLine);
        return;
    }
    const bool choosable = entry->IsChoosable();
    if (choosable && (IsHovered() != 0 || m_keyHighlight != 0)) {
        const SRect band(own.left, own.top + kHighlightInset, own.right,
                         own.bottom - kHighlightInset);
        dc.DrawRoundRect(band, m_pressed != 0 ? SPalette::kPressWash : SPalette::kHoverWash, 0, 4);
    }
    double captionLeft = own.left + kPadding;
    if (entry->IsChecked() && m_check != nullptr) {
        const double x = captionLeft + (kCheckColumn - m_check->GetWidth()) / 2;
        const double y = own.top + (own.Height() - m_check->GetHeight()) / 2;
        dc.DrawImage(m_check, x, y, choosable ? 1.0 : 0.4);
        captionLeft += kCheckColumn;
    }
    const SRect text(captionLeft, own.top, own.right - kPadding, own.bottom);
    dc.DrawText(entry->caption, text, kCaptionFormat, kFont,
                choosable ? SPalette::kText : SPalette::kTextDisabled);
}

void SMenuItem::SetKeyHighlight(int highlighted) {
    if (highlighted == m_keyHighlight) {
        return;
    }
    m_keyHighlight = highlighted;
    Invalidate();
}

bool SMenuItem::IsChoosable() const {
    const SMenuEntry* entry = GetEntry();
    return entry != nullptr && entry->IsChoosable();
}

int SMenuItem::OnLButtonDown(const SMouseEventArgs&) {
    m_pressed = 1;
    Invalidate();
    return 1;
}

int SMenuItem::OnLButtonUp(const SMouseEventArgs&) {
    m_pressed = 0;
    Invalidate();
    const SMenuEntry* entry = GetEntry();
    // Separators and disabled entries give nothing.
    if (entry != nullptr && entry->IsChoosable() && m_delegate != nullptr) {
        m_delegate->MenuItemChosen(this);
    }
    return 1;
}

int SMenuItem::OnMouseEnter(const SMouseEventArgs&) {
    Invalidate();
    return 1;
}

void SMenuItem::OnMouseLeave() {
    m_pressed = 0;
    Invalidate();
}
