#include "platform/InstanceSignal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"

using platform::InstanceSignal;
using namespace std::chrono_literals;
using testing_support::eventually;

TEST(InstanceSignalTest, KnockReachesTheListenerAndNobodyAnswersAfterItStops) {
    const auto folder = testing_support::makeTempFolder("knock");
    const auto path = folder / "AuralisMutex.raise";
    // A plain file left at the path (a crash, an old version) is replaced by the pipe.
    std::ofstream(path) << "stale";
    std::atomic<int> knocks{0};
    InstanceSignal signal(path);
    ASSERT_TRUE(signal.listen([&] { ++knocks; }));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    EXPECT_TRUE(InstanceSignal::knock(path));
    EXPECT_TRUE(eventually([&] { return knocks.load() >= 1; }, 5s));
    EXPECT_TRUE(InstanceSignal::knock(path));
    EXPECT_TRUE(eventually([&] { return knocks.load() >= 2; }, 5s));

    signal.stop();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(InstanceSignal::knock(path));
    signal.stop();  // twice is harmless
}

TEST(InstanceSignalTest, KnockOnAPipeNobodyReadsOrOnAPlainFileFailsAtOnce) {
    const auto folder = testing_support::makeTempFolder("knock");
    const auto stalePipe = folder / "stale.raise";
    ASSERT_EQ(::mkfifo(stalePipe.c_str(), 0600), 0);
    // Without a reader a blocking open would hang the second start; it must fail instead.
    EXPECT_FALSE(InstanceSignal::knock(stalePipe));
    const auto plain = folder / "plain.raise";
    std::ofstream(plain) << "x";
    EXPECT_FALSE(InstanceSignal::knock(plain));
    EXPECT_FALSE(InstanceSignal::knock(folder / "missing.raise"));
}

// A second start waits for the running instance to say its window shows: it hears of it when the
// listener answers, gives up after the wait when it does not, and knows at once when nobody
// listens. An answer given before the knock does not count for it.
TEST(InstanceSignalTest, KnockAndWaitTellsAnAnsweredKnockFromASilentOne) {
    const auto folder = testing_support::makeTempFolder("knock");
    const auto path = folder / "AuralisMutex.raise";
    using Result = InstanceSignal::KnockResult;
    EXPECT_EQ(InstanceSignal::knockAndWait(path, 2s), Result::NobodyListens);

    std::atomic<bool> answering{false};
    InstanceSignal signal(path);
    ASSERT_TRUE(signal.listen([&] {
        if (answering) {
            signal.answerWindowShown();
        }
    }));
    signal.answerWindowShown();  // an earlier knock's answer
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(InstanceSignal::knockAndWait(path, 300ms), Result::NoAnswer);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 300ms);

    answering = true;
    EXPECT_EQ(InstanceSignal::knockAndWait(path, 5s), Result::WindowShown);
    EXPECT_EQ(InstanceSignal::knockAndWait(path, 5s), Result::WindowShown);
    signal.stop();
    EXPECT_EQ(InstanceSignal::knockAndWait(path, 2s), Result::NobodyListens);
}
