// Dialogs: the window around the size asked for, the zoom in (input blocked) and the zoom out,
// closing once however often it is asked, close requests and closeAllowed, the open-dialog
// list, the message dialog's button row and its result reaching the caller, closing from
// another thread, and SFramePanel's close request.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/TickCount.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SDialogFrame.h"
#include "ui/SDispatcher.h"
#include "ui/SMessageDialog.h"
#include "ui/SMessageTextPanel.h"
#include "ui/SPopupDialog.h"
#include "ui/SPopupPanelBase.h"

namespace ui_test {
namespace {

// Counts how often its window went.
class CountingDialog : public SDialogFrame {
public:
    explicit CountingDialog(std::vector<std::string>* order = nullptr, std::string name = "")
        : m_order(order), m_name(std::move(name)) {}
    ~CountingDialog() override { Destroy(); }
    void OnDestroy() override {
        ++destroyed;
        if (m_order != nullptr) {
            m_order->push_back(m_name);
        }
        SDialogFrame::OnDestroy();
    }
    int destroyed = 0;

private:
    std::vector<std::string>* m_order;
    std::string m_name;
};

class DialogTest : public UiTest {
protected:
    DialogTest() {
        app->GetDispatcher().running = 1;
        app->GetDispatcher().SetLastFrameTick(clock.now());
        CreateFrame(600, 400);
    }
    ~DialogTest() override { app->GetDispatcher().running = 0; }

    void Advance(uint64_t milliseconds) {
        for (uint64_t done = 0; done < milliseconds; done += 5) {
            clock.advance(5);
            Pump();
        }
    }
    platform::window::WindowId IdOf(SWindowFrame& dialog) {
        return dialog.GetWindow() != nullptr ? dialog.GetWindow()->id() : 0;
    }
    // Clicks at a point of a widget's window (client pixels).
    void ClickAt(SWindowFrame& dialog, int x, int y) {
        backend.injectMouseMove(IdOf(dialog), x, y);
        backend.injectButtonDown(IdOf(dialog), x, y);
        backend.injectButtonUp(IdOf(dialog), x, y);
        Pump();
    }
    void ClickOn(SWindowFrame& dialog, SWindowBase& widget) {
        const SRect r = widget.GetRect(SWindowBase::kRectInFrame, 0);
        ClickAt(dialog, static_cast<int>((r.left + r.right) / 2),
                static_cast<int>((r.top + r.bottom) / 2));
    }
    // Runs `step` over and over from inside whatever loop runs (a modal dialog's), moving the
    // clock on between calls, until it returns true.
    void RunInLoop(std::function<bool()> step) {
        backend.postCall([this, step] {
            if (!step()) {
                clock.advance(5);
                RunInLoop(step);
            }
        });
    }

