// Sound stays in step with the recording clock when the devices' clocks do not: an hour of
// recording, paused for five minutes on the way, from a microphone whose clock runs 500 ppm fast
// and a loopback whose clock runs 500 ppm slow, on scripted devices and a scripted clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "AudioSignals.h"
#include "FakeAudioEndpoint.h"
#include "audio/AudioCapturer.h"
#include "audio/AudioMixer.h"

namespace {

using platform::DataFlow;

constexpr uint32_t kRate = 8000;  // low, so that an hour of sound is quick to convert
constexpr double kPerMs = kRate / 1000.0;
constexpr uint32_t kStepMs = 20;  // how often the devices deliver and the capturers poll

// One device and its capturer: what the device produced by its own clock, and what of it went
// on into chunks and into the mixer.
struct Source {
    fakeaudio::FakeDevice& device;
    AudioCapturer& capturer;
    double ppm;
    int64_t produced = 0;
    int64_t kept = 0;  // produced while recording
    int64_t fed = 0;
    double perMs() const { return kPerMs * (1 + ppm * 1e-6); }
    // The device delivers what its clock produced up to device time `ms`.
    void deliver(double ms, bool recording) {
        const auto due = static_cast<int64_t>(std::floor(ms * perMs()));
        device.push(static_cast<uint32_t>(due - produced), 0);
        kept += recording ? due - produced : 0;
        produced = due;
    }
};

TEST(SoundFollowsClock, DevicesRunning500PpmFastAndSlowStayWithin10MsOverAnHour) {
    fakeaudio::FakeFactory factory(true);
    fakeaudio::ScriptedClock clock;
    for (DataFlow flow : {DataFlow::Capture, DataFlow::Render}) {
        factory.device(flow).mixFormat = fakeaudio::floatMixFormat(kRate, 1);
    }
    AudioCapturer mic(factory, clock);
    AudioCapturer speaker(factory, clock);
    ASSERT_EQ(mic.Open(DataFlow::Capture, 0), 0);
    ASSERT_EQ(speaker.Open(DataFlow::Render, platform::kStreamFlagsLoopback), 0);
    const audiotest::CodecContextPtr codec = audiotest::openAacEncoder(kRate);
    ASSERT_TRUE(codec);
    AudioMixer mixer;
    ASSERT_EQ(mixer.Initialize(codec.get(), mic.format(), speaker.format()), 0);
    const auto chunkFrames = static_cast<uint32_t>(codec->frame_size);
    ASSERT_EQ(mic.Start(chunkFrames), 0);
    ASSERT_EQ(speaker.Start(chunkFrames), 0);
    Source sources[] = {{factory.device(DataFlow::Capture), mic, 500},
                        {factory.device(DataFlow::Render), speaker, -500}};

    // How far each source's converted sound is ahead of the recording clock, in ms: the sound
    // fed so far against the clock time at which its last frame was produced.
    double recordingMs = 0;
    auto offsetMs = [&](const Source& s, uint64_t converted) {
        const double fedUpToMs = recordingMs - static_cast<double>(s.kept - s.fed) / s.perMs();
        return static_cast<double>(converted) / kPerMs - fedUpToMs;
    };
    double worst[2] = {0, 0};
    audiotest::FramePtr frame(av_frame_alloc());
    double deviceMs = 0;
    constexpr double kHourMs = 3600000;
    constexpr double kPauseAtMs = 1800000;
    constexpr uint32_t kPauseMs = 300000;
    while (recordingMs < kHourMs) {
        if (recordingMs == kPauseAtMs) {
            // The devices run on through the pause; what they deliver meanwhile is dropped.
            for (Source& s : sources) {
                s.capturer.Pause();
            }
            clock.advance(kPauseMs);
            deviceMs += kPauseMs;
            for (Source& s : sources) {
                s.deliver(deviceMs, false);
                ASSERT_EQ(s.capturer.Flush(), 0);
                s.capturer.Resume();
            }
        }
        clock.advance(kStepMs);
        deviceMs += kStepMs;
        recordingMs += kStepMs;
        for (Source& s : sources) {
            s.deliver(deviceMs, true);
            s.capturer.Poll();
        }
        while (AudioChunk chunk = mic.TakeChunk()) {
            auto planar = Deinterleave(chunk.bytes.get(), mic.chunkBytes(), 1, 16);
            ASSERT_EQ(mixer.FeedMicrophone(planar.get(), mic.chunkBytes(), chunk.drift), 0);
            sources[0].fed += chunkFrames;
        }
        while (AudioChunk chunk = speaker.TakeChunk()) {
            auto planar = Deinterleave(chunk.bytes.get(), speaker.chunkBytes(), 1, 16);
            ASSERT_EQ(mixer.FeedSpeaker(planar.get(), speaker.chunkBytes(), chunk.drift), 0);
            sources[1].fed += chunkFrames;
        }
        while (mixer.PullFrame(frame.get()) >= 0) {
            av_frame_unref(frame.get());
        }
        // Once the clocks have been measured, neither source strays past 10 ms at any time.
        if (recordingMs > ClockDriftEstimator::kWarmUpMs) {
            worst[0] = std::max(worst[0], std::fabs(offsetMs(sources[0], mixer.micSamples())));
            worst[1] = std::max(worst[1], std::fabs(offsetMs(sources[1], mixer.speakerSamples())));
        }
    }
    EXPECT_NEAR(mic.clockRatio(), 1.0005, 5e-6);
    EXPECT_NEAR(speaker.clockRatio(), 0.9995, 5e-6);
    EXPECT_LT(std::fabs(offsetMs(sources[0], mixer.micSamples())), 10.0) << "fast microphone";
    EXPECT_LT(std::fabs(offsetMs(sources[1], mixer.speakerSamples())), 10.0) << "slow speaker";
    EXPECT_LT(worst[0], 10.0);
    EXPECT_LT(worst[1], 10.0);
}

}  // namespace
