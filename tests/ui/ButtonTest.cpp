// Buttons: clicks inside and outside, the state cycle, toggles and radio groups (with select on
// press and sliding), auto-repeat on the test clock, drag buttons, double clicks and the
// keyboard, and the order of the delegate's notifications.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TickCount.h"
#include "platform/window/Keys.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/IButtonDelegate.h"
#include "ui/SButton.h"
#include "ui/SButtonGroup.h"
#include "ui/SWindowAgent.h"

namespace ui_test {
namespace {

class RecordingDelegate : public IButtonDelegate {
public:
    void ButtonPressedInGroup(SButton* b) override { Add("pressedInGroup", b); }
    void ButtonClicked(SButton* b) override { Add("clicked", b); }
    void ButtonDown(SButton* b, const SMouseEventArgs&) override { Add("down", b); }
    void ButtonMouseEnter(SButton* b) override { Add("enter", b); }
    void ButtonMouseLeave(uint32_t, SButton* b) override { Add("leave", b); }
    void ButtonDragEnd(SButton* b, const SMouseEventArgs&) override { Add("dragEnd", b); }
    void ButtonDragMove(SButton* b, const SMouseEventArgs&) override { Add("dragMove", b); }
    void ButtonDoubleClicked(SButton* b) override { Add("doubleClicked", b); }

    void Add(const std::string& what, SButton* b) { events.push_back(what + " " + b->GetName()); }
    int Count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    std::vector<std::string> events;
};

class ButtonTest : public UiTest {
protected:
    void SetUp() override { CreateFrame(300, 100); }
    ~ButtonTest() override {
        for (auto& button : buttons) {
            button->Destroy();
        }
    }
    SButton* AddButton(const std::string& name, double left, int type = SButton::kPush) {
        buttons.push_back(std::make_unique<SButton>());
        SButton* button = buttons.back().get();
        button->SetType(type);
        button->SetDelegate(&delegate);
        button->Create(name, &frame.root, SMargin(left, 10, -1, -1), SSize(50, 30));
        return button;
    }
    void Press(int x, int y) {
        backend.injectButtonDown(WindowId(), x, y);
        Pump();
    }
    void Release(int x, int y) {
        backend.injectButtonUp(WindowId(), x, y);
        Pump();
    }
    void Move(int x, int y) {
        backend.injectMouseMove(WindowId(), x, y);
        Pump();
    }
    void Click(int x, int y) {
        Move(x, y);
        Press(x, y);
        Release(x, y);
    }

    RecordingDelegate delegate;
    std::vector<std::unique_ptr<SButton>> buttons;
};

TEST_F(ButtonTest, PushButtonCyclesItsStatesOneClickPerRelease) {
    SButton* button = AddButton("B", 10);
    button->SetStateCount(3);
    Click(20, 20);
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"enter B", "clicked B"}));
    EXPECT_EQ(button->GetStateIndex(), 1);
    Click(59, 39);  // the edges belong to the button
    Click(60, 40);
    EXPECT_EQ(delegate.Count("clicked B"), 3);
    EXPECT_EQ(button->GetStateIndex(), 0);

    button->SetStateIndex(3);  // not below the count: ignored
    button->SetStateCount(0);  // ignored
    EXPECT_EQ(button->GetStateIndex(), 0);
    EXPECT_EQ(button->GetStateCount(), 3);
}

TEST_F(ButtonTest, ReleaseOutsideDoesNotClickAndClearsPressAndCapture) {
    SButton* button = AddButton("B", 10);
    Press(20, 20);
    EXPECT_EQ(button->IsPressed(), 1);
    EXPECT_EQ(frame.agent.GetCaptured(), button);
    Move(200, 80);
    Release(200, 80);  // the capture brings the release to the button
    EXPECT_EQ(delegate.Count("clicked B"), 0);
    EXPECT_EQ(button->IsPressed(), 0);
    EXPECT_EQ(button->IsReleased(), 1);
    EXPECT_EQ(frame.agent.GetCaptured(), nullptr);
    EXPECT_EQ(button->GetStateIndex(), 0);

    // A release that follows no press on the button is no click either.
    AddButton("Other", 100);
    Press(200, 80);
    Release(110, 20);
    EXPECT_EQ(delegate.Count("clicked Other"), 0);
}

