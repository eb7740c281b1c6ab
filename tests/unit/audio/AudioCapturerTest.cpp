// The capturer over a scripted endpoint: the format it asks for, how packets become chunks,
// how a gap in the stream becomes silence (or does not), and splitting channels into planes.
#include "audio/AudioCapturer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "FakeAudioEndpoint.h"

namespace {

using fakeaudio::FakeFactory;
using platform::DataFlow;

constexpr uint32_t kFrames = 1024;  // per chunk

class CapturerTest : public ::testing::Test {
protected:
    void openAndStart() {
        ASSERT_EQ(capturer_.Open(DataFlow::Render, platform::kStreamFlagsLoopback), 0);
        ASSERT_EQ(capturer_.Start(kFrames), 0);
    }
    // Every queued chunk as 16-bit samples, concatenated.
    std::vector<int16_t> drain() {
        std::vector<int16_t> out;
        while (AudioChunk chunk = capturer_.TakeChunk()) {
            const auto* s = reinterpret_cast<const int16_t*>(chunk.bytes.get());
            out.insert(out.end(), s, s + capturer_.chunkBytes() / 2);
        }
        return out;
    }
    fakeaudio::FakeDevice& device() { return factory_.device(); }

    FakeFactory factory_;
    fakeaudio::ScriptedClock clock_;
    AudioCapturer capturer_{factory_, clock_};
};

TEST(AdjustMixFormat, FloatMixFormatsBecome16BitPcmAndOthersPassUnchanged) {
    auto fields = [](const WaveFormat& f) {
        return std::make_tuple(f.formatTag, f.channels, f.samplesPerSec, f.avgBytesPerSec,
                               f.blockAlign, f.bitsPerSample, f.validBitsPerSample, f.channelMask,
                               f.subFormat);
    };
    WaveFormat sixPcm = audiotest::floatMixFormat(44100, 6);
    sixPcm.bitsPerSample = sixPcm.validBitsPerSample = 16;
    sixPcm.blockAlign = 12;
    sixPcm.avgBytesPerSec = 44100 * 12;
    sixPcm.subFormat = WaveFormat::SubFormat::Pcm;
    const std::pair<WaveFormat, WaveFormat> cases[] = {
        {audiotest::floatMixFormat(44100, 6), sixPcm},
        {audiotest::floatMixFormat(48000, 2, false), audiotest::pcm16Format(48000, 2)},
        {audiotest::pcm16Format(32000, 1), audiotest::pcm16Format(32000, 1)}};
    for (auto [mix, expected] : cases) {
        AdjustMixFormat(mix);
        EXPECT_EQ(fields(mix), fields(expected)) << expected.channels;
    }
}

TEST_F(CapturerTest, PacketsFillChunksInOrderAndSilentPacketsReadAsZeros) {
    openAndStart();
    ASSERT_EQ(capturer_.chunkBytes(), static_cast<int32_t>(kFrames * 2 * 2));
    // 2.5 chunks in one packet: two queued, half a chunk left in the current one.
    device().push(kFrames * 5 / 2, 1);
    capturer_.Poll();
    std::vector<int16_t> got = drain();
    ASSERT_EQ(got.size(), 4 * kFrames);
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i], static_cast<int16_t>(1 + i)) << i;
    }
    // The next packets complete that chunk: a silent one (garbage in its buffer) reads as
    // zeros of its full length between its neighbours.
    device().push(100, 7000);
    device().push(kFrames, 0, true);
    device().push(kFrames / 2 - 100, 9000);
    capturer_.Poll();
    got = drain();
    ASSERT_EQ(got.size(), 4 * kFrames);
    EXPECT_EQ(got[0], static_cast<int16_t>(1 + 4 * kFrames));  // the half chunk before
    EXPECT_EQ(got[kFrames + 199], 7199);
    for (size_t i = kFrames + 200; i < 3 * kFrames + 200; ++i) {
        ASSERT_EQ(got[i], 0) << i;
    }
    EXPECT_EQ(got[3 * kFrames + 200], 9000);
    // Chunks of a released stream do not reach a later recording.
    device().push(kFrames, 1);
    capturer_.Poll();
    EXPECT_EQ(capturer_.Release(), 0);
    EXPECT_TRUE(capturer_.IsEmpty());
    EXPECT_EQ(device().endpointsAlive, 0);
}

