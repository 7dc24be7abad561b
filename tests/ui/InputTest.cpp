// Hit testing and input routing through the frame's agent: capture, press and release, drag
// handles, hover pairs, border codes, keyboard, accelerators and the animation gate.

#include <gtest/gtest.h>

#include "platform/window/Keys.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ICommandDelegate.h"
#include "ui/SWindowAgent.h"

namespace ui_test {
namespace {

using platform::window::HitCode;
using platform::window::MouseButton;
namespace keys = platform::window::keys;

class InputTest : public UiTest {};

TEST_F(InputTest, HitTestingPrefersTheTopmostVisibleEnabledChild) {
    CreateFrame(200, 100);
    auto* first = AddChild(&frame.root, "First", SMargin(10, 10, -1, -1), SSize(50, 50));
    auto* second = AddChild(&frame.root, "Second", SMargin(40, 10, -1, -1), SSize(50, 50));
    auto* inner = AddChild(second, "Inner", SMargin(0, 0, -1, -1), SSize(10, 10));
    const auto at = [&](double x, double y, int includeDisabled = 0) {
        return frame.root.HitTest(SMouseEventArgs(x, y), includeDisabled);
    };
    EXPECT_EQ(at(45, 30), second);  // overlap: the later child is on top
    EXPECT_EQ(at(20, 30), first);
    EXPECT_EQ(at(45, 15), inner);   // descends into the match
    EXPECT_EQ(at(10, 60), first);   // bottom-left corner of First: edges are inside
    EXPECT_EQ(at(90, 60), second);  // right edge of Second
    EXPECT_EQ(at(150, 90), &frame.root);

    second->SetEnabled(0);  // disabled widgets are transparent ...
    EXPECT_EQ(at(45, 30), first);
    EXPECT_EQ(at(45, 30, 1), second);  // ... unless disabled ones are asked for
    second->SetEnabled(1);
    second->SetVisible(0);  // hidden ones always are
    EXPECT_EQ(at(45, 30, 1), first);
}

TEST_F(InputTest, EnterAndLeaveComeInPairs) {
    CreateFrame(200, 100);
    AddChild(&frame.root, "A", SMargin(0, 0, -1, -1), SSize(50, 50));
    AddChild(&frame.root, "B", SMargin(60, 0, -1, -1), SSize(50, 50));
    backend.injectMouseMove(WindowId(), 10, 10);
    backend.injectMouseMove(WindowId(), 20, 10);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"A:enter", "A:move 10,10", "A:move 20,10"}));
    log.clear();
    backend.injectMouseMove(WindowId(), 70, 10);
    Pump();
    // One leave for A, then one enter for B (with its move).
    EXPECT_EQ(log, (std::vector<std::string>{"A:leave", "B:enter", "B:move 10,10"}));
    EXPECT_EQ(frame.agent.GetHovered(), frame.root.FindChild("B"));
    log.clear();
    backend.injectMouseLeave(WindowId());
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"B:leave"}));
    EXPECT_EQ(frame.agent.GetHovered(), nullptr);
    // With nothing hovered the agent asks the platform for a leave notification.
    const int requests = Window()->leaveTrackingRequests();
    backend.injectMouseMove(WindowId(), 10, 10);
    Pump();
    EXPECT_EQ(Window()->leaveTrackingRequests(), requests + 1);
}

TEST_F(InputTest, CaptureKeepsEventsAtTheCapturingWidget) {
    CreateFrame(200, 100);
    auto* button = AddChild(&frame.root, "Button", SMargin(0, 0, -1, -1), SSize(50, 50));
    AddChild(&frame.root, "Other", SMargin(100, 0, -1, -1), SSize(50, 50));
    button->SetCapture();
    EXPECT_TRUE(Window()->hasCapture());
    backend.injectMouseMove(WindowId(), 120, 10);
    backend.injectButtonUp(WindowId(), 120, 10);
    backend.injectWheel(WindowId(), 120, 10, -120);
    Pump();
    // Local coordinates may lie outside the widget.
    EXPECT_EQ(log,
              (std::vector<std::string>{"Button:enter", "Button:move 120,10", "Button:up 120,10",
                                        "Button:wheel -120", "Root:wheel -120"}));
    button->ReleaseCapture();
    EXPECT_FALSE(Window()->hasCapture());
    log.clear();
    backend.injectButtonUp(WindowId(), 120, 10);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"Other:up 20,10"}));
}