TEST_F(ButtonTest, HeldAutoRepeatButtonRepeatsOnTheClockThenClicksOnce) {
    platform::ManualTickSource clock;
    SButton* button = AddButton("B", 10);
    button->SetAutoRepeat(1);
    button->SetNotifyPress(1);
    Press(20, 20);
    EXPECT_EQ(delegate.Count("down B"), 1);  // at 0 ms

    auto advanceTo = [&](uint64_t ms) {
        while (clock.now() < 1000 + ms) {
            clock.advance(5);
            Pump();
        }
    };
    advanceTo(495);
    EXPECT_EQ(delegate.Count("down B"), 1);
    advanceTo(500);
    EXPECT_EQ(delegate.Count("down B"), 2);  // first repeat
    advanceTo(545);
    EXPECT_EQ(delegate.Count("down B"), 2);
    advanceTo(550);
    EXPECT_EQ(delegate.Count("down B"), 3);
    advanceTo(1950);  // the 30th repeat
    EXPECT_EQ(delegate.Count("down B"), 31);
    EXPECT_EQ(button->GetRepeatCount(), 30);
    EXPECT_EQ(delegate.Count("clicked B"), 0);
    advanceTo(2000);
    EXPECT_EQ(delegate.Count("clicked B"), 1);
    advanceTo(2500);
    EXPECT_EQ(delegate.Count("down B"), 31);
    Release(20, 20);
    EXPECT_EQ(delegate.Count("clicked B"), 1);

    // A short press clicks on release as usual, and its timer stops.
    delegate.events.clear();
    Press(20, 20);
    advanceTo(2700);
    Release(20, 20);
    advanceTo(3500);
    EXPECT_EQ(delegate.Count("down B"), 1);
    EXPECT_EQ(delegate.Count("clicked B"), 1);
    EXPECT_EQ(frame.agent.TimerCount(), 0u);
}

TEST_F(ButtonTest, TogglesNotifyOutsideGroupsAndGroupsKeepOneChecked) {
    SButton* toggle = AddButton("T", 10, SButton::kToggle);
    toggle->SetChecked(1);
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"clicked T"}));
    toggle->SetChecked(1);  // unchanged: nothing
    EXPECT_EQ(delegate.Count("clicked T"), 1);
    Click(20, 20);
    EXPECT_EQ(toggle->GetChecked(), 0);
    EXPECT_EQ(delegate.Count("clicked T"), 2);

    SButtonGroup group;
    SButton* a = AddButton("A", 100, SButton::kRadio);
    SButton* b = AddButton("B", 160, SButton::kRadio);
    SButton* c = AddButton("C", 220, SButton::kRadio);
    for (SButton* radio : {a, b, c}) {
        radio->SetGroup(&group);
    }
    delegate.events.clear();
    a->SetChecked(1);
    b->SetChecked(1);
    EXPECT_TRUE(delegate.events.empty());
    EXPECT_EQ(a->GetChecked(), 0);
    EXPECT_EQ(b->GetChecked(), 1);
    EXPECT_EQ(group.GetChecked(), b);

    Click(230, 20);
    EXPECT_EQ(delegate.Count("clicked C"), 1);
    EXPECT_EQ(group.GetChecked(), c);
    EXPECT_EQ(b->GetChecked(), 0);
    Click(230, 20);  // already checked: no second click
    EXPECT_EQ(delegate.Count("clicked C"), 1);
    EXPECT_EQ(c->GetChecked(), 1);
}

