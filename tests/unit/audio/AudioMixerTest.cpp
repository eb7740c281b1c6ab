#include "audio/AudioMixer.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavutil/opt.h>
}

#include <cstdarg>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "AudioTestHelpers.h"
#include "ChildProcess.h"
#include "FakeAudioEndpoint.h"
#include "audio/AudioCapturer.h"
#include "base/Log.h"

namespace {

using audiotest::FramePtr;

// What FFmpeg logs while a test runs.
class FfmpegLogCapture {
public:
    FfmpegLogCapture() {
        std::lock_guard<std::mutex> lock(mutex());
        text().clear();
        av_log_set_callback(&FfmpegLogCapture::callback);
    }
    ~FfmpegLogCapture() { av_log_set_callback(av_log_default_callback); }
    std::string errors() const {
        std::lock_guard<std::mutex> lock(mutex());
        return text();
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::string& text() {
        static std::string t;
        return t;
    }
    static void callback(void*, int level, const char* format, va_list args) {
        if (level > AV_LOG_ERROR) {
            return;
        }
        char line[8192];
        std::vsnprintf(line, sizeof(line), format, args);
        std::lock_guard<std::mutex> lock(mutex());
        text() += line;
    }
};

// One chunk in the capturer's interleaved 16-bit layout, made planar as the manager does.
std::unique_ptr<uint8_t[]> planarSine(const WaveFormat& f, int frames, double frequency,
                                      double amplitude, long start) {
    const std::vector<uint8_t> chunk =
        audiotest::sine16(frames, f.channels, frequency, f.samplesPerSec, amplitude, start);
    return Deinterleave(chunk.data(), static_cast<int32_t>(chunk.size()), f.channels, 16);
}

std::unique_ptr<uint8_t[]> planarConstant(const WaveFormat& f, int frames, int16_t value) {
    std::vector<uint8_t> chunk(static_cast<size_t>(frames) * f.channels * 2);
    for (size_t i = 0; i < chunk.size(); i += 2) {
        chunk[i] = static_cast<uint8_t>(static_cast<uint16_t>(value) & 0xFF);
        chunk[i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
    }
    return Deinterleave(chunk.data(), static_cast<int32_t>(chunk.size()), f.channels, 16);
}

// Every frame the sink has now; checks each is a whole encoder frame in its format.
std::vector<float> pullAll(AudioMixer& mixer, const AVCodecContext* ctx, int* frames = nullptr) {
    std::vector<float> out;
    FramePtr frame(av_frame_alloc());
    int count = 0;
    while (mixer.PullFrame(frame.get()) >= 0) {
        EXPECT_EQ(frame->nb_samples, ctx->frame_size);
        EXPECT_EQ(frame->format, ctx->sample_fmt);
        EXPECT_EQ(frame->sample_rate, ctx->sample_rate);
        EXPECT_EQ(av_channel_layout_compare(&frame->ch_layout, &ctx->ch_layout), 0);
        audiotest::appendChannel0(frame.get(), out);
        av_frame_unref(frame.get());
        ++count;
    }
    if (frames) {
        *frames = count;
    }
    return out;
}

struct FilterView {
    std::string type;
    std::vector<std::string> outputsTo;  // names of the filters each output feeds
};

std::map<std::string, FilterView> describe(const AVFilterGraph* graph) {
    std::map<std::string, FilterView> out;
    for (unsigned i = 0; i < graph->nb_filters; ++i) {
        const AVFilterContext* f = graph->filters[i];
        FilterView v;
        v.type = f->filter->name;
        for (unsigned o = 0; o < f->nb_outputs; ++o) {
            v.outputsTo.push_back(f->outputs[o] ? f->outputs[o]->dst->name : "");
        }
        out[f->name] = v;
    }
    return out;
}

std::string option(const AVFilterGraph* graph, const char* filterName, const char* name) {
    for (unsigned i = 0; i < graph->nb_filters; ++i) {
        if (std::string(graph->filters[i]->name) == filterName) {
            uint8_t* value = nullptr;
            if (av_opt_get(graph->filters[i], name, AV_OPT_SEARCH_CHILDREN, &value) < 0) {
                return "";
            }
            std::string s(reinterpret_cast<char*>(value));
            av_free(value);
            return s;
        }
    }
    return "";
}

const AVFilterContext* filterNamed(const AVFilterGraph* graph, const char* name) {
    for (unsigned i = 0; i < graph->nb_filters; ++i) {
        if (std::string(graph->filters[i]->name) == name) {
            return graph->filters[i];
        }
    }
    return nullptr;
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = audiotest::openAacEncoder(48000);
        ASSERT_TRUE(ctx_);
        ASSERT_EQ(ctx_->frame_size, 1024);
        EnableLog(dir_.file("trace.log"));
    }
    void TearDown() override { DisableLog(); }

    testsupport::TempDir dir_;
    audiotest::CodecContextPtr ctx_;
    WaveFormat mic_ = fakeaudio::pcm16Format(48000, 1);
    WaveFormat speaker_ = fakeaudio::pcm16Format(48000, 2);
};

TEST_F(MixerTest, EachSourceAloneGoesStraightToTheConstrainedSink) {
    for (const bool micOnly : {true, false}) {
        SCOPED_TRACE(micOnly ? "microphone" : "speaker");
        AudioMixer mixer;
        ASSERT_EQ(
            mixer.Initialize(ctx_.get(), micOnly ? &mic_ : nullptr, micOnly ? nullptr : &speaker_),
            0);
        const auto graph = describe(mixer.graph());
        const std::string source = micOnly ? "src0" : "src1";
        ASSERT_EQ(graph.size(), 2u);
        EXPECT_EQ(graph.at(source).type, "abuffer");
        EXPECT_EQ(graph.at(source).outputsTo, std::vector<std::string>{"sink"});
        EXPECT_EQ(graph.at("sink").type, "abuffersink");
        // The sink hands out exactly the encoder's format.
        const AVFilterContext* sink = filterNamed(mixer.graph(), "sink");
        EXPECT_EQ(av_buffersink_get_format(sink), ctx_->sample_fmt);
        EXPECT_EQ(av_buffersink_get_sample_rate(sink), ctx_->sample_rate);
        AVChannelLayout layout{};
        ASSERT_EQ(av_buffersink_get_ch_layout(sink, &layout), 0);
        EXPECT_EQ(av_channel_layout_compare(&layout, &ctx_->ch_layout), 0);
        av_channel_layout_uninit(&layout);
    }
}

TEST_F(MixerTest, BothSourcesAreMixedThenLiftedAndTheDumpIsLogged) {
    FfmpegLogCapture ffmpegLog;
    AudioMixer mixer;
    ASSERT_EQ(mixer.Initialize(ctx_.get(), &mic_, &speaker_), 0);
    const auto graph = describe(mixer.graph());
    ASSERT_EQ(graph.size(), 5u);
    EXPECT_EQ(graph.at("src0").outputsTo, std::vector<std::string>{"amix"});
    EXPECT_EQ(graph.at("src1").outputsTo, std::vector<std::string>{"amix"});
    EXPECT_EQ(graph.at("amix").type, "amix");
    EXPECT_EQ(graph.at("amix").outputsTo, std::vector<std::string>{"volume"});
    EXPECT_EQ(graph.at("volume").type, "volume");
    EXPECT_EQ(graph.at("volume").outputsTo, std::vector<std::string>{"sink"});
    EXPECT_EQ(option(mixer.graph(), "amix", "inputs"), "2");
    EXPECT_EQ(option(mixer.graph(), "volume", "volume"), "2.500000");
    // src0 is amix's first input, src1 its second.
    const AVFilterContext* amix = filterNamed(mixer.graph(), "amix");
    EXPECT_STREQ(amix->inputs[0]->src->name, "src0");
    EXPECT_STREQ(amix->inputs[1]->src->name, "src1");

    const std::string dumped = ffmpegLog.errors();
    EXPECT_NE(dumped.find("Graph :\n"), std::string::npos);
    EXPECT_NE(dumped.find("src1"), std::string::npos) << dumped;

    const std::string log = testsupport::readFile(dir_.file("trace.log"));
    EXPECT_NE(log.find("[AudioMixer]"), std::string::npos);
    EXPECT_NE(log.find("===================== Succeed Initialize audio mixer"), std::string::npos);
}

TEST_F(MixerTest, TwoSourcesAddUpHalvedThenTimesTwoAndAHalf) {
    AudioMixer mixer;
    ASSERT_EQ(mixer.Initialize(ctx_.get(), &mic_, &speaker_), 0);
    const int16_t micValue = 3277;      // 0.1 of full scale
    const int16_t speakerValue = 6554;  // 0.2
    for (int i = 0; i < 4; ++i) {
        auto m = planarConstant(mic_, 1024, micValue);
        auto s = planarConstant(speaker_, 1024, speakerValue);
        ASSERT_EQ(mixer.FeedMicrophone(m.get(), 1024 * 2), 0);
        ASSERT_EQ(mixer.FeedSpeaker(s.get(), 1024 * 4), 0);
    }
    const std::vector<float> out = pullAll(mixer, ctx_.get());
    ASSERT_GE(out.size(), 2048u);
    // The mono microphone reaches each stereo channel at -3 dB (the resampler's upmix).
    const double expected = 2.5 * (micValue / std::sqrt(2.0) + speakerValue) / 32768.0 / 2.0;
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], expected, 1e-4) << i;
    }
}

