#include "tests/app/ScreenTestSupport.h"

#include "ui/SWindowAgent.h"
#include "ui/SWindowFrame.h"

namespace app_test {

ScreenTest::ScreenTest() {
    app->GetDispatcher().running = 1;
    app->GetDispatcher().SetLastFrameTick(clock.now());
}

ScreenTest::~ScreenTest() {
    app->GetDispatcher().running = 0;
}

void ScreenTest::Advance(uint64_t milliseconds) {
    for (uint64_t done = 0; done < milliseconds; done += 5) {
        clock.advance(5);
        Pump();
    }
}

void ScreenTest::ClickOn(SWindowBase& widget) {
    SWindowAgent* agent = widget.GetAgent();
    SWindowFrame* owner = agent != nullptr ? agent->GetFrame() : nullptr;
    ASSERT_NE(owner, nullptr);
    const auto id = owner->GetWindow()->id();
    const SRect r = widget.GetRect(SWindowBase::kRectInFrame, 0);
    const int x = static_cast<int>((r.left + r.right) / 2);
    const int y = static_cast<int>((r.top + r.bottom) / 2);
    backend.injectMouseMove(id, x, y);
    backend.injectButtonDown(id, x, y);
    backend.injectButtonUp(id, x, y);
    Pump();
}

void ScreenTest::RunInLoop(std::function<bool()> step) {
    backend.postCall([this, step] {
        if (!step()) {
            clock.advance(5);
            RunInLoop(step);
        }
    });
}

}  // namespace app_test
