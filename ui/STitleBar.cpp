#include "ui/STitleBar.h"

#include "ui/ITitleBarDelegate.h"

int STitleBar::OnHitTestArea(const SMouseEventArgs&) {
    return kHitCaption;
}

int STitleBar::OnLButtonDoubleClick(const SMouseEventArgs&) {
    if (m_titleBarDelegate != nullptr) {
        m_titleBarDelegate->TitleBarDoubleClicked(this);
    }
    return 1;
}
