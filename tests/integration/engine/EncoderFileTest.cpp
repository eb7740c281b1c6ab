// Files written by the encoder, read back with FFmpeg's own demuxers and decoders (and the
// ffmpeg program): what a player would find in them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "ChildProcess.h"
#include "MediaProbe.h"
#include "SyntheticMedia.h"
#include "engine/Encoder.h"

namespace {

using testsupport::ProbedFile;
using testsupport::ProbedStream;

struct FixedClock : platform::Clock {
    uint32_t nowMs() const override { return 1000000; }
};

double seconds(int64_t ticks, AVRational tb) {
    return static_cast<double>(ticks) * av_q2d(tb);
}

class EncoderFile : public ::testing::Test {
protected:
    void SetUp() override { av_log_set_level(AV_LOG_ERROR); }

    // Uneven gaps, as a capture loop without pacing produces them.
    static std::vector<uint32_t> readings(int frames) {
        std::vector<uint32_t> out;
        for (int i = 0; i < frames; ++i) {
            out.push_back(static_cast<uint32_t>(i * 37 + (i % 3) * 5));
        }
        return out;
    }

    FixedClock source_;
    RecordingClock clock_{source_};
    testsupport::TempDir dir_;
};

// Video frames at the given readings, and as much tone as the readings span, interleaved
// the way the video and audio threads produce them. Returns the audio frames encoded.
int encodeClip(Encoder& encoder, int width, int height, const std::vector<uint32_t>& times) {
    int audioFrames = 0;
    std::unique_ptr<testsupport::ToneFrames> tone;
    if (encoder.audioCodecContext()) {
        tone = std::make_unique<testsupport::ToneFrames>(encoder.audioCodecContext(), 440.0);
    }
    for (size_t i = 0; i < times.size(); ++i) {
        const auto picture = testsupport::makeBgraPicture(width, height, static_cast<int>(i));
        EXPECT_EQ(encoder.encodeVideoFrame(picture.data(), times[i]), 0) << "frame " << i;
        if (!tone) {
            continue;
        }
        const int rate = encoder.audioCodecContext()->sample_rate;
        while (tone->samplesMade() < static_cast<int64_t>(times[i]) * rate / 1000) {
            EXPECT_EQ(encoder.encodeAudioFrame(tone->next()), 1);
            ++audioFrames;
        }
    }
    return audioFrames;
}

void expectDecodesCleanly(const std::string& path, const ProbedFile& probed) {
    std::string errors;
    EXPECT_TRUE(testsupport::ffmpegDecodesCleanly(path, &errors)) << errors;
    ASSERT_EQ(probed.openError, 0);
    for (const ProbedStream& s : probed.streams) {
        EXPECT_EQ(s.decodeErrors, 0) << "stream " << s.index;
    }
}

// Each frame's timestamp is its clock reading, to within one tick of the container.
void expectTimestampsFollowClock(const ProbedStream& video, const std::vector<uint32_t>& times) {
    ASSERT_EQ(video.framePts.size(), times.size());
    const double tick = av_q2d(video.timeBase);
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(seconds(video.framePts[i], video.timeBase), times[i] / 1000.0, tick + 1e-9)
            << "frame " << i;
    }
}

void expectKeyFramesEveryThirtieth(const ProbedStream& video) {
    ASSERT_GE(video.frameKey.size(), 61u);
    for (size_t i = 0; i < video.frameKey.size(); i += 30) {
        EXPECT_TRUE(video.frameKey[i]) << "frame " << i;
    }
}

// Packet k starts k frame sizes after the first (which sits before 0 by the codec's priming
// samples), in the container's ticks; both ends are rounded to the nearest tick.
void expectAudioStepsByFrameSize(const ProbedStream& audio, int frameSize) {
    ASSERT_FALSE(audio.packetPts.empty());
    const double tick = av_q2d(audio.timeBase);
    const double first = static_cast<double>(audio.packetPts[0]);
    EXPECT_LE(first, 0.0);
    for (size_t k = 0; k < audio.packetPts.size(); ++k) {
        const double expected =
            first + static_cast<double>(k) * frameSize / audio.sampleRate / tick;  // in ticks
        EXPECT_LE(std::fabs(static_cast<double>(audio.packetPts[k]) - expected), 1.0 + 1e-9)
            << "packet " << k << " of " << audio.packetPts.size();
    }
}

