// The manager's threads over scripted endpoints: which sources are recorded, how chunks reach
// the mixer and are drained, pause, and the microphone filter.
#include "audio/AudioManager.h"

#include <gtest/gtest.h>
#include <algorithm>

#include <cmath>
#include <vector>

#include "AudioSignals.h"
#include "Await.h"
#include "FakeAudioEndpoint.h"

namespace {

using fakeaudio::FakeDevice;
using platform::DataFlow;
using testsupport::waitFor;
using namespace std::chrono_literals;

constexpr int32_t kMic = AudioManager::kMicrophone;
constexpr int32_t kSpeaker = AudioManager::kSpeaker;

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ctx_); }
    FakeDevice& mic() { return factory_.device(DataFlow::Capture); }
    FakeDevice& speaker() { return factory_.device(DataFlow::Render); }

    // Opens the sources and starts recording them.
    void start(std::initializer_list<int32_t> kinds) {
        for (int32_t kind : kinds) {
            ASSERT_EQ(m_.OpenDevice(kind), 0);
        }
        ASSERT_EQ(m_.Initialize(ctx_.get()), 0);
        ASSERT_EQ(m_.Start(), 0);
    }
    // Pushes a packet and waits until the capture thread has queued its chunks.
    static void deliver(FakeDevice& d, uint32_t frames, int16_t first) {
        d.push(frames, first);
        ASSERT_TRUE(d.awaitConsumed());
    }
    ::testing::AssertionResult micFed(uint32_t n) {
        return waitFor([&] { return m_.mixer()->micFed() >= n; }, 20s, "the microphone's chunks");
    }
    std::vector<audiotest::FramePtr> pullAll() {
        std::vector<audiotest::FramePtr> frames;
        for (audiotest::FramePtr f(av_frame_alloc()); m_.PullFrame(f.get()) >= 0;
             f.reset(av_frame_alloc())) {
            frames.push_back(std::move(f));
        }
        return frames;
    }
    static float sample(const audiotest::FramePtr& f, int channel, int i) {
        return reinterpret_cast<const float*>(f->extended_data[channel])[i];
    }

    fakeaudio::FakeFactory factory_{true};
    fakeaudio::ScriptedClock clock_;
    audiotest::CodecContextPtr ctx_ = audiotest::openAacEncoder(48000);
    AudioManager m_{factory_, clock_};
};

TEST_F(ManagerTest, OpenSourcesSetTheOutputFormatAndNothingOpenRecordsNothing) {
    EXPECT_EQ(m_.OpenDevice(7), 0);  // no such kind: nothing happens
    EXPECT_EQ(m_.Initialize(ctx_.get()), 1);
    EXPECT_EQ(m_.Start(), 1);
    EXPECT_TRUE(m_.IsDrained());
    EXPECT_EQ(m_.Stop(), 0);
    EXPECT_EQ(mic().starts + speaker().starts, 0);

    mic().mixFormat = fakeaudio::floatMixFormat(44100, 1);
    ASSERT_EQ(m_.OpenDevice(kMic), 0);
    ASSERT_EQ(m_.OpenDevice(kSpeaker), 0);
    EXPECT_EQ(mic().initializedFlags, 0u);
    EXPECT_EQ(speaker().initializedFlags, platform::kStreamFlagsLoopback);
    // The faster source sets the rate, the wider one the bit rate.
    EXPECT_EQ(m_.OutputSampleRate(), 48000u);
    EXPECT_EQ(m_.OutputBitRate(), 2u * 48000u * 2u);
    m_.CloseDevice(kSpeaker);
    EXPECT_FALSE(m_.speakerOn());
    EXPECT_EQ(speaker().endpointsAlive, 0);
    EXPECT_EQ(m_.OutputSampleRate(), 44100u);
    EXPECT_EQ(m_.OutputBitRate(), 2u * 44100u);
    // A failing open leaves the source off.
    speaker().initializeResult = platform::audiohr::kUnsupportedFormat;
    EXPECT_EQ(m_.OpenDevice(kSpeaker), platform::audiohr::kUnsupportedFormat);
    EXPECT_FALSE(m_.speakerOn());
    EXPECT_EQ(speaker().endpointsAlive, 0);
}

TEST_F(ManagerTest, ChunksACaptureThreadQueuesAfterTheStopBeganAreStillMixed) {
    // The capture thread takes the packet only once the stop has begun.
    bool heldUntilStop = false;
    mic().onGetBuffer = [&] {
        heldUntilStop = waitFor([&] { return m_.state() == kAudioStopping; }, 20s, "the stop");
    };
    start({kMic});
    mic().push(1024, 7);
    ASSERT_TRUE(mic().awaitQueries(mic().queries() + 1));
    EXPECT_EQ(m_.Stop(), 0);
    EXPECT_TRUE(heldUntilStop);
    EXPECT_EQ(m_.mixer()->micFed(), 1u);
    EXPECT_EQ(pullAll().size(), 1u);
}

