#include "audio/AudioManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "AudioTestHelpers.h"
#include "ChildProcess.h"
#include "FakeAudioEndpoint.h"
#include "base/Log.h"

namespace {

using fakeaudio::FakeDevice;
using platform::DataFlow;
using std::chrono::seconds;

constexpr int32_t kMic = AudioManager::kMicrophone;
constexpr int32_t kSpeaker = AudioManager::kSpeaker;

// Waits for a condition the worker threads bring about and that raises no event of its own
// (the mixer's counters); checked often, bounded so a fault fails instead of hanging.
bool eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

class ManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctx_ = audiotest::openAacEncoder(48000);
        ASSERT_TRUE(ctx_);
        EnableLog(dir_.file("trace.log"));
    }
    void TearDown() override { DisableLog(); }
    std::string log() const { return testsupport::readFile(dir_.file("trace.log")); }

    FakeDevice& mic() { return factory_.device(DataFlow::Capture); }
    FakeDevice& speaker() { return factory_.device(DataFlow::Render); }

    // Pushes a packet and waits until the capture thread has queued its chunks.
    static void deliver(FakeDevice& d, uint32_t frames, int16_t first) {
        d.pushCounting(frames, first);
        ASSERT_TRUE(d.awaitConsumed(seconds(20)));
    }

    std::vector<audiotest::FramePtr> pullAll(AudioManager& m) {
        std::vector<audiotest::FramePtr> frames;
        for (;;) {
            audiotest::FramePtr f(av_frame_alloc());
            if (m.PullFrame(f.get()) < 0) {
                return frames;
            }
            frames.push_back(std::move(f));
        }
    }

    testsupport::TempDir dir_;
    fakeaudio::FakeFactory factory_{true};
    fakeaudio::ScriptedClock clock_;
    audiotest::CodecContextPtr ctx_;
};

TEST_F(ManagerTest, WithNothingOpenThereIsNothingToRecord) {
    AudioManager m(factory_, clock_);
    EXPECT_EQ(m.Initialize(ctx_.get()), 1);
    EXPECT_EQ(m.Start(), 1);
    EXPECT_EQ(m.mixer(), nullptr);
    EXPECT_TRUE(m.IsDrained());
    EXPECT_EQ(m.OutputSampleRate(), 48000u);
    EXPECT_EQ(m.OutputBitRate(), 192000u);
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_EQ(mic().get(&FakeDevice::starts) + speaker().get(&FakeDevice::starts), 0);
    EXPECT_EQ(log().find("Start audio manager"), std::string::npos);
}

TEST_F(ManagerTest, OpeningClosingAndReopeningSources) {
    AudioManager m(factory_, clock_);
    EXPECT_EQ(m.OpenDevice(7), 0);  // no such kind: nothing happens
    EXPECT_FALSE(m.microphoneOn() || m.speakerOn());

    mic().mixFormat = fakeaudio::floatMixFormat(44100, 1);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    EXPECT_EQ(mic().initializedFlags, 0u);
    ASSERT_EQ(m.OpenDevice(kSpeaker), 0);
    EXPECT_EQ(speaker().initializedFlags, platform::kStreamFlagsLoopback);
    EXPECT_TRUE(m.microphoneOn() && m.speakerOn());
    // The faster source sets the rate, the wider one the bit rate.
    EXPECT_EQ(m.OutputSampleRate(), 48000u);
    EXPECT_EQ(m.OutputBitRate(), 2u * 48000u * 2u);

    m.CloseDevice(kSpeaker);
    EXPECT_FALSE(m.speakerOn());
    EXPECT_EQ(speaker().get(&FakeDevice::endpointsAlive), 0);
    EXPECT_EQ(m.OutputSampleRate(), 44100u);
    EXPECT_EQ(m.OutputBitRate(), 2u * 44100u);
    // Opening an open source again reopens it.
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    EXPECT_EQ(mic().get(&FakeDevice::endpointsAlive), 1);

    const std::string text = log();
    for (const char* line :
         {"[AudioManager]", "Try to open default microphone device",
          "Succeed open default microphone device", "Try to open default speaker device",
          "Succeed open default speaker device"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    // A failing open leaves the source off and says so for the speaker.
    speaker().set(&FakeDevice::initializeResult, platform::audiohr::kUnsupportedFormat);
    EXPECT_EQ(m.OpenDevice(kSpeaker), platform::audiohr::kUnsupportedFormat);
    EXPECT_FALSE(m.speakerOn());
    EXPECT_EQ(speaker().get(&FakeDevice::endpointsAlive), 0);
    EXPECT_NE(log().find("Failed open default speaker device"), std::string::npos);
    speaker().set(&FakeDevice::initializeResult, 0);
    EXPECT_EQ(m.OpenDevice(kSpeaker), 0);
}

TEST_F(ManagerTest, AFilterWithoutCoefficientIsSwitchedOffAtInitialize) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    m.setFilterOn(true);
    m.setWc(0.0);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    EXPECT_FALSE(m.filterOn());
    EXPECT_EQ(m.framesPerChunk(), static_cast<uint32_t>(ctx_->frame_size));
    EXPECT_EQ(m.state(), kAudioInitialized);
    const std::string text = log();
    size_t at = 0;
    for (const char* line :
         {"=================== Initialize audio manager ==========================",
          "Initialize audio mixer", "Succeed Initialize audio mixer",
          "=================== Succeed Initialize audio manager =========================="}) {
        at = text.find(line, at);
        ASSERT_NE(at, std::string::npos) << line;
    }
}

TEST_F(ManagerTest, OneSourceIsRecordedChunkByChunkAndDrainedOnStop) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    ASSERT_EQ(m.Start(), 0);
    EXPECT_EQ(m.state(), kAudioRunning);
    for (int i = 0; i < 5; ++i) {
        deliver(mic(), 1024, static_cast<int16_t>(i * 2048));
    }
    EXPECT_EQ(m.Stop(), 0);
    // Every chunk captured went into the mixer before its thread ended.
    EXPECT_EQ(m.mixer()->micFed(), 5u);
    EXPECT_FALSE(m.IsDrained());
    const auto frames = pullAll(m);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_TRUE(m.IsDrained());
    // The counting samples arrive in order: frame 1 starts with sample 2048 of the stream.
    EXPECT_NEAR(reinterpret_cast<const float*>(frames[1]->extended_data[0])[0], 2048 / 32768.0,
                1e-6);
    m.Release();
    EXPECT_FALSE(m.microphoneOn());
    EXPECT_EQ(mic().get(&FakeDevice::endpointsAlive), 0);
}