TEST_F(InputTest, PressAndReleaseReachTheTargetInLocalUnits) {
    CreateFrame(200, 100, 1, 2.0);
    auto* button = AddChild(&frame.root, "Button", SMargin(10, 10, -1, -1), SSize(40, 20));
    button->SetFocusable(1);
    backend.injectButtonDown(WindowId(), 30, 30);
    backend.injectButtonUp(WindowId(), 32, 30);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"Button:focus", "Button:down 5,5", "Button:up 6,5"}));
    EXPECT_EQ(frame.agent.GetFocus(), button);
}

TEST_F(InputTest, DragHandleMovesTheWindowUntilRelease) {
    CreateFrame(200, 100);
    auto* title = AddChild(&frame.root, "Title", SMargin(0, 0, 0, -1), SSize(0, 30));
    title->hitTestArea = SWindowBase::kHitCaption;
    // The caption answer marks the widget as drag handle and reads as client area.
    EXPECT_EQ(frame.agent.NcHitTest(50, 10), SWindowAgent::HTCLIENT);
    EXPECT_EQ(title->IsDragHandle(), 1);

    const platform::window::Rect start = Window()->screenRect();
    backend.injectButtonDown(WindowId(), 50, 10);
    Pump();
    EXPECT_TRUE(frame.agent.IsDragging());
    EXPECT_EQ(frame.agent.GetCaptured(), title);
    backend.injectMouseMove(WindowId(), 80, 25);
    Pump();
    EXPECT_EQ(Window()->screenRect().x, start.x + 30);
    EXPECT_EQ(Window()->screenRect().y, start.y + 15);
    backend.injectButtonUp(WindowId(), 80, 25);
    Pump();
    EXPECT_FALSE(frame.agent.IsDragging());
    EXPECT_EQ(frame.agent.GetCaptured(), nullptr);
    // The widget saw neither the press, the moves nor the release.
    for (const std::string& entry : log) {
        EXPECT_TRUE(entry.find("down") == std::string::npos &&
                    entry.find("up") == std::string::npos &&
                    entry.find("move") == std::string::npos)
            << entry;
    }
    // Moving again does not drag any more.
    backend.injectMouseMove(WindowId(), 10, 10);
    Pump();
    EXPECT_EQ(Window()->screenRect().x, start.x + 30);
}

TEST_F(InputTest, BorderCodesOfAResizableFrame) {
    frame.agent.resizable = 1;
    CreateFrame(200, 100);
    frame.agent.resizable = 1;
    auto code = [&](int x, int y) { return frame.agent.NcHitTest(x, y); };
    EXPECT_EQ(code(197, 89), SWindowAgent::HTBOTTOMRIGHT);  // 2 px from right, 10 above bottom
    EXPECT_EQ(code(100, 0), SWindowAgent::HTTOP);
    EXPECT_EQ(code(100, 99), SWindowAgent::HTBOTTOM);
    EXPECT_EQ(code(190, 99), SWindowAgent::HTBOTTOMRIGHT);  // bottom band stops 15 px early
    EXPECT_EQ(code(0, 50), SWindowAgent::HTLEFT);
    EXPECT_EQ(code(199, 50), SWindowAgent::HTRIGHT);
    EXPECT_EQ(code(199, 90), SWindowAgent::HTBOTTOMRIGHT);  // right band stops 15 px early
    EXPECT_EQ(code(1, 1), SWindowAgent::HTTOPLEFT);
    EXPECT_EQ(code(198, 2), SWindowAgent::HTTOPRIGHT);
    EXPECT_EQ(code(2, 98), SWindowAgent::HTBOTTOMLEFT);
    EXPECT_EQ(code(100, 50), SWindowAgent::HTCLIENT);
    frame.agent.maximized = 1;
    EXPECT_EQ(code(197, 89), SWindowAgent::HTCLIENT);
}

