#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "app/IMainViewDelegate.h"
#include "platform/TickCount.h"
#include "tests/ui/UiTestSupport.h"

namespace app_test {

// Records the screen switches a screen asks the controller for.
class RecordingMainView : public IMainViewDelegate {
public:
    void UpdateMainView(int viewType) override { views.push_back(viewType); }
    std::vector<int> views;
};

// A headless frame with a test clock; the dispatcher runs as in the program, so delayed shows,
// fades and dialog zooms play out as the clock moves.
class ScreenTest : public ui_test::UiTest {
protected:
    ScreenTest();
    ~ScreenTest() override;

    // Lets `milliseconds` pass, handling everything due on the way.
    void Advance(uint64_t milliseconds);
    // Clicks the middle of a widget in the window it lives in.
    void ClickOn(SWindowBase& widget);
    // Runs `step` from inside whatever loop runs (a modal dialog's), moving the clock on by
    // 5 ms between calls, until it returns true.
    void RunInLoop(std::function<bool()> step);

    platform::ManualTickSource clock;
};

}  // namespace app_test
