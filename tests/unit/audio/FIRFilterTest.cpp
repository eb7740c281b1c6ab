#include "audio/FIRFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

namespace {

TEST(FIRFilter, SizingFromRateAndCoefficient) {
    // wc 0.4 at 48 kHz: band 300 Hz .. 1920 Hz.
    const FIRFilter::Design d = FIRFilter::ForMicrophone(48000, 0.4);
    EXPECT_EQ(d.taps, 63);
    EXPECT_DOUBLE_EQ(d.cutoff, (300.0 / 48000 + 1920.0 / 48000) / 2);
    // wc 0.05 puts the upper edge below 300 Hz: 2000 Hz is used instead; 60 taps made odd.
    const FIRFilter::Design low = FIRFilter::ForMicrophone(48000, 0.05);
    EXPECT_EQ(low.taps, 61);
    EXPECT_DOUBLE_EQ(low.cutoff, (300.0 / 48000 + 2000.0 / 48000) / 2);
    // Every count made is odd.
    for (double wc = 0.1; wc <= 1.0; wc += 0.1) {
        EXPECT_EQ(FIRFilter::ForMicrophone(44100, wc).taps % 2, 1) << wc;
    }
    // A band of no width stays a usable filter.
    const FIRFilter::Design degenerate = FIRFilter::ForMicrophone(48000, 300.0 / 4800.0);
    EXPECT_GE(degenerate.taps, 1);
    EXPECT_GE(FIRFilter::ForMicrophone(0, 0.4).taps, 1);
}

TEST(FIRFilter, StepResponseBuildsUpFromZerosAndSettlesAtTheCoefficientSum) {
    FIRFilter f(63, 0.023125);
    const std::vector<double> ones(200, 1.0);
    std::vector<double> out(ones.size());
    f.Apply(ones.data(), out.data(), static_cast<int32_t>(ones.size()));
    const auto& h = f.coefficients();
    // Before the history is full, the missing samples are zeros: output k sums h[0..k].
    double partial = 0;
    for (size_t k = 0; k < 62; ++k) {
        partial += h[k];
        EXPECT_NEAR(out[k], partial, 1e-12) << k;
    }
    const double sum = std::accumulate(h.begin(), h.end(), 0.0);
    for (size_t k = 62; k < out.size(); ++k) {
        EXPECT_NEAR(out[k], sum, 1e-12) << k;
    }
}

TEST(FIRFilter, ImpulseGivesTheCoefficientsInOrder) {
    FIRFilter f(9, 0.3);
    std::vector<double> in(12, 0.0);
    in[0] = 1.0;
    std::vector<double> out(in.size());
    f.Apply(in.data(), out.data(), static_cast<int32_t>(in.size()));
    for (size_t k = 0; k < 9; ++k) {
        EXPECT_DOUBLE_EQ(out[k], f.coefficients()[k]);
    }
    EXPECT_EQ(out[9], 0.0);
}

TEST(FIRFilter, TwoHalvesEqualOneWholeAndHighTonesAreCut) {
    const FIRFilter::Design d = FIRFilter::ForMicrophone(48000, 0.4);
    std::vector<double> in(4801);
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = 0.5 * std::sin(2 * M_PI * 100 * i / 48000.0) +
                0.5 * std::sin(2 * M_PI * 8000 * i / 48000.0);
    }
    FIRFilter whole(d.taps, d.cutoff);
    std::vector<double> once(in.size());
    whole.Apply(in.data(), once.data(), static_cast<int32_t>(in.size()));

    FIRFilter split(d.taps, d.cutoff);
    std::vector<double> twice(in.size());
    const int32_t half = 1777;  // not a multiple of the tap count
    split.Apply(in.data(), twice.data(), half);
    split.Apply(in.data() + half, twice.data() + half, static_cast<int32_t>(in.size()) - half);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(once[i], twice[i]) << i;
    }

    // The 8 kHz partner is gone: the output is what the 100 Hz tone alone gives.
    std::vector<double> lowOnly(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        lowOnly[i] = 0.5 * std::sin(2 * M_PI * 100 * i / 48000.0);
    }
    FIRFilter reference(d.taps, d.cutoff);
    std::vector<double> lowOut(in.size());
    reference.Apply(lowOnly.data(), lowOut.data(), static_cast<int32_t>(in.size()));
    double err = 0;
    double level = 0;
    for (size_t i = 100; i < in.size(); ++i) {
        err = std::max(err, std::fabs(once[i] - lowOut[i]));
        level = std::max(level, std::fabs(lowOut[i]));
    }
    EXPECT_LT(err, 0.005);
    EXPECT_GT(level, 0.25);  // the low tone itself passes
}

}  // namespace
