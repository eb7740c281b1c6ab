#include "audio/ClockDriftEstimator.h"

#include <cmath>

ClockDriftEstimator::ClockDriftEstimator(uint32_t nominalRate)
    : framesPerMs_(nominalRate / 1000.0) {}

void ClockDriftEstimator::Observe(int64_t clockMs, int64_t frames) {
    const auto t = static_cast<double>(clockMs);
    const double y = static_cast<double>(frames) - framesPerMs_ * t;
    if (any_) {
        const double dt = t > lastT_ ? t - lastT_ : 0.0;
        const double fade = std::exp(-dt / kTimeConstantMs);
        stretch_.weight *= fade;
        stretch_.sxx *= fade;
        stretch_.sxy *= fade;
        pooledXX_ *= fade;
        pooledXY_ *= fade;
        if (!broken_) {
            observedMs_ += dt;
        }
    }
    if (anchored_ && !broken_ && std::fabs(y - phaseAt(t)) > kStepMs * framesPerMs_) {
        broken_ = true;
    }
    if (broken_) {
        pooledXX_ += stretch_.sxx;
        pooledXY_ += stretch_.sxy;
        stretch_ = Fit{};
        stretchStart_ = t;
        broken_ = false;
    }
    // Weighted running means and co-spreads (Welford), steady over hours of readings.
    Fit& f = stretch_;
    f.weight += 1.0;
    const double dT = t - f.meanT;
    f.meanT += dT / f.weight;
    f.meanY += (y - f.meanY) / f.weight;
    f.sxx += dT * (t - f.meanT);
    f.sxy += dT * (y - f.meanY);
    lastT_ = t;
    any_ = true;
    if (!anchored_ && observedMs_ >= kWarmUpMs) {
        anchored_ = true;
        anchor_ = phaseAt(stretchStart_);
    }
}

void ClockDriftEstimator::Break() {
    broken_ = true;
}

double ClockDriftEstimator::slope() const {
    const double xx = pooledXX_ + stretch_.sxx;
    return xx > 0.0 ? (pooledXY_ + stretch_.sxy) / xx : 0.0;
}

double ClockDriftEstimator::phaseAt(double t) const {
    return stretch_.meanY + slope() * (t - stretch_.meanT);
}

double ClockDriftEstimator::ratio() const {
    return anchored_ ? 1.0 + slope() / framesPerMs_ : 1.0;
}

DriftCorrection ClockDriftEstimator::CorrectionAt(int64_t frame) const {
    if (!anchored_) {
        return {};
    }
    // The clock time at which the fitted line reaches the frame, and the phase there.
    const double b = slope();
    const double t =
        (static_cast<double>(frame) - stretch_.meanY + b * stretch_.meanT) / (framesPerMs_ + b);
    return {true, anchor_ - phaseAt(t), -b / (framesPerMs_ + b)};
}
