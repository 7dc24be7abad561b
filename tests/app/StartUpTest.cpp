// The start-up work list and the application object's start: one worker per item, the chain of
// "next work" messages, the synchronous question to the UI thread, and the single instance.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "app/IStartUpHost.h"
#include "app/SGUIMain.h"
#include "app/SStartUp.h"
#include "link/BluetoothHandle.h"
#include "platform/SingleInstanceLock.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "tests/app/AppTestSupport.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "ui/SCommandLine.h"
#include "ui/SDispatcher.h"

using app_test::CountInLog;
using namespace std::chrono_literals;

namespace {

// Records what the workers post; runs "next work" the way the main frame does when asked.
class RecordingHost : public IStartUpHost {
public:
    bool StartUpWindowExists() const override { return windowExists.load(); }
    void PostStartUpMessage(int param) override {
        std::lock_guard<std::mutex> guard(mutex);
        posted.push_back(param);
    }
    intptr_t SendStartUpMessage(int param) override {
        std::lock_guard<std::mutex> guard(mutex);
        sent.push_back(param);
        return answer;
    }
    std::vector<int> Posted() {
        std::lock_guard<std::mutex> guard(mutex);
        return posted;
    }
    std::vector<int> Sent() {
        std::lock_guard<std::mutex> guard(mutex);
        return sent;
    }
    // Waits for `count` posts (bounded).
    bool WaitPosts(std::size_t count) {
        return testing_support::eventually([&] { return Posted().size() >= count; });
    }

