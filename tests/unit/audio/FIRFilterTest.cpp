#include "audio/FIRFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(FIRFilter, SizedFromTheRateAndTheCoefficient) {
    // wc 0.4 at 48 kHz: band 300 Hz .. 1920 Hz.
    const FIRFilter::Design d = FIRFilter::ForMicrophone(48000, 0.4);
    EXPECT_EQ(d.taps, 63);
    EXPECT_DOUBLE_EQ(d.cutoff, (300.0 / 48000 + 1920.0 / 48000) / 2);
    // wc 0.05 puts the upper edge below 300 Hz: 2000 Hz is used instead; 60 taps made odd.
    const FIRFilter::Design low = FIRFilter::ForMicrophone(48000, 0.05);
    EXPECT_EQ(low.taps, 61);
    EXPECT_DOUBLE_EQ(low.cutoff, (300.0 / 48000 + 2000.0 / 48000) / 2);
    // A band of no width, or no rate, still gives a usable filter.
    EXPECT_GE(FIRFilter::ForMicrophone(48000, 300.0 / 4800.0).taps, 1);
    EXPECT_GE(FIRFilter::ForMicrophone(0, 0.4).taps, 1);
}

TEST(FIRFilter, CutsHighTonesKeepsLowOnesAndCarriesItsHistoryAcrossCalls) {
    const FIRFilter::Design d = FIRFilter::ForMicrophone(48000, 0.4);
    auto tone = [](double hz, size_t i) { return 0.5 * std::sin(2 * M_PI * hz * i / 48000.0); };
    std::vector<double> mixed(4801), low(mixed.size());
    for (size_t i = 0; i < mixed.size(); ++i) {
        low[i] = tone(100, i);
        mixed[i] = low[i] + tone(8000, i);
    }
    std::vector<double> once(mixed.size()), twice(mixed.size()), lowOut(mixed.size());
    FIRFilter(d.taps, d.cutoff)
        .Apply(mixed.data(), once.data(), static_cast<int32_t>(mixed.size()));
    FIRFilter split(d.taps, d.cutoff);
    const int32_t half = 1777;  // not a multiple of the tap count
    split.Apply(mixed.data(), twice.data(), half);
    split.Apply(mixed.data() + half, twice.data() + half,
                static_cast<int32_t>(mixed.size()) - half);
    EXPECT_EQ(once, twice);
    // Without its 8 kHz partner the output is what the 100 Hz tone alone gives.
    FIRFilter(d.taps, d.cutoff).Apply(low.data(), lowOut.data(), static_cast<int32_t>(low.size()));
    double err = 0;
    double level = 0;
    for (size_t i = 100; i < mixed.size(); ++i) {
        err = std::max(err, std::fabs(once[i] - lowOut[i]));
        level = std::max(level, std::fabs(lowOut[i]));
    }
    EXPECT_LT(err, 0.005);
    EXPECT_GT(level, 0.25);  // the low tone itself passes
}

}  // namespace
