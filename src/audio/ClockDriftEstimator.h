#pragma once

#include <cstdint>

// How far a source's sound must be moved to stay in step with the recording clock: the frames
// to add (negative: to take out) to everything up to some frame of the source, and the frames
// to add per frame from there on. Unknown until the estimate has settled; an unknown correction
// leaves the sound as the device delivered it.
struct DriftCorrection {
    bool known = false;
    double total = 0.0;
    double perFrame = 0.0;
};

// Measures a sound device's real sample rate against the recording clock. It fits a line to
// the phase of the device (frames delivered minus the frames the nominal rate gives for the
// clock's time) with older readings fading out over tens of seconds, so scheduling jitter and
// packet sizes average away while a slowly wandering device clock is still followed.
//
// The readings fall into stretches: a pause, silence put in for a gap, or a sudden step of the
// delivery starts a new stretch, whose offset is its own. The rate comes from the slopes within
// stretches only, so such a break never bends it; the offsets count toward the correction, as
// they move the sound against the clock just as a drift does.
class ClockDriftEstimator {
public:
    // Readings fade to 1/e over this much clock time.
    static constexpr double kTimeConstantMs = 30000.0;
    // Clock time observed before the estimate is used.
    static constexpr double kWarmUpMs = 10000.0;
    // A reading this far off the fitted line is a step in the delivery, not jitter: packets are
    // tens of milliseconds long at most, and a late capture thread reads what piled up.
    static constexpr double kStepMs = 50.0;

    explicit ClockDriftEstimator(uint32_t nominalRate = 48000);

    // A reading: the frames the source has delivered since it started, at a recording-clock
    // time in milliseconds. Times never go back.
    void Observe(int64_t clockMs, int64_t frames);
    // The next reading starts a new stretch (after a pause, or silence put in for a gap).
    void Break();

    bool ready() const { return anchored_; }
    // The device's rate over the nominal rate (1 until ready).
    double ratio() const;
    // The correction for the frames up to `frame` (counted from the start).
    DriftCorrection CorrectionAt(int64_t frame) const;

private:
    // Weighted readings of one stretch about their means: time in ms, phase in frames.
    struct Fit {
        double weight = 0.0;
        double meanT = 0.0;
        double meanY = 0.0;
        double sxx = 0.0;
        double sxy = 0.0;
    };
    double slope() const;  // phase frames per clock ms
    double phaseAt(double t) const;

    double framesPerMs_;
    Fit stretch_;
    // What closed stretches leave for the slope: their spread in time and their co-spread.
    double pooledXX_ = 0.0;
    double pooledXY_ = 0.0;
    double stretchStart_ = 0.0;
    double lastT_ = 0.0;
    bool any_ = false;
    bool broken_ = true;  // the next reading opens a stretch
    double observedMs_ = 0.0;
    // The phase the correction holds the sound to: where the first settled stretch began.
    bool anchored_ = false;
    double anchor_ = 0.0;
};
