#include "audio/AudioCapturer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FakeAudioEndpoint.h"
#include "base/Log.h"

namespace {

using fakeaudio::FakeFactory;
using fakeaudio::ScriptedClock;
using platform::DataFlow;

constexpr uint32_t kFrames = 1024;

class CapturerTest : public ::testing::Test {
  protected:
    void SetUp() override { EnableLog(dir_.file("trace.log")); }
    void TearDown() override { DisableLog(); }

    std::string log() const { return testsupport::readFile(dir_.file("trace.log")); }

    // Opens a loopback capturer on the fake device and starts it.
    void openAndStart(AudioCapturer& c, uint32_t frames = kFrames) {
        ASSERT_EQ(c.Open(DataFlow::Render, platform::kStreamFlagsLoopback), 0);
        ASSERT_EQ(c.Start(frames), 0);
    }

    // Every queued chunk, concatenated.
    static std::vector<uint8_t> drain(AudioCapturer& c) {
        std::vector<uint8_t> out;
        while (AudioChunk chunk = c.TakeChunk()) {
            out.insert(out.end(), chunk.get(), chunk.get() + c.chunkBytes());
        }
        return out;
    }

    static int16_t sampleAt(const std::vector<uint8_t>& bytes, size_t index) {
        return static_cast<int16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
    }

