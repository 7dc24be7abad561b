#include "ui/SWindowBaseFinderFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "ui/SCommandLine.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SWindowBase.h"
#include "ui/TextFlags.h"

namespace {

constexpr uint32_t kOutline = SColor::Make(0x1A, 0x6F, 0xD8);
constexpr uint32_t kWash = SColor::Make(0x1A, 0x6F, 0xD8, 0xC8);  // about 22 % blue
constexpr uint32_t kTagBackground = SColor::Make(0x24, 0x2A, 0x33);
constexpr uint32_t kTagText = SColor::Make(0xFF, 0xFF, 0xFF);
constexpr int kTagFont = 110;  // 11 px regular
constexpr double kTagPadding = 4;

// Every inspector of the process, one per top frame. The list owns them.
std::vector<std::unique_ptr<SWindowBaseFinderFrame>>& Inspectors() {
    static std::vector<std::unique_ptr<SWindowBaseFinderFrame>> inspectors;
    return inspectors;
}

bool IsInspector(const SWindowFrame& frame) {
    return dynamic_cast<const SWindowBaseFinderFrame*>(&frame) != nullptr;
}

}  // namespace

// ---------------------------------------------------------------- the process-wide side

SWindowFrame* SWindowBaseFinderFrame::TopFrameOf(SWindowFrame* frame) {
    // A chain that loops back on itself (a programming error) must not hang the program.
    for (int depth = 0; frame != nullptr && frame->owner != nullptr && depth < 64; ++depth) {
        frame = frame->owner;
    }
    return frame;
}

SWindowBaseFinderFrame* SWindowBaseFinderFrame::Find(const SWindowFrame* top) {
    for (const auto& inspector : Inspectors()) {
        if (&inspector->GetTop() == top) {
            return inspector.get();
        }
    }
    return nullptr;
}

SWindowBaseFinderFrame* SWindowBaseFinderFrame::ShowFor(SWindowFrame& frame) {
    SWindowFrame* top = TopFrameOf(&frame);
    // An inspector is never inspected; and only a top frame whose window exists will tell the
    // inspector when it goes (FrameDestroyed), so none is made for one without a window.
    if (IsInspector(*top) || !top->IsWindow()) {
        return nullptr;
    }
    SWindowBaseFinderFrame* inspector = Find(top);
    if (inspector == nullptr) {
        Inspectors().push_back(std::make_unique<SWindowBaseFinderFrame>(*top));
        inspector = Inspectors().back().get();
    }
    if (!inspector->IsWindow() && !inspector->Create()) {
        DestroyFor(*top);
        return nullptr;
    }
    // Frames of the chain that exist already report from now on.
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        const std::vector<SWindowFrame*> frames = dispatcher->GetFrames();
        for (SWindowFrame* existing : frames) {
            if (!IsInspector(*existing) && TopFrameOf(existing) == top) {
                inspector->Attach(*existing);
            }
        }
    }
    if (!inspector->GetWindow()->isVisible()) {
        inspector->Show();
        RepaintFrame(inspector->m_inspectedFrame);
    }
    inspector->GetWindow()->raise();
    return inspector;
}

void SWindowBaseFinderFrame::DestroyFor(SWindowFrame& frame) {
    SWindowFrame* top = TopFrameOf(&frame);
    auto& inspectors = Inspectors();
    const auto it =
        std::find_if(inspectors.begin(), inspectors.end(),
                     [top](const auto& inspector) { return &inspector->GetTop() == top; });
    if (it == inspectors.end()) {
        return;
    }
    // Taken out of the list first: its destruction calls back into FrameDestroyed.
    std::unique_ptr<SWindowBaseFinderFrame> inspector = std::move(*it);
    inspectors.erase(it);
    top->WindowBaseFinderDestroyed(inspector.get());
    inspector.reset();
}

void SWindowBaseFinderFrame::FrameCreated(SWindowFrame& frame) {
    if (IsInspector(frame) || !SCommandLine::Contains(kSwitch)) {
        return;
    }
    SWindowBaseFinderFrame* inspector = Find(TopFrameOf(&frame));
    if (inspector != nullptr && inspector->IsWindow()) {
        inspector->Attach(frame);
    }
}

void SWindowBaseFinderFrame::FrameDestroyed(SWindowFrame& frame) {
    for (const auto& inspector : Inspectors()) {
        if (inspector->IsAttached(frame)) {
            inspector->Detach(frame);
        }
    }
    // Nothing is left to inspect once the top frame goes.
    if (Find(&frame) != nullptr) {
        DestroyFor(frame);
    }
}

// ---------------------------------------------------------------- one inspector

SWindowBaseFinderFrame::SWindowBaseFinderFrame(SWindowFrame& top) : m_top(top) {}

SWindowBaseFinderFrame::~SWindowBaseFinderFrame() {
    // The widget tree is a member: it goes down before the members do.
    Destroy();
}

bool SWindowBaseFinderFrame::Create() {
    zoomMode = 1;
    const double zoom = SDispatcher::GetZoomFactor();
    SFrameOptions options;
    options.title = kTitle;
    options.centered = true;
    // A tool window that stays above the program: the frames it inspects are clicked and
    // raised all the time, and it must stay readable meanwhile.
    options.style = platform::window::kStyleBorderless | platform::window::kStyleUtility |
                    platform::window::kStyleAlwaysOnTop;
    options.rect = SRect(0, 0, std::ceil(SWindowBaseFinderWindow::kDesignWidth * zoom),
                         std::ceil(m_content.GetPreferredHeight() * zoom));
    return SWindowFrame::Create(options) != 0;
}

