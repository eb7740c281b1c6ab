#include "platform/MessageLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using platform::MessageLoop;

TEST(MessageLoop, QuitEndsRunWithItsExitCode) {
    MessageLoop& loop = MessageLoop::ui();
    loop.post([&] { loop.quit(7); });
    EXPECT_EQ(loop.run(), 7);
    loop.post([&] { loop.quit(1); });
    EXPECT_EQ(loop.run(), 1);  // the loop can run again
}

TEST(MessageLoop, WorkPostedFromOtherThreadsRunsOnTheLoopThreadInOrderPerThread) {
    MessageLoop& loop = MessageLoop::ui();
    const auto uiThread = std::this_thread::get_id();
    constexpr int kThreads = 4;
    constexpr int kPosts = 500;
    std::vector<std::vector<int>> seen(kThreads);
    int remaining = kThreads * kPosts;
    bool allOnUiThread = true;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPosts; ++i) {
                loop.post([&, t, i] {
                    allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread;
                    seen[t].push_back(i);
                    if (--remaining == 0) {
                        loop.quit(0);
                    }
                });
            }
        });
    }
    EXPECT_EQ(loop.run(), 0);
    for (auto& p : posters) {
        p.join();
    }
    EXPECT_TRUE(allOnUiThread);
    for (const auto& s : seen) {
        ASSERT_EQ(s.size(), static_cast<size_t>(kPosts));
        for (int i = 0; i < kPosts; ++i) {
            EXPECT_EQ(s[i], i);
        }
    }
}

TEST(MessageLoop, TimersRepeatUntilKilledAndSettingAnIdReplacesIt) {
    MessageLoop& loop = MessageLoop::ui();
    int oldTicks = 0;
    int ticks = 0;
    loop.setTimer(5, 1, [&] { ++oldTicks; });
    loop.setTimer(5, 1, [&] {
        if (++ticks == 3) {
            loop.killTimer(5);  // a handler may kill its own timer
            loop.post([&] { loop.quit(3); });
        }
    });
    EXPECT_EQ(loop.run(), 3);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(oldTicks, 0);
}

TEST(MessageLoop, TimersByIdAreIndependent) {
    MessageLoop& loop = MessageLoop::ui();
    int a = 0;
    int b = 0;
    loop.setTimer(1, 1, [&] { ++a; });
    loop.setTimer(2, 1, [&] {
        if (++b == 5) {
            loop.killTimer(1);
            loop.killTimer(2);
            loop.quit(0);
        }
    });
    loop.run();
    EXPECT_EQ(b, 5);
    EXPECT_GT(a, 0);
    loop.killTimer(99);  // unknown id: nothing happens
}

}  // namespace