    testsupport::TempDir dir_;
    FakeFactory factory_;
    ScriptedClock clock_;
};

TEST_F(CapturerTest, FloatMixFormatsBecome16BitPcmOthersPassUnchanged) {
    struct Case {
        const char* name;
        WaveFormat mix;
        WaveFormat expected;
    };
    WaveFormat extFloat = fakeaudio::floatMixFormat(44100, 6);
    extFloat.channelMask = 0x3F;
    WaveFormat extFloatExpected = extFloat;
    extFloatExpected.bitsPerSample = 16;
    extFloatExpected.validBitsPerSample = 16;
    extFloatExpected.blockAlign = 12;
    extFloatExpected.avgBytesPerSec = 44100 * 12;
    extFloatExpected.subFormat = WaveFormat::SubFormat::Pcm;

    const WaveFormat plainFloat = fakeaudio::floatMixFormat(48000, 2, false);
    WaveFormat plainFloatExpected = fakeaudio::pcm16Format(48000, 2);

    const WaveFormat pcm16 = fakeaudio::pcm16Format(32000, 1);

    WaveFormat ext24 = fakeaudio::floatMixFormat(48000, 2);
    ext24.subFormat = WaveFormat::SubFormat::Pcm;
    ext24.bitsPerSample = 32;
    ext24.validBitsPerSample = 24;

    const Case cases[] = {{"extensible float", extFloat, extFloatExpected},
                          {"plain float", plainFloat, plainFloatExpected},
                          {"16-bit pcm", pcm16, pcm16},
                          {"extensible pcm", ext24, ext24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFactory factory;
        factory.setMixFormat(c.mix);
        AudioCapturer capturer(factory, clock_);
        ASSERT_EQ(capturer.Open(DataFlow::Capture, 0), 0);
        const WaveFormat& got = factory.device().initializedFormat;
        EXPECT_EQ(got.formatTag, c.expected.formatTag);
        EXPECT_EQ(got.channels, c.expected.channels);
        EXPECT_EQ(got.samplesPerSec, c.expected.samplesPerSec);
        EXPECT_EQ(got.avgBytesPerSec, c.expected.avgBytesPerSec);
        EXPECT_EQ(got.blockAlign, c.expected.blockAlign);
        EXPECT_EQ(got.bitsPerSample, c.expected.bitsPerSample);
        EXPECT_EQ(got.validBitsPerSample, c.expected.validBitsPerSample);
        EXPECT_EQ(got.channelMask, c.expected.channelMask);
        EXPECT_EQ(got.subFormat, c.expected.subFormat);
        // What the capturer reports is what the stream was made with.
        EXPECT_EQ(capturer.format()->bitsPerSample, got.bitsPerSample);
    }
}

TEST_F(CapturerTest, OpenPassesFlowAndFlagsAndEachFailingStepLogsItsText) {
    {
        AudioCapturer capturer(factory_, clock_);
        ASSERT_EQ(capturer.Open(DataFlow::Render, platform::kStreamFlagsLoopback), 0);
        EXPECT_EQ(factory_.device().openedFlow, DataFlow::Render);
        EXPECT_EQ(factory_.device().initializedFlags, platform::kStreamFlagsLoopback);
    }
    const std::pair<int32_t fakeaudio::FakeDevice::*, const char*> steps[] = {
        {&fakeaudio::FakeDevice::createEnumeratorResult, "Can't create IMMDeviceEnumerator\n"},
        {&fakeaudio::FakeDevice::defaultEndpointResult, "Can't get audio end point\n"},
        {&fakeaudio::FakeDevice::activateResult, "Can't activate audio client\n"},
        {&fakeaudio::FakeDevice::mixFormatResult, "Can't get mix format\n"},
        {&fakeaudio::FakeDevice::initializeResult, "Can't initialize specific format\n"},
        {&fakeaudio::FakeDevice::serviceResult, "Can't get capture client\n"},
    };
    int32_t code = static_cast<int32_t>(0x88890100);
    for (const auto& [field, text] : steps) {
        SCOPED_TRACE(text);
        DisableLog();
        testsupport::TempDir dir;
        EnableLog(dir.file("trace.log"));
        FakeFactory factory;
        factory.device().*field = ++code;
        AudioCapturer capturer(factory, clock_);
        EXPECT_EQ(capturer.Open(DataFlow::Capture, 0), code);
        const std::string written = testsupport::readFile(dir.file("trace.log"));
        EXPECT_NE(written.find(std::string("[AudioCapturer]")), std::string::npos);
        EXPECT_NE(written.find(text), std::string::npos) << written;
        EXPECT_EQ(capturer.Release(), 0);
        EXPECT_EQ(capturer.format(), nullptr);
        EXPECT_EQ(factory.device().endpointsAlive, 0);
    }
}

TEST_F(CapturerTest, ChunkSizeFollowsFormatAndOnePacketCanFillSeveralChunks) {
    AudioCapturer capturer(factory_, clock_);
    openAndStart(capturer);
    ASSERT_EQ(capturer.chunkBytes(), 16 * 2 * 1024 / 8);
    // 2.5 chunks in one packet: two queued, half a chunk left in the current one.
    factory_.device().pushCounting(kFrames * 5 / 2, 1);
    capturer.Poll();
    std::vector<uint8_t> got = drain(capturer);
    ASSERT_EQ(got.size(), 2u * capturer.chunkBytes());
    for (size_t i = 0; i < got.size() / 2; ++i) {
        ASSERT_EQ(sampleAt(got, i), static_cast<int16_t>(1 + i)) << i;
    }
    // The rest continues the sequence once the next packet completes the chunk.
    factory_.device().pushCounting(kFrames / 2,
                                   static_cast<int16_t>(1 + 2 * 2 * kFrames + kFrames));
    capturer.Poll();
    got = drain(capturer);
    ASSERT_EQ(got.size(), static_cast<size_t>(capturer.chunkBytes()));
    for (size_t i = 0; i < got.size() / 2; ++i) {
        ASSERT_EQ(sampleAt(got, i), static_cast<int16_t>(1 + 2 * 2 * kFrames + i)) << i;
    }
    EXPECT_TRUE(capturer.IsEmpty());
}

TEST_F(CapturerTest, QueuedChunksCountsWholeChunksUntilTakenOrReleased) {
    AudioCapturer capturer(factory_, clock_);
    EXPECT_EQ(capturer.QueuedChunks(), 0u);
    openAndStart(capturer);
    // A part chunk is still being filled and does not count.
    factory_.device().pushCounting(kFrames * 7 / 2, 1);
    capturer.Poll();
    EXPECT_EQ(capturer.QueuedChunks(), 3u);
    ASSERT_TRUE(capturer.TakeChunk());
    EXPECT_EQ(capturer.QueuedChunks(), 2u);
    factory_.device().pushCounting(kFrames / 2, 1);
    capturer.Poll();
    EXPECT_EQ(capturer.QueuedChunks(), 3u);
    EXPECT_EQ(capturer.Release(), 0);
    EXPECT_EQ(capturer.QueuedChunks(), 0u);
}

TEST_F(CapturerTest, SilentPacketYieldsZerosOfItsFullLength) {
    AudioCapturer capturer(factory_, clock_);
    openAndStart(capturer);
    factory_.device().pushCounting(100, 1);
    factory_.device().pushSilent(kFrames);  // its buffer holds garbage
    factory_.device().pushCounting(kFrames - 100, 7000);
    capturer.Poll();
    const std::vector<uint8_t> got = drain(capturer);
    ASSERT_EQ(got.size(), 2u * capturer.chunkBytes());
    EXPECT_EQ(sampleAt(got, 199), 200);
    for (size_t i = 200; i < 200 + 2 * kFrames; ++i) {
        ASSERT_EQ(sampleAt(got, i), 0) << i;
    }
    EXPECT_EQ(sampleAt(got, 200 + 2 * kFrames), 7000);
}

// The first sample index holding the value, or -1.
long firstIndexOf(const std::vector<uint8_t>& bytes, int16_t value) {
    for (size_t i = 0; 2 * i + 1 < bytes.size(); ++i) {
        if (static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)) == value) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

TEST_F(CapturerTest, GapOfThirtyChunksBecomesAlittleOverTwentyFiveChunksOfSilence) {
    AudioCapturer capturer(factory_, clock_);
    openAndStart(capturer);
    const int32_t chunkBytes = capturer.chunkBytes();
    const uint32_t chunkMs = kFrames * 1000 / 48000;  // whole milliseconds

    // Packets keep arriving: no gap is timed.
    for (int i = 0; i < 4; ++i) {
        factory_.device().pushCounting(kFrames / 4, 1);
        capturer.Poll();
        EXPECT_EQ(capturer.silenceSince(), -1);
        clock_.advance(5);
    }
    ASSERT_EQ(drain(capturer).size(), static_cast<size_t>(chunkBytes));

    // Nothing for 30 chunk durations, polled every 5 ms as the capture thread does.
    capturer.Poll();
    const uint32_t gapStart = clock_.nowMs();
    ASSERT_EQ(capturer.silenceSince(), static_cast<int64_t>(gapStart));
    uint32_t filledAt = 0;
    while (clock_.nowMs() - gapStart < 30 * chunkMs) {
        clock_.advance(5);
        capturer.Poll();
        if (filledAt == 0 && !capturer.IsEmpty()) {
            filledAt = clock_.nowMs();
            // Timing restarts at once.
            EXPECT_EQ(capturer.silenceSince(), static_cast<int64_t>(filledAt));
        }
    }
    ASSERT_NE(filledAt, 0u);
    const uint32_t elapsed = filledAt - gapStart;
    EXPECT_GT(elapsed * 1.0 / chunkMs, 25.0);
    EXPECT_LE((elapsed - 5) * 1.0 / chunkMs, 25.0);  // the first poll past the threshold

    // Then data: it follows the silence directly.
    factory_.device().pushCounting(2 * kFrames, 1);
    capturer.Poll();
    EXPECT_EQ(capturer.silenceSince(), -1);
    const std::vector<uint8_t> got = drain(capturer);
    const long dataAt = firstIndexOf(got, 1);
    ASSERT_GE(dataAt, 0);
    const int64_t silenceBytes = 2 * dataAt;
    const double chunks = static_cast<double>(silenceBytes) / chunkBytes;
    EXPECT_GT(chunks, 25.0);
    EXPECT_LT(chunks, 26.0);
    EXPECT_EQ(silenceBytes % 2, 0);
    // Whole frames: the left sample still lands in the left slot.
    EXPECT_EQ(silenceBytes % 4, 0);
    const auto expected = static_cast<int64_t>(std::floor(chunkBytes * (elapsed * 1.0 / chunkMs)));
    EXPECT_EQ(silenceBytes, expected - expected % 4);
    for (long i = 0; i < dataAt; ++i) {
        ASSERT_EQ(sampleAt(got, static_cast<size_t>(i)), 0);
    }
}

// The thread did not get to poll for 30 chunk durations (a busy machine) while the device went
// on delivering: the waiting data covers that time, so no silence goes in front of it.
TEST_F(CapturerTest, DataWaitingAfterAStarvedThreadIsNotPrecededBySilence) {
    AudioCapturer capturer(factory_, clock_);
    openAndStart(capturer);
    const uint32_t chunkMs = kFrames * 1000 / 48000;
    capturer.Poll();  // nothing yet: timing starts
    ASSERT_GE(capturer.silenceSince(), 0);
    clock_.advance(30 * chunkMs);
    factory_.device().pushCounting(30 * kFrames, 1);  // what the device delivered meanwhile
    capturer.Poll();
    const std::vector<uint8_t> got = drain(capturer);
    ASSERT_EQ(got.size(), static_cast<size_t>(30 * capturer.chunkBytes()));
    EXPECT_EQ(sampleAt(got, 0), 1);
    EXPECT_EQ(capturer.silenceSince(), -1);
}

TEST_F(CapturerTest, GapOfTwentyChunksIsDroppedFromTheTimeline) {
    AudioCapturer capturer(factory_, clock_);
    openAndStart(capturer);
    const uint32_t chunkMs = kFrames * 1000 / 48000;
    capturer.Poll();
    for (uint32_t t = 0; t < 20 * chunkMs; t += 5) {
        clock_.advance(5);
        capturer.Poll();
        ASSERT_TRUE(capturer.IsEmpty());
    }
    factory_.device().pushCounting(kFrames, 1);
    capturer.Poll();
    const std::vector<uint8_t> got = drain(capturer);
    ASSERT_EQ(got.size(), static_cast<size_t>(capturer.chunkBytes()));
    EXPECT_EQ(sampleAt(got, 0), 1);
    EXPECT_EQ(capturer.silenceSince(), -1);
}

TEST_F(CapturerTest, GapThresholdUsesWholeMillisecondChunksAndSurvivesClockWrap) {
    // 1024 frames at 44100 Hz last 23.2 ms, counted as 23: the threshold is 25 * 23 = 575 ms.
    factory_.setMixFormat(fakeaudio::floatMixFormat(44100, 2));
    AudioCapturer capturer(factory_, clock_);
    clock_.set(0xFFFFFFFFu - 300);  // the gap spans the wrap of the millisecond clock
    openAndStart(capturer);
    capturer.Poll();
    clock_.advance(575);
    capturer.Poll();
    EXPECT_TRUE(capturer.IsEmpty());
    clock_.advance(1);
    capturer.Poll();
    EXPECT_FALSE(capturer.IsEmpty());
}

TEST_F(CapturerTest, FlushThrowsPendingPacketsAwayAndFailingGetBufferEndsPollAndFlush) {
    AudioCapturer capturer(factory_, clock_);
    EXPECT_EQ(capturer.Flush(), 0);  // nothing open
    openAndStart(capturer);
    factory_.device().pushCounting(3 * kFrames, 1);
    factory_.device().pushCounting(kFrames, 1);
    EXPECT_EQ(capturer.Flush(), 0);
    EXPECT_EQ(factory_.device().pendingPackets(), 0u);
    capturer.Poll();
    EXPECT_TRUE(capturer.IsEmpty());

    factory_.device().pushCounting(2 * kFrames, 1);
    factory_.device().getBufferResult = static_cast<int32_t>(0x88890004);
    capturer.Poll();  // leaves the packet where it is
    EXPECT_TRUE(capturer.IsEmpty());
    EXPECT_EQ(capturer.Flush(), static_cast<int32_t>(0x88890004));
    factory_.device().getBufferResult = 0;
    capturer.Poll();  // the next poll starts again
    EXPECT_EQ(drain(capturer).size(), 2u * capturer.chunkBytes());
}

TEST_F(CapturerTest, ReleaseStopsFreesAndTheCapturerCanBeOpenedAgain) {
    AudioCapturer capturer(factory_, clock_);
    EXPECT_EQ(capturer.Release(), 0);  // nothing open yet
    openAndStart(capturer);
    factory_.device().pushCounting(kFrames * 2, 1);
    capturer.Poll();
    factory_.device().stopResult = static_cast<int32_t>(0x88890004);
    EXPECT_EQ(capturer.Release(), static_cast<int32_t>(0x88890004));
    EXPECT_EQ(factory_.device().stops, 1);
    EXPECT_EQ(factory_.device().endpointsAlive, 0);
    EXPECT_EQ(capturer.format(), nullptr);
    EXPECT_TRUE(capturer.IsEmpty());  // the old stream's chunks are gone
    capturer.Poll();                  // harmless when released

    factory_.device().stopResult = 0;
    openAndStart(capturer);
    factory_.device().pushCounting(kFrames, 5);
    capturer.Poll();
    const std::vector<uint8_t> got = drain(capturer);
    ASSERT_EQ(got.size(), static_cast<size_t>(capturer.chunkBytes()));
    EXPECT_EQ(sampleAt(got, 0), 5);
}

TEST(Deinterleave, StereoAndWiderSamplesBecomePlanar) {
    // L0 R0 L1 R1 in 16 bits gives L0 L1 R0 R1.
    const uint8_t stereo[] = {0x10, 0x11, 0x20, 0x21, 0x12, 0x13, 0x22, 0x23};
    auto planar = Deinterleave(stereo, 8, 2, 16);
    const uint8_t expected[] = {0x10, 0x11, 0x12, 0x13, 0x20, 0x21, 0x22, 0x23};
    EXPECT_TRUE(std::equal(expected, expected + 8, planar.get()));

    // Three channels of 32-bit samples, two frames.
    std::vector<uint8_t> wide(24);
    for (size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<uint8_t>(i);
    }
    planar = Deinterleave(wide.data(), 24, 3, 32);
    // channel c, frame f came from bytes (f * 3 + c) * 4 ...
    for (int c = 0; c < 3; ++c) {
        for (int f = 0; f < 2; ++f) {
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(planar[c * 8 + f * 4 + k], (f * 3 + c) * 4 + k);
            }
        }
    }
}

TEST(Deinterleave, PartialFramesAndDegenerateWidthsStayInsideTheBuffers) {
    // Three bytes past the last whole stereo frame: never read or written out of bounds
    // (the sanitizer build checks), and the whole frames are still split correctly.
    const uint8_t odd[] = {1, 2, 3, 4, 5, 6, 7};
    auto planar = Deinterleave(odd, 7, 2, 16);
    EXPECT_EQ(planar[0], 1);
    EXPECT_EQ(planar[1], 2);
    EXPECT_EQ(planar[3], 3);
    EXPECT_EQ(planar[4], 4);
    // Widths below a byte and zero channels have no layout: zeros, and no endless loop.
    const auto zeros = Deinterleave(odd, 7, 2, 4);
    EXPECT_EQ(zeros[0], 0);
    const auto none = Deinterleave(odd, 7, 0, 16);
    EXPECT_EQ(none[6], 0);
}

}  // namespace
