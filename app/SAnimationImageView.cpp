#include "app/SAnimationImageView.h"

#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"

void SAnimationImageView::SetImage(const SImage* image) {
    if (image != m_image) {
        m_image = image;
        Invalidate();
    }
}

void SAnimationImageView::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), SPalette::kSurface);
    if (m_image != nullptr) {
        dc.DrawImage(m_image, 0, 0);
    }
}
