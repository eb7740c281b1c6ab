#pragma once

// Sound for the audio tests: stream formats as sound servers offer them, an AAC encoder opened
// the way the recorder opens it, a sine to feed or play, and plain measurements of what comes
// out.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "platform/WaveFormat.h"

namespace audiotest {

inline WaveFormat pcm16Format(uint32_t rate, uint16_t channels, uint16_t bits = 16) {
    WaveFormat f;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

// The float mix format a sound server offers.
inline WaveFormat floatMixFormat(uint32_t rate, uint16_t channels, bool extensible = true) {
    WaveFormat f = pcm16Format(rate, channels, 32);
    f.formatTag = extensible ? WaveFormat::kExtensible : WaveFormat::kIeeeFloat;
    if (extensible) {
        f.validBitsPerSample = 32;
        f.channelMask = channels == 2 ? 0x3 : 0x4;
        f.subFormat = WaveFormat::SubFormat::IeeeFloat;
    }
    return f;
}

struct FFmpegFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, FFmpegFree>;
using FramePtr = std::unique_ptr<AVFrame, FFmpegFree>;

// The AAC encoder opened the way the recorder opens it: its first sample format, stereo.
inline CodecContextPtr openAacEncoder(int sampleRate) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ctx->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->sample_rate = sampleRate;
    ctx->bit_rate = 4 * sampleRate;
    ctx->time_base = AVRational{1, sampleRate};
    return avcodec_open2(ctx.get(), codec, nullptr) < 0 ? nullptr : std::move(ctx);
}

// A WAV file of a tone (440 Hz unless told) at half of full scale, 48 kHz stereo 16-bit, made
// by sox.
inline ::testing::AssertionResult writeTone(const std::string& path, const char* seconds,
                                            const char* frequency = "440") {
    int status = -1;
    testsupport::runAndCapture({"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", path, "synth",
                                seconds, "sine", frequency, "vol", "0.5"},
                               &status);
    return status == 0 ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << "sox could not make " << path;
}

// Interleaved little-endian 16-bit samples: a sine per channel (same frequency), amplitude as a
// fraction of full scale, starting at sample index `start`.
inline std::vector<uint8_t> sine16(int frames, int channels, double frequency, double rate,
                                   double amplitude, long start = 0) {
    std::vector<uint8_t> out(static_cast<size_t>(frames) * channels * 2);
    for (int f = 0; f < frames; ++f) {
        const double v = amplitude * std::sin(2 * M_PI * frequency * (start + f) / rate);
        const auto s = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0)));
        for (int c = 0; c < channels; ++c) {
            const size_t at = (static_cast<size_t>(f) * channels + c) * 2;
            out[at] = static_cast<uint8_t>(s & 0xFF);
            out[at + 1] = static_cast<uint8_t>(s >> 8);
        }
    }
    return out;
}

// Channel 0 of a float planar (or packed float) frame appended to `out`.
inline void appendChannel0(const AVFrame* frame, std::vector<float>& out) {
    const auto* data = reinterpret_cast<const float*>(frame->extended_data[0]);
    const int step = frame->format == AV_SAMPLE_FMT_FLTP ? 1 : frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        out.push_back(data[i * step]);
    }
}

inline double rms(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) {
        sum += static_cast<double>(x[i]) * x[i];
    }
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// The power of one frequency in x[from, to), per sample (Goertzel).
inline double tonePower(const std::vector<float>& x, double rate, size_t from, size_t to,
                        double frequency) {
    const double coeff = 2 * std::cos(2 * M_PI * frequency / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < to; ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return to > from ? (s1 * s1 + s2 * s2 - coeff * s1 * s2) / static_cast<double>(to - from) : 0;
}

// The frequency (in `step` Hz steps between lo and hi) with the most power.
inline double dominantFrequency(const std::vector<float>& x, double rate, size_t from, size_t to,
                                double lo, double hi, double step) {
    double best = lo;
    double bestPower = -1;
    for (double f = lo; f <= hi; f += step) {
        const double power = tonePower(x, rate, from, to, f);
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

// How far a stretch departs from a pure sine: a sine obeys x[n+1] + x[n-1] = 2 cos(w) x[n]
// exactly, so any jump or inserted sample shows up here.
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
