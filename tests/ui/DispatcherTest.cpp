// The dispatcher: posting order across threads and inside a drain, coalesced repaints, the
// loop's blocking wait and its wake-up, nested loops, and the zoom factor from the screen.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/IDispatcherInvokeDelegate.h"
#include "ui/SDispatcher.h"
#include "ui/SDispatcherFrame.h"
#include "ui/SWindowAgent.h"

namespace ui_test {
namespace {

// Records the ids it receives, on which thread, and can run a step per id.
class Receiver : public IDispatcherInvokeDelegate {
public:
    void Dispatcher_Invoked(SInvokeArgument* argument) override {
        {
            std::lock_guard lock(mutex);
            ids.push_back(argument->id);
            threads.push_back(std::this_thread::get_id());
        }
        // A step may run a nested loop that delivers further records here.
        if (onInvoke) {
            onInvoke(argument);
        }
    }
    std::mutex mutex;
    std::vector<int> ids;
    std::vector<std::thread::id> threads;
    std::function<void(SInvokeArgument*)> onInvoke;
};

class DispatcherTest : public UiTest {
protected:
    SDispatcher& dispatcher() { return app->GetDispatcher(); }
};

TEST_F(DispatcherTest, RecordsFromTwoThreadsArriveInGlobalPostingOrder) {
    Receiver receiver;
    platform::Event firstPosted(platform::Event::Reset::Auto);
    platform::Event secondPosted(platform::Event::Reset::Auto);
    std::thread one([&] {
        dispatcher().Post(&receiver, 1);
        firstPosted.signal();
        secondPosted.wait();
        dispatcher().Post(&receiver, 3);
    });
    std::thread two([&] {
        firstPosted.wait();
        dispatcher().Post(&receiver, 2);
        secondPosted.signal();
    });
    one.join();
    two.join();
    dispatcher().DrainInvocations();
    EXPECT_EQ(receiver.ids, (std::vector<int>{1, 2, 3}));
    for (const auto& id : receiver.threads) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
}

TEST_F(DispatcherTest, ManyPostersKeepTheirOwnOrderAndLoseNothing) {
    Receiver receiver;
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                dispatcher().Post(&receiver, t * kEach + i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    dispatcher().DrainInvocations();
    ASSERT_EQ(receiver.ids.size(), static_cast<std::size_t>(kThreads * kEach));
    std::vector<int> last(kThreads, -1);
    for (int id : receiver.ids) {
        EXPECT_GT(id, last[id / kEach]);
        last[id / kEach] = id;
    }
}

TEST_F(DispatcherTest, RecordsPostedDuringADrainWaitForTheNext) {
    Receiver receiver;
    receiver.onInvoke = [&](SInvokeArgument* argument) {
        if (argument->id == 1) {
            dispatcher().Post(&receiver, 2);
        }
    };
    dispatcher().Post(&receiver, 1);
    dispatcher().DrainInvocations();
    EXPECT_EQ(receiver.ids, (std::vector<int>{1}));
    EXPECT_EQ(dispatcher().PendingInvocations(), 1u);
    dispatcher().DrainInvocations();
    EXPECT_EQ(receiver.ids, (std::vector<int>{1, 2}));
}

// A receiver that goes away takes its queued records with it, also those of the batch being
// delivered when an earlier record of that batch destroys it.
TEST_F(DispatcherTest, RecordsOfADestroyedReceiverAreDropped) {
    Receiver staying;
    auto leaving = std::make_unique<Receiver>();
    dispatcher().Post(leaving.get(), 1);
    dispatcher().Post(&staying, 2);
    leaving.reset();
    EXPECT_EQ(dispatcher().PendingInvocations(), 1u);
    dispatcher().DrainInvocations();
    EXPECT_EQ(staying.ids, (std::vector<int>{2}));

    auto second = std::make_unique<Receiver>();
    Receiver* secondTarget = second.get();
    staying.onInvoke = [&](SInvokeArgument* argument) {
        if (argument->id == 3) {
            second.reset();
        }
    };
    dispatcher().Post(&staying, 3);
    dispatcher().Post(secondTarget, 4);
    dispatcher().Post(&staying, 5);
    dispatcher().DrainInvocations();
    EXPECT_EQ(staying.ids, (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(dispatcher().PendingInvocations(), 0u);
}

#ifndef NDEBUG
// Debug builds stop at UI work on a worker thread while the UI thread is set.
TEST_F(DispatcherTest, UiWorkOffTheUiThreadStopsDebugBuilds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const bool wasUiThread = dispatcher().IsUiThread();
    dispatcher().SetUiThread();
    EXPECT_DEATH(
        {
            std::thread worker([&] { dispatcher().MarkDirty(nullptr); });
            worker.join();
        },
        "");
    if (!wasUiThread) {
        dispatcher().ClearUiThread();
    }
}
#endif

TEST_F(DispatcherTest, NullTargetQueuesNothing) {
    EXPECT_EQ(dispatcher().Post(nullptr, 5), 0);
    EXPECT_EQ(dispatcher().PendingInvocations(), 0u);
}

// A record extended with payload fields is destroyed as a whole after delivery.
struct PayloadArgument : SInvokeArgument {
    PayloadArgument(std::atomic<int>* destroyed) : SInvokeArgument(9, 0), counter(destroyed) {}
    ~PayloadArgument() override { ++*counter; }
    std::string text = std::string(100, 'x');
    std::atomic<int>* counter;
};

TEST_F(DispatcherTest, ExtendedRecordsAreDestroyedWhole) {
    Receiver receiver;
    std::atomic<int> destroyed{0};
    dispatcher().Post(&receiver, std::make_unique<PayloadArgument>(&destroyed));
    dispatcher().Post(nullptr, std::make_unique<PayloadArgument>(&destroyed));
    EXPECT_EQ(destroyed.load(), 1);  // refused: not queued, not leaked
    dispatcher().DrainInvocations();
    EXPECT_EQ(destroyed.load(), 2);
}

TEST_F(DispatcherTest, TenInvalidationsPaintOnce) {
    CreateFrame(100, 100);
    auto* widget = AddChild(&frame.root, "W", SMargin(0, 0, 0, 0), SSize());
    Pump();
    const int paints = frame.agent.GetPaintCount();
    const int presents = Window()->presentCount();
    for (int i = 0; i < 10; ++i) {
        widget->Invalidate();
    }
    EXPECT_TRUE(dispatcher().IsDirty(&frame.agent));
    Pump();
    EXPECT_EQ(frame.agent.GetPaintCount(), paints + 1);
    EXPECT_EQ(Window()->presentCount(), presents + 1);
    EXPECT_FALSE(dispatcher().IsDirty(&frame.agent));
}

TEST_F(DispatcherTest, RunBlocksUntilAPostWakesIt) {
    Receiver receiver;
    receiver.onInvoke = [&](SInvokeArgument* argument) {
        if (argument->id == 2) {
            dispatcher().Quit();
        }
    };
    std::thread poster([&] {
        dispatcher().Post(&receiver, 1);
        dispatcher().Post(&receiver, 2);
    });
    EXPECT_EQ(dispatcher().Run(), 0);
    poster.join();
    EXPECT_EQ(receiver.ids, (std::vector<int>{1, 2}));
    EXPECT_TRUE(dispatcher().IsQuitting());
}

TEST_F(DispatcherTest, NestedLoopReturnsOneAndTheOuterLoopCarriesOn) {
    Receiver receiver;
    SDispatcherFrame nested;
    std::vector<std::string> steps;
    receiver.onInvoke = [&](SInvokeArgument* argument) {
        switch (argument->id) {
            case 1:
                // Record 2 is queued before the nested loop starts and ends it.
                dispatcher().Post(&receiver, 2);
                steps.push_back("nested:" + std::to_string(dispatcher().Run(&nested)));
                dispatcher().Post(&receiver, 3);
                break;
            case 2:
                nested.keepRunning = 0;
                break;
            case 3:
                steps.push_back("outer");
                dispatcher().Quit();
                break;
        }
    };
    dispatcher().Post(&receiver, 1);
    EXPECT_EQ(dispatcher().Run(), 0);
    EXPECT_EQ(steps, (std::vector<std::string>{"nested:1", "outer"}));
    EXPECT_EQ(receiver.ids, (std::vector<int>{1, 2, 3}));
}

TEST_F(DispatcherTest, QuitInsideANestedLoopEndsBothLoops) {
    Receiver receiver;
    SDispatcherFrame nested;
    int nestedResult = -1;
    receiver.onInvoke = [&](SInvokeArgument* argument) {
        if (argument->id == 1) {
            dispatcher().Quit();
            nestedResult = dispatcher().Run(&nested);
        }
    };
    dispatcher().Post(&receiver, 1);
    EXPECT_EQ(dispatcher().Run(), 0);
    EXPECT_EQ(nestedResult, 0);
}

TEST_F(DispatcherTest, ModalFrameDisablesItsOwnerWhileItRuns) {
    CreateFrame(100, 100);
    TestFrame dialog;
    std::vector<std::string> dialogLog;
    dialog.log = &dialogLog;
    bool ownerEnabledDuringModal = true;
    Receiver receiver;
    receiver.onInvoke = [&](SInvokeArgument*) {
        ownerEnabledDuringModal = frame.GetWindow()->isEnabled();
        dialog.EndModal();
    };
    dispatcher().Post(&receiver, 1);
    SFrameOptions options;
    options.rect = SRect(0, 0, 50, 50);
    options.owner = &frame;
    EXPECT_EQ(dialog.DoModal(options), 1);
    EXPECT_FALSE(ownerEnabledDuringModal);
    EXPECT_TRUE(frame.GetWindow()->isEnabled());
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_GE(Window()->raiseCount(), 1);
}

TEST_F(DispatcherTest, ZoomFactorFromTheScreenResolution) {
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(96), 1.0);
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(119), 1.0);
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(120), 1.25);
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(143), 1.25);
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(144), 1.5);
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(192), 1.5);
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(-1), 1.0);  // a failed query counts as 96
    EXPECT_EQ(SDispatcher::ZoomFactorForDpi(0), 1.0);
}

