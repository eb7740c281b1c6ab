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

// One device, its capturer and its way into the mixer: what the device produced by its own
// clock, and how much of it went on into the mixer.
struct Source {
    fakeaudio::FakeDevice& device;
    AudioCapturer& capturer;
    double ppm;
    int (AudioMixer::*feed)(const uint8_t*, int32_t, const DriftCorrection&);
    uint64_t (AudioMixer::*samples)() const;
    int64_t produced = 0;
    int64_t kept = 0;  // produced while recording
    int64_t fed = 0;
    double worstMs = 0;

    double perMs() const { return kPerMs * (1 + ppm * 1e-6); }
    // The device delivers what its clock produced up to device time `ms`.
    void deliver(double ms, bool recording) {
        const auto due = static_cast<int64_t>(ms * perMs());
        device.push(static_cast<uint32_t>(due - produced), 0);
        kept += recording ? due - produced : 0;
        produced = due;
    }
    // How far the sound in the mixer is ahead of the recording clock, in ms: against the clock
    // time at which its last frame was produced.
    double aheadMs(const AudioMixer& mixer, double recordingMs) const {
        return static_cast<double>((mixer.*samples)()) / kPerMs -
               (recordingMs - static_cast<double>(kept - fed) / perMs());
    }
};

TEST(SoundFollowsClock, DevicesRunning500PpmFastAndSlowStayWithin10MsOverAnHour) {
    fakeaudio::FakeFactory factory(true);
    fakeaudio::ScriptedClock clock;
    AudioCapturer mic(factory, clock);
    AudioCapturer speaker(factory, clock);
    Source sources[] = {{factory.device(DataFlow::Capture), mic, 500, &AudioMixer::FeedMicrophone,
                         &AudioMixer::micSamples},
                        {factory.device(DataFlow::Render), speaker, -500, &AudioMixer::FeedSpeaker,
                         &AudioMixer::speakerSamples}};
    sources[0].device.mixFormat = sources[1].device.mixFormat = fakeaudio::floatMixFormat(kRate, 1);
    ASSERT_EQ(mic.Open(DataFlow::Capture, 0), 0);
    ASSERT_EQ(speaker.Open(DataFlow::Render, platform::kStreamFlagsLoopback), 0);
    const audiotest::CodecContextPtr codec = audiotest::openAacEncoder(kRate);
    ASSERT_TRUE(codec);
    AudioMixer mixer;
    ASSERT_EQ(mixer.Initialize(codec.get(), mic.format(), speaker.format()), 0);
    for (Source& s : sources) {
        ASSERT_EQ(s.capturer.Start(static_cast<uint32_t>(codec->frame_size)), 0);
    }

    audiotest::FramePtr frame(av_frame_alloc());
    double deviceMs = 0;
    for (double recordingMs = 20; recordingMs <= 3600000; recordingMs += 20) {
        if (recordingMs == 1800000) {
            // Five minutes of pause; what the devices deliver meanwhile is dropped.
            for (Source& s : sources) {
                s.capturer.Pause();
            }
            clock.advance(300000);
            deviceMs += 300000;
            for (Source& s : sources) {
                s.deliver(deviceMs, false);
                ASSERT_EQ(s.capturer.Flush(), 0);
                s.capturer.Resume();
            }
        }
        clock.advance(20);
        deviceMs += 20;
        for (Source& s : sources) {
            s.deliver(deviceMs, true);
            s.capturer.Poll();
            const int32_t bytes = s.capturer.chunkBytes();
            while (AudioChunk chunk = s.capturer.TakeChunk()) {
                auto planar = Deinterleave(chunk.bytes.get(), bytes, 1, 16);
                ASSERT_EQ((mixer.*s.feed)(planar.get(), bytes, chunk.drift), 0);
                s.fed += codec->frame_size;
            }
            // Once the clocks are measured, no source strays past 10 ms at any time.
            if (recordingMs > ClockDriftEstimator::kWarmUpMs) {
                s.worstMs = std::max(s.worstMs, std::fabs(s.aheadMs(mixer, recordingMs)));
            }
        }
        while (mixer.PullFrame(frame.get()) >= 0) {
            av_frame_unref(frame.get());
        }
    }
    EXPECT_LT(sources[0].worstMs, 10.0) << "the fast microphone";
    EXPECT_LT(sources[1].worstMs, 10.0) << "the slow loopback";
}

}  // namespace