TEST_F(ManagerTest, ChunksACaptureThreadQueuesAfterTheStopAreStillMixed) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    // The capture thread takes the packet only once the stop has begun, so its chunk is queued
    // while the mixer thread already knows of the stop.
    bool heldUntilStop = false;
    mic().onGetBuffer = [&] {
        heldUntilStop = eventually([&] { return m.state() == kAudioStopping; });
    };
    ASSERT_EQ(m.Start(), 0);
    mic().pushCounting(1024, 7);
    ASSERT_TRUE(mic().awaitQueries(mic().queries() + 1, seconds(20)));
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_TRUE(heldUntilStop);
    EXPECT_EQ(m.mixer()->micFed(), 1u);
    EXPECT_EQ(pullAll(m).size(), 1u);
}

TEST_F(ManagerTest, TwoSourcesAreMixedAndTheSilencePlayerRunsWithTheSpeaker) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    ASSERT_EQ(m.OpenDevice(kSpeaker), 0);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    ASSERT_EQ(m.Start(), 0);
    // The silence stream plays on the render device next to the loopback capture.
    EXPECT_EQ(speaker().get(&FakeDevice::starts), 2);
    EXPECT_NE(log().find("Succeed on start silence speaker"), std::string::npos);

    for (int i = 0; i < 3; ++i) {
        deliver(mic(), 1024, 100);
        deliver(speaker(), 1024, 300);
    }
    ASSERT_TRUE(
        eventually([&] { return m.mixer()->micFed() == 3 && m.mixer()->speakerFed() == 3; }));
    const auto frames = pullAll(m);
    ASSERT_EQ(frames.size(), 3u);
    // Sample k of either stereo channel: mic 100 + k / 2, speaker 300 + k / 2, added, halved
    // and lifted 2.5 times.
    const auto* left = reinterpret_cast<const float*>(frames[0]->extended_data[0]);
    for (int k = 0; k < 1024; ++k) {
        const double micSample = 100 + 2 * k;
        const double speakerSample = 300 + 2 * k;
        ASSERT_NEAR(left[k], 2.5 * (micSample + speakerSample) / 2 / 32768.0, 1e-5) << k;
    }
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_EQ(speaker().get(&FakeDevice::stops), 1);  // the silence stream stopped
    EXPECT_TRUE(m.IsDrained());
}

TEST_F(ManagerTest, PauseAndResumeThrowAwayWhatCameMeanwhileAndInsertNoSilence) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    ASSERT_EQ(m.Start(), 0);
    deliver(mic(), 1024, 1);
    // No packets for a while: a gap is being timed.
    const uint64_t q = mic().queries();
    ASSERT_TRUE(mic().awaitQueries(q + 2, seconds(20)));
    m.Pause();
    EXPECT_EQ(m.state(), kAudioPaused);
    mic().pushCounting(2048, 5000);  // captured while paused
    clock_.advance(10000);           // ten seconds of pause
    m.Resume();
    EXPECT_EQ(mic().pendingPackets(), 0u);  // thrown away before the thread went on
    // The thread polls again, finding nothing: no silence for the pause.
    const uint64_t after = mic().queries();
    ASSERT_TRUE(mic().awaitQueries(after + 2, seconds(20)));
    deliver(mic(), 1024, 9000);
    ASSERT_TRUE(eventually([&] { return m.mixer()->micFed() >= 2; }));
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_EQ(m.mixer()->micFed(), 2u);
    const auto frames = pullAll(m);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_NEAR(reinterpret_cast<const float*>(frames[1]->extended_data[0])[0], 9000 / 32768.0,
                1e-6);
}

