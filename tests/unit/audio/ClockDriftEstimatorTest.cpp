// The device clock measured against the recording clock from the readings a capture thread
// takes: devices fast, slow and exact, delivered in packets, read late, stalled, or silent for a
// while with silence filled in.
#include "audio/ClockDriftEstimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr double kRate = 48000.0;
constexpr double kPacket = 480.0;  // frames a device hands over at once: 10 ms
constexpr double kLatencyMs = 30.0;

struct Case {
    const char* name;
    double ppm;     // how fast the device's clock runs
    double lateMs;  // a poll comes up to this much late, as any thread does
    bool stalls;    // now and then the capture thread gets no time for 300 ms
    // The device delivers nothing for gapMs from gapFromMs. Filled: the capturer fills the gap
    // with silence that falls 2.5 % short and says so; otherwise the sound is lost unnoticed.
    double gapFromMs;
    double gapMs;
    bool filled;
};

TEST(ClockDriftEstimator, FindsTheDeviceRateAndWhereItsSoundDriftedTo) {
    const Case cases[] = {
        {"fast", 500, 1, false, 0, 0, false},
        {"slow", -500, 1, false, 0, 0, false},
        {"exact", 0, 1, false, 0, 0, false},
        {"jittery", 300, 15, true, 0, 0, false},
        {"silent gap", 500, 5, false, 260000, 1000, true},
        {"lost sound", -200, 5, false, 250000, 150, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double devicePerMs = kRate * (1 + c.ppm * 1e-6) / 1000;
        const double gapMs = c.gapMs;
        const double filledIn = c.filled ? gapMs * 0.975 * kRate / 1000 : 0;
        // Frames the device has produced by clock time t, before it cuts them into packets.
        auto produced = [&](double t) {
            const double own = std::max(t - kLatencyMs, 0.0);
            if (gapMs == 0 || t < c.gapFromMs) {
                return own * devicePerMs;
            }
            return (t < c.gapFromMs + gapMs ? c.gapFromMs - kLatencyMs : own - gapMs) * devicePerMs;
        };
        auto delivered = [&](double t) {
            const double fill = gapMs > 0 && t >= c.gapFromMs + gapMs ? filledIn : 0;
            return std::floor(produced(t) / kPacket) * kPacket + fill;
        };

        ClockDriftEstimator e(static_cast<uint32_t>(kRate));
        std::mt19937 random(7);
        std::uniform_real_distribution<double> late(0, c.lateMs);
        constexpr double kEndMs = 300000;
        bool breakDue = false;
        double last = 0;
        // The capture thread sleeps 5 ms between polls and takes a little time for each.
        for (double poll = 5; poll <= kEndMs; poll += 5.2) {
            if (c.stalls && std::fmod(poll, 20000) < 300) {
                continue;
            }
            if (c.filled && poll >= c.gapFromMs && poll < c.gapFromMs + gapMs) {
                breakDue = true;  // nothing comes; the silence goes in as the gap ends
                continue;
            }
            if (breakDue) {
                e.Break();
                breakDue = false;
            }
            // Polls follow one another: a late one delays the next.
            last = std::min(std::max(last, poll + late(random)), kEndMs);
            const auto t = static_cast<int64_t>(last);
            e.Observe(t, static_cast<int64_t>(delivered(static_cast<double>(t))));
            if (t < ClockDriftEstimator::kWarmUpMs - 100) {
                ASSERT_FALSE(e.CorrectionAt(static_cast<int64_t>(delivered(t))).known) << t;
            }
        }
        ASSERT_TRUE(e.ready());
        EXPECT_NEAR((e.ratio() - 1) * 1e6, c.ppm, 3.0);
        // Frames to add so that the sound up to now ends where the clock is: what the device
        // fell behind the nominal rate since its start (filled-in silence counted).
        const double frame = produced(kEndMs) + filledIn;
        const double expected = kRate / 1000 * kEndMs - frame - kLatencyMs * devicePerMs;
        const DriftCorrection got = e.CorrectionAt(static_cast<int64_t>(frame));
        EXPECT_TRUE(got.known);
        EXPECT_NEAR(got.total, expected, kRate / 1000) << "frames, expected " << expected;
        EXPECT_NEAR(got.perFrame * 1e6, -c.ppm, 3.0);
    }
}

}  // namespace
