// The sync analyser against files with known flashes and clicks, written by our own encoder:
// the offsets, the drift and the unpaired events it reports must be the ones put in.
#include "AvSyncAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include "ChildProcess.h"
#include "TestServers.h"
#include "engine/Encoder.h"
#include "engine/FFmpegPtr.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 48000;
constexpr int kFps = 30;
constexpr double kFrameMs = 1000.0 / kFps;
// Flashes here fall on frame times exactly, so offsets come back far closer than a frame: the
// sound is measured in half milliseconds, and AAC smears an onset by less than that again.
constexpr double kToleranceMs = 2.0;

struct ScriptedClock : platform::Clock {
    uint32_t nowMs() const override { return 0; }
};

// What goes into a synthetic recording of the scene, times in seconds.
struct Script {
    double seconds = 12.0;
    std::vector<double> flashes;
    std::vector<double> clicks;
    bool audio = true;
    double humLevel = 0.0;  // a quiet steady tone under everything, as a microphone would add
};

// A background that keeps moving, with an orange bar that sweeps across the centre, and the
// white centre square for 100 ms from each flash.
void drawPicture(std::vector<uint8_t>& bgra, int width, int height, uint32_t ms, bool square) {
    const auto shade = static_cast<uint8_t>((ms / 20) % 128);
    const int barX = static_cast<int>((ms / 4) % static_cast<uint32_t>(width));
    const int side = std::min(width, height) / 5;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
            const bool inSquare =
                square && std::abs(x - width / 2) < side / 2 && std::abs(y - height / 2) < side / 2;
            const bool inBar = x >= barX && x < barX + 40;
            p[0] = inSquare ? 255 : inBar ? 0 : 96;
            p[1] = inSquare ? 255 : inBar ? 160 : 32;
            p[2] = inSquare ? 255 : inBar ? 240 : shade;
            p[3] = 255;
        }
    }
}


bool writeRecording(const std::string& path, const Script& s) {
    ScriptedClock source;
    RecordingClock clock(source);
    Encoder encoder(clock);
    constexpr int kWidth = 320;
    constexpr int kHeight = 240;
    if (encoder.open(path, s.audio, kFps, kWidth, kHeight, 800000, kRate, 128000) < 0) {
        return false;
    }
    std::vector<uint8_t> picture(static_cast<size_t>(kWidth) * kHeight * 4);
    FFmpegPtr<AVFrame> sound;
    const AVCodecContext* codec = encoder.audioCodecContext();
    if (s.audio) {
        sound.reset(av_frame_alloc());
        sound->format = codec->sample_fmt;
        sound->sample_rate = codec->sample_rate;
        sound->nb_samples = codec->frame_size;
        av_channel_layout_copy(&sound->ch_layout, &codec->ch_layout);
        if (sound->format != AV_SAMPLE_FMT_FLTP || av_frame_get_buffer(sound.get(), 0) < 0) {
            return false;
        }
    }
    const auto totalMs = static_cast<uint32_t>(s.seconds * 1000.0);
    int64_t frame = 0;
    int64_t sample = 0;
    // Both streams are fed in time order, as a recording would feed them.
    for (;;) {
        const auto videoMs = static_cast<uint32_t>(frame * 1000 / kFps);
        const double audioMs = s.audio ? sample * 1000.0 / kRate : 1e300;
        if (videoMs >= totalMs && audioMs >= totalMs) {
            break;
        }
        if (videoMs <= audioMs && videoMs < totalMs) {
            bool lit = false;
            for (double f : s.flashes) {
                const auto at = static_cast<uint32_t>(std::lround(f * 1000.0));
                lit = lit || (videoMs >= at && videoMs < at + 100);
            }
            drawPicture(picture, kWidth, kHeight, videoMs, lit);
            if (encoder.encodeVideoFrame(picture.data(), videoMs) < 0) {
                return false;
            }
            ++frame;
            continue;
        }
        if (av_frame_make_writable(sound.get()) < 0) {
            return false;
        }
        for (int i = 0; i < sound->nb_samples; ++i) {
            const int64_t n = sample + i;
            double v = s.humLevel * std::sin(2.0 * kPi * 300.0 * n / kRate);
            for (double c : s.clicks) {
                const int64_t k = n - std::llround(c * kRate);
                if (k >= 0 && k < kRate / 100) {
                    v += 0.8 * std::sin(2.0 * kPi * 2000.0 * k / kRate);
                }
            }
            for (int ch = 0; ch < sound->ch_layout.nb_channels; ++ch) {
                reinterpret_cast<float*>(sound->data[ch])[i] = static_cast<float>(v);
            }
        }
        if (encoder.encodeAudioFrame(sound.get()) < 0) {
            return false;
        }
        sample += sound->nb_samples;
    }
    encoder.close();
    return true;
}