TEST(DispatcherZoom, ConstructionTakesTheScreenOrTheOverride) {
    platform::window::HeadlessBackend backend;
    backend.setScreenDpi(130);
    ::unsetenv("AURALIS_SCALE");
    {
        SDispatcher dispatcher(backend);
        EXPECT_EQ(SDispatcher::GetZoomFactor(), 1.25);
    }
    ::setenv("AURALIS_SCALE", "2", 1);
    {
        SDispatcher dispatcher(backend);
        EXPECT_EQ(SDispatcher::GetZoomFactor(), 2.0);
    }
    ::setenv("AURALIS_SCALE", "huge", 1);
    {
        SDispatcher dispatcher(backend);
        EXPECT_EQ(SDispatcher::GetZoomFactor(), 1.25);
    }
    ::unsetenv("AURALIS_SCALE");
    SDispatcher::SetZoomFactor(1.0);
}

TEST(DispatcherZoom, DesktopScaleComesBeforeTheScreenAndTheOverrideBeforeBoth) {
    platform::window::HeadlessBackend backend;
    backend.setScreenDpi(130);
    backend.setDesktopScale(2.0);
    ::unsetenv("AURALIS_SCALE");
    {
        SDispatcher dispatcher(backend);
        EXPECT_EQ(SDispatcher::GetZoomFactor(), 2.0);
    }
    ::setenv("AURALIS_SCALE", "1.5", 1);
    {
        SDispatcher dispatcher(backend);
        EXPECT_EQ(SDispatcher::GetZoomFactor(), 1.5);
    }
    ::unsetenv("AURALIS_SCALE");
    SDispatcher::SetZoomFactor(1.0);
}