// Polls every 5 ms through a gap: silence goes in at the first poll past 25 chunk durations
// (counted in whole milliseconds), in whole frames, and the data then follows it directly.
TEST_F(CapturerTest, AGapOfMoreThanTwentyFiveChunksBecomesThatMuchSilenceInWholeFrames) {
    // 1024 frames last 21.3 ms at 48000 Hz, counted as 21; at 44100 Hz 23.2, counted as 23.
    // The second gap spans the wrap of the millisecond clock.
    for (const auto& [rate, clockStart] : {std::pair{48000u, 1000u}, {44100u, 0xFFFFFFFFu - 300}}) {
        SCOPED_TRACE(rate);
        device().mixFormat = fakeaudio::floatMixFormat(rate, 2);
        clock_.set(clockStart);
        openAndStart();
        const int32_t chunkBytes = capturer_.chunkBytes();
        const uint32_t chunkMs = kFrames * 1000 / rate;
        capturer_.Poll();  // nothing: the gap is timed from here
        const uint32_t gapStart = clock_.nowMs();
        uint32_t elapsed = 0;
        while (capturer_.IsEmpty() && elapsed < 30 * chunkMs) {
            clock_.advance(5);
            capturer_.Poll();
            elapsed = clock_.nowMs() - gapStart;
        }
        ASSERT_FALSE(capturer_.IsEmpty());
        EXPECT_GT(elapsed * 1.0 / chunkMs, 25.0);
        EXPECT_LE((elapsed - 5) * 1.0 / chunkMs, 25.0);  // the first poll past the threshold

        device().push(2 * kFrames, 1);
        capturer_.Poll();
        const std::vector<int16_t> got = drain();
        const auto dataAt = std::find(got.begin(), got.end(), 1) - got.begin();
        ASSERT_LT(dataAt, static_cast<long>(got.size()));
        EXPECT_TRUE(
            std::all_of(got.begin(), got.begin() + dataAt, [](int16_t s) { return s == 0; }));
        // Whole frames: the left sample still lands in the left slot.
        const auto expected = static_cast<int64_t>(chunkBytes * (elapsed * 1.0 / chunkMs));
        EXPECT_EQ(2 * dataAt, expected - expected % 4);
        EXPECT_EQ(dataAt % 2, 0);
        EXPECT_EQ(capturer_.Release(), 0);
    }
}

// The thread did not get to poll for 30 chunk durations (a busy machine) while the device went
// on delivering: the waiting data covers that time, so no silence goes in front of it.
TEST_F(CapturerTest, DataWaitingAfterAStarvedThreadIsNotPrecededBySilence) {
    openAndStart();
    capturer_.Poll();  // nothing yet: timing starts
    clock_.advance(30 * 21);
    device().push(30 * kFrames, 1);
    capturer_.Poll();
    const std::vector<int16_t> got = drain();
    ASSERT_EQ(got.size(), 60 * kFrames);
    EXPECT_EQ(got[0], 1);
}

TEST(Deinterleave, ChannelsBecomePlanesAndAPartialFrameIsLeftOut) {
    // L0 R0 L1 R1 in 16 bits, then three bytes of a frame cut short.
    const uint8_t stereo[] = {0x10, 0x11, 0x20, 0x21, 0x12, 0x13, 0x22, 0x23, 1, 2, 3};
    auto planar = Deinterleave(stereo, 8, 2, 16);
    const std::vector<uint8_t> expected = {0x10, 0x11, 0x12, 0x13, 0x20, 0x21, 0x22, 0x23};
    EXPECT_EQ(std::vector<uint8_t>(planar.get(), planar.get() + 8), expected);
    planar = Deinterleave(stereo, 11, 2, 16);  // the sanitizer build sees any read past the end
    EXPECT_EQ(std::vector<uint8_t>(planar.get(), planar.get() + 4),
              std::vector<uint8_t>(expected.begin(), expected.begin() + 4));
    // Three channels of 32-bit samples, two frames: channel c, frame f from (f * 3 + c) * 4.
    std::vector<uint8_t> wide(24);
    for (size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<uint8_t>(i);
    }
    planar = Deinterleave(wide.data(), 24, 3, 32);
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(planar[c * 8 + k], (k / 4 * 3 + c) * 4 + k % 4);
        }
    }
}

}  // namespace
