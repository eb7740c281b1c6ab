#include "flux/CaptureRectRules.h"

#include <gtest/gtest.h>

#include <limits>

#include "flux/StoreTables.h"

// Failure messages show rectangles as corners. Found by argument lookup, so it lives beside Rect.
static void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
using Rules = CaptureRectRules;

Rect R(int32_t l, int32_t t, int32_t r, int32_t b) {
    return Rect{l, t, r, b};
}

TEST(CaptureRectRules, MakeEvenDropsTheRemainderWithTheSignOfTheSize) {
    EXPECT_EQ(Rules::makeEven(R(0, 0, 1001, 601)), R(0, 0, 1000, 600));
    EXPECT_EQ(Rules::makeEven(R(7, 9, 107, 209)), R(7, 9, 107, 209));
    EXPECT_EQ(Rules::makeEven(R(10, 10, 5, 3)), R(10, 10, 6, 4));  // -5 -> -4, -7 -> -6
    // Sizes that do not fit 32 bits.
    EXPECT_EQ(Rules::makeEven(R(kMin, kMin, kMax, kMax)), R(kMin, kMin, kMax - 1, kMax - 1));
    EXPECT_EQ(Rules::makeEven(R(kMax, kMax, kMin, kMin)), R(kMax, kMax, kMin + 1, kMin + 1));
}

TEST(CaptureRectRules, PresetsAreCentredOnTheDesktop) {
    EXPECT_EQ(Rules::chooseArea(4, R(0, 0, 1920, 1080), {}), R(320, 180, 1600, 900));
    // The desktop's origin counts: 800x600 inside 1024x768 at (100, 50).
    EXPECT_EQ(Rules::chooseArea(6, R(100, 50, 1124, 818), {}), R(212, 134, 1012, 734));
    // An odd margin leaves one pixel more, which makeEven then takes away.
    EXPECT_EQ(Rules::chooseArea(5, R(0, 0, 1365, 768), {}), R(170, 0, 1195, 768));
    // Larger than the desktop: that side is the desktop's, the other is still centred.
    EXPECT_EQ(Rules::chooseArea(3, R(0, 0, 1280, 720), {}), R(0, 0, 1280, 720));
    EXPECT_EQ(Rules::chooseArea(2, R(0, 0, 1366, 1200), {}), R(0, 60, 1366, 1140));
}

TEST(CaptureRectRules, DesktopRememberedRectAndIgnoredItems) {
    const Rect desktop = R(0, 0, 1920, 1080);
    EXPECT_EQ(Rules::chooseArea(0, desktop, R(5, 5, 600, 600)), desktop);
    EXPECT_EQ(Rules::chooseArea(7, desktop, R(10, 10, 211, 211)), R(10, 10, 211, 211));
    for (const Rect& small : {Rect{}, R(10, 10, 210, 900), R(10, 10, 900, 210), R(9, 9, 0, 0)}) {
        EXPECT_FALSE(Rules::chooseArea(7, desktop, small).has_value())
            << ::testing::PrintToString(small);
    }
    for (int32_t item : {1, 8, -1, kMin, kMax}) {
        EXPECT_FALSE(Rules::chooseArea(item, desktop, desktop).has_value()) << item;
    }
}

TEST(CaptureRectRules, StartupRectAndRecordingMinimum) {
    const Rect desktop = R(0, 0, 1920, 1080);
    EXPECT_EQ(Rules::startupRect(R(10, 10, 511, 411), desktop), R(10, 10, 511, 411));
    EXPECT_EQ(Rules::startupRect(R(10, 10, 10, 411), desktop), desktop);
    EXPECT_EQ(Rules::startupRect(R(10, 10, 511, 9), desktop), desktop);
    EXPECT_EQ(Rules::startupRect(R(kMin, 0, kMax, 5), desktop), R(kMin, 0, kMax, 5));

    EXPECT_FALSE(Rules::tooSmallToRecord(R(0, 0, 150, 300)));
    EXPECT_FALSE(Rules::tooSmallToRecord(R(0, 0, 200, 100)));
    EXPECT_TRUE(Rules::tooSmallToRecord(R(0, 0, 150, 150)));
    EXPECT_TRUE(Rules::tooSmallToRecord(R(0, 0, 199, 199)));
}

TEST(CaptureRectRules, ScalingToPhysicalPixels) {
    // 150 %: 1280x720 logical on a 1920x1080 mode.
    const double sx = Rules::displayScale(1920, 1280);
    const double sy = Rules::displayScale(1080, 720);
    EXPECT_EQ(Rules::toPhysical(R(100, 100, 500, 300), sx, sy), R(150, 150, 750, 450));
    // Truncated toward zero, then made even: 751 - 150 = 601 -> 600.
    EXPECT_EQ(Rules::toPhysical(R(100, 100, 501, 301), sx, sy), R(150, 150, 750, 450));
    EXPECT_EQ(Rules::toPhysical(R(-3, -3, 5, 5), sx, sy), R(-4, -4, 6, 6));
    EXPECT_EQ(Rules::displayScale(1920, 1536), 1.25);
    EXPECT_EQ(Rules::displayScale(1920, 0), 1.0);  // unknown display
    EXPECT_EQ(Rules::displayScale(0, 1280), 1.0);
    // Beyond the 32-bit range the sides stop at its ends.
    EXPECT_EQ(Rules::toPhysical(R(kMin, -10, kMax, 10), 2.0, 2.0), R(kMin, -20, kMax - 1, 20));
}

TEST(StoreTables, EveryTableAndItsEnds) {
    const int32_t video[] = {1500000, 1200000, 800000, 0};
    const int32_t audio[] = {192000, 128000, 96000, 0};
    for (int32_t q = 0; q < 4; ++q) {
        ASSERT_TRUE(StoreTables::qualityBitrates(q).has_value()) << q;
        EXPECT_EQ(StoreTables::qualityBitrates(q)->video, video[q]);
        EXPECT_EQ(StoreTables::qualityBitrates(q)->audio, audio[q]);
    }
    EXPECT_FALSE(StoreTables::qualityBitrates(4).has_value());
    EXPECT_FALSE(StoreTables::qualityBitrates(-1).has_value());
    EXPECT_EQ(StoreTables::frameRate(0), 30);
    EXPECT_EQ(StoreTables::frameRate(1), 24);
    EXPECT_FALSE(StoreTables::frameRate(2).has_value());

    const int32_t point[] = {101, 104, 107, 110, 102, 105, 108, 111, 103, 106, 109, 112};
    const int32_t press[] = {113, 116, 119, 122, 114, 117, 120, 123, 115, 118, 121, 124};
    const int32_t shape[] = {125, 128, 131, 134, 126, 129, 132, 135, 127, 130, 133, 136};
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(StoreTables::pointResource(i), point[i]) << i;
        EXPECT_EQ(StoreTables::pressResource(i), press[i]) << i;
        EXPECT_EQ(StoreTables::shapeResource(i), shape[i]) << i;
    }
    for (int32_t i : {-1, -2, 12, kMin, kMax}) {
        EXPECT_EQ(StoreTables::pointResource(i), -1) << i;
        EXPECT_EQ(StoreTables::shapeResource(i), -1) << i;
    }

    EXPECT_EQ(StoreTables::presetSize(3)->width, 1366);
    EXPECT_EQ(StoreTables::presetSize(6)->height, 600);
    EXPECT_FALSE(StoreTables::presetSize(1).has_value());
    EXPECT_FALSE(StoreTables::presetSize(7).has_value());
    EXPECT_FALSE(StoreTables::presetSize(kMin).has_value());
}

}  // namespace
