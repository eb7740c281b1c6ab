// The encoder's life cycle and its refusals; files are only written where a cycle needs one
// (what is in them is checked by the integration suite).
#include "engine/Encoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

#include "ChildProcess.h"
#include "SyntheticMedia.h"
#include "base/Log.h"

namespace {

struct ScriptedClock : platform::Clock {
    uint32_t now = 0;
    uint32_t nowMs() const override { return now; }
};

class EncoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        av_log_set_level(AV_LOG_QUIET);
        EnableLog(dir_.file("trace.log"));
    }
    void TearDown() override { DisableLog(); }

    std::string log() const { return testsupport::readFile(dir_.file("trace.log")); }

    // How many of this process's descriptors refer to the file.
    static int descriptorsOn(const std::string& path) {
        namespace fs = std::filesystem;
        int count = 0;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(entry.path(), linkError);
            if (!linkError && target == fs::path(path)) {
                ++count;
            }
        }
        return count;
    }

    testsupport::TempDir dir_;
    ScriptedClock source_;
    RecordingClock clock_{source_};
};

TEST_F(EncoderTest, UnopenedEncoderRefusesWorkAndClosesHarmlessly) {
    Encoder encoder(clock_);
    EXPECT_FALSE(encoder.isOpen());
    EXPECT_EQ(encoder.videoCodecContext(), nullptr);
    EXPECT_EQ(encoder.audioCodecContext(), nullptr);
    const auto picture = testsupport::makeBgraPicture(16, 16, 0);
    EXPECT_LT(encoder.encodeVideoFrame(picture.data(), 0), 0);
    EXPECT_EQ(encoder.encodeAudioFrame(nullptr), -1);
    encoder.close();
    encoder.close();
    EXPECT_EQ(encoder.videoFrames(), 0);
}

TEST_F(EncoderTest, FileNameWithoutAContainerFailsAtOnce) {
    Encoder encoder(clock_);
    const std::string path = dir_.file("clip.nosuchformat");
    EXPECT_EQ(encoder.open(path, true, 30, 64, 48, 800000, 48000, 192000), AVERROR_UNKNOWN);
    EXPECT_FALSE(encoder.isOpen());
    EXPECT_FALSE(testsupport::fileExists(path));
    EXPECT_NE(log().find("[Encoder][line: "), std::string::npos);
    EXPECT_NE(log().find("] Could not create output context\n"), std::string::npos) << log();
}

TEST_F(EncoderTest, MissingFolderFailsWithThePathInTheLog) {
    Encoder encoder(clock_);
    const std::string path = dir_.file("no/such/folder/clip.mp4");
    EXPECT_EQ(encoder.open(path, true, 30, 64, 48, 800000, 48000, 192000), -1);
    // Everything built before the failure is gone again (the sanitizer build checks leaks).
    EXPECT_FALSE(encoder.isOpen());
    EXPECT_EQ(encoder.videoCodecContext(), nullptr);
    EXPECT_EQ(encoder.audioCodecContext(), nullptr);
    EXPECT_FALSE(testsupport::fileExists(dir_.file("no")));
    EXPECT_NE(log().find("[Encoder][line: "), std::string::npos);
    EXPECT_NE(log().find("] Could not open '" + path + "'\n"), std::string::npos) << log();
    encoder.close();  // as the controller does once more when it stops
}

TEST_F(EncoderTest, AudioContextTellsTheMixerItsFormat) {
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(dir_.file("a.mkv"), true, 30, 64, 48, 800000, 44100, 176400), 0);
    const AVCodecContext* audio = encoder.audioCodecContext();
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->sample_rate, 44100);
    EXPECT_EQ(audio->sample_fmt, AV_SAMPLE_FMT_FLTP);
    EXPECT_EQ(audio->ch_layout.nb_channels, 2);
    EXPECT_EQ(audio->ch_layout.order, AV_CHANNEL_ORDER_NATIVE);
    EXPECT_EQ(audio->ch_layout.u.mask, AV_CH_LAYOUT_STEREO);
    EXPECT_EQ(audio->frame_size, 1024);
    ASSERT_NE(encoder.videoCodecContext(), nullptr);
    EXPECT_EQ(encoder.videoCodecContext()->pix_fmt, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(encoder.videoCodecContext()->gop_size, 30);
    ASSERT_NE(encoder.videoStream(), nullptr);
    ASSERT_NE(encoder.audioStream(), nullptr);
    EXPECT_EQ(encoder.videoStream()->index, 0);
    EXPECT_EQ(encoder.audioStream()->index, 1);
}

