#include "ui/SCustomSView.h"

#include <algorithm>

int SCustomSView::ArrangeChildren() {
    UpdateContentSize();
    return SView::ArrangeChildren();
}

void SCustomSView::UpdateContentSize() {
    const SRect client = GetClientRect(kRectOwnLogical);
    double bottom = 0;
    for (SWindowBase* child : m_scrolledChildren) {
        const SMargin& margin = child->GetMargin();
        if (margin.top < 0 || child->GetOwnVisible() == 0) {
            continue;
        }
        bottom = std::max(bottom, margin.top + child->GetSize().height + m_padding.bottom);
    }
    m_contentSize = SSize(client.Width(), bottom);
}