TEST_F(MixerTest, CountersAndDrainFollowFedAndPulledFrames) {
    {
        AudioMixer mixer;
        ASSERT_EQ(mixer.Initialize(ctx_.get(), &mic_, nullptr), 0);
        EXPECT_TRUE(mixer.IsDrained());
        for (int i = 0; i < 3; ++i) {
            auto m = planarSine(mic_, 1024, 440, 0.3, i * 1024L);
            ASSERT_EQ(mixer.FeedMicrophone(m.get(), 2048), 0);
        }
        EXPECT_EQ(mixer.micFed(), 3u);
        EXPECT_EQ(mixer.Backlog(), 3);
        EXPECT_EQ(mixer.Skew(), 0);
        EXPECT_FALSE(mixer.IsDrained());
        FramePtr frame(av_frame_alloc());
        ASSERT_GE(mixer.PullFrame(frame.get()), 0);
        av_frame_unref(frame.get());
        EXPECT_EQ(mixer.pulled(), 1u);
        EXPECT_EQ(mixer.Backlog(), 2);
        EXPECT_FALSE(mixer.IsDrained());
        int frames = 0;
        pullAll(mixer, ctx_.get(), &frames);
        EXPECT_EQ(frames, 2);
        EXPECT_EQ(mixer.pulled(), 3u);
        EXPECT_EQ(mixer.Backlog(), 0);
        EXPECT_TRUE(mixer.IsDrained());
        // Nothing left: the sink says so, and nothing is counted.
        EXPECT_EQ(mixer.PullFrame(frame.get()), AVERROR(EAGAIN));
        EXPECT_EQ(mixer.pulled(), 3u);
    }
    {
        // Both: drained once the fewer-fed source's frames are out.
        AudioMixer mixer;
        ASSERT_EQ(mixer.Initialize(ctx_.get(), &mic_, &speaker_), 0);
        for (int i = 0; i < 3; ++i) {
            auto m = planarSine(mic_, 1024, 440, 0.3, i * 1024L);
            ASSERT_EQ(mixer.FeedMicrophone(m.get(), 2048), 0);
        }
        auto s = planarSine(speaker_, 1024, 440, 0.3, 0);
        ASSERT_EQ(mixer.FeedSpeaker(s.get(), 4096), 0);
        EXPECT_EQ(mixer.micFed(), 3u);
        EXPECT_EQ(mixer.speakerFed(), 1u);
        // The backlog counts from the fewer fed; the microphone's lead shows as skew.
        EXPECT_EQ(mixer.Backlog(), 1);
        EXPECT_EQ(mixer.Skew(), 2);
        EXPECT_FALSE(mixer.IsDrained());
        int frames = 0;
        pullAll(mixer, ctx_.get(), &frames);
        EXPECT_EQ(frames, 1);  // amix waits for the speaker
        EXPECT_EQ(mixer.Backlog(), 0);
        EXPECT_EQ(mixer.Skew(), 2);
        EXPECT_TRUE(mixer.IsDrained());
        // The speaker ahead gives a negative skew.
        for (int i = 1; i < 6; ++i) {
            auto more = planarSine(speaker_, 1024, 440, 0.3, i * 1024L);
            ASSERT_EQ(mixer.FeedSpeaker(more.get(), 4096), 0);
        }
        EXPECT_EQ(mixer.Skew(), -3);
        EXPECT_EQ(mixer.Backlog(), 2);
    }
}