TEST_F(EncoderTest, CloseFinishesTheFileOnceAndLetsGoOfIt) {
    Encoder encoder(clock_);
    const std::string path = dir_.file("first.mkv");
    ASSERT_GE(encoder.open(path, true, 30, 64, 48, 800000, 48000, 192000), 0);
    EXPECT_EQ(descriptorsOn(path), 1);
    testsupport::ToneFrames tone(encoder.audioCodecContext(), 440.0);
    for (int i = 0; i < 3; ++i) {
        const auto picture = testsupport::makeBgraPicture(64, 48, i);
        source_.now = static_cast<uint32_t>(i * 40 + 5);
        EXPECT_EQ(encoder.encodeVideoFrame(picture.data(), static_cast<uint32_t>(i * 40)), 0);
        EXPECT_EQ(encoder.encodeAudioFrame(tone.next()), 1);
    }
    EXPECT_EQ(encoder.videoFrames(), 3);
    EXPECT_EQ(encoder.lastVideoTime(), 80u);

    encoder.close();
    EXPECT_FALSE(encoder.isOpen());
    EXPECT_EQ(descriptorsOn(path), 0);
    const std::string written = testsupport::readFile(path);
    EXPECT_FALSE(written.empty());
    encoder.close();
    EXPECT_EQ(testsupport::readFile(path), written);

    // Nothing is reached after close.
    const auto picture = testsupport::makeBgraPicture(64, 48, 9);
    EXPECT_LT(encoder.encodeVideoFrame(picture.data(), 500), 0);
    EXPECT_EQ(encoder.encodeAudioFrame(tone.next()), -1);

    // The same object writes a second file from a clean start.
    const std::string second = dir_.file("second.mkv");
    ASSERT_GE(encoder.open(second, false, 30, 32, 32, 800000, 48000, 192000), 0);
    EXPECT_EQ(encoder.videoFrames(), 0);
    EXPECT_EQ(encoder.audioCodecContext(), nullptr);
    const auto small = testsupport::makeBgraPicture(32, 32, 0);
    EXPECT_EQ(encoder.encodeVideoFrame(small.data(), 0), 0);
    EXPECT_EQ(encoder.videoFrames(), 1);
}  // the destructor closes the second file

// The scaler reads the caller's frame where it lies: a full HD recording (8 MB a BGRA
// picture) opens and encodes with FFmpeg's allocations capped well below one such picture.
TEST_F(EncoderTest, FullHdKeepsNoBgraPictureOfItsOwn) {
    const auto picture = testsupport::makeBgraPicture(1920, 1080, 0);
    Encoder encoder(clock_);
    source_.now = 45;
    av_max_alloc(4 << 20);
    const int32_t opened =
        encoder.open(dir_.file("hd.mkv"), false, 30, 1920, 1080, 4000000, 48000, 192000);
    const int32_t encoded = opened >= 0 ? encoder.encodeVideoFrame(picture.data(), 40) : -1;
    av_max_alloc(INT_MAX);  // FFmpeg's default
    EXPECT_GE(opened, 0);
    EXPECT_EQ(encoded, 0);
}

TEST_F(EncoderTest, AudioFrameOfAnotherShapeIsRefused) {
    Encoder encoder(clock_);
    ASSERT_GE(encoder.open(dir_.file("shape.mkv"), true, 30, 32, 32, 800000, 48000, 192000), 0);
    const AVCodecContext* codec = encoder.audioCodecContext();
    ASSERT_NE(codec, nullptr);

    struct Shape {
        AVSampleFormat format;
        int rate;
        int channels;
        int samples;
    };
    const Shape right{codec->sample_fmt, codec->sample_rate, 2, codec->frame_size};
    auto shaped = [](Shape shape) {
        AVChannelLayout layout;
        av_channel_layout_default(&layout, shape.channels);
        return std::make_unique<testsupport::ToneFrames>(shape.format, shape.rate, layout,
                                                         shape.samples, 440.0);
    };
    auto fewerSamples = shaped({right.format, right.rate, 2, right.samples / 2});
    auto otherFormat = shaped({AV_SAMPLE_FMT_S16, right.rate, 2, right.samples});
    auto otherRate = shaped({right.format, 44100, 2, right.samples});
    auto mono = shaped({right.format, right.rate, 1, right.samples});
    EXPECT_EQ(encoder.encodeAudioFrame(fewerSamples->next()), -1);
    EXPECT_EQ(encoder.encodeAudioFrame(otherFormat->next()), -1);
    EXPECT_EQ(encoder.encodeAudioFrame(otherRate->next()), -1);
    EXPECT_EQ(encoder.encodeAudioFrame(mono->next()), -1);
    EXPECT_NE(log().find("] Failed to encode audio!\n"), std::string::npos) << log();

    // The codec is unharmed: frames of the right shape still go through.
    auto fitting = shaped(right);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(encoder.encodeAudioFrame(fitting->next()), 1);
    }
    EXPECT_GT(encoder.audioSamples(), 0);
}

}  // namespace
