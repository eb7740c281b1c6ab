#pragma once

// Shared by the unit and integration suites of the audio subsystem: an opened AAC encoder
// context as the encoder would hand it over, and plain signal measurements.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace audiotest {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// The AAC encoder opened the way the recorder opens it: its first sample format, stereo.
inline CodecContextPtr openAacEncoder(int sampleRate, int channels = 2) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        return nullptr;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->sample_rate = sampleRate;
    ctx->bit_rate = 2 * sampleRate * channels;
    ctx->time_base = AVRational{1, sampleRate};
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return ctx;
}

// Interleaved little-endian 16-bit samples: a sine per channel (same frequency), amplitude as a
// fraction of full scale, starting at sample index `start`.
inline std::vector<uint8_t> sine16(int frames, int channels, double frequency, double rate,
                                   double amplitude, long start = 0) {
    std::vector<uint8_t> out(static_cast<size_t>(frames) * channels * 2);
    for (int f = 0; f < frames; ++f) {
        const double v = amplitude * std::sin(2 * M_PI * frequency * (start + f) / rate);
        const auto s = static_cast<int16_t>(std::lround(v * 32767.0));
        for (int c = 0; c < channels; ++c) {
            const size_t at = (static_cast<size_t>(f) * channels + c) * 2;
            out[at] = static_cast<uint8_t>(static_cast<uint16_t>(s) & 0xFF);
            out[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
        }
    }
    return out;
}

// Channel 0 of a float planar (or packed float) frame appended to `out`.
inline void appendChannel0(const AVFrame* frame, std::vector<float>& out) {
    const auto* data = reinterpret_cast<const float*>(frame->extended_data[0]);
    const bool planar = frame->format == AV_SAMPLE_FMT_FLTP;
    const int step = planar ? 1 : frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        out.push_back(data[i * step]);
    }
}

inline double rms(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, x.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// Power of the signal at one frequency (Goertzel), normalised by length.
inline double powerAt(const std::vector<float>& x, double frequency, double rate, size_t from,
                      size_t to) {
    const double w = 2 * M_PI * frequency / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = static_cast<double>(to - from);
    return (s1 * s1 + s2 * s2 - coeff * s1 * s2) / (n * n);
}

// The frequency (in `step` Hz steps between lo and hi) with the most power.
inline double dominantFrequency(const std::vector<float>& x, double rate, size_t from, size_t to,
                                double lo = 50, double hi = 5000, double step = 5) {
    double best = lo;
    double bestPower = -1;
    for (double f = lo; f <= hi; f += step) {
        const double p = powerAt(x, f, rate, from, to);
        if (p > bestPower) {
            bestPower = p;
            best = f;
        }
    }
    return best;
}

// How far a stretch departs from a pure sine of angular step w: a sine obeys
// x[n+1] + x[n-1] = 2 cos(w) x[n] exactly, so any jump or inserted sample shows up here.
inline double worstSineResidual(const std::vector<float>& x, double frequency, double rate,
                                size_t from, size_t to) {
    const double c = 2 * std::cos(2 * M_PI * frequency / rate);
    double worst = 0;
    for (size_t i = std::max<size_t>(from, 1); i + 1 < to; ++i) {
        worst = std::max(worst, std::fabs(x[i + 1] + x[i - 1] - c * x[i]));
    }
    return worst;
}

}  // namespace audiotest