// A 44.1 kHz microphone, alone or beside a 48 kHz monitor, fed one second: its resampler adds
// frames of its own, and those count too. Pulled as the audio thread pulls, until the mixer
// says it is drained, nothing may be left in the graph.
TEST_F(MixerTest, DrainedOnlyOnceWhatTheResamplerAddedIsOut) {
    const WaveFormat slowMic = fakeaudio::pcm16Format(44100, 1);
    for (const bool withSpeaker : {false, true}) {
        SCOPED_TRACE(withSpeaker ? "beside the monitor" : "alone");
        AudioMixer mixer;
        ASSERT_EQ(mixer.Initialize(ctx_.get(), &slowMic, withSpeaker ? &speaker_ : nullptr), 0);
        for (int i = 0; i < 43; ++i) {
            auto m = planarSine(slowMic, 1024, 440, 0.3, i * 1024L);
            ASSERT_EQ(mixer.FeedMicrophone(m.get(), 2048), 0);
        }
        for (int i = 0; withSpeaker && i < 47; ++i) {
            auto s = planarSine(speaker_, 1024, 440, 0.3, i * 1024L);
            ASSERT_EQ(mixer.FeedSpeaker(s.get(), 4096), 0);
        }
        FramePtr frame(av_frame_alloc());
        int pulled = 0;
        while (!mixer.IsDrained()) {
            ASSERT_GE(mixer.PullFrame(frame.get()), 0) << "not drained, yet nothing to pull";
            av_frame_unref(frame.get());
            ++pulled;
        }
        EXPECT_EQ(mixer.PullFrame(frame.get()), AVERROR(EAGAIN)) << "left in the graph";
        EXPECT_GT(pulled, 43);
    }
}

