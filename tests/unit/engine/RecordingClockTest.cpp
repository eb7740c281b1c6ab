#include "engine/RecordingClock.h"

#include <gtest/gtest.h>

#include "FakeAudioEndpoint.h"

namespace {

TEST(RecordingClock, PausedTimeIsLeftOutAndReadingsWrapWithTheTimer) {
    fakeaudio::ScriptedClock source(1000);
    RecordingClock clock(source);
    clock.start();
    source.set(3500);
    EXPECT_EQ(clock.elapsedMs(), 2500u);
    clock.pause();
    EXPECT_EQ(clock.pauseMark(), 3500);
    source.set(6500);  // three seconds paused
    clock.resume();
    EXPECT_EQ(clock.pauseMark(), -1);
    EXPECT_EQ(clock.recordStart(), 4000);
    EXPECT_EQ(clock.elapsedMs(), 2500u);
    source.set(7000);
    clock.resume();  // without a pause: nothing changes
    EXPECT_EQ(clock.elapsedMs(), 3000u);
    source.set(0xFFFFFF00u);  // unsigned 32-bit readings across the timer's wrap
    clock.start();
    source.set(0x00000100u);
    EXPECT_EQ(clock.elapsedMs(), 0x200u);
}

}  // namespace
