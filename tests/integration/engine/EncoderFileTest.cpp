// Files written by the encoder, read back with FFmpeg's own demuxers and decoders (and the
// ffmpeg program): what a player would find in them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "ChildProcess.h"
#include "MediaProbe.h"
#include "SyntheticMedia.h"
#include "engine/Encoder.h"
#include "engine/FileFinisher.h"

namespace {

using testsupport::ProbedFile;
using testsupport::ProbedStream;
using testsupport::topLevelBoxes;

struct FixedClock : platform::Clock {
    uint32_t nowMs() const override { return 1000000; }
};

class EncoderFile : public ::testing::Test {
protected:
    void SetUp() override { av_log_set_level(AV_LOG_ERROR); }

    // Video frames at the given clock readings, and as much tone as the readings span,
    // interleaved the way the video and audio threads produce them. The audio frames encoded.
    int encodeClip(int width, int height, const std::vector<uint32_t>& times) {
        int audioFrames = 0;
        std::unique_ptr<testsupport::ToneFrames> tone;
        if (const AVCodecContext* audio = encoder_.audioCodecContext()) {
            tone = std::make_unique<testsupport::ToneFrames>(audio, 440.0);
        }
        for (size_t i = 0; i < times.size(); ++i) {
            const auto picture = testsupport::makeBgraPicture(width, height, static_cast<int>(i));
            EXPECT_EQ(encoder_.encodeVideoFrame(picture.data(), times[i]), 0) << "frame " << i;
            while (tone && tone->samplesMade() < int64_t{times[i]} * 48) {
                EXPECT_EQ(encoder_.encodeAudioFrame(tone->next()), 1);
                ++audioFrames;
            }
        }
        return audioFrames;
    }

