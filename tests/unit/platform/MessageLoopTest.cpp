#include "platform/MessageLoop.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

#include "Await.h"

namespace {

using platform::MessageLoop;
using std::chrono::seconds;

TEST(MessageLoop, WorkPostedFromOtherThreadsRunsOnTheLoopInOrderUntilQuit) {
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
                        loop.quit(7);
                    }
                });
            }
        });
    }
    EXPECT_EQ(testsupport::runLoop(seconds(30)), 7) << "not all posted work ran within 30 s";
    for (auto& p : posters) {
        p.join();
    }
    EXPECT_TRUE(allOnUiThread);
    for (const auto& s : seen) {
        std::vector<int> expected(kPosts);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(s, expected);
    }
    loop.post([&] { loop.quit(1); });
    EXPECT_EQ(testsupport::runLoop(seconds(30)), 1) << "the loop runs again after a quit";
}

}  // namespace
