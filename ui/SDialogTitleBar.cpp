#include "ui/SDialogTitleBar.h"

#include "services/SLocale.h"
#include "ui/SPalette.h"

void SDialogTitleBar::OnCreate() {
    m_title.SetFont(115);
    m_title.SetTextColor(SPalette::kText);
    m_title.Create("DialogTitle", this, SMargin(12, 0, 40, 0), SSize());
    // The caption is part of the drag area, not a target of its own.
    m_title.SetEnabled(0);
    m_close.SetImages("\\res\\Window\\window_close_nor.png");
    m_close.SetHoverWash(SPalette::kHoverWash, 13);
    m_close.Create("CloseButton", this, SMargin(-1, 0, 4, -1), SSize(28, 28));
    m_close.SetAccessibleName(AfxGetLocale()->GetString("MNU_A11yClose"));
}

int SDialogTitleBar::OnHitTestArea(const SMouseEventArgs&) {
    return kHitCaption;
}
