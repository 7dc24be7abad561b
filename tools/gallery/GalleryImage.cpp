#include "tools/gallery/GalleryImage.h"

#include "ui/SDC.h"
#include "ui/TextFlags.h"

GalleryImage::GalleryImage(std::unique_ptr<SImage> image, Mode mode)
    : m_image(std::move(image)), m_mode(mode) {}

void GalleryImage::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    if (!m_image) {
        dc.FillRect(own, 0x00E0E0FFu);
        dc.DrawText("missing", own, DT_SINGLELINE | DT_CENTER | DT_VCENTER, 110, 0x000000C0u);
        return;
    }
    switch (m_mode) {
        case Mode::Natural:
            dc.DrawImage(m_image.get(), 0, 0);
            break;
        case Mode::Stretch:
            dc.DrawImage(m_image.get(), own);
            break;
        case Mode::Circle: {
            const SRect pixels = dc.ToPixels(own);
            dc.GetRendering()->DrawSurfaceScaled(
                m_image->GetSurface(), pixels.left, pixels.top, pixels.Width(), pixels.Height(),
                m_image->GetPixelWidth(), m_image->GetPixelHeight(), 1, 0, 1, 1.0, -1);
            break;
        }
    }
}