    platform::ManualTickSource clock;
};

TEST_F(DialogTest, WindowIsTheSizeAskedForPlusItsShadowAndZoomsInBlockingInput) {
    CountingDialog dialog;
    ASSERT_EQ(dialog.CreateDialog(&frame, "Title", SSize(360, 160)), 1);
    EXPECT_EQ(dialog.GetWindow()->screenRect().width, 376);
    EXPECT_EQ(dialog.GetWindow()->screenRect().height, 176);
    EXPECT_EQ(backend.window(IdOf(dialog))->title(), "Title");
    const SRect content = dialog.GetContentArea().GetRect(SWindowBase::kRectInFrame, 0);
    EXPECT_EQ(content, SRect(8, 36, 368, 160));
    EXPECT_EQ(dialog.GetTitleBar().GetTitle(), "Title");
    EXPECT_EQ(dialog.GetRoot().GetName(), "MainPanel");
    ASSERT_EQ(SDialogFrame::GetOpenDialogs(), (std::vector<SDialogFrame*>{&dialog}));

    dialog.ShowDialog();
    const AnimationInfo* opening = dialog.GetRoot().FindAnimation(0);
    ASSERT_NE(opening, nullptr);
    EXPECT_EQ(opening->period, 160u);
    EXPECT_EQ(opening->easing, 14);
    EXPECT_EQ(dialog.GetRoot().acceptsInputWhileAnimating, 0);
    ClickOn(dialog, dialog.GetTitleBar().GetCloseButton());  // ignored while it zooms in
    EXPECT_EQ(dialog.IsClosing(), 0);
    Advance(200);

    EXPECT_EQ(dialog.GetRoot().IsAnimating(), 0);
    ClickOn(dialog, dialog.GetTitleBar().GetCloseButton());
    EXPECT_EQ(dialog.IsClosing(), 1);
}

// The card's rounded corners and its shadow margin show the desktop: per pixel where a
// compositor blends, else cut out of the window's shape. The card itself stays opaque.
TEST_F(DialogTest, CornersOutsideTheRoundedCardAreTransparentOrOutsideTheShape) {
    for (const bool compositing : {true, false}) {
        SCOPED_TRACE(compositing ? "compositor" : "shape");
        backend.setCompositing(compositing);
        CountingDialog dialog;
        ASSERT_EQ(dialog.CreateDialog(&frame, "Title", SSize(360, 160)), 1);
        dialog.ShowDialog();
        Advance(200);
        platform::window::HeadlessWindow* window = backend.window(IdOf(dialog));
        ASSERT_NE(window->lastFrame(), nullptr);
        EXPECT_EQ(window->transparency(), compositing ? platform::window::Transparency::PerPixel
                                                      : platform::window::Transparency::Shape);
        const int width = window->screenRect().width;
        const int height = window->screenRect().height;
        const std::vector<std::pair<int, int>> corners = {
            {0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1}};
        for (const auto& [x, y] : corners) {
            if (compositing) {
                EXPECT_EQ(SurfacePixel(window->lastFrame(), x, y) >> 24, 0u) << x << "," << y;
            } else {
                EXPECT_FALSE(window->shape().contains(x, y)) << x << "," << y;
            }
        }
        // Just outside the card's rounded corner: the shadow, translucent or cut away.
        if (compositing) {
            EXPECT_LT(SurfacePixel(window->lastFrame(), 9, 9) >> 24, 0xFFu);
        } else {
            EXPECT_FALSE(window->shape().contains(9, 9));
        }
        // The middle of the card and of its title bar are solid.
        for (const auto& [x, y] : {std::pair{width / 2, height / 2}, std::pair{width / 2, 20}}) {
            EXPECT_EQ(SurfacePixel(window->lastFrame(), x, y) >> 24, 0xFFu) << x << "," << y;
            if (!compositing) {
                EXPECT_TRUE(window->shape().contains(x, y));
            }
        }
        dialog.Destroy();
    }
    backend.setCompositing(true);
}

TEST_F(DialogTest, ClickingCloseTwiceDuringTheClosingAnimationClosesOnce) {
    CountingDialog dialog;
    dialog.CreateDialog(&frame, "Title", SSize(300, 150));
    dialog.ShowDialog();
    Advance(200);
    SImageButton& close = dialog.GetTitleBar().GetCloseButton();
    ClickOn(dialog, close);
    ASSERT_EQ(dialog.IsClosing(), 1);
    const AnimationInfo* closing = dialog.GetRoot().FindAnimation(0);
    ASSERT_NE(closing, nullptr);
    EXPECT_EQ(closing->easing, 13);
    const uint64_t started = closing->serial;
    Advance(40);
    ClickOn(dialog, close);
    dialog.CloseDialog(1);
    EXPECT_EQ(dialog.GetRoot().FindAnimation(0)->serial, started);
    EXPECT_FALSE(dialog.closedEvent.isSignalled());
    EXPECT_EQ(dialog.GetBackground().GetOwnVisible(), 0);  // only the snapshot is drawn

    Advance(200);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_TRUE(dialog.closedEvent.isSignalled());
    EXPECT_EQ(dialog.destroyed, 1);
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
    dialog.CloseDialog(1);  // nothing left to close
    EXPECT_EQ(dialog.destroyed, 1);
}

TEST_F(DialogTest, PlatformCloseRequestsObeyCloseAllowed) {
    CountingDialog dialog;
    dialog.closeAllowed = 0;
    dialog.CreateDialog(&frame, "Title", SSize(300, 150));
    dialog.ShowDialog();
    Advance(200);
    backend.injectCloseRequest(IdOf(dialog));
    Advance(300);
    EXPECT_TRUE(dialog.IsWindow());
    EXPECT_EQ(dialog.IsClosing(), 0);

    dialog.closeAllowed = 1;
    backend.injectCloseRequest(IdOf(dialog));
    Pump();
    EXPECT_EQ(dialog.IsClosing(), 1);  // animated
    EXPECT_TRUE(dialog.IsWindow());
    Advance(200);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_EQ(dialog.destroyed, 1);
}

TEST_F(DialogTest, OpenDialogsAreListedAndCloseNewestFirst) {
    std::vector<std::string> order;
    CountingDialog first(&order, "first");
    CountingDialog second(&order, "second");
    first.CreateDialog(&frame, "1", SSize(200, 100));
    second.CreateDialog(&frame, "2", SSize(200, 100));
    EXPECT_EQ(SDialogFrame::GetOpenDialogs(), (std::vector<SDialogFrame*>{&first, &second}));
    SDialogFrame::CloseAllDialogs();
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    EXPECT_TRUE(SDialogFrame::GetOpenDialogs().empty());
}

TEST_F(DialogTest, TypeThreeButtonRowHasThreeCentredButtonsAndTheMiddleOneIsNo) {
    SMessageTextPanel text("Save changes?");
    SPopupDialog dialog(&text, 3);
    dialog.CreateDialog(&frame, "Question", SSize(500, 200));
    SMessageButtonPanel& row = dialog.GetButtonPanel();
    EXPECT_EQ(row.GetName(), "SMessageButtonPanel");
    EXPECT_EQ(row.GetRect(SWindowBase::kRectOwnLogical, 0), SRect(0, 0, 500, 40));
    EXPECT_EQ(dialog.GetContentPanel().GetName(), "SContentPanel");
    ASSERT_EQ(row.GetButtonCount(), 3u);
    const double lefts[] = {59, 188, 317};  // (500 - (3 x 124 + 2 x 5)) / 2, then +129
    const char* captions[] = {"Yes", "No", "Cancel"};
    // What assistive technology finds them by, whatever the language.
    const char* ids[] = {"Button Yes", "Button No", "Button Cancel"};
    const int results[] = {6, 7, 2};
    for (std::size_t i = 0; i < 3; ++i) {
        SCommonButton* button = row.GetButton(i);
        const SRect r = button->GetRect(SWindowBase::kRectInParent, 0);
        EXPECT_EQ(r, SRect(lefts[i], 4, lefts[i] + 124, 36)) << i;
        EXPECT_EQ(button->GetText(), captions[i]);
        EXPECT_EQ(button->GetName(), captions[i]);
        EXPECT_EQ(button->GetAccessibleId(), ids[i]);
        EXPECT_EQ(button->GetStyle(), 12);
        EXPECT_EQ(row.GetResult(i), results[i]);
    }
    dialog.CloseDialog(0);

    // The other sets, and types outside the table.
    EXPECT_EQ(SMessageButtonPanel::ButtonSet(6).back().result, 11);
    EXPECT_EQ(SMessageButtonPanel::ButtonSet(2)[1].captionKey, "MNU_Retry");
    EXPECT_EQ(SMessageButtonPanel::ButtonSet(9).size(), 1u);
    EXPECT_EQ(SMessageButtonPanel::ButtonSet(-4)[0].result, 1);
}

TEST_F(DialogTest, PressedButtonsResultReachesTheCaller) {
    int phase = 0;
    RunInLoop([&] {
        std::vector<SDialogFrame*> open = SDialogFrame::GetOpenDialogs();
        if (phase == 0 && !open.empty() && open.back()->GetRoot().IsAnimating() == 0) {
            auto* popup = dynamic_cast<SPopupDialog*>(open.back());
            ClickOn(*popup, *popup->GetButtonPanel().GetButton(1));
            phase = 1;
        }
        return phase == 1 && open.empty();
    });
    EXPECT_EQ(SMessageDialog::Show(&frame, "Question", "Replace the file?", 3), 7);
    Pump();  // the script's last turn, which finds the dialog gone

    // Captions may be replaced; closing otherwise gives the close result.
    phase = 0;
    std::string caption;
    std::string id;
    RunInLoop([&] {
        std::vector<SDialogFrame*> open = SDialogFrame::GetOpenDialogs();
        if (phase == 0 && !open.empty() && open.back()->GetRoot().IsAnimating() == 0) {
            auto* popup = dynamic_cast<SPopupDialog*>(open.back());
            caption = popup->GetButtonPanel().GetButton(0)->GetText();
            id = popup->GetButtonPanel().GetButton(0)->GetAccessibleId();
            ClickOn(*popup, popup->GetTitleBar().GetCloseButton());
            phase = 1;
        }
        return phase == 1 && open.empty();
    });
    EXPECT_EQ(SMessageDialog::Show(&frame, "Update", "A new version is available.", 1,
                                   {"Update now", ""}),
              SPopupDialog::kResultClosed);
    Pump();
    EXPECT_EQ(caption, "Update now");
    EXPECT_EQ(id, "Button OK");                   // the result it gives, not the caption
    EXPECT_TRUE(frame.GetWindow()->isEnabled());  // the owner is usable again
}

// An owner that records its modal state.
class OwnerFrame : public SWindowFrame {
public:
    ~OwnerFrame() override { Destroy(); }
    int OnCreate() override {
        root.CreateRoot(&agent, "Root");
        return 0;
    }
    void OnModalState(int entered) override { states.push_back(entered); }
    SPanel root;
    std::vector<int> states;
};

TEST_F(DialogTest, TheOwnerIsInItsModalStateWhileTheDialogRuns) {
    OwnerFrame owner;
    SFrameOptions options;
    options.rect = SRect(0, 0, 400, 300);
    ASSERT_EQ(owner.Create(options), 1);
    std::vector<int> seen;
    RunInLoop([&] {
        if (seen.empty() && !SDialogFrame::GetOpenDialogs().empty()) {
            seen = owner.states;
            SDialogFrame::GetOpenDialogs().back()->CloseDialog(0);
        }
        return !seen.empty();
    });
    SMessageDialog::Show(&owner, "Title", "Text");
    Pump();
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(owner.states, (std::vector<int>{1, 0}));
    EXPECT_TRUE(owner.GetWindow()->isEnabled());
}

// A message box over an owner that hangs off the bottom right of a small screen: the dialog is
// a dialog window of that owner with its own title, lies wholly in the work area, and holds the
// keyboard while it runs; the owner gets the keyboard back when it closes.
TEST_F(DialogTest, ADialogBelongsToItsOwnerStaysOnTheScreenAndHandsTheKeyboardBack) {
    backend.setDisplayBounds(platform::window::Rect{0, 0, 800, 600});
    OwnerFrame owner;
    SFrameOptions options;
    options.rect = SRect::FromSize(600, 450, 400, 300);
    ASSERT_EQ(owner.Create(options), 1);
    owner.Show();
    owner.GetWindow()->takeFocus();

    platform::window::HeadlessWindow* shown = nullptr;
    bool focusedWhileOpen = false;
    RunInLoop([&] {
        if (shown == nullptr && !SDialogFrame::GetOpenDialogs().empty()) {
            SDialogFrame* dialog = SDialogFrame::GetOpenDialogs().back();
            shown = backend.window(IdOf(*dialog));
            focusedWhileOpen = backend.focusedWindow() == shown->id();
            EXPECT_EQ(shown->ownerId(), owner.GetWindow()->id());
            EXPECT_NE(shown->style() & platform::window::kStyleDialog, 0u);
            EXPECT_EQ(shown->title(), "Delete?");
            const platform::window::Rect place = shown->screenRect();
            EXPECT_GE(place.x, 0);
            EXPECT_GE(place.y, 0);
            EXPECT_LE(place.x + place.width, 800);
            EXPECT_LE(place.y + place.height, 600);
            dialog->CloseDialog(0);
        }
        return shown != nullptr;
    });
    SMessageDialog::Show(&owner, "Delete?", "Text");
    Pump();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(focusedWhileOpen) << "the dialog did not take the keyboard";
    EXPECT_EQ(backend.focusedWindow(), owner.GetWindow()->id());
}

TEST_F(DialogTest, PlacementCentresOnTheOwnerAndKeepsTheTitleRowOnTheScreen) {
    const platform::window::Rect area{0, 30, 1280, 870};
    // Centred where it fits.
    EXPECT_EQ(SDialogFrame::FitInArea({100, 200, 300, 200}, area),
              (platform::window::Rect{100, 200, 300, 200}));
    // Pushed in from the right and the bottom, and from the panel at the top.
    EXPECT_EQ(SDialogFrame::FitInArea({1100, 800, 300, 200}, area),
              (platform::window::Rect{980, 700, 300, 200}));
    EXPECT_EQ(SDialogFrame::FitInArea({-50, 0, 300, 200}, area),
              (platform::window::Rect{0, 30, 300, 200}));
    // Larger than the work area: the top left corner (the title row) stays on it.
    EXPECT_EQ(SDialogFrame::FitInArea({-200, -100, 1400, 1000}, area),
              (platform::window::Rect{0, 30, 1400, 1000}));
}

class WorkerPanel : public SPopupPanelBase {};

TEST_F(DialogTest, AnotherThreadEndsAPopupWithAResult) {
    WorkerPanel panel;
    SPopupDialog dialog(&panel, SPopupDialog::kNoButtons, "WorkerPanel");
    std::thread worker;
    RunInLoop([&] {
        if (!worker.joinable() && panel.GetDialog() == &dialog) {
            worker = std::thread([&dialog] { dialog.PostEndDialog(1); });
        }
        return !dialog.IsWindow() && worker.joinable();
    });
    EXPECT_EQ(dialog.DoModalResult(&frame, "Checking", SSize(360, 160)), 1);
    Pump();
    worker.join();
    EXPECT_EQ(panel.GetDialog(), &dialog);
    EXPECT_TRUE(dialog.closedEvent.isSignalled());
}

TEST_F(DialogTest, ALateCloseFromAnotherThreadFindsNothingToClose) {
    auto dialog = std::make_unique<CountingDialog>();
    dialog->CreateDialog(&frame, "Title", SSize(200, 100));
    dialog->CloseDialog(0);
    dialog->PostCloseDialog();  // queued after the window went ...
    dialog.reset();             // ... and after the object went
    Pump();
    SUCCEED();
}

TEST_F(DialogTest, FramePanelSendsTheCloseRequestOrLogsItsAbsence) {
    CountingDialog dialog;
    dialog.CreateDialog(&frame, "Title", SSize(200, 100));
    dialog.ShowDialog();
    Advance(200);
    dialog.GetRoot().CloseDialog();
    EXPECT_EQ(CountInLog("Send Close Message to Frame"), 1);
    EXPECT_EQ(dialog.IsClosing(), 1);
    Advance(200);
    EXPECT_FALSE(dialog.IsWindow());

    SFramePanel orphan;
    orphan.CloseDialog();
    EXPECT_EQ(CountInLog("_parentFrame is invalid"), 1);
}

}  // namespace
}  // namespace ui_test
