// The mixer with planar chunks as the manager feeds them: levels through the graph, the drain
// count, and resampling without seams.
#include "audio/AudioMixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "AudioSignals.h"
#include "audio/AudioCapturer.h"

namespace {

using audiotest::FramePtr;

// One chunk in the capturer's interleaved 16-bit layout, made planar as the manager does: a
// sine, or a constant when the frequency is 0.
std::unique_ptr<uint8_t[]> planar(const WaveFormat& f, double frequency, double amplitude,
                                  long start = 0) {
    std::vector<uint8_t> chunk =
        audiotest::sine16(1024, f.channels, frequency, f.samplesPerSec, amplitude, start);
    const auto level = static_cast<uint16_t>(std::lround(amplitude * 32767.0));
    for (size_t i = 0; frequency == 0 && i < chunk.size(); i += 2) {
        chunk[i] = static_cast<uint8_t>(level & 0xFF);
        chunk[i + 1] = static_cast<uint8_t>(level >> 8);
    }
    return Deinterleave(chunk.data(), static_cast<int32_t>(chunk.size()), f.channels, 16);
}

// Channel 0 of every frame the sink has now; each must be a whole encoder frame in its format.
std::vector<float> pullAll(AudioMixer& mixer, const AVCodecContext* ctx, int* frames = nullptr) {
    std::vector<float> out;
    int count = 0;
    for (FramePtr frame(av_frame_alloc()); mixer.PullFrame(frame.get()) >= 0; ++count) {
        EXPECT_EQ(frame->nb_samples, ctx->frame_size);
        EXPECT_EQ(frame->format, ctx->sample_fmt);
        EXPECT_EQ(frame->sample_rate, ctx->sample_rate);
        EXPECT_EQ(av_channel_layout_compare(&frame->ch_layout, &ctx->ch_layout), 0);
        audiotest::appendChannel0(frame.get(), out);
        av_frame_unref(frame.get());
    }
    if (frames) {
        *frames = count;
    }
    return out;
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ctx_->frame_size, 1024); }
    audiotest::CodecContextPtr ctx_ = audiotest::openAacEncoder(48000);
    WaveFormat mic_ = audiotest::pcm16Format(48000, 1);
    WaveFormat speaker_ = audiotest::pcm16Format(48000, 2);
    AudioMixer mixer_;
};

TEST_F(MixerTest, TwoSourcesAddUpHalvedThenTimesTwoAndAHalf) {
    ASSERT_EQ(mixer_.Initialize(ctx_.get(), &mic_, &speaker_), 0);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(mixer_.FeedMicrophone(planar(mic_, 0, 0.1).get(), 1024 * 2), 0);
        ASSERT_EQ(mixer_.FeedSpeaker(planar(speaker_, 0, 0.2).get(), 1024 * 4), 0);
    }
    const std::vector<float> out = pullAll(mixer_, ctx_.get());
    ASSERT_GE(out.size(), 2048u);
    // The mono microphone reaches each stereo channel at -3 dB (the resampler's upmix).
    const double expected = 2.5 * (3277 / std::sqrt(2.0) + 6553) / 32768.0 / 2.0;
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], expected, 1e-4) << i;
    }
}

// A slower microphone is resampled: the frames the resampler adds count too, so "drained"
// comes only once every pushed sample has been pulled. Beside the monitor, amix mixes only as
// far as the source fed less reaches, whichever that is: drained once that much is out.
TEST_F(MixerTest, DrainedOnlyOnceWhatTheResamplerAddedAndTheOtherSourceAllowIsOut) {
    const WaveFormat slowMic = audiotest::pcm16Format(44100, 1);
    // 43 microphone chunks make 46.8 frames at 48000 Hz.
    for (const auto& [speakerChunks, fewestPulled] : {std::pair{0, 44}, {47, 44}, {30, 30}}) {
        SCOPED_TRACE(speakerChunks);
        AudioMixer mixer;
        ASSERT_EQ(mixer.Initialize(ctx_.get(), &slowMic, speakerChunks ? &speaker_ : nullptr), 0);
        EXPECT_TRUE(mixer.IsDrained());
        for (int i = 0; i < 43; ++i) {
            ASSERT_EQ(mixer.FeedMicrophone(planar(slowMic, 440, 0.3, i * 1024L).get(), 2048), 0);
        }
        for (int i = 0; i < speakerChunks; ++i) {
            ASSERT_EQ(mixer.FeedSpeaker(planar(speaker_, 440, 0.3, i * 1024L).get(), 4096), 0);
        }
        FramePtr frame(av_frame_alloc());
        int pulled = 0;
        while (!mixer.IsDrained()) {
            ASSERT_GE(mixer.PullFrame(frame.get()), 0) << "not drained, yet nothing to pull";
            av_frame_unref(frame.get());
            ++pulled;
        }
        EXPECT_EQ(mixer.PullFrame(frame.get()), AVERROR(EAGAIN)) << "left in the graph";
        EXPECT_GE(pulled, fewestPulled);
        EXPECT_EQ(mixer.pulled(), static_cast<uint64_t>(pulled));
    }
}

TEST_F(MixerTest, SlowerAndFasterSourcesComeOutWholeAndWithoutSeams) {
    for (const auto& [sourceRate, encoderRate] : {std::pair{44100, 48000}, {48000, 44100}}) {
        SCOPED_TRACE(std::to_string(sourceRate) + " -> " + std::to_string(encoderRate));
        auto ctx = audiotest::openAacEncoder(encoderRate);
        const WaveFormat f = audiotest::pcm16Format(static_cast<uint32_t>(sourceRate), 2);
        AudioMixer mixer;
        ASSERT_EQ(mixer.Initialize(ctx.get(), &f, nullptr), 0);
        std::vector<float> out;
        int frames = 0;
        for (int i = 0; i < 60; ++i) {
            ASSERT_EQ(mixer.FeedMicrophone(planar(f, 1000, 0.5, i * 1024L).get(), 4096), 0);
            int got = 0;
            const std::vector<float> part = pullAll(mixer, ctx.get(), &got);
            out.insert(out.end(), part.begin(), part.end());
            frames += got;
        }
        // The extra frames the resampler accumulates go out too.
        EXPECT_NEAR(frames, 60.0 * encoderRate / sourceRate, 1.5);
        // Past the resampler's start-up a pure sine: no stale or repeated samples anywhere.
        EXPECT_LT(audiotest::worstSineResidual(out, 1000, encoderRate, 256, out.size()), 2e-3);
        EXPECT_NEAR(audiotest::rms(out, 256, out.size()), 0.5 / std::sqrt(2.0), 0.01);
    }
}

}  // namespace