    FixedClock source_;
    RecordingClock clock_{source_};
    Encoder encoder_{clock_};
    testsupport::TempDir dir_;
};

// Each frame's timestamp is its clock reading, to within one tick of the container.
void expectTimestampsFollowClock(const ProbedStream& video, const std::vector<uint32_t>& times) {
    ASSERT_EQ(video.framePts.size(), times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_NEAR(video.framePts[i] * av_q2d(video.timeBase), times[i] / 1000.0,
                    av_q2d(video.timeBase) + 1e-9)
            << "frame " << i;
    }
}

struct Container {
    const char* extension;
    bool audio;
    uint32_t frameRate;
};

class EncoderContainers : public EncoderFile, public ::testing::WithParamInterface<Container> {};

// MP4 and MOV are checked twice: as recorded (in fragments) and once finished.
TEST_P(EncoderContainers, DecodeWithKeyFramesEveryThirtyClockTimestampsAndSteadySound) {
    const Container& c = GetParam();
    const std::string path = dir_.file(std::string("clip") + c.extension);
    ASSERT_GE(encoder_.open(path, c.audio, c.frameRate, 160, 120, 800000, 48000, 192000), 0);
    ASSERT_EQ(encoder_.prepareRecording(), 0);
    std::vector<uint32_t> times;  // uneven gaps, as a capture loop without pacing makes them
    for (uint32_t i = 0; i < 70; ++i) {
        times.push_back(i * 37 + (i % 3) * 5);
    }
    const int audioFrames = encodeClip(160, 120, times);
    const bool fragmented = encoder_.fragmented();
    encoder_.close();
    const bool mp4 = std::string(".mp4.mov").find(c.extension) != std::string::npos;
    EXPECT_EQ(fragmented, mp4);

    const auto check = [&](const char* stage) {
        SCOPED_TRACE(stage);
        const ProbedFile probed = testsupport::probeDecodable(path);
        ASSERT_EQ(probed.streams.size(), c.audio ? 2u : 1u);
        const ProbedStream& video = probed.streams[0];
        EXPECT_EQ(video.codecId, AV_CODEC_ID_H264);
        EXPECT_EQ(video.width, 160);
        EXPECT_EQ(video.height, 120);
        // Every frame handed in is in the file, the last ones included.
        EXPECT_EQ(video.packetPts.size(), times.size());
        expectTimestampsFollowClock(video, times);
        for (size_t i = 0; i < video.frameKey.size(); i += 30) {  // whatever the frame rate
            EXPECT_TRUE(video.frameKey[i]) << "frame " << i;
        }
        if (c.audio) {
            const ProbedStream& audio = probed.streams[1];
            EXPECT_EQ(audio.codecId, AV_CODEC_ID_AAC);
            EXPECT_EQ(audio.sampleRate, 48000);
            EXPECT_EQ(audio.channels, 2);
            // Packet k starts k frame sizes after the first (which sits at or before 0 by the
            // codec's priming samples), in the container's ticks, each end rounded to a tick.
            const double ticksPerFrame = 1024.0 / 48000 / av_q2d(audio.timeBase);
            EXPECT_LE(audio.packetPts.at(0), 0);
            for (size_t k = 0; k < audio.packetPts.size(); ++k) {
                EXPECT_LE(std::fabs(audio.packetPts[k] - (audio.packetPts[0] + k * ticksPerFrame)),
                          1.0)
                    << "packet " << k;
            }
            // The tone the codec still held at close was written too.
            EXPECT_GE(audio.samples, int64_t{audioFrames} * 1024);
        }
    };
    check("as recorded");
    if (!mp4) {
        return;
    }
    // A fragment per key frame (a second here), with the index ahead of the first one.
    EXPECT_TRUE(std::regex_match(topLevelBoxes(path), std::regex("ftyp moov (moof mdat ){3}mfra")))
        << topLevelBoxes(path);

    FileFinisher finisher;
    finisher.add(path);
    std::vector<int32_t> progress;
    EXPECT_EQ(finisher.run([&](int32_t percent) { progress.push_back(percent); }), 0);
    EXPECT_TRUE(std::regex_match(topLevelBoxes(path), std::regex("ftyp moov (free |wide )?mdat")))
        << topLevelBoxes(path);
    EXPECT_FALSE(testsupport::fileExists(FileFinisher::partPath(path)));
    ASSERT_GE(progress.size(), 3u);  // a start, some steps, the end
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    check("finished");
}

INSTANTIATE_TEST_SUITE_P(EveryContainer, EncoderContainers,
                         ::testing::Values(Container{".mp4", true, 30}, Container{".mkv", true, 30},
                                           Container{".mov", true, 30}, Container{".flv", true, 30},
                                           Container{".avi", true, 30},
                                           Container{".mp4", false, 24}),
                         [](const auto& info) {
                             return std::string(info.param.extension + 1) +
                                    (info.param.audio ? "" : "Silent");
                         });

TEST_F(EncoderFile, AFewFramesASecondStillCutAFragmentEveryTwoSeconds) {
    const std::string path = dir_.file("slow.mp4");
    ASSERT_GE(encoder_.open(path, false, 30, 64, 48, 800000, 48000, 192000), 0);
    std::vector<uint32_t> times;
    for (uint32_t i = 0; i < 12; ++i) {
        times.push_back(i * 700);
    }
    encodeClip(64, 48, times);
    encoder_.close();
    const ProbedStream video = testsupport::probeDecodable(path).streams.at(0);
    for (size_t i : {0, 3, 6, 9}) {  // 2.1 s apart
        EXPECT_TRUE(video.frameKey.at(i)) << "frame " << i;
    }
    EXPECT_TRUE(std::regex_match(topLevelBoxes(path), std::regex("ftyp moov (moof mdat ){4}mfra")))
        << topLevelBoxes(path);
}

// One file that cannot be read keeps its bytes; the other one is finished all the same.
TEST_F(EncoderFile, AFileThatCannotBeFinishedStaysAsItWasAndTheOthersAreFinished) {
    const std::string bad = dir_.file("bad.mp4");
    const std::string good = dir_.file("good.mov");
    std::ofstream(bad) << "no video";
    ASSERT_GE(encoder_.open(good, false, 30, 64, 48, 800000, 48000, 192000), 0);
    encodeClip(64, 48, {0, 40, 80});
    encoder_.close();
    FileFinisher finisher;
    finisher.add(bad);
    finisher.add(good);
    int32_t last = -1;
    EXPECT_LT(finisher.run([&](int32_t percent) { last = percent; }), 0);
    EXPECT_EQ(testsupport::readFile(bad), "no video");
    EXPECT_FALSE(testsupport::fileExists(FileFinisher::partPath(bad)));
    EXPECT_TRUE(std::regex_match(topLevelBoxes(good), std::regex("ftyp moov (free |wide )?mdat")))
        << topLevelBoxes(good);
    EXPECT_EQ(testsupport::probeDecodable(good).streams.at(0).framePts.size(), 3u);
    EXPECT_EQ(last, 100);
    EXPECT_TRUE(finisher.empty());
}

TEST_F(EncoderFile, ReadingsThatDoNotAdvanceAreDroppedNotRefused) {
    // Repeated and backward readings in a millisecond container.
    ASSERT_GE(encoder_.open(dir_.file("repeat.mkv"), false, 30, 64, 48, 800000, 48000, 192000), 0);
    encodeClip(64, 48, {0, 40, 40, 30, 80, 81, 81});
    EXPECT_EQ(encoder_.videoFrames(), 4);
    encoder_.close();
    expectTimestampsFollowClock(testsupport::probeDecodable(dir_.file("repeat.mkv")).streams.at(0),
                                {0, 40, 80, 81});
    // Readings closer than one tick of a coarse container time base.
    ASSERT_GE(encoder_.open(dir_.file("coarse.avi"), false, 30, 64, 48, 800000, 48000, 192000), 0);
    const AVRational tb = encoder_.videoStream()->time_base;
    ASSERT_GT(int64_t{tb.num} * 1000, tb.den) << "ticks must exceed 1 ms";
    encodeClip(64, 48, {0, 1, 100, 101, 200, 201, 300});
    const int64_t sent = encoder_.videoFrames();
    EXPECT_LT(sent, 7);
    encoder_.close();
    EXPECT_EQ(testsupport::probeDecodable(dir_.file("coarse.avi")).streams.at(0).framePts.size(),
              static_cast<size_t>(sent));
}

TEST_F(EncoderFile, OneFullHdBufferRefilledForEveryFrameGivesEachFrameItsOwnPicture) {
    // The video thread hands in the same buffer every time, with a new grab in it.
    const int w = 1920, h = 1080, frames = 12;
    // Opened with FFmpeg's allocations capped at 4 MB: the encoder reads the caller's picture
    // and keeps no 8 MB one of its own.
    av_max_alloc(4 << 20);
    const int32_t opened =
        encoder_.open(dir_.file("fullhd.mp4"), false, 30, w, h, 800000, 48000, 192000);
    av_max_alloc(INT_MAX);  // FFmpeg's default
    ASSERT_GE(opened, 0);
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<uint8_t> buffer;
    for (int i = 0; i < frames; ++i) {
        pictures.push_back(testsupport::makeBgraPicture(w, h, i * 15));  // the square moves far
        buffer = pictures.back();
        ASSERT_EQ(encoder_.encodeVideoFrame(buffer.data(), static_cast<uint32_t>(i * 40)), 0);
    }
    encoder_.close();
    size_t decoded = 0;
    const ProbedFile probed =
        testsupport::probeDecodable(dir_.file("fullhd.mp4"), [&](size_t i, const uint8_t* bgra) {
            ++decoded;
            // Colour order and rows are right, and "crf" 22 keeps the picture close to its source.
            const double own = testsupport::psnrBgra(pictures.at(i).data(), bgra, size_t{w} * h);
            EXPECT_GT(own, 30.0) << "frame " << i;
            for (size_t other : {i - 1, i + 1}) {
                if (other < pictures.size()) {
                    EXPECT_LT(testsupport::psnrBgra(pictures[other].data(), bgra, size_t{w} * h),
                              own - 3)
                        << "frame " << i << " looks like picture " << other;
                }
            }
        });
    EXPECT_EQ(probed.streams.at(0).width, w);
    EXPECT_EQ(decoded, static_cast<size_t>(frames));
}

}  // namespace
