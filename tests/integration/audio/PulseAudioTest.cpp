// The audio subsystem against a real PulseAudio server: a tone played into the default sink is
// recorded through loopback (and through the default source, the sink's monitor) and mixed,
// at its pitch and level.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "AudioSignals.h"
#include "Await.h"
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
    void SetUp() override { ASSERT_TRUE(audiotest::writeTone(dir_.file("tone.wav"), "1.5")); }

    // Records through the manager while the tone plays, pulling frames the way the encoder's
    // audio thread does, and keeps channel 0 of what it pulled.
    Measured record(AudioManager& manager) {
        auto encoder = audiotest::openAacEncoder(48000);
        std::vector<float> heard;
        audiotest::FramePtr frame(av_frame_alloc());
        auto pull = [&] {
            while (manager.PullFrame(frame.get()) >= 0) {
                EXPECT_EQ(frame->nb_samples, encoder->frame_size);
                EXPECT_EQ(frame->format, encoder->sample_fmt);
                EXPECT_EQ(frame->sample_rate, encoder->sample_rate);
                audiotest::appendChannel0(frame.get(), heard);
                av_frame_unref(frame.get());
            }
            return manager.IsDrained();
        };
        EXPECT_EQ(manager.Initialize(encoder.get()), 0);
        EXPECT_EQ(manager.Start(), 0);
        testsupport::ChildProcess::Options options;
        options.env = testsupport::PulseEnvironment::server()->clientEnv();
        testsupport::ChildProcess player({"paplay", dir_.file("tone.wav")}, options);
        // Until the player is done and half a second of silence has followed.
        size_t end = 0;
        EXPECT_TRUE(testsupport::waitFor(
            [&] {
                pull();
                end = end == 0 && player.wait(0ms) != -1 ? heard.size() + 24000 : end;
                return end != 0 && heard.size() >= end;
            },
            30s, "the tone to be played and heard"));
        EXPECT_EQ(player.exitCode(), 0);
        EXPECT_EQ(manager.Stop(), 0);
        EXPECT_TRUE(testsupport::waitFor(pull, 10s, "the mixer to be drained"));
        manager.Release();

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
    // pitch is exact; the level lies between nothing and 2.5 times the tone.
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
