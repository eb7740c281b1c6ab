// The audio subsystem against a real PulseAudio server: a tone played into the default sink is
// recorded through loopback (and through the default source, the sink's monitor), mixed,
// encoded to AAC and decoded again, at its pitch and level.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "../../unit/audio/AudioTestHelpers.h"
#include "ChildProcess.h"
#include "TestServers.h"
#include "audio/AudioManager.h"
#include "audio/Silence.h"

namespace {

const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

using namespace std::chrono_literals;

constexpr double kTone = 440.0;
constexpr double kPlayedLevel = 0.5 / M_SQRT2;  // the RMS of a sine at half of full scale

// The steady part of a decoded tone: its pitch, its level, and how much of it there is.
struct Measured {
    double frequency = 0;
    double level = 0;
    size_t samples = 0;
};

class PulseAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        int status = -1;
        testsupport::runAndCapture(
            {"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", dir_.file("tone.wav"), "synth",
             "1.5", "sine", "440", "vol", "0.5"},
            &status);
        ASSERT_EQ(status, 0) << "sox could not make the tone";
    }

    // Records through the manager while the tone plays, pulling frames the way the encoder's
    // audio thread does; encodes them to AAC and decodes them again, as a player would hear
    // the recorded file (channel 0).
    Measured record(AudioManager& manager) {
        auto encoder = audiotest::openAacEncoder(48000);
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
        audiotest::CodecContextPtr decoder(avcodec_alloc_context3(codec));
        decoder->sample_rate = 48000;
        av_channel_layout_copy(&decoder->ch_layout, &encoder->ch_layout);
        EXPECT_EQ(avcodec_open2(decoder.get(), codec, nullptr), 0);
        std::vector<float> heard;
        audiotest::FramePtr frame(av_frame_alloc());
        std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(
            av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
        int64_t pts = 0;
        auto encode = [&](AVFrame* in) {
            EXPECT_GE(avcodec_send_frame(encoder.get(), in), 0);
            while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
                EXPECT_GE(avcodec_send_packet(decoder.get(), packet.get()), 0);
                av_packet_unref(packet.get());
                while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
                    audiotest::appendChannel0(frame.get(), heard);
                }
            }
        };
        auto pull = [&] {
            while (manager.PullFrame(frame.get()) >= 0) {
                EXPECT_EQ(frame->nb_samples, encoder->frame_size);
                EXPECT_EQ(frame->format, encoder->sample_fmt);
                EXPECT_EQ(frame->sample_rate, encoder->sample_rate);
                frame->pts = pts;
                pts += frame->nb_samples;
                encode(frame.get());
            }
        };
        EXPECT_EQ(manager.Initialize(encoder.get()), 0);
        EXPECT_EQ(manager.Start(), 0);
        testsupport::ChildProcess::Options options;
        options.env = testsupport::PulseEnvironment::server()->clientEnv();
        testsupport::ChildProcess player({"paplay", dir_.file("tone.wav")}, options);
        // Until the player is done and half a second of silence has followed.
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        int64_t end = 0;
        while (std::chrono::steady_clock::now() < deadline && (end == 0 || pts < end)) {
            pull();
            if (end == 0 && player.wait(0ms) != -1) {
                end = pts + 24000;
            }
            std::this_thread::sleep_for(5ms);  // the pace of the encoder's audio thread
        }
        EXPECT_EQ(player.exitCode(), 0) << "the player did not finish in time";
        EXPECT_EQ(manager.Stop(), 0);
        while (!manager.IsDrained()) {
            pull();
        }
        manager.Release();
        encode(nullptr);

        // Windows well above silence, less the first and last few.
        Measured m;
        size_t first = SIZE_MAX, last = 0;
        for (size_t at = 0; at + 1024 <= heard.size(); at += 1024) {
            if (audiotest::rms(heard, at, at + 1024) > 0.05) {
                first = std::min(first, at);
                last = at + 1024;
            }
        }
        if (first != SIZE_MAX && last > first + 8 * 1024) {
            first += 3 * 1024;
            last -= 3 * 1024;
            m.samples = last - first;
            m.level = audiotest::rms(heard, first, last);
            m.frequency = audiotest::dominantFrequency(
                heard, 48000, first, first + std::min<size_t>(m.samples, 48000), 50, 5000, 2);
        }
        return m;
    }

    testsupport::TempDir dir_;
};

TEST_F(PulseAudioTest, ToneThroughLoopbackTheDefaultSourceAndBothIsHeardAtItsPitchAndLevel) {
    struct Case {
        const char* name;
        std::vector<int32_t> sources;
        double lowest, highest;  // level
    };
    // Both: the same tone twice, added with some offset between the two streams, so only the
    // pitch is exact; the level lies between nothing and 2.5 times the tone. Alone, AAC at
    // 192 kbit/s keeps a pure tone's level (measured: within 0.1 per mille).
    const Case cases[] = {
        {"loopback", {AudioManager::kSpeaker}, 0.99 * kPlayedLevel, 1.01 * kPlayedLevel},
        {"default source", {AudioManager::kMicrophone}, 0.99 * kPlayedLevel, 1.01 * kPlayedLevel},
        {"both", {AudioManager::kMicrophone, AudioManager::kSpeaker}, 0.05, 2.6 * kPlayedLevel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AudioManager manager;
        for (int32_t source : c.sources) {
            ASSERT_EQ(manager.OpenDevice(source), 0);
        }
        const Measured m = record(manager);
        EXPECT_GT(m.samples, 48000u);  // most of the 1.5 s tone
        EXPECT_NEAR(m.frequency, kTone, 2.0);
        EXPECT_GT(m.level, c.lowest);
        EXPECT_LT(m.level, c.highest);
    }
}

TEST_F(PulseAudioTest, TheSilencePlayerHoldsOneStreamOnTheSinkUntilStopped) {
    auto streams = [] {
        const std::string out =
            testsupport::PulseEnvironment::server()->pactl({"list", "short", "sink-inputs"});
        return std::count(out.begin(), out.end(), '\n');
    };
    ASSERT_EQ(streams(), 0);
    Silence silence;
    ASSERT_EQ(silence.Start(), 0);
    EXPECT_EQ(streams(), 1);
    EXPECT_EQ(silence.Stop(), 0);
    EXPECT_EQ(streams(), 0);
}

}  // namespace
