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

Rect R(int32_t l, int32_t t, int32_t r, int32_t b) {
    return Rect{l, t, r, b};
}

TEST(CaptureRectRules, MakeEvenDropsTheRemainderWithTheSignOfTheSize) {
    EXPECT_EQ(CaptureRectRules::makeEven(R(0, 0, 1001, 601)), R(0, 0, 1000, 600));
    EXPECT_EQ(CaptureRectRules::makeEven(R(7, 9, 107, 209)), R(7, 9, 107, 209));
    // Negative sizes lose a negative remainder: -5 becomes -4, -7 becomes -6.
    EXPECT_EQ(CaptureRectRules::makeEven(R(10, 10, 5, 3)), R(10, 10, 6, 4));
    EXPECT_EQ(CaptureRectRules::makeEven(R(-11, -11, -10, -10)), R(-11, -11, -11, -11));
}

TEST(CaptureRectRules, MakeEvenOnSidesAtTheLimitsOfTheRange) {
    // A width of 2^32 - 1 does not fit 32 bits; the result must still be the even width.
    EXPECT_EQ(CaptureRectRules::makeEven(R(kMin, kMin, kMax, kMax)),
              R(kMin, kMin, kMax - 1, kMax - 1));
    EXPECT_EQ(CaptureRectRules::makeEven(R(kMax, kMax, kMin, kMin)),
              R(kMax, kMax, kMin + 1, kMin + 1));
}

TEST(CaptureRectRules, PresetsAreCentredOnTheDesktop) {
    const Rect fullHd = R(0, 0, 1920, 1080);
    EXPECT_EQ(CaptureRectRules::chooseArea(4, fullHd, {}), R(320, 180, 1600, 900));
    EXPECT_EQ(CaptureRectRules::chooseArea(2, fullHd, {}), fullHd);
    // The desktop's origin counts: 800x600 inside 1024x768 at (100, 50).
    EXPECT_EQ(CaptureRectRules::chooseArea(6, R(100, 50, 1124, 818), {}), R(212, 134, 1012, 734));
    // An odd margin leaves one pixel more, which makeEven then takes away.
    const auto odd = CaptureRectRules::chooseArea(5, R(0, 0, 1365, 768), {});
    ASSERT_TRUE(odd.has_value());
    EXPECT_EQ(*odd, R(170, 0, 1195, 768));
    EXPECT_EQ(CaptureRectRules::makeEven(*odd), R(170, 0, 1194, 768));
}

TEST(CaptureRectRules, APresetLargerThanTheDesktopTakesTheDesktopSide) {
    const Rect hd = R(0, 0, 1280, 720);
    EXPECT_EQ(CaptureRectRules::chooseArea(3, hd, {}), hd);  // 1366x768: both sides
    // Only the width exceeds: the height is still centred.
    EXPECT_EQ(CaptureRectRules::chooseArea(2, R(0, 0, 1366, 1200), {}), R(0, 60, 1366, 1140));
}

TEST(CaptureRectRules, ItemZeroIsTheDesktopAndItemSevenTheRememberedRect) {
    const Rect desktop = R(0, 0, 1920, 1080);
    EXPECT_EQ(CaptureRectRules::chooseArea(0, desktop, R(5, 5, 600, 600)), desktop);
    const Rect smallest = R(10, 10, 211, 211);  // 201 x 201
    EXPECT_EQ(CaptureRectRules::chooseArea(7, desktop, smallest), smallest);
    EXPECT_FALSE(CaptureRectRules::chooseArea(7, desktop, {}).has_value());
    EXPECT_FALSE(CaptureRectRules::chooseArea(7, desktop, R(10, 10, 210, 900)).has_value());
    EXPECT_FALSE(CaptureRectRules::chooseArea(7, desktop, R(10, 10, 900, 210)).has_value());
    EXPECT_FALSE(CaptureRectRules::chooseArea(7, desktop, R(900, 900, 10, 10)).has_value());
}

TEST(CaptureRectRules, ItemsOutsideTheDropDownAreIgnored) {
    const Rect desktop = R(0, 0, 1920, 1080);
    for (int32_t item : {1, 8, -1, 100, kMin, kMax}) {
        EXPECT_FALSE(CaptureRectRules::chooseArea(item, desktop, desktop).has_value()) << item;
    }
}

TEST(CaptureRectRules, StartupRectNeedsARememberedArea) {
    const Rect desktop = R(0, 0, 1920, 1080);
    EXPECT_EQ(CaptureRectRules::startupRect(R(10, 10, 511, 411), desktop), R(10, 10, 511, 411));
    EXPECT_EQ(CaptureRectRules::startupRect(R(10, 10, 10, 411), desktop), desktop);
    EXPECT_EQ(CaptureRectRules::startupRect(R(10, 10, 511, 9), desktop), desktop);
    EXPECT_EQ(CaptureRectRules::startupRect({}, desktop), desktop);
    // Sides so far apart that the width overflows 32 bits still count as an area.
    EXPECT_EQ(CaptureRectRules::startupRect(R(kMin, kMin, kMax, kMax), desktop),
              R(kMin, kMin, kMax, kMax));
}

