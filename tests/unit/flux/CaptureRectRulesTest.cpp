#include "flux/CaptureRectRules.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

// Failure messages show rectangles as corners. Found by argument lookup, so it lives beside Rect.
static void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
using Rules = CaptureRectRules;

TEST(CaptureRectRules, MakeEvenDropsTheRemainderWithTheSignOfTheSize) {
    const std::pair<Rect, Rect> cases[] = {
        {{0, 0, 1001, 601}, {0, 0, 1000, 600}},
        {{7, 9, 107, 209}, {7, 9, 107, 209}},
        {{10, 10, 5, 3}, {10, 10, 6, 4}},                              // -5 -> -4, -7 -> -6
        {{kMin, kMin, kMax, kMax}, {kMin, kMin, kMax - 1, kMax - 1}},  // beyond 32 bits
        {{kMax, kMax, kMin, kMin}, {kMax, kMax, kMin + 1, kMin + 1}},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(Rules::makeEven(in), out) << ::testing::PrintToString(in);
    }
}

TEST(CaptureRectRules, ChooseAreaCentresPresetsAndRefusesWhatIsNoArea) {
    const Rect fullHd{0, 0, 1920, 1080};
    struct Case {
        int32_t item;
        Rect desktop;
        Rect loaded;
        std::optional<Rect> expected;
    };
    const Case cases[] = {
        {0, fullHd, {5, 5, 600, 600}, fullHd},
        {4, fullHd, {}, Rect{320, 180, 1600, 900}},
        {6, {100, 50, 1124, 818}, {}, Rect{212, 134, 1012, 734}},  // the desktop's origin counts
        {5, {0, 0, 1365, 768}, {}, Rect{170, 0, 1195, 768}},       // odd margin: makeEven's to take
        {3, {0, 0, 1280, 720}, {}, Rect{0, 0, 1280, 720}},  // larger: that side the desktop's
        {2, {0, 0, 1366, 1200}, {}, Rect{0, 60, 1366, 1140}},
        {7, fullHd, {10, 10, 211, 211}, Rect{10, 10, 211, 211}},
        {7, fullHd, {10, 10, 210, 900}, std::nullopt},  // remembered, but too small
        {7, fullHd, {}, std::nullopt},
        {1, fullHd, fullHd, std::nullopt},  // not an item that asks for an area
        {kMin, fullHd, fullHd, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Rules::chooseArea(c.item, c.desktop, c.loaded), c.expected) << c.item;
    }
}

TEST(CaptureRectRules, StartupRectAndTheRecordingMinimum) {
    const Rect desktop{0, 0, 1920, 1080};
    EXPECT_EQ(Rules::startupRect({10, 10, 511, 411}, desktop), (Rect{10, 10, 511, 411}));
    EXPECT_EQ(Rules::startupRect({10, 10, 10, 411}, desktop), desktop);
    EXPECT_EQ(Rules::startupRect({kMin, 0, kMax, 5}, desktop), (Rect{kMin, 0, kMax, 5}));
    EXPECT_FALSE(Rules::tooSmallToRecord({0, 0, 150, 300}));
    EXPECT_FALSE(Rules::tooSmallToRecord({0, 0, 200, 100}));
    EXPECT_TRUE(Rules::tooSmallToRecord({0, 0, 199, 199}));
}

TEST(CaptureRectRules, ToPhysicalScalesEachAxisByItsOwnFactor) {
    const double sx = Rules::displayScale(1920, 1280);  // 150 %
    const double sy = Rules::displayScale(1350, 1080);  // 125 %
    EXPECT_EQ(Rules::displayScale(1920, 0), 1.0);       // unknown display
    const std::pair<Rect, Rect> cases[] = {
        {{100, 100, 500, 300}, {150, 125, 750, 375}},
        {{100, 101, 501, 301}, {150, 126, 750, 376}},        // truncated, then made even
        {{-3, -3, 5, 5}, {-4, -3, 6, 5}},                    // toward zero
        {{kMin, -10, kMax, 10}, {kMin, -12, kMax - 1, 12}},  // stopped at the 32-bit ends
    };
    for (const auto& [logical, physical] : cases) {
        EXPECT_EQ(Rules::toPhysical(logical, sx, sy), physical)
            << ::testing::PrintToString(logical);
    }
}

}  // namespace
