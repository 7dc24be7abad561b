#include "app/SDummyView.h"

void SDummyView::OnCreate() {
    m_panel.Create("Tessel Dummy Panel", this,
                   SMargin(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin), SSize());
}