TEST(CaptureRectRules, TooSmallToRecordOnlyWhenBothSidesAreShort) {
    EXPECT_FALSE(CaptureRectRules::tooSmallToRecord(R(0, 0, 150, 300)));
    EXPECT_FALSE(CaptureRectRules::tooSmallToRecord(R(0, 0, 200, 100)));
    EXPECT_TRUE(CaptureRectRules::tooSmallToRecord(R(0, 0, 150, 150)));
    EXPECT_TRUE(CaptureRectRules::tooSmallToRecord(R(0, 0, 199, 199)));
    EXPECT_TRUE(CaptureRectRules::tooSmallToRecord({}));
}

TEST(CaptureRectRules, ScalingToPhysicalPixels) {
    // 150 %: 1280x720 logical on a 1920x1080 mode.
    const double sx = CaptureRectRules::displayScale(1920, 1280);
    const double sy = CaptureRectRules::displayScale(1080, 720);
    EXPECT_EQ(sx, 1.5);
    EXPECT_EQ(sy, 1.5);
    EXPECT_EQ(CaptureRectRules::toPhysical(R(100, 100, 500, 300), sx, sy), R(150, 150, 750, 450));
    // Truncation toward zero, then the even width: 751 - 150 = 601 -> 600.
    EXPECT_EQ(CaptureRectRules::toPhysical(R(100, 100, 501, 301), sx, sy), R(150, 150, 750, 450));
    EXPECT_EQ(CaptureRectRules::toPhysical(R(-3, -3, 5, 5), sx, sy), R(-4, -4, 6, 6));
    EXPECT_EQ(CaptureRectRules::toPhysical(R(1, 2, 1001, 602), 1.0, 1.0), R(1, 2, 1001, 602));
}

TEST(CaptureRectRules, ScaleOfAnUnknownDisplayIsOne) {
    EXPECT_EQ(CaptureRectRules::displayScale(1920, 0), 1.0);
    EXPECT_EQ(CaptureRectRules::displayScale(0, 1280), 1.0);
    EXPECT_EQ(CaptureRectRules::displayScale(-1, -1), 1.0);
    EXPECT_EQ(CaptureRectRules::displayScale(1920, 1536), 1.25);
}

TEST(CaptureRectRules, ScalingBeyondTheRangeStopsAtItsEnds) {
    const Rect scaled = CaptureRectRules::toPhysical(R(kMin, -10, kMax, 10), 2.0, 2.0);
    EXPECT_EQ(scaled.left, kMin);
    EXPECT_EQ(scaled.right, kMax - 1);  // clamped, then made even
    EXPECT_EQ(scaled.top, -20);
    EXPECT_EQ(scaled.bottom, 20);
}

TEST(StoreTables, QualityAndFrameRateTables) {
    const int32_t video[] = {1500000, 1200000, 800000, 0};
    const int32_t audio[] = {192000, 128000, 96000, 0};
    for (int32_t q = 0; q < 4; ++q) {
        const auto b = StoreTables::qualityBitrates(q);
        ASSERT_TRUE(b.has_value()) << q;
        EXPECT_EQ(b->video, video[q]);
        EXPECT_EQ(b->audio, audio[q]);
    }
    for (int32_t q : {-1, 4, kMin, kMax}) {
        EXPECT_FALSE(StoreTables::qualityBitrates(q).has_value()) << q;
        EXPECT_FALSE(StoreTables::isQuality(q)) << q;
    }
    EXPECT_EQ(StoreTables::frameRate(0), 30);
    EXPECT_EQ(StoreTables::frameRate(1), 24);
    EXPECT_FALSE(StoreTables::frameRate(2).has_value());
    EXPECT_FALSE(StoreTables::frameRate(-1).has_value());
}

TEST(StoreTables, CursorResourcesMatchTheImageNumbers) {
    const int32_t point[] = {101, 104, 107, 110, 102, 105, 108, 111, 103, 106, 109, 112};
    const int32_t press[] = {113, 116, 119, 122, 114, 117, 120, 123, 115, 118, 121, 124};
    const int32_t shape[] = {125, 128, 131, 134, 126, 129, 132, 135, 127, 130, 133, 136};
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(StoreTables::pointResource(i), point[i]) << i;
        EXPECT_EQ(StoreTables::pressResource(i), press[i]) << i;
        EXPECT_EQ(StoreTables::shapeResource(i), shape[i]) << i;
        EXPECT_TRUE(StoreTables::isStyle(i));
    }
    EXPECT_TRUE(StoreTables::isStyle(-1));
    for (int32_t i : {-1, -2, 12, kMin, kMax}) {
        EXPECT_EQ(StoreTables::pointResource(i), -1) << i;
        EXPECT_EQ(StoreTables::pressResource(i), -1) << i;
        EXPECT_EQ(StoreTables::shapeResource(i), -1) << i;
    }
    EXPECT_FALSE(StoreTables::isStyle(-2));
    EXPECT_FALSE(StoreTables::isStyle(12));
}

TEST(StoreTables, PresetSizes) {
    const StoreTables::Size sizes[] = {
        {1920, 1080}, {1366, 768}, {1280, 720}, {1024, 768}, {800, 600}};
    for (int32_t item = 2; item <= 6; ++item) {
        const auto s = StoreTables::presetSize(item);
        ASSERT_TRUE(s.has_value()) << item;
        EXPECT_EQ(s->width, sizes[item - 2].width);
        EXPECT_EQ(s->height, sizes[item - 2].height);
    }
    for (int32_t item : {0, 1, 7, kMin, kMax}) {
        EXPECT_FALSE(StoreTables::presetSize(item).has_value()) << item;
    }
}

}  // namespace