TEST_F(ButtonTest, SelectOnPressGroupSelectsAtPressAndBySlidingWhileHeld) {
    SButtonGroup group;
    group.selectOnPress = 1;
    SButton* a = AddButton("A", 10, SButton::kRadio);
    SButton* b = AddButton("B", 70, SButton::kRadio);
    a->SetGroup(&group);
    b->SetGroup(&group);
    Move(20, 20);
    Press(20, 20);
    EXPECT_EQ(delegate.events,
              (std::vector<std::string>{"enter A", "pressedInGroup A", "clicked A"}));
    EXPECT_EQ(a->GetChecked(), 1);
    EXPECT_EQ(group.mouseHeld, 1);

    Move(80, 20);  // A holds the capture; sliding still selects B
    EXPECT_EQ(b->GetChecked(), 1);
    EXPECT_EQ(a->GetChecked(), 0);
    EXPECT_EQ(delegate.Count("clicked B"), 1);
    Release(80, 20);
    EXPECT_EQ(group.mouseHeld, 0);
    EXPECT_EQ(delegate.Count("clicked A"), 1);

    Move(20, 20);  // not held any more: hovering selects nothing
    EXPECT_EQ(b->GetChecked(), 1);
}

TEST_F(ButtonTest, DragButtonReportsPressMovesAndEndButNeverClicks) {
    AddButton("D", 10, SButton::kDrag);
    Move(20, 20);
    Press(20, 20);
    Move(40, 25);
    Move(250, 90);
    Release(250, 90);
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"enter D", "down D", "dragMove D",
                                                         "dragMove D", "dragEnd D"}));
}

TEST_F(ButtonTest, DoubleClicksAndTheKeyboard) {
    frame.doubleClicks = 1;
    SButton* plain = AddButton("P", 10);
    SButton* presses = AddButton("Q", 100);
    presses->SetDoubleClickPresses(1);
    backend.injectButtonDown(WindowId(), 20, 20, platform::window::MouseButton::Left, 2);
    Release(20, 20);
    EXPECT_EQ(delegate.Count("doubleClicked P"), 1);
    EXPECT_EQ(delegate.Count("clicked P"), 0);
    backend.injectButtonDown(WindowId(), 110, 20, platform::window::MouseButton::Left, 2);
    Release(110, 20);
    EXPECT_EQ(delegate.Count("clicked Q"), 1);

    plain->SetFocus();
    backend.injectKeyDown(WindowId(), platform::window::keys::kSpace);
    Pump();
    EXPECT_EQ(delegate.Count("clicked P"), 1);
    plain->SetEnabled(0);
    backend.injectKeyDown(WindowId(), platform::window::keys::kReturn);
    Pump();
    EXPECT_EQ(delegate.Count("clicked P"), 1);
}

TEST_F(ButtonTest, HoverNotificationsAndVisualStates) {
    SButton* button = AddButton("B", 10);
    Move(20, 20);
    EXPECT_EQ(button->GetVisualState(), SButton::kStateHover);
    Press(20, 20);
    EXPECT_EQ(button->GetVisualState(), SButton::kStatePressed);
    Release(20, 20);
    Move(200, 80);
    EXPECT_EQ(button->GetVisualState(), SButton::kStateNormal);
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"enter B", "clicked B", "leave B"}));
    button->SetEnabled(0);
    EXPECT_EQ(button->GetVisualState(), SButton::kStateDisabled);
}

TEST_F(ButtonTest, DestroyingAHeldRepeatButtonStopsItsTimerAndLeavesTheGroup) {
    platform::ManualTickSource clock;
    auto group = std::make_unique<SButtonGroup>();
    SButton* button = AddButton("B", 10);
    button->SetAutoRepeat(1);
    button->SetGroup(group.get());
    Press(20, 20);
    EXPECT_EQ(frame.agent.TimerCount(), 1u);
    button->Destroy();
    EXPECT_EQ(frame.agent.TimerCount(), 0u);
    group.reset();  // the button outlives its group
    EXPECT_EQ(button->GetGroup(), nullptr);
}

}  // namespace
}  // namespace ui_test