std::vector<double> seconds(int first, int last, double shift = 0.0) {
    std::vector<double> out;
    for (int i = first; i <= last; ++i) {
        out.push_back(i + shift);
    }
    return out;
}

class AvSyncAnalyzerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { av_log_set_level(AV_LOG_QUIET); }

    SyncReport record(const Script& script, const std::string& name = "clip.mp4") {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(writeRecording(path, script));
        return AvSyncAnalyzer().analyze(path);
    }

    testsupport::TempDir dir_;
};

// Each flash is found on a frame within one frame of the instant it was put at.
void expectFlashesAt(const SyncReport& r, const std::vector<double>& flashes) {
    ASSERT_EQ(r.flashes.size(), flashes.size());
    for (size_t i = 0; i < flashes.size(); ++i) {
        EXPECT_NEAR(r.flashes[i] * 1000.0, flashes[i] * 1000.0, kFrameMs) << "flash " << i;
    }
}

TEST_F(AvSyncAnalyzerTest, ConstantOffsetIsRecoveredPairByPair) {
    Script s;
    s.flashes = seconds(1, 10);
    s.clicks = seconds(1, 10, 0.040);
    const SyncReport r = record(s);
    ASSERT_EQ(r.error, 0) << r.errorText;
    EXPECT_EQ(r.videoFrames, static_cast<int64_t>(s.seconds * kFps));
    EXPECT_NEAR(r.frameDurationMs, kFrameMs, 0.5);
    EXPECT_NEAR(r.audioSeconds, s.seconds, 0.1);
    // The bar crossing the centre is never taken for a flash.
    expectFlashesAt(r, s.flashes);
    ASSERT_EQ(r.pairs.size(), 10u);
    for (const SyncPair& p : r.pairs) {
        EXPECT_NEAR(p.offsetMs(), 40.0, kToleranceMs) << "flash at " << p.flash;
    }
    EXPECT_NEAR(r.meanOffsetMs, 40.0, kToleranceMs);
    EXPECT_LT(r.stddevOffsetMs, 2.0);
    EXPECT_NEAR(r.driftMsPerMinute, 0.0, 2.0);
    EXPECT_TRUE(r.unpairedFlashes.empty());
    EXPECT_TRUE(r.unpairedClicks.empty());
}

TEST_F(AvSyncAnalyzerTest, DriftOfOneMillisecondPerSecondIsRecovered) {
    Script s;
    s.seconds = 16.0;
    s.flashes = seconds(1, 15);
    for (double f : s.flashes) {
        s.clicks.push_back(f + 0.040 + f * 0.001);  // 40 ms, growing by 1 ms each second
    }
    const SyncReport r = record(s);
    ASSERT_EQ(r.error, 0) << r.errorText;
    ASSERT_EQ(r.pairs.size(), 15u);
    for (size_t i = 0; i < r.pairs.size(); ++i) {
        EXPECT_NEAR(r.pairs[i].offsetMs(), 40.0 + s.flashes[i], kToleranceMs);
    }
    EXPECT_NEAR(r.meanOffsetMs, 48.0,
                kToleranceMs);  // the offset at the middle flash, 8 s
    EXPECT_NEAR(r.driftMsPerMinute, 60.0, 3.0);
    EXPECT_NEAR(r.driftOverSpanMs, 14.0, 1.0);
}

