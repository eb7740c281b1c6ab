#include "audio/FIRFilter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.1415926535898;
constexpr double kTwoPi = 6.2831853071796;
constexpr int32_t kMaxTaps = 65535;

}  // namespace

FIRFilter::FIRFilter(int32_t taps, double cutoff)
    : taps_(std::max<int32_t>(taps, 1)),
      h_(static_cast<size_t>(taps_)),
      history_(static_cast<size_t>(taps_), 0.0) {
    const int32_t m = (taps_ - 1) / 2;
    for (int32_t i = 0; i < taps_; ++i) {
        // A single tap has no window to speak of (and N - 1 would divide by zero).
        const double w = taps_ > 1 ? 0.54 - 0.46 * std::cos(i * kTwoPi / (taps_ - 1)) : 1.0;
        double s = cutoff;
        if (i != m) {
            const double x = (i - m) * kPi;
            s = std::sin(x * cutoff) / x;
        }
        h_[static_cast<size_t>(i)] = w * s;
    }
}

void FIRFilter::Apply(const double* input, double* output, int32_t count) {
    const auto n = static_cast<size_t>(taps_);
    for (int32_t k = 0; k < count; ++k) {
        // The ring's slot of the oldest sample takes the newest.
        history_[static_cast<size_t>(next_)] = input[k];
        next_ = (next_ + 1) % taps_;
        // Newest sample meets h[0], the oldest h[N - 1].
        double sum = 0.0;
        size_t at = (static_cast<size_t>(next_) + n - 1) % n;  // newest
        for (size_t j = 0; j < n; ++j) {
            sum += h_[j] * history_[at];
            at = at == 0 ? n - 1 : at - 1;
        }
        output[k] = sum;
    }
}

FIRFilter::Design FIRFilter::ForMicrophone(uint32_t sampleRate, double wc) {
    const double r = static_cast<double>(sampleRate);
    const double f1 = 300.0 / r;
    const double a = wc * 4800.0;
    const double f2 = a < 300.0 ? 2000.0 / r : a / r;
    const double fc = (f1 + f2) * 0.5;
    const double delta = (f2 - f1) * kPi;
    // A band of no width (wc * 4800 exactly 300, or no rate) asks for endless taps; keep the
    // count a number an int32 can hold rather than converting infinity.
    double wanted = std::ceil(6.6 / delta);
    if (!(wanted >= 1.0)) {
        wanted = 1.0;
    }
    auto taps = static_cast<int32_t>(std::min(wanted, static_cast<double>(kMaxTaps)));
    if (taps % 2 == 0) {
        taps += 1;
    }
    return Design{taps, fc};
}