class EncoderContainers : public EncoderFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(EncoderContainers, DecodesWithKeyFramesClockTimestampsAndSteadyAudio) {
    const std::string path = dir_.file(std::string("clip") + GetParam());
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(path, true, 30, 160, 120, 800000, 48000, 192000), 0);
    ASSERT_EQ(encoder.prepareRecording(), 0);
    const auto times = readings(70);
    const int audioFrames = encodeClip(encoder, 160, 120, times);
    encoder.close();

    const ProbedFile probed = testsupport::probeMedia(path);
    expectDecodesCleanly(path, probed);
    ASSERT_EQ(probed.streams.size(), 2u);
    const ProbedStream& video = probed.streams[0];
    const ProbedStream& audio = probed.streams[1];
    EXPECT_EQ(video.type, AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(video.codecId, AV_CODEC_ID_H264);
    EXPECT_EQ(video.width, 160);
    EXPECT_EQ(video.height, 120);
    EXPECT_EQ(audio.type, AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(audio.codecId, AV_CODEC_ID_AAC);
    EXPECT_EQ(audio.sampleRate, 48000);
    EXPECT_EQ(audio.channels, 2);

    // Every frame handed in is in the file, the last ones included.
    EXPECT_EQ(video.packetPts.size(), times.size());
    expectTimestampsFollowClock(video, times);
    expectKeyFramesEveryThirtieth(video);
    expectAudioStepsByFrameSize(audio, 1024);
    // The tone the codec still held at close was written too.
    EXPECT_GE(audio.samples, static_cast<int64_t>(audioFrames) * 1024);
}

INSTANTIATE_TEST_SUITE_P(EveryContainer, EncoderContainers,
                         ::testing::Values(".mp4", ".mkv", ".mov", ".flv", ".avi"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(EncoderFile, WithoutAudioTheFileHasOnlyTheVideoStream) {
    const std::string path = dir_.file("silent.mp4");
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(path, false, 24, 96, 64, 800000, 44100, 192000), 0);
    EXPECT_EQ(encoder.audioCodecContext(), nullptr);
    EXPECT_EQ(encoder.encodeAudioFrame(nullptr), -1);
    const auto times = readings(65);
    encodeClip(encoder, 96, 64, times);
    encoder.close();

    const ProbedFile probed = testsupport::probeMedia(path);
    expectDecodesCleanly(path, probed);
    ASSERT_EQ(probed.streams.size(), 1u);
    EXPECT_EQ(probed.streams[0].index, 0);
    EXPECT_EQ(probed.streams[0].type, AVMEDIA_TYPE_VIDEO);
    expectTimestampsFollowClock(probed.streams[0], times);
    // 24 frames/s changes nothing: every 30th frame is still a key frame.
    expectKeyFramesEveryThirtieth(probed.streams[0]);
}

TEST_F(EncoderFile, ReadingsThatDoNotAdvanceAreDroppedNotRefused) {
    // Repeated and backward readings in a millisecond container.
    {
        const std::string path = dir_.file("repeat.mkv");
        Encoder encoder(clock_);
        ASSERT_GE(encoder.open(path, false, 30, 64, 48, 800000, 48000, 192000), 0);
        const std::vector<uint32_t> times = {0, 40, 40, 30, 80, 81, 81};
        encodeClip(encoder, 64, 48, times);
        EXPECT_EQ(encoder.videoFrames(), 4);
        encoder.close();

        const ProbedFile probed = testsupport::probeMedia(path);
        expectDecodesCleanly(path, probed);
        ASSERT_EQ(probed.streams.size(), 1u);
        expectTimestampsFollowClock(probed.streams[0], {0, 40, 80, 81});
    }
    // Readings closer than one tick of a coarse container time base.
    {
        const std::string path = dir_.file("coarse.avi");
        Encoder encoder(clock_);
        ASSERT_GE(encoder.open(path, false, 30, 64, 48, 800000, 48000, 192000), 0);
        const AVRational tb = encoder.videoStream()->time_base;
        ASSERT_GT(static_cast<int64_t>(tb.num) * 1000, tb.den) << "ticks must exceed 1 ms";
        const std::vector<uint32_t> times = {0, 1, 100, 101, 200, 201, 300};
        encodeClip(encoder, 64, 48, times);
        EXPECT_LT(encoder.videoFrames(), static_cast<int64_t>(times.size()));
        const int64_t sent = encoder.videoFrames();
        encoder.close();

        const ProbedFile probed = testsupport::probeMedia(path);
        expectDecodesCleanly(path, probed);
        ASSERT_EQ(probed.streams.size(), 1u);
        EXPECT_EQ(static_cast<int64_t>(probed.streams[0].framePts.size()), sent);
    }
}

TEST_F(EncoderFile, FullHdFramesDecodeAndMatchTheirSource) {
    const std::string path = dir_.file("fullhd.mp4");
    const int w = 1920;
    const int h = 1080;
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(path, false, 30, w, h, 800000, 48000, 192000), 0);

    const int frames = 24;
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < frames; ++i) {
        pictures.push_back(testsupport::makeBgraPicture(w, h, i));
    }
    // Time per frame is reported, never judged here.
    double totalMs = 0;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(encoder.encodeVideoFrame(pictures[i].data(), static_cast<uint32_t>(i * 40)), 0);
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    encoder.close();

    double worst = INFINITY;
    size_t decoded = 0;
    const ProbedFile probed = testsupport::probeMedia(path, [&](size_t index, const uint8_t* bgra) {
        worst = std::min(worst, testsupport::psnrBgra(pictures.at(index).data(), bgra, w * h));
        ++decoded;
    });
    expectDecodesCleanly(path, probed);
    ASSERT_EQ(probed.streams.size(), 1u);
    EXPECT_EQ(probed.streams[0].width, w);
    EXPECT_EQ(probed.streams[0].height, h);
    EXPECT_EQ(decoded, static_cast<size_t>(frames));
    // Colour order and rows are right, and "crf" 22 keeps the picture close to its source.
    EXPECT_GT(worst, 30.0);
    std::printf("1920x1080: worst PSNR %.2f dB, encodeVideoFrame %.2f ms per frame\n", worst,
                totalMs / frames);
    RecordProperty("worst_psnr_db_1080p", std::to_string(worst));
    RecordProperty("encode_ms_per_1080p_frame", std::to_string(totalMs / frames));
}