TEST_F(InputTest, PlatformHitTestHandsBordersAndCaptionsToTheWindowManager) {
    backend.setHitTestSupported(true);
    SFrameOptions options;
    options.rect = SRect(0, 0, 200, 100);
    options.style = platform::window::kStyleBorderless | platform::window::kStyleResizable;
    ASSERT_EQ(frame.Create(options), 1);
    frame.Show();
    Pump();
    auto* title = AddChild(&frame.root, "Title", SMargin(0, 0, 0, -1), SSize(0, 30));
    title->hitTestArea = SWindowBase::kHitCaption;
    log.clear();
    backend.injectButtonDown(WindowId(), 198, 98);
    backend.injectButtonDown(WindowId(), 50, 10);
    backend.injectButtonDown(WindowId(), 50, 60);
    Pump();
    ASSERT_EQ(backend.systemActions().size(), 2u);
    EXPECT_EQ(backend.systemActions()[0].code, HitCode::ResizeBottomRight);
    EXPECT_EQ(backend.systemActions()[1].code, HitCode::Caption);
    EXPECT_EQ(log, (std::vector<std::string>{"Root:down 50,60"}));
}

TEST_F(InputTest, WheelBubblesUntilHandled) {
    CreateFrame(200, 100);
    auto* outer = AddChild(&frame.root, "Outer", SMargin(0, 0, 0, 0), SSize());
    auto* inner = AddChild(outer, "Inner", SMargin(0, 0, 0, 0), SSize());
    outer->wheelResult = 1;
    (void)inner;
    backend.injectWheel(WindowId(), 10, 10, 240);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"Inner:wheel 240", "Outer:wheel 240"}));
}

TEST_F(InputTest, KeysGoToTheFocusAndTabMovesIt) {
    CreateFrame(200, 100);
    auto* a = AddChild(&frame.root, "A", SMargin(0, 0, -1, -1), SSize(10, 10));
    auto* b = AddChild(&frame.root, "B", SMargin(20, 0, -1, -1), SSize(10, 10));
    auto* hidden = AddChild(&frame.root, "Hidden", SMargin(40, 0, -1, -1), SSize(10, 10), 0);
    for (auto* widget : {a, b, hidden}) {
        widget->SetFocusable(1);
    }
    // Without a focus widget keys reach no widget.
    backend.injectKeyDown(WindowId(), 'X');
    Pump();
    EXPECT_TRUE(log.empty());

    a->SetFocus();
    log.clear();
    // Tab navigation off: Tab is an ordinary key for the focus widget (and bubbles).
    backend.injectKeyDown(WindowId(), keys::kTab);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"A:keydown 9", "Root:keydown 9"}));
    log.clear();
    frame.agent.tabNavigation = 1;
    backend.injectKeyDown(WindowId(), keys::kTab);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"A:blur", "B:focus"}));
    log.clear();
    backend.injectKeyDown(WindowId(), keys::kTab);  // the hidden one is skipped; wraps
    backend.injectKeyDown(WindowId(), keys::kTab, platform::window::kModShift);  // backwards
    Pump();
    EXPECT_EQ(frame.agent.GetFocus(), b);
    log.clear();
    b->keyResult = 1;
    backend.injectKeyUp(WindowId(), 'X');
    backend.injectKeyDown(WindowId(), keys::kF10, platform::window::kModNone);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"B:keyup 88", "B:keydown 121"}));
}

TEST_F(InputTest, AcceleratorsTakeKeysNoWidgetHandled) {
    struct Commands : ICommandDelegate {
        int OnCommand(int id) override {
            last = id;
            return 1;
        }
        int last = 0;
    } commands;
    CreateFrame(100, 100);
    frame.AddCommandDelegate(&commands);
    frame.AddAccelerator(SAccelerator{FVIRTKEY | FCONTROL, 'Q', 7});
    backend.injectKeyDown(WindowId(), 'Q');
    Pump();
    EXPECT_EQ(commands.last, 0);
    backend.injectKeyDown(WindowId(), 'Q', platform::window::kModControl);
    Pump();
    EXPECT_EQ(commands.last, 7);
}

