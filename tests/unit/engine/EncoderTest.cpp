// The encoder's life cycle; what is in its files is checked by the integration suite.
#include "engine/Encoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "ChildProcess.h"
#include "SyntheticMedia.h"

namespace {

struct ScriptedClock : platform::Clock {
    uint32_t now = 0;
    uint32_t nowMs() const override { return now; }
};

// How many of this process's descriptors refer to the file.
int descriptorsOn(const std::string& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        count += std::filesystem::read_symlink(entry.path(), error) == path ? 1 : 0;
    }
    return count;
}

class EncoderTest : public ::testing::Test {
protected:
    void SetUp() override { av_log_set_level(AV_LOG_QUIET); }
    testsupport::TempDir dir_;
    ScriptedClock source_;
    RecordingClock clock_{source_};
    Encoder encoder_{clock_};
};

TEST_F(EncoderTest, CloseFinishesTheFileOnceAndTheSameEncoderStartsAFreshOne) {
    const std::string path = dir_.file("first.mkv");
    ASSERT_GE(encoder_.open(path, true, 30, 64, 48, 800000, 48000, 192000), 0);
    EXPECT_EQ(descriptorsOn(path), 1);
    testsupport::ToneFrames tone(encoder_.audioCodecContext(), 440.0);
    for (int i = 0; i < 3; ++i) {
        const auto picture = testsupport::makeBgraPicture(64, 48, i);
        EXPECT_EQ(encoder_.encodeVideoFrame(picture.data(), static_cast<uint32_t>(i * 40)), 0);
        EXPECT_EQ(encoder_.encodeAudioFrame(tone.next()), 1);
    }
    EXPECT_EQ(encoder_.videoFrames(), 3);
    encoder_.close();
    EXPECT_FALSE(encoder_.isOpen());
    EXPECT_EQ(descriptorsOn(path), 0);
    const std::string written = testsupport::readFile(path);
    encoder_.close();
    EXPECT_EQ(testsupport::readFile(path), written);
    EXPECT_EQ(encoder_.encodeAudioFrame(tone.next()), -1);  // nothing is reached after close

    ASSERT_GE(encoder_.open(dir_.file("second.mkv"), false, 30, 32, 32, 800000, 48000, 192000), 0);
    EXPECT_EQ(encoder_.videoFrames(), 0);
    EXPECT_EQ(encoder_.audioCodecContext(), nullptr);
    const auto small = testsupport::makeBgraPicture(32, 32, 0);
    EXPECT_EQ(encoder_.encodeVideoFrame(small.data(), 0), 0);
}  // the destructor closes the second file

}  // namespace
