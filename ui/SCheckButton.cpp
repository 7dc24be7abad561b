#include "ui/SCheckButton.h"

#include <cmath>

#include "ui/SDC.h"
#include "ui/SImage.h"

SCheckButton::SCheckButton() {
    m_type = kToggle;
    m_format = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
}

SCheckButton::~SCheckButton() = default;

void SCheckButton::SetCheckImages(const std::string& markNormal, const std::string& markOver,
                                  const std::string& markPressed, const std::string& background) {
    m_markNormal = LoadImage(markNormal);
    m_markOver = LoadImage(markOver);
    m_markPressed = LoadImage(markPressed);
    m_box = LoadImage(background);
    Invalidate();
}

void SCheckButton::SetDefaultCheckImages() {
    SetCheckImages("\\res\\Device\\check_mark_normal.png", "\\res\\Device\\check_mark_over.png",
                   "\\res\\Device\\check_mark_press.png", "\\res\\Device\\check_bg.png");
}

void SCheckButton::SizeToContent() {
    const double box = m_box ? m_box->GetWidth() : 0;
    const SSize text = SDC::MeasureText(m_text, m_font, m_format);
    const double boxHeight = m_box ? m_box->GetHeight() : 0;
    SetSize(SSize(std::ceil(box + kCaptionGap + text.width),
                  std::ceil(std::max(boxHeight, text.height))));
}

void SCheckButton::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    const int state = GetVisualState();
    const SImage* box = m_box.get();
    if (m_checked != 0) {
        const SImage* mark = state == kStatePressed ? m_markPressed.get()
                             : state == kStateHover ? m_markOver.get()
                                                    : m_markNormal.get();
        if (mark != nullptr) {
            box = mark;
        }
    }
    double captionLeft = 0;
    if (box != nullptr) {
        const double y = (own.Height() - box->GetHeight()) / 2;
        dc.DrawImage(box, 0, y, state == kStateDisabled ? 0.4 : 1.0);
        captionLeft = box->GetWidth() + kCaptionGap;
    }
    if (!m_text.empty() && captionLeft < own.right) {
        dc.DrawText(m_text, SRect(captionLeft, 0, own.right, own.bottom), m_format, m_font,
                    GetTextColor(state));
    }
}
