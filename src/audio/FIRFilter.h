#pragma once

#include <cstdint>
#include <vector>

// Low-pass finite-impulse-response filter, windowed-sinc design with a Hamming window. Plain
// arithmetic; the history carries over from one Apply to the next.
class FIRFilter {
  public:
    // taps coefficients, cutoff normalised so that 1.0 is half the sample rate.
    FIRFilter(int32_t taps, double cutoff);

    // Filters count samples in order.
    void Apply(const double* input, double* output, int32_t count);

    int32_t taps() const { return taps_; }
    const std::vector<double>& coefficients() const { return h_; }

    // The filter the microphone gets: taps and cutoff from its sample rate and the user's
    // coefficient wc (> 0).
    struct Design {
        int32_t taps;
        double cutoff;
    };
    static Design ForMicrophone(uint32_t sampleRate, double wc);

  private:
    int32_t taps_;
    std::vector<double> h_;
    // The last taps_ input samples, oldest first, kept as a ring: position next_ is the oldest.
    std::vector<double> history_;
    int32_t next_ = 0;
};