TEST(DispatcherZoom, MainWindowSizeIsFittedToTheWorkArea) {
    const platform::window::Rect tall{0, 0, 1280, 1024 - 32};  // a 1024-high screen, a panel
    // 515 x 2 = 1030 does not fit; 1.75 does.
    EXPECT_EQ(SDispatcher::ZoomToFit(2.0, 424, 515, tall), 1.75);
    EXPECT_EQ(SDispatcher::ZoomToFit(1.5, 424, 515, tall), 1.5);
    // Odd factors step down to a quarter; never below 1, even on a tiny screen.
    EXPECT_EQ(SDispatcher::ZoomToFit(1.9, 424, 515, platform::window::Rect{0, 0, 800, 600}), 1.0);
    EXPECT_EQ(SDispatcher::ZoomToFit(2.0, 424, 515, platform::window::Rect{0, 0, 320, 240}), 1.0);
    EXPECT_EQ(SDispatcher::ZoomToFit(2.0, 424, 515, platform::window::Rect{}), 2.0);

    platform::window::HeadlessBackend backend;
    backend.setDisplayBounds(platform::window::Rect{0, 24, 1024, 768 - 24});
    SDispatcher dispatcher(backend);
    SDispatcher::SetZoomFactor(2.0);
    dispatcher.FitZoomToWorkArea(424, 515);
    EXPECT_EQ(SDispatcher::GetZoomFactor(), 1.25);
    SDispatcher::SetZoomFactor(1.0);
}

}  // namespace
}  // namespace ui_test
