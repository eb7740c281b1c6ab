#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(Clock, NeverGoesBackwardsAndFollowsTheSystemClock) {
    platform::Clock& clock = platform::Clock::system();
    const uint32_t first = clock.nowMs();
    const auto steadyStart = std::chrono::steady_clock::now();
    uint32_t previous = first;
    // Spin until the clock has moved on by 20 ms; each reading is at least the previous one.
    while (static_cast<uint32_t>(clock.nowMs() - first) < 20) {
        const uint32_t now = clock.nowMs();
        EXPECT_LE(static_cast<uint32_t>(previous - first), static_cast<uint32_t>(now - first));
        previous = now;
    }
    const auto steadyMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - steadyStart)
                              .count();
    EXPECT_GE(steadyMs, 19);
}

}  // namespace