TEST_F(EncoderFile, OneBufferRefilledForEveryFrameGivesEachFrameItsOwnPicture) {
    // The video thread hands in the same buffer every time, with a new grab in it.
    const std::string path = dir_.file("refilled.mp4");
    const int w = 640;
    const int h = 360;
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(path, false, 30, w, h, 800000, 48000, 192000), 0);
    const int frames = 12;
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < frames; ++i) {
        pictures.push_back(testsupport::makeBgraPicture(w, h, i * 15));  // the square moves far
    }
    std::vector<uint8_t> buffer(pictures[0].size());
    for (int i = 0; i < frames; ++i) {
        buffer = pictures[i];
        ASSERT_EQ(encoder.encodeVideoFrame(buffer.data(), static_cast<uint32_t>(i * 40)), 0);
    }
    encoder.close();

    size_t decoded = 0;
    testsupport::probeMedia(path, [&](size_t index, const uint8_t* bgra) {
        ++decoded;
        const double own = testsupport::psnrBgra(pictures.at(index).data(), bgra, w * h);
        EXPECT_GT(own, 30.0) << "frame " << index;
        for (size_t other : {index - 1, index + 1}) {
            if (other < pictures.size()) {
                EXPECT_LT(testsupport::psnrBgra(pictures[other].data(), bgra, w * h), own - 3.0)
                    << "frame " << index << " looks like picture " << other;
            }
        }
    });
    EXPECT_EQ(decoded, static_cast<size_t>(frames));
}

TEST_F(EncoderFile, VideoAndAudioThreadsWriteOneFileTogether) {
    const std::string path = dir_.file("threads.mkv");
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(path, true, 30, 96, 64, 800000, 44100, 192000), 0);
    ASSERT_EQ(encoder.prepareRecording(), 0);

    const int videoFrames = 60;
    const int audioFrames = 90;
    std::atomic<int> ready{0};
    std::atomic<int> videoFailures{0};
    std::atomic<int> audioFailures{0};
    auto waitForBoth = [&] {
        ++ready;
        while (ready.load() < 2) {
            std::this_thread::yield();
        }
    };
    std::thread video([&] {
        waitForBoth();
        for (int i = 0; i < videoFrames; ++i) {
            const auto picture = testsupport::makeBgraPicture(96, 64, i);
            if (encoder.encodeVideoFrame(picture.data(), static_cast<uint32_t>(i * 33)) != 0) {
                ++videoFailures;
            }
        }
    });
    std::thread audio([&] {
        testsupport::ToneFrames tone(encoder.audioCodecContext(), 330.0);
        waitForBoth();
        for (int i = 0; i < audioFrames; ++i) {
            if (encoder.encodeAudioFrame(tone.next()) != 1) {
                ++audioFailures;
            }
        }
    });
    video.join();
    audio.join();
    encoder.close();
    EXPECT_EQ(videoFailures.load(), 0);
    EXPECT_EQ(audioFailures.load(), 0);

    const ProbedFile probed = testsupport::probeMedia(path);
    expectDecodesCleanly(path, probed);
    ASSERT_EQ(probed.streams.size(), 2u);
    EXPECT_EQ(probed.streams[0].framePts.size(), static_cast<size_t>(videoFrames));
    expectAudioStepsByFrameSize(probed.streams[1], 1024);
    EXPECT_GE(probed.streams[1].samples, static_cast<int64_t>(audioFrames) * 1024);
}

}  // namespace