TEST_F(ManagerTest, StopWhilePausedDoesNotHang) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kSpeaker), 0);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    ASSERT_EQ(m.Start(), 0);
    m.Pause();
    EXPECT_EQ(m.Stop(), 0);
    EXPECT_EQ(m.state(), kAudioStopping);
}

TEST_F(ManagerTest, FilteredMicrophoneKeepsItsChannelsApart) {
    AudioManager m(factory_, clock_);
    ASSERT_EQ(m.OpenDevice(kMic), 0);
    m.setFilterOn(true);
    m.setWc(0.4);
    ASSERT_EQ(m.Initialize(ctx_.get()), 0);
    ASSERT_TRUE(m.filterOn());
    ASSERT_EQ(m.Start(), 0);
    // Left: a 200 Hz tone; right: silence.
    std::vector<uint8_t> bytes = audiotest::sine16(2048, 2, 200, 48000, 0.5);
    for (size_t i = 2; i < bytes.size(); i += 4) {
        bytes[i] = 0;
        bytes[i + 1] = 0;
    }
    fakeaudio::Packet p;
    p.frames = 2048;
    p.data = bytes;
    mic().pushPacket(p);
    ASSERT_TRUE(mic().awaitConsumed(seconds(20)));
    ASSERT_TRUE(eventually([&] { return m.mixer()->micFed() == 2; }));
    m.Stop();
    const auto frames = pullAll(m);
    ASSERT_EQ(frames.size(), 2u);

    // What the left channel should be: its own samples through the filter, nothing else.
    const FIRFilter::Design d = FIRFilter::ForMicrophone(48000, 0.4);
    FIRFilter reference(d.taps, d.cutoff);
    std::vector<double> in(2048);
    for (size_t f = 0; f < in.size(); ++f) {
        in[f] = static_cast<int16_t>(bytes[4 * f] | (bytes[4 * f + 1] << 8)) / 32768.0;
    }
    std::vector<double> expected(in.size());
    reference.Apply(in.data(), expected.data(), static_cast<int32_t>(in.size()));
    double peak = 0;
    for (size_t i = 0; i < 2048; ++i) {
        const AVFrame* fr = frames[i / 1024].get();
        const float l = reinterpret_cast<const float*>(fr->extended_data[0])[i % 1024];
        const float r = reinterpret_cast<const float*>(fr->extended_data[1])[i % 1024];
        ASSERT_EQ(r, 0.0f) << i;  // nothing of the left bleeds into the right
        ASSERT_NEAR(l, std::trunc(expected[i] * 32768.0) / 32768.0, 1e-6) << i;
        peak = std::max(peak, std::fabs(static_cast<double>(l)));
    }
    EXPECT_GT(peak, 0.2);
}

TEST_F(ManagerTest, ASourceThatFailsToStartIsDroppedAndAFailedSilencePlayerIsNot) {
    {
        AudioManager m(factory_, clock_);
        ASSERT_EQ(m.OpenDevice(kMic), 0);
        ASSERT_EQ(m.Initialize(ctx_.get()), 0);
        mic().set(&FakeDevice::startResult, platform::audiohr::kDeviceInvalidated);
        EXPECT_EQ(m.Start(), platform::audiohr::kFail);
        EXPECT_FALSE(m.microphoneOn());
        EXPECT_EQ(m.microphoneFormat(), nullptr);
        EXPECT_EQ(m.Stop(), 0);
        mic().set(&FakeDevice::startResult, 0);
    }
    {
        AudioManager m(factory_, clock_);
        ASSERT_EQ(m.OpenDevice(kSpeaker), 0);
        ASSERT_EQ(m.Initialize(ctx_.get()), 0);
        speaker().set(&FakeDevice::startResult, platform::audiohr::kDeviceInvalidated);
        EXPECT_EQ(m.Start(), platform::audiohr::kFail);
        EXPECT_FALSE(m.speakerOn());
        EXPECT_NE(log().find("Exception on start capture speaker"), std::string::npos);
        EXPECT_EQ(m.Stop(), 0);
        speaker().set(&FakeDevice::startResult, 0);
    }
    {
        // The render stream refuses its pre-fill: the speaker is recorded without silence.
        AudioManager m(factory_, clock_);
        ASSERT_EQ(m.OpenDevice(kSpeaker), 0);
        ASSERT_EQ(m.Initialize(ctx_.get()), 0);
        speaker().set(&FakeDevice::renderResult, platform::audiohr::kDeviceInvalidated);
        testing::internal::CaptureStdout();
        EXPECT_EQ(m.Start(), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_NE(log().find("Exception on start silence thread"), std::string::npos);
        deliver(speaker(), 1024, 1);
        ASSERT_TRUE(eventually([&] { return m.mixer()->speakerFed() == 1; }));
        EXPECT_EQ(m.Stop(), 0);
    }
}

}  // namespace