TEST_F(ManagerTest, TwoSourcesAreMixedAndTheSilencePlayerRunsBesideTheSpeaker) {
    start({kMic, kSpeaker});
    // The silence stream plays on the render device next to the loopback capture.
    EXPECT_EQ(speaker().get(&FakeDevice::starts), 2);
    for (int i = 0; i < 3; ++i) {
        deliver(mic(), 1024, 100);
        deliver(speaker(), 1024, 300);
    }
    ASSERT_TRUE(waitFor([&] { return m_.mixer()->speakerFed() == 3; }, 20s, "three chunks"));
    ASSERT_TRUE(micFed(3));
    const auto frames = pullAll();
    ASSERT_EQ(frames.size(), 3u);
    // Sample k of either channel: mic 100 + 2k, speaker 300 + 2k, added, halved, lifted 2.5x.
    EXPECT_NEAR(sample(frames[0], 0, 10), 2.5 * (400 + 4 * 10) / 2 / 32768.0, 1e-5);
    EXPECT_EQ(m_.Stop(), 0);
    EXPECT_EQ(speaker().get(&FakeDevice::stops), 1);  // the silence stream stopped
}

TEST_F(ManagerTest, WhatComesWhilePausedIsThrownAwayAndThePauseBecomesNoSilence) {
    start({kMic});
    deliver(mic(), 1024, 1);
    ASSERT_TRUE(mic().awaitQueries(mic().queries() + 2));  // nothing more: a gap is timed
    m_.Pause();
    EXPECT_EQ(m_.state(), kAudioPaused);
    mic().push(2048, 5000);  // captured while paused
    clock_.advance(10000);   // ten seconds of pause
    m_.Resume();
    EXPECT_EQ(mic().get(&FakeDevice::packets).size(), 0u);
    ASSERT_TRUE(mic().awaitQueries(mic().queries() + 2));
    deliver(mic(), 1024, 9000);
    ASSERT_TRUE(micFed(2));
    // Stopping while paused lets the parked threads end.
    m_.Pause();
    testsupport::returnsWithin(20s, "stop while paused", [&] { EXPECT_EQ(m_.Stop(), 0); });
    EXPECT_EQ(m_.mixer()->micFed(), 2u);
    EXPECT_FALSE(m_.IsDrained());
    const auto frames = pullAll();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(m_.IsDrained());
    EXPECT_NEAR(sample(frames[1], 0, 0), 9000 / 32768.0, 1e-6);
    m_.Release();
    EXPECT_EQ(mic().endpointsAlive, 0);
}

TEST_F(ManagerTest, TheFilterKeepsTheMicrophonesChannelsApart) {
    m_.setFilterOn(true);
    m_.setWc(0.0);  // no coefficient: no filter
    ASSERT_EQ(m_.OpenDevice(kMic), 0);
    ASSERT_EQ(m_.Initialize(ctx_.get()), 0);
    EXPECT_FALSE(m_.filterOn());
    m_.Release();

    m_.setFilterOn(true);
    m_.setWc(0.1);
    start({kMic});
    ASSERT_TRUE(m_.filterOn());
    // Left: a full-scale 23 Hz square, whose steps ring past full scale; right: silence.
    fakeaudio::Packet p;
    p.frames = 2048;
    std::vector<double> left(p.frames);
    for (size_t f = 0; f < left.size(); ++f) {
        const auto s = static_cast<uint16_t>(f / 1024 % 2 ? -32767 : 32767);
        left[f] = static_cast<int16_t>(s) / 32768.0;
        p.data.insert(p.data.end(),
                      {static_cast<uint8_t>(s & 0xFF), static_cast<uint8_t>(s >> 8), 0, 0});
    }
    mic().pushPacket(p);
    ASSERT_TRUE(mic().awaitConsumed());
    ASSERT_TRUE(micFed(2));
    m_.Stop();
    const auto frames = pullAll();
    ASSERT_EQ(frames.size(), 2u);

    // The left channel's own samples through one filter, and nothing else.
    const FIRFilter::Design d = FIRFilter::ForMicrophone(48000, 0.1);
    std::vector<double> expected(left.size());
    FIRFilter(d.taps, d.cutoff)
        .Apply(left.data(), expected.data(), static_cast<int32_t>(left.size()));
    for (size_t i = 0; i < left.size(); ++i) {
        // Past full scale it saturates; wrapping round would be a loud click.
        const double want =
            std::clamp(std::trunc(expected[i] * 32768.0), -32768.0, 32767.0) / 32768.0;
        ASSERT_NEAR(sample(frames[i / 1024], 0, i % 1024), want, 1e-6) << i;
        ASSERT_EQ(sample(frames[i / 1024], 1, i % 1024), 0.0f) << i;
    }
}

}  // namespace
