#include "audio/FIRFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

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