    std::atomic<bool> windowExists{true};
    intptr_t answer = 0;
    std::mutex mutex;
    std::vector<int> posted;
    std::vector<int> sent;
};

class StartUpTest : public ::testing::Test {
protected:
    StartUpTest() { app_test::MarkLogStart(); }
    // Plays the UI thread: every posted "next work" advances the list, as the frame does.
    void RunChain(SStartUp& work, std::size_t expectedPosts) {
        std::size_t handled = 0;
        while (host->WaitPosts(handled + 1) && handled < expectedPosts) {
            if (host->Posted()[handled++] == IStartUpHost::kNextWork) {
                work.doNextWork();
            }
        }
    }
    std::shared_ptr<RecordingHost> host = std::make_shared<RecordingHost>();
};

TEST_F(StartUpTest, TheUpdateCheckItemRunsOneWorkerThatHandsOn) {
    SStartUp work(host);
    work.AddWork(SStartUp::WT_CHECK_APP_UPDATE);
    work.doWork();
    ASSERT_TRUE(host->WaitPosts(1));
    RunChain(work, 1);
    EXPECT_EQ(host->Posted(), std::vector<int>{IStartUpHost::kNextWork});
    EXPECT_EQ(work.GetStartedThreads(), 1);
    EXPECT_EQ(work.GetCurrentIndex(), 0u);
    EXPECT_EQ(CountInLog("doWorkThread"), 1);
    EXPECT_EQ(CountInLog("Start checking application update"), 1);
}

TEST_F(StartUpTest, ItemsRunInTurnUntilTheEndMarker) {
    SStartUp work(host);
    for (uint32_t type :
         {SStartUp::WT_SKIP, SStartUp::WT_SKIP, SStartUp::WT_NEXTWORK, SStartUp::WT_SKIP}) {
        work.AddWork(type);
    }
    work.doWork();
    RunChain(work, 2);
    EXPECT_EQ(work.GetStartedThreads(), 2);
    EXPECT_EQ(work.GetCurrentIndex(), 2u);
    EXPECT_EQ(CountInLog("WT_NEXTWORK return"), 1);
    // The item after the marker never runs.
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(host->Posted().size(), 2u);
}

TEST_F(StartUpTest, AskingTheUiGoesOnUnlessItAnswersOne) {
    {
        SStartUp work(host);
        work.AddWork(SStartUp::WT_ASK_UI);
        host->answer = 0;
        work.doWork();
        ASSERT_TRUE(host->WaitPosts(1));
        EXPECT_EQ(host->Sent(), std::vector<int>{IStartUpHost::kAskUi});
    }
    auto held = std::make_shared<RecordingHost>();
    held->answer = 1;
    SStartUp holds(held);
    holds.AddWork(SStartUp::WT_ASK_UI);
    holds.doWork();
    auto gone = std::make_shared<RecordingHost>();
    gone->windowExists = false;
    SStartUp orphan(gone);
    orphan.AddWork(SStartUp::WT_ASK_UI);
    orphan.doWork();
    testing_support::eventually([&] { return !held->Sent().empty(); });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(held->Sent().size(), 1u);
    EXPECT_TRUE(held->Posted().empty());
    EXPECT_TRUE(gone->Sent().empty());
    EXPECT_TRUE(gone->Posted().empty());
}

// ---------------------------------------------------------------- the application object

TEST(SGUIMainTest, ASecondInstanceEndsSilentlyAndTheFirstGoesOn) {
    app_test::MarkLogStart();
    SCommandLine::SetArguments({});
    platform::window::HeadlessBackend backend;
    BluetoothHandle link;
    // The first instance holds the lock, as a running program would.
    platform::SingleInstanceLock first(SGUIMain::kInstanceLockName);
    ASSERT_TRUE(first.tryAcquire());
    {
        SGUIMain second(backend);
        second.SetBluetoothHandle(&link);
        EXPECT_EQ(second.InitInstance(), 0);
        EXPECT_FALSE(second.GetMainWindow().IsWindow());
        EXPECT_EQ(second.ExitInstance(), 0);
        EXPECT_TRUE(backend.messageBoxes().empty());
    }
    const std::string log = app_test::LogText();
    EXPECT_NE(log.find(" W SGUIMain::CanOrvelTindraRun:"), std::string::npos) << log;
    EXPECT_NE(log.find("AuralisManager aready running"), std::string::npos);
    EXPECT_TRUE(first.held());

    // Once the first has ended, a new start shows its window and loads the settings.
    first.release();
    SGUIMain next(backend);
    next.SetBluetoothHandle(&link);
    ASSERT_EQ(next.InitInstance(), 1);
    EXPECT_TRUE(next.GetMainWindow().IsWindow());
    EXPECT_TRUE(next.GetMainWindow().GetWindow()->isVisible());
    EXPECT_EQ(app_test::CountInLog("Main window shown"), 1);
    EXPECT_EQ(app_test::CountInLog("AfxOleInit: nothing to do on this platform"), 2);
    platform::SingleInstanceLock third(SGUIMain::kInstanceLockName);
    EXPECT_FALSE(third.tryAcquire());
    next.GetMainWindow().Destroy();
    next.ExitInstance();
    EXPECT_TRUE(third.tryAcquire());
    link.shutdown(5s);
}

TEST(SGUIMainTest, WithoutAnyPrivateFolderTheProgramStillShowsItsWindow) {
    // No runtime folder, and a user folder that is refused (shared and sticky): there is no
    // place for the instance lock, which must not be taken for another instance.
    const std::filesystem::path shared = testing_support::makeTempFolder("sharedconfig");
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const testing_support::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    const testing_support::ScopedEnv config("AURALIS_CONFIG_DIR", shared.string());
    app_test::MarkLogStart();
    SCommandLine::SetArguments({});
    platform::window::HeadlessBackend backend;
    BluetoothHandle link;
    {
        SGUIMain main(backend);
        main.SetBluetoothHandle(&link);
        ASSERT_EQ(main.InitInstance(), 1);
        EXPECT_TRUE(main.GetMainWindow().IsWindow());
        main.GetMainWindow().Destroy();
        main.ExitInstance();
    }
    EXPECT_EQ(app_test::CountInLog("aready running"), 0);
    EXPECT_EQ(app_test::CountInLog("running without one"), 1);
    link.shutdown(5s);
}

}  // namespace