TEST_F(AvSyncAnalyzerTest, SoundAheadOfPictureGivesNegativeOffsets) {
    Script s;
    s.flashes = seconds(1, 10);
    s.clicks = seconds(1, 10, -0.070);
    s.humLevel = 0.02;  // not silence to the ear, but far below a click
    const SyncReport r = record(s);
    ASSERT_EQ(r.error, 0) << r.errorText;
    ASSERT_EQ(r.pairs.size(), 10u);
    EXPECT_NEAR(r.meanOffsetMs, -70.0, kToleranceMs);
    EXPECT_GT(r.clickLevel, 0.1);
}

TEST_F(AvSyncAnalyzerTest, EventsWithoutPartnerStayUnpaired) {
    Script s;
    s.flashes = seconds(1, 8);
    s.clicks = {1.04, 2.04, 3.04, 5.04, 6.04, 6.60, 7.04, 8.04};  // none for 4 s, a stray at 6.6
    const SyncReport r = record(s);
    ASSERT_EQ(r.error, 0) << r.errorText;
    EXPECT_EQ(r.clicks.size(), 8u);
    ASSERT_EQ(r.pairs.size(), 7u);
    ASSERT_EQ(r.unpairedFlashes.size(), 1u);
    EXPECT_NEAR(r.unpairedFlashes[0], 4.0, 0.001);
    ASSERT_EQ(r.unpairedClicks.size(), 1u);
    EXPECT_NEAR(r.unpairedClicks[0] * 1000.0, 6600.0, 2.0);
    // The pairs after the gap and the stray keep their partners.
    EXPECT_NEAR(r.meanOffsetMs, 40.0, kToleranceMs);
    EXPECT_LT(r.maxOffsetMs - r.minOffsetMs, 4.0);
}

TEST_F(AvSyncAnalyzerTest, FilesThatCannotBeMeasuredSaySo) {
    const SyncReport missing = AvSyncAnalyzer().analyze(dir_.file("nothing-here.mp4"));
    EXPECT_LT(missing.error, 0);
    EXPECT_NE(missing.errorText.find("nothing-here.mp4"), std::string::npos);

    Script s;
    s.seconds = 4.0;
    s.flashes = seconds(1, 3);
    s.audio = false;
    const SyncReport silent = record(s, "silent.mp4");
    EXPECT_EQ(silent.error, -1);
    EXPECT_NE(silent.errorText.find("audio"), std::string::npos) << silent.errorText;
    // What can be found is still found.
    expectFlashesAt(silent, s.flashes);
    EXPECT_TRUE(silent.pairs.empty());
    EXPECT_EQ(silent.unpairedFlashes.size(), 3u);

    // A file cut short is read as far as it goes.
    Script full;
    full.flashes = seconds(1, 10);
    full.clicks = seconds(1, 10, 0.040);
    const std::string path = dir_.file("cut.mkv");
    ASSERT_TRUE(writeRecording(path, full));
    const std::string bytes = testsupport::readFile(path);
    const std::string cutPath = dir_.file("cut-half.mkv");
    {
        FILE* f = std::fopen(cutPath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size() / 2, f);
        std::fclose(f);
    }
    const SyncReport cut = AvSyncAnalyzer().analyze(cutPath);
    EXPECT_GE(cut.pairs.size(), 3u);
    EXPECT_LT(cut.pairs.size(), 10u);
    // Matroska cannot hold the negative times that trim the AAC codec's 1024 priming samples,
    // so its sound lies that much later than in MP4.
    const double primingMs = 1024.0 * 1000.0 / kRate;
    for (const SyncPair& p : cut.pairs) {
        EXPECT_NEAR(p.offsetMs(), 40.0 + primingMs, kToleranceMs);
    }
}