TEST_F(InputTest, ModifiersArePushedDownTheTree) {
    CreateFrame(100, 100);
    auto* child = AddChild(&frame.root, "Child", SMargin(0, 0, 0, 0), SSize());
    backend.injectMouseMove(WindowId(), 5, 5, platform::window::kModControl);
    Pump();
    EXPECT_EQ(child->GetInheritedStateA(), static_cast<int>(MK_CONTROL));
    EXPECT_EQ(child->GetInheritedStateB(), 0);
    backend.injectMouseMove(WindowId(), 6, 5, platform::window::kModShift);
    Pump();
    EXPECT_EQ(child->GetInheritedStateA(), 0);
    EXPECT_EQ(child->GetInheritedStateB(), static_cast<int>(MK_SHIFT));
}

TEST_F(InputTest, RunningAnimationsGateInput) {
    CreateFrame(200, 100);
    auto* parent = AddChild(&frame.root, "Parent", SMargin(0, 0, 0, 0), SSize());
    auto* child = AddChild(parent, "Child", SMargin(0, 0, -1, -1), SSize(50, 50));
    parent->animations.push_back(std::make_unique<AnimationInfo>());
    parent->acceptsInputWhileAnimating = 0;
    backend.injectButtonDown(WindowId(), 10, 10);
    backend.injectWheel(WindowId(), 10, 10, 120);  // the wheel is never gated
    Pump();
    EXPECT_EQ(log,
              (std::vector<std::string>{"Child:wheel 120", "Parent:wheel 120", "Root:wheel 120"}));
    // The child's own animation decides first.
    log.clear();
    child->animations.push_back(std::make_unique<AnimationInfo>());
    backend.injectButtonDown(WindowId(), 10, 10);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"Child:down 10,10"}));
    // Once the animations end, input flows again.
    child->animations.clear();
    parent->animations.clear();
    log.clear();
    backend.injectButtonDown(WindowId(), 10, 10);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"Child:down 10,10"}));
}

TEST_F(InputTest, DoubleClicksAreSecondPressesUnlessTheFrameAsks) {
    CreateFrame(100, 100);
    AddChild(&frame.root, "W", SMargin(0, 0, 0, 0), SSize());
    backend.injectButtonDown(WindowId(), 5, 5, MouseButton::Left, 2);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"W:down 5,5"}));
    log.clear();
    frame.doubleClicks = 1;
    backend.injectButtonDown(WindowId(), 5, 5, MouseButton::Left, 2);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"W:dblclick 5,5"}));
}

TEST_F(InputTest, DestroyedWidgetsLeaveNoReferencesBehind) {
    CreateFrame(100, 100);
    auto* widget = AddChild(&frame.root, "W", SMargin(0, 0, 0, 0), SSize());
    backend.injectMouseMove(WindowId(), 5, 5);
    Pump();
    widget->SetFocusable(1);
    widget->SetFocus();
    widget->SetCapture();
    const uint32_t timer = frame.agent.SetTimer(widget, 100);
    ASSERT_NE(timer, 0u);
    widget->Destroy();
    EXPECT_EQ(frame.agent.GetHovered(), nullptr);
    EXPECT_EQ(frame.agent.GetFocus(), nullptr);
    EXPECT_EQ(frame.agent.GetCaptured(), nullptr);
    EXPECT_EQ(frame.agent.TimerOwner(timer), nullptr);
    EXPECT_FALSE(Window()->hasCapture());
    // Input after the destruction reaches the root.
    log.clear();
    backend.injectButtonDown(WindowId(), 5, 5);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"Root:down 5,5"}));
}

TEST_F(InputTest, DisabledFrameRefusesInput) {
    CreateFrame(100, 100);
    frame.EnableWindow(false);
    backend.injectButtonDown(WindowId(), 5, 5);
    backend.injectMouseMove(WindowId(), 6, 6);
    backend.injectKeyDown(WindowId(), 'A');
    Pump();
    EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace ui_test
