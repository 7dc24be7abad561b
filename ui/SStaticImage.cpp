#include "ui/SStaticImage.h"

#include "ui/SDC.h"
#include "ui/SImage.h"

void SStaticImage::SetImage(const SImage* image) {
    if (image != m_image) {
        m_image = image;
        Invalidate();
    }
}

void SStaticImage::SetStretch(int stretch) {
    if (stretch != m_stretch) {
        m_stretch = stretch;
        Invalidate();
    }
}

void SStaticImage::SetCentered(int centered) {
    if (centered != m_centered) {
        m_centered = centered;
        Invalidate();
    }
}

void SStaticImage::SizeToImage() {
    if (m_image != nullptr) {
        SetSize(SSize(m_image->GetWidth(), m_image->GetHeight()));
    }
}

void SStaticImage::OnPaint(SDC& dc) {
    if (m_image == nullptr) {
        return;
    }
    if (m_stretch != 0) {
        dc.DrawImage(m_image, GetClientRect(kRectOwnLogical));
    } else if (m_centered != 0) {
        const SRect own = GetRect(kRectOwnLogical, 0);
        dc.DrawImage(m_image, (own.Width() - m_image->GetWidth()) / 2,
                     (own.Height() - m_image->GetHeight()) / 2);
    } else {
        dc.DrawImage(m_image, 0, 0);
    }
}