// A source resampled to the encoder's rate: every pushed frame is whole, the extra frames
// the resampler accumulates go out too, and the signal stays one clean sine throughout.
void checkResampled(uint32_t sourceRate, int encoderRate) {
    SCOPED_TRACE(std::to_string(sourceRate) + " -> " + std::to_string(encoderRate));
    auto ctx = audiotest::openAacEncoder(encoderRate);
    ASSERT_TRUE(ctx);
    const WaveFormat f = fakeaudio::pcm16Format(sourceRate, 2);
    AudioMixer mixer;
    ASSERT_EQ(mixer.Initialize(ctx.get(), &f, nullptr), 0);
    const int chunks = 60;
    const double frequency = 1000;
    std::vector<float> out;
    int frames = 0;
    for (int i = 0; i < chunks; ++i) {
        auto m = planarSine(f, 1024, frequency, 0.5, i * 1024L);
        ASSERT_EQ(mixer.FeedMicrophone(m.get(), 4096), 0);
        int got = 0;
        const std::vector<float> part = pullAll(mixer, ctx.get(), &got);
        out.insert(out.end(), part.begin(), part.end());
        frames += got;
    }
    const double expectedFrames = chunks * static_cast<double>(encoderRate) / sourceRate;
    EXPECT_NEAR(frames, expectedFrames, 1.5);
    if (static_cast<int>(sourceRate) < encoderRate) {
        EXPECT_GT(frames, chunks);  // extra frames were pushed
    }
    // Past the resampler's start-up, a pure sine: no stale or repeated samples anywhere.
    const size_t settle = 256;
    EXPECT_LT(audiotest::worstSineResidual(out, frequency, encoderRate, settle, out.size()), 2e-3);
    EXPECT_NEAR(audiotest::rms(out, settle, out.size()), 0.5 / std::sqrt(2.0), 0.01);
}

TEST_F(MixerTest, SlowerAndFasterSourcesComeOutWholeAndContinuous) {
    checkResampled(44100, 48000);
    checkResampled(48000, 44100);
}

TEST_F(MixerTest, TwentyFourBitSourcesKeepTheirLevel) {
    WaveFormat f = fakeaudio::pcm16Format(48000, 2);
    f.bitsPerSample = 24;
    f.blockAlign = 6;
    AudioMixer mixer;
    ASSERT_EQ(mixer.Initialize(ctx_.get(), &f, nullptr), 0);
    // 0.25 of full scale, little-endian 24-bit: 0x200000.
    std::vector<uint8_t> chunk(1024 * 6);
    for (size_t i = 0; i < chunk.size(); i += 3) {
        chunk[i] = 0x00;
        chunk[i + 1] = 0x00;
        chunk[i + 2] = 0x20;
    }
    auto planar = Deinterleave(chunk.data(), static_cast<int32_t>(chunk.size()), 2, 24);
    ASSERT_EQ(mixer.FeedMicrophone(planar.get(), static_cast<int32_t>(chunk.size())), 0);
    const std::vector<float> out = pullAll(mixer, ctx_.get());
    ASSERT_EQ(out.size(), 1024u);
    for (float v : out) {
        ASSERT_NEAR(v, 0.25, 1e-6);
    }
}

TEST_F(MixerTest, FailuresAreReportedAndReleaseLeavesNothingToFeed) {
    AudioMixer mixer;
    auto bad = audiotest::openAacEncoder(48000);
    bad->sample_rate = 0;  // no source can be made for it
    EXPECT_LT(mixer.Initialize(bad.get(), &mic_, nullptr), 0);
    mixer.Release();

    ASSERT_EQ(mixer.Initialize(ctx_.get(), &mic_, nullptr), 0);
    mixer.Release();
    EXPECT_EQ(mixer.graph(), nullptr);
    auto m = planarSine(mic_, 1024, 440, 0.3, 0);
    EXPECT_EQ(mixer.FeedMicrophone(m.get(), 2048), -1);
    FramePtr frame(av_frame_alloc());
    EXPECT_LT(mixer.PullFrame(frame.get()), 0);
}

}  // namespace
