#include "platform/Thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <string>

#include "platform/Event.h"

TEST(ThreadTest, DetachedThreadRunsUnderItsName) {
    platform::Event done(platform::Event::Reset::Manual);
    std::string seenName;
    platform::startDetachedThread("AVeryLongThreadNameIndeed", [&] {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        seenName = name;
        done.signal();
    });
    ASSERT_TRUE(done.wait(std::chrono::seconds(5)));
    EXPECT_EQ(seenName, "AVeryLongThread");
}