int SWindowBaseFinderFrame::OnCreate() {
    m_content.CreateRoot(&agent, "WindowBaseFinder");
    m_content.SetCloseDelegate(this);
    return 0;
}

void SWindowBaseFinderFrame::OnDestroy() {
    DetachAll();
}

void SWindowBaseFinderFrame::OnClose() {
    // Closing only hides: the frames stay attached and showing it again is cheap.
    Hide();
    RepaintFrame(m_inspectedFrame);
}

void SWindowBaseFinderFrame::ButtonClicked(SButton*) {
    OnClose();
}

void SWindowBaseFinderFrame::Attach(SWindowFrame& frame) {
    if (&frame == this || IsAttached(frame)) {
        return;
    }
    frame.agent.hoverListener = this;
    frame.agent.SetDrawFilter(this);
    frame.inspectorAttached = 1;
    m_attached.push_back(&frame);
}

void SWindowBaseFinderFrame::Detach(SWindowFrame& frame) {
    const auto it = std::find(m_attached.begin(), m_attached.end(), &frame);
    if (it == m_attached.end()) {
        return;
    }
    m_attached.erase(it);
    if (frame.agent.hoverListener == this) {
        frame.agent.hoverListener = nullptr;
    }
    if (frame.agent.drawFilter == this) {
        frame.agent.SetDrawFilter(nullptr);
    }
    frame.inspectorAttached = 0;
    if (m_inspectedFrame == &frame) {
        m_inspected = nullptr;
        m_inspectedFrame = nullptr;
        m_content.ShowWidget(nullptr, nullptr);
    }
    // The highlight goes with the next picture.
    RepaintFrame(&frame);
}

void SWindowBaseFinderFrame::DetachAll() {
    while (!m_attached.empty()) {
        Detach(*m_attached.back());
    }
}

bool SWindowBaseFinderFrame::IsAttached(const SWindowFrame& frame) const {
    return std::find(m_attached.begin(), m_attached.end(), &frame) != m_attached.end();
}

void SWindowBaseFinderFrame::HoveredWidgetChanged(SWindowBase* widget, SWindowFrame* frame) {
    if (frame == nullptr || !IsAttached(*frame)) {
        return;
    }
    if (widget == nullptr) {
        // The pointer left (or the widget went): the texts stay for reading, the pointer to
        // the widget and its highlight do not.
        if (frame == m_inspectedFrame && m_inspected != nullptr) {
            m_inspected = nullptr;
            m_content.ShowLastWidget();
            RepaintFrame(frame);
        }
        return;
    }
    if (widget == m_inspected && frame == m_inspectedFrame) {
        return;
    }
    SWindowFrame* previous = m_inspectedFrame;
    m_inspected = widget;
    m_inspectedFrame = frame;
    m_content.ShowWidget(widget, frame);
    if (previous != nullptr && previous != frame) {
        RepaintFrame(previous);
    }
    RepaintFrame(frame);
}

SWindowBase* SWindowBaseFinderFrame::ValidInspected() const {
    if (m_inspected == nullptr || m_inspectedFrame == nullptr || !IsAttached(*m_inspectedFrame) ||
        m_inspectedFrame->agent.GetHovered() != m_inspected) {
        return nullptr;
    }
    return m_inspected;
}

void SWindowBaseFinderFrame::RepaintFrame(SWindowFrame* frame) {
    if (frame != nullptr && frame->IsWindow() && frame->agent.GetRoot() != nullptr) {
        frame->agent.RequestPaint(frame->agent.GetRoot());
    }
}

void SWindowBaseFinderFrame::FilterFrame(SDC& frameCopy) {
    SWindowBase* widget = ValidInspected();
    if (widget == nullptr || frameCopy.frame != m_inspectedFrame || !IsWindow() ||
        !GetWindow()->isVisible() || frameCopy.GetRendering() == nullptr) {
        return;
    }
    IRendering* rendering = frameCopy.GetRendering();
    const SRect r = widget->GetRect(SWindowBase::kRectInFrame, 0);
    const double width = std::max(r.Width(), 2.0);
    const double height = std::max(r.Height(), 2.0);
    rendering->DrawRoundRect(r.left, r.top, width, height, kWash, 0, 0);
    rendering->DrawRoundRect(r.left + 1, r.top + 1, std::max(width - 2, 1.0),
                             std::max(height - 2, 1.0), kOutline, 2, 0);

    // A tag with the class and the logical size, above the widget when there is room.
    const double scale = frameCopy.scale > 0 ? frameCopy.scale : 1.0;
    char size[64];
    std::snprintf(size, sizeof size, "  %g x %g", std::round(r.Width() / scale * 10) / 10,
                  std::round(r.Height() / scale * 10) / 10);
    const std::string text = std::string(widget->GetClassName()) + size;
    const SSize textSize = SDC::MeasureText(text, kTagFont, DT_SINGLELINE, 0, scale);
    const double tagWidth = textSize.width + 2 * kTagPadding;
    const double tagHeight = textSize.height + kTagPadding;
    const double frameWidth = frameCopy.pixelWidth / scale;
    const double frameHeight = frameCopy.pixelHeight / scale;
    double left = std::clamp(r.left / scale, 0.0, std::max(frameWidth - tagWidth, 0.0));
    double top = r.top / scale - tagHeight;
    if (top < 0) {
        top = std::min(r.bottom / scale, std::max(frameHeight - tagHeight, 0.0));
    }
    const SRect tag(left, top, left + tagWidth, top + tagHeight);
    frameCopy.FillRect(tag, kTagBackground);
    frameCopy.DrawText(text, tag, DT_SINGLELINE | DT_VCENTER | DT_CENTER, kTagFont, kTagText);
}