TEST(AvSyncPairing, FollowsALargeDriftAndSkipsGaps) {
    // Ten minutes at 1 ms/s: by the end the offset is more than the window, and only following
    // it from pair to pair keeps the partners right.
    SyncReport r;
    for (int i = 1; i <= 600; ++i) {
        r.flashes.push_back(i);
        if (i % 97 != 0) {  // a few clicks lost
            r.clicks.push_back(i + 0.020 + i * 0.001);
        }
    }
    AvSyncAnalyzer::pairEvents(r, 350.0);
    EXPECT_EQ(r.pairs.size(), 594u);
    EXPECT_EQ(r.unpairedFlashes.size(), 6u);
    EXPECT_TRUE(r.unpairedClicks.empty());
    for (const SyncPair& p : r.pairs) {
        ASSERT_NEAR(p.offsetMs(), 20.0 + p.flash, 1e-6) << "flash at " << p.flash;
    }
    EXPECT_NEAR(r.driftMsPerMinute, 60.0, 1e-6);
    EXPECT_NEAR(r.driftOverSpanMs, 599.0, 1e-6);
}

TEST(AvSyncPairing, AStrayClickAtTheStartDoesNotSetTheExpectation) {
    SyncReport r;
    r.flashes = seconds(1, 6);
    r.clicks = {0.75};  // a stray, 250 ms before the first flash
    for (double f : r.flashes) {
        r.clicks.push_back(f + 0.100);
    }
    AvSyncAnalyzer::pairEvents(r, 350.0);
    ASSERT_EQ(r.pairs.size(), 6u);
    EXPECT_NEAR(r.meanOffsetMs, 100.0, 1e-9);
    ASSERT_EQ(r.unpairedClicks.size(), 1u);
    EXPECT_DOUBLE_EQ(r.unpairedClicks[0], 0.75);

    SyncReport none;
    none.flashes = {1.0, 2.0};
    AvSyncAnalyzer::pairEvents(none, 350.0);
    EXPECT_TRUE(none.pairs.empty());
    EXPECT_EQ(none.unpairedFlashes.size(), 2u);
    EXPECT_EQ(none.meanOffsetMs, 0.0);
    EXPECT_EQ(none.driftMsPerMinute, 0.0);
}

TEST_F(AvSyncAnalyzerTest, CommandLineToolPrintsTheFiguresAndFailsOnBadInput) {
    Script s;
    s.seconds = 6.0;
    s.flashes = seconds(1, 5);
    s.clicks = seconds(1, 5, 0.040);
    const std::string path = dir_.file("clip.mp4");
    ASSERT_TRUE(writeRecording(path, s));
    const std::string tool = testsupport::binaryDir() + "/av-sync-analyze";

    int status = -1;
    const std::string out = testsupport::runAndCapture({tool, path}, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("pairs: 5 "), std::string::npos) << out;
    EXPECT_NE(out.find("pair    5  flash"), std::string::npos) << out;
    const size_t mean = out.find("mean offset: ");
    ASSERT_NE(mean, std::string::npos) << out;
    EXPECT_NEAR(std::stod(out.substr(mean + 13)), 40.0, kToleranceMs) << out;

    const std::string summary = testsupport::runAndCapture({tool, "--summary", path}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(summary.find("pair    1"), std::string::npos) << summary;
    EXPECT_NE(summary.find("drift: "), std::string::npos) << summary;

    testsupport::runAndCapture({tool, dir_.file("none.mp4")}, &status);
    EXPECT_EQ(status, 1);
    testsupport::runAndCapture({tool}, &status);
    EXPECT_EQ(status, 2);
}

}  // namespace
