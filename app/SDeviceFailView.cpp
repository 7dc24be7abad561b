#include "app/SDeviceFailView.h"

#include "services/SLocale.h"
#include "ui/SImage.h"
#include "ui/SPalette.h"
#include "ui/TextFlags.h"

namespace {
constexpr const char* kPicturePath = "\\res\\Device\\device_connect_earbuds_case_open_white.png";
constexpr double kTitleTop = 26;
constexpr double kTitleHeight = 28;
constexpr double kPictureTop = 66;
constexpr double kPictureWidth = 200;
constexpr double kPictureHeight = 140;
constexpr double kTextTop = 222;
constexpr double kTextSide = 36;
constexpr double kTextGap = 10;
constexpr double kButtonWidth = 124;
constexpr double kButtonHeight = 34;
constexpr double kButtonBottom = 30;
constexpr int kTitleFont = 125;        // 18 px bold
constexpr int kDescriptionFont = 115;  // 13 px bold
constexpr int kGuideFont = 114;        // 13 px regular
constexpr int kButtonStyle = 12;
constexpr unsigned kParagraph = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX;
}  // namespace

SDeviceFailView::SDeviceFailView() = default;

SDeviceFailView::~SDeviceFailView() = default;

std::string SDeviceFailView::ExpandLineBreaks(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            result += '\n';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string SDeviceFailView::FailText(int kind) {
    switch (kind) {
        case kKindOneSide:
            return ExpandLineBreaks(AfxGetStrRes("MSG_ConnectingOneSide_1"));
        case kKindConnectFail:
            return ExpandLineBreaks(AfxGetStrRes("MSG_Kestrane_ConnectingFail2"));
        default:
            return std::string();
    }
}

void SDeviceFailView::OnCreate() {
    if (!m_picture) {
        m_picture = LoadImage(kPicturePath);
    }
    m_panel.Create("FailView View", this, SMargin(0, 0, 0, 0), SSize());
    m_panel.SetBackgroundColor(SPalette::kSurface);

    m_title.Create("Label Title", &m_panel, SMargin(kTextSide, kTitleTop, kTextSide, -1),
                   SSize(0, kTitleHeight));
    m_title.SetFont(kTitleFont);
    m_title.SetFormat(DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS);
    m_title.SetText(AfxGetStrRes("MNU_AuralisManager"));

    // Both description labels carry the same name, as they always have.
    m_description.Create("Label Connect fail recovery guide 1", &m_panel,
                         SMargin(kTextSide, kTextTop, kTextSide, -1), SSize());
    m_description.SetFont(kDescriptionFont);
    m_description.SetFormat(kParagraph);
    m_description.SetText(FailText(m_kind));

    m_guide.Create("Label Connect fail recovery guide 1", &m_panel,
                   SMargin(kTextSide, kTextTop, kTextSide, -1), SSize());
    m_guide.SetFont(kGuideFont);
    m_guide.SetFormat(kParagraph);
    m_guide.SetTextColor(SPalette::kTextSecondary);
    m_guide.SetText(ExpandLineBreaks(AfxGetStrRes("MSG_ConnectingFail2")));

    const SSize pictureSize = m_picture ? SSize(m_picture->GetWidth(), m_picture->GetHeight())
                                        : SSize(kPictureWidth, kPictureHeight);
    m_failImage.Create("Static fail image", &m_panel, SMargin(-1, kPictureTop, -1, -1),
                       pictureSize);
    m_failImage.SetImage(m_picture.get());

    m_btnConnect.Create("SCommonButton _btnConnect", &m_panel, SMargin(-1, -1, -1, kButtonBottom),
                        SSize(kButtonWidth, kButtonHeight));
    m_btnConnect.SetStyle(kButtonStyle);
    m_btnConnect.SetText(AfxGetStrRes("MNU_Zephiro_OK"));
    m_btnConnect.SetVisible(1);
    m_btnConnect.SetDelegate(this);
    ArrangeLabels();
}

void SDeviceFailView::SetFailKind(int kind) {
    m_kind = kind;
    m_description.SetText(FailText(kind));
    ArrangeLabels();
    Invalidate();
}

void SDeviceFailView::ArrangeLabels() {
    if (IsCreated() == 0) {
        return;
    }
    const double width = m_panel.GetRect(kRectOwnLogical, 0).Width() - 2 * kTextSide;
    if (width <= 0) {
        return;
    }
    const double first =
        m_description.GetText().empty() ? 0 : m_description.MeasureText(width).height;
    m_description.SetMargin(SMargin(kTextSide, kTextTop, kTextSide, -1));
    m_description.SetSize(SSize(0, first));
    const double guideTop = kTextTop + (first > 0 ? first + kTextGap : 0);
    m_guide.SetMargin(SMargin(kTextSide, guideTop, kTextSide, -1));
    m_guide.SetSize(SSize(0, m_guide.MeasureText(width).height));
}

void SDeviceFailView::OnSize(double width, double height) {
    SSlideView::OnSize(width, height);
    ArrangeLabels();
}

void SDeviceFailView::ButtonClicked(SButton* button) {
    if (button == &m_btnConnect && m_delegate != nullptr) {
        m_delegate->UpdateMainView(0);
    }
}
