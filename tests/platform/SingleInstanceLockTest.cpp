#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/common/TestSandbox.h"

using platform::SingleInstanceLock;

TEST(SingleInstanceLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
    SingleInstanceLock first("AuralisMutexTest");
    SingleInstanceLock second("AuralisMutexTest");
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_FALSE(second.tryAcquire());
    first.release();
    EXPECT_TRUE(second.tryAcquire());
}

TEST(SingleInstanceLockTest, LockIsSeenByAnotherProcessAndDroppedWhenItExits) {
    SingleInstanceLock mine("AuralisMutexOther");
    ASSERT_TRUE(mine.tryAcquire());
    const pid_t child = ::fork();
    if (child == 0) {
        SingleInstanceLock theirs("AuralisMutexOther");
        ::_exit(theirs.tryAcquire() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process must not get the lock";
    mine.release();
}

TEST(SingleInstanceLockTest, LivesInTheRuntimeFolderElseTheUserFolder) {
    SingleInstanceLock lock("AuralisMutex");
    EXPECT_EQ(lock.lockFilePath().filename(), "AuralisMutex");
    const auto userFolder = testing_support::makeTempFolder("user");
    testing_support::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
    testing_support::ScopedEnv config("AURALIS_CONFIG_DIR", userFolder.string());
    EXPECT_EQ(lock.lockFilePath(), userFolder / "AuralisMutex");
    EXPECT_TRUE(lock.tryAcquire());
}
