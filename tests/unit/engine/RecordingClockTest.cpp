#include "engine/RecordingClock.h"

#include <gtest/gtest.h>

namespace {

struct ScriptedClock : platform::Clock {
    uint32_t now = 0;
    uint32_t nowMs() const override { return now; }
};

TEST(RecordingClock, PausedTimeIsLeftOutAndReadingsWrapWithTheTimer) {
    ScriptedClock source;
    source.now = 1000;
    RecordingClock clock(source);
    clock.start();
    source.now = 3500;
    EXPECT_EQ(clock.elapsedMs(), 2500u);
    clock.pause();
    EXPECT_EQ(clock.pauseMark(), 3500);
    source.now = 6500;  // three seconds paused
    clock.resume();
    EXPECT_EQ(clock.pauseMark(), -1);
    EXPECT_EQ(clock.recordStart(), 4000);
    EXPECT_EQ(clock.elapsedMs(), 2500u);
    source.now = 7000;
    clock.resume();  // without a pause: nothing changes
    EXPECT_EQ(clock.elapsedMs(), 3000u);
    source.now = 0xFFFFFF00u;  // unsigned 32-bit readings across the timer's wrap
    clock.start();
    source.now = 0x00000100u;
    EXPECT_EQ(clock.elapsedMs(), 0x200u);
}

}  // namespace
